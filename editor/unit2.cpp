#include "editor/unit2.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>

#include "app/dialogs.h"
#include "app/window_look.h"
#include "editor/template_file.h"
#include "measure/request.h"
#include "resources/icon.h"
#include "resources/texts.h"

namespace kurvane::gui {

namespace {

constexpr int kButtonFontPixels = 12;  // buttons and check box
constexpr int kMemoFontPixels = 16;

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, QRect geometry)
{
    auto* button = new QPushButton(Text(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(geometry);
    // No default button: Enter in the text area is a line break.
    button->setAutoDefault(false);
    return button;
}

}  // namespace

TForm2::TForm2(QWidget& mainWindow, Dialogs& dialogs, LocaleText localeText)
    : QWidget(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      mainWindow_(mainWindow), dialogs_(dialogs), localeText_(std::move(localeText))
{
    CreateControls();
}

void TForm2::CreateControls()
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(Text(texts::kForm2Caption));
    setWindowIcon(ProgramIcon());
    setFont(PGothicFont(kButtonFontPixels));
    setFixedSize(kForm2ClientWidth, kForm2ClientHeight);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(0, 0, kForm2ClientWidth, 129);
    Memo1->setFont(PGothicFont(kMemoFontPixels));
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setTabChangesFocus(true);

    Button1 = MakeButton(this, "Button1", texts::kSaveButton, {8, 160, 73, 22});
    Button2 = MakeButton(this, "Button2", texts::kCancelButton, {104, 160, 73, 22});
    Button3 = MakeButton(this, "Button3", texts::kInsertUriButton, {216, 160, 137, 22});
    Button4 = MakeButton(this, "Button4", texts::kInsertHostButton, {368, 160, 137, 22});
    CheckBox1 = new QCheckBox(Text(texts::kTrimOnSave), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(264, 132, 241, 25);
    CheckBox1->setChecked(true);

    connect(Button1, &QPushButton::clicked, this, &TForm2::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm2::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TForm2::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TForm2::Button4Click);

    setTabOrder(Memo1, Button1);
    setTabOrder(Button1, Button2);
    setTabOrder(Button2, Button3);
    setTabOrder(Button3, Button4);
    setTabOrder(Button4, CheckBox1);
    Memo1->setFocus();
}

void TForm2::Open()
{
    setVisible(true);
    activateWindow();
}

bool TForm2::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate && !activatedSinceShown_) {
        activatedSinceShown_ = true;
        FormActivate();
    }
    return QWidget::event(event);
}

void TForm2::hideEvent(QHideEvent* event)
{
    activatedSinceShown_ = false;
    QWidget::hideEvent(event);
}

void TForm2::closeEvent(QCloseEvent* event)
{
    FormClose();
    event->accept();
}

void TForm2::FormActivate()
{
    CentreOnPrimaryScreen(*this);
    LoadTemplate();
}

void TForm2::LoadTemplate()
{
    std::string text;
    FileError error;
    if (!LoadTemplateText(kTemplateFileName, text, error)) {
        // The text area keeps what it held; a save then writes that.
        dialogs_.ShowError(CoreText(WithFullStop(error.Text())));
        return;
    }
    Memo1->setPlainText(MemoTextOf(text));
}

void TForm2::Button1Click()
{
    FileError error;
    if (!SaveTemplateText(kTemplateFileName, EditorTextOf(*Memo1), CheckBox1->isChecked(), error)) {
        // The editor stays open with its text, so the user can try again or cancel.
        dialogs_.ShowError(CoreText(WithFullStop(error.Text())));
        return;
    }
    close();
}

void TForm2::Button2Click() { close(); }

void TForm2::Button3Click() { Memo1->insertPlainText(Text(texts::kResourcePlaceholder)); }

void TForm2::Button4Click() { Memo1->insertPlainText(Text(texts::kHostAndPortPlaceholder)); }

void TForm2::FormClose() { mainWindow_.setEnabled(true); }

QString TForm2::MemoTextOf(const std::string& editorText) const
{
    return WithLineBreaks(localeText_.ToUnicode(editorText));
}

std::string TForm2::EditorTextOf(const QPlainTextEdit& memo) const
{
    // The raw text keeps every character as typed (toPlainText would turn no-break
    // spaces into blanks); its paragraph separators are the typed line breaks.
    QString text = memo.document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
    return localeText_.FromUnicode(text);
}

}  // namespace kurvane::gui
