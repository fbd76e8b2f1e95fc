#include "app/unit1.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMetaObject>
#include <QPushButton>
#include <QStatusBar>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextEdit>
#include <QToolBar>

#include "app/dialogs.h"
#include "app/spin_edit.h"
#include "app/window_look.h"
#include "editor/template_file.h"
#include "editor/unit2.h"
#include "measure/bytes.h"
#include "measure/request.h"
#include "measure/sockets.h"
#include "resources/icon.h"
#include "resources/texts.h"

namespace kurvane::gui {

namespace {

constexpr int kFontPixels = 13;  // character height of the window's fonts
// The message area's lines are as high as its characters, as the design's font has
// them, so that a whole report fits; its text starts one pixel from the edges.
constexpr int kMessageLinePixels = kFontPixels;
constexpr int kMessageMarginPixels = 1;
constexpr int kSentPanelWidth = 110;
constexpr int kReceivedPanelWidth = 150;
constexpr int kChargePanelWidth = 50;  // at least; the last panel takes the rest of the bar

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

template <typename Control>
Control* Place(Control* control, const char* name, QRect geometry)
{
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(geometry);
    return control;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* text, QRect geometry)
{
    return Place(new QLabel(Text(text), parent), name, geometry);
}

// Fields that take numbers: nothing to compose, so no input method.
void SwitchOffInputMethod(QLineEdit* edit)
{
    edit->setAttribute(Qt::WA_InputMethodEnabled, false);
    edit->setInputMethodHints(Qt::ImhLatinOnly | Qt::ImhPreferNumbers);
}

QString IntroText()
{
    return Text(texts::kIntroLine1) + "\n\n" + Text(texts::kIntroLine3) + "\n" + Text(texts::kIntroLine4);
}

QAction* MakeAction(QMenu* menu, const char* name, const char* caption)
{
    QAction* action = menu->addAction(Text(caption));
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

QMenu* MakeMenu(QMenuBar* bar, const char* name, const char* caption)
{
    QMenu* menu = bar->addMenu(Text(caption));
    menu->setObjectName(QString::fromLatin1(name));
    menu->menuAction()->setObjectName(QString::fromLatin1(name));
    return menu;
}

}  // namespace

// Shows the run's corrections of the settings fields as they happen.
class TForm1::FieldWriter final : public RunObserver {
public:
    explicit FieldWriter(TForm1& form) : form_(form) {}

    void FieldCorrected(RunField field, CorrectionReason, const std::string& newText) override
    {
        const QString text = form_.localeText_.ToUnicode(newText);
        switch (field) {
        case RunField::PacketSize:
            form_.Edit2->setText(text);
            break;
        case RunField::PacketPrice:
            form_.Edit3->setText(text);
            break;
        case RunField::Port:
            form_.SpinEdit1->setText(text);
            break;
        }
    }

    void Beep() override { form_.dialogs_.Beep(); }

private:
    TForm1& form_;
};

TForm1::TForm1(Sockets& sockets, Dialogs& dialogs, LocaleText localeText, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs), localeText_(std::move(localeText)),
      decimalSeparator_(LocaleDecimalSeparator()), run_(sockets, RunConfig{kTemplateFileName, decimalSeparator_})
{
    CreateControls();
    FormCreate();
}

TForm1::~TForm1() { StopNetwork(); }

void TForm1::AttachEditor(TForm2& editor) { editor_ = &editor; }

void TForm1::CreateControls()
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(Text(texts::kForm1Caption));
    setWindowIcon(ProgramIcon());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFont(GothicFont(kFontPixels));

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    client->setFixedSize(kForm1ClientWidth, kForm1ClientHeight);
    setCentralWidget(client);

    ToolBar1 = Place(new QToolBar(client), "ToolBar1", {0, 0, kForm1ClientWidth, 3});
    Label1 = MakeLabel(client, "Label1", texts::kLabel1, {8, 12, 44, 13});
    Label1->setFont(PGothicFont(kFontPixels));
    Edit1 = Place(new QLineEdit(client), "Edit1", {56, 8, 337, 21});
    Button1 = Place(new QPushButton(Text(texts::kButton1), client), "Button1", {336, 32, 57, 25});
    connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);

    CreateSettings(client);
    CreateMessageArea(client);
    CreateStatusBar(client);
    CreateMenus();
    SetTabOrder();
    Edit1->setFocus();

    // Client area plus menu bar, and nothing resizes it.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    adjustSize();
}

void TForm1::CreateSettings(QWidget* client)
{
    GroupBox2 = Place(new QGroupBox(Text(texts::kGroupBox2), client), "GroupBox2", {8, 64, 377, 81});
    CheckBox1 = Place(new QCheckBox(Text(texts::kCheckBox1), GroupBox2), "CheckBox1", {8, 22, 137, 17});
    CheckBox1->setChecked(true);
    Label4 = MakeLabel(GroupBox2, "Label4", texts::kLabel4, {168, 24, 104, 13});
    Edit2 = Place(new QLineEdit(QStringLiteral("128"), GroupBox2), "Edit2", {272, 20, 49, 21});
    SwitchOffInputMethod(Edit2);
    Label5 = MakeLabel(GroupBox2, "Label5", texts::kLabel5, {328, 24, 39, 13});
    Label2 = MakeLabel(GroupBox2, "Label2", texts::kLabel2, {8, 55, 78, 13});
    SpinEdit1 = Place(new SpinEdit(
                          localeText_.ToUnicode(decimalSeparator_), [this] { dialogs_.Beep(); }, GroupBox2),
                      "SpinEdit1", {88, 51, 65, 22});
    SpinEdit1->setText(QString::number(kDefaultPort));
    Label3 = MakeLabel(GroupBox2, "Label3", texts::kLabel3, {200, 56, 91, 13});
    // The default price in the user's number format, so that the first run reads it back.
    Edit3 = Place(new QLineEdit(localeText_.ToUnicode(DefaultPriceText(decimalSeparator_)), GroupBox2), "Edit3",
                  {296, 52, 49, 21});
    SwitchOffInputMethod(Edit3);
    Label6 = MakeLabel(GroupBox2, "Label6", texts::kYen, {356, 56, 13, 13});
}

void TForm1::CreateMessageArea(QWidget* client)
{
    GroupBox1 = Place(new QGroupBox(Text(texts::kGroupBox1), client), "GroupBox1", {8, 152, 385, 209});
    // The image queue is a container of the run; no hidden list box is needed for it.
    Memo1 = Place(new QTextEdit(GroupBox1), "Memo1", {16, 24, 353, 177});
    Memo1->setReadOnly(true);
    Memo1->setFocusPolicy(Qt::StrongFocus);
    Memo1->setFrameShape(QFrame::NoFrame);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Button-face background, so that the text reads as part of the group.
    QPalette palette = Memo1->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    Memo1->setPalette(palette);
    Memo1->document()->setDocumentMargin(kMessageMarginPixels);
    SetMessageText(IntroText());
}

void TForm1::CreateStatusBar(QWidget* client)
{
    StatusBar1 = Place(new QStatusBar(client), "StatusBar1", {0, 371, kForm1ClientWidth, 22});
    StatusBar1->setSizeGripEnabled(false);
    SentPanel = new QLabel(StatusBar1);
    SentPanel->setObjectName(QStringLiteral("SentPanel"));
    SentPanel->setFixedWidth(kSentPanelWidth);
    ReceivedPanel = new QLabel(StatusBar1);
    ReceivedPanel->setObjectName(QStringLiteral("ReceivedPanel"));
    ReceivedPanel->setFixedWidth(kReceivedPanelWidth);
    ChargePanel = new QLabel(StatusBar1);
    ChargePanel->setObjectName(QStringLiteral("ChargePanel"));
    ChargePanel->setMinimumWidth(kChargePanelWidth);
    StatusBar1->addWidget(SentPanel);
    StatusBar1->addWidget(ReceivedPanel);
    StatusBar1->addWidget(ChargePanel, 1);
    ShowTotals(CoreText(totals_.SentPanelText()), CoreText(totals_.ReceivedPanelText()),
               CoreText(ZeroChargePanelText()));
}

void TForm1::CreateMenus()
{
    QMenuBar* MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));

    File1 = MakeMenu(MainMenu1, "File1", texts::kFile1);
    Exit1 = MakeAction(File1, "Exit1", texts::kExit1);
    connect(Exit1, &QAction::triggered, this, &TForm1::Exit1Click);

    Tools1 = MakeMenu(MainMenu1, "Tools1", texts::kTools1);
    // Counter1Click is the check mark's own toggle: nothing else happens on a click.
    Counter1 = MakeAction(Tools1, "Counter1", texts::kCounter1);
    Counter1->setCheckable(true);
    Counter1->setChecked(true);
    Reset1 = MakeAction(Tools1, "Reset1", texts::kReset1);
    connect(Reset1, &QAction::triggered, this, &TForm1::Reset1Click);
    N1 = Tools1->addSeparator();
    N1->setObjectName(QStringLiteral("N1"));
    N2 = MakeAction(Tools1, "N2", texts::kN2);
    connect(N2, &QAction::triggered, this, &TForm1::N2Click);

    Help1 = MakeMenu(MainMenu1, "Help1", texts::kHelp1);
    About1 = MakeAction(Help1, "About1", texts::kAbout1);
    connect(About1, &QAction::triggered, this, &TForm1::About1Click);
}

void TForm1::SetTabOrder()
{
    setTabOrder(Edit1, Button1);
    setTabOrder(Button1, CheckBox1);
    setTabOrder(CheckBox1, Edit2);
    setTabOrder(Edit2, Edit3);
    setTabOrder(Edit3, SpinEdit1);
    setTabOrder(SpinEdit1, Memo1);
}

void TForm1::FormCreate()
{
    if (!TemplateFilePresent(kTemplateFileName)) {
        dialogs_.Beep();
        dialogs_.ShowMessage(Text(texts::kNoTemplate));
        // Takes effect once the event loop runs; the window is created and placed all the same.
        QMetaObject::invokeMethod(this, &TForm1::EndRequested, Qt::QueuedConnection);
    }
    CentreOnPrimaryScreen(*this);
    StartNetwork();
}

void TForm1::Button1Click()
{
    const RunInput input{localeText_.FromUnicode(Edit1->text()), localeText_.FromUnicode(Edit2->text()),
                         localeText_.FromUnicode(Edit3->text()), localeText_.FromUnicode(SpinEdit1->text()),
                         CheckBox1->isChecked()};
    FieldWriter fields(*this);
    // The run blocks this thread until it ends: no input is taken meanwhile.
    const RunResult result = run_.Button1Click(input, fields);
    switch (result.end) {
    case RunEnd::Report:
        SetMessageText(CoreText(result.text));
        AddRunToTotals(result);
        break;
    case RunEnd::Message:
        SetMessageText(CoreText(result.text));
        break;
    case RunEnd::ErrorBox:
        dialogs_.ShowError(CoreText(result.text));
        break;
    }
}

void TForm1::AddRunToTotals(const RunResult& result)
{
    if (!Counter1->isChecked())
        return;
    totals_.Add(result.RunSent, result.RunReceived);
    ShowTotals(CoreText(totals_.SentPanelText()), CoreText(totals_.ReceivedPanelText()),
               CoreText(totals_.ChargePanelText(result.PacketSize, result.PacketPrice, decimalSeparator_)));
}

void TForm1::Reset1Click()
{
    if (!dialogs_.ConfirmWarning(Text(texts::kResetQuestion)))
        return;
    totals_.Reset();
    ShowTotals(CoreText(totals_.SentPanelText()), CoreText(totals_.ReceivedPanelText()),
               CoreText(ZeroChargePanelText()));
}

void TForm1::ShowTotals(const QString& sent, const QString& received, const QString& charge)
{
    SentPanel->setText(sent);
    ReceivedPanel->setText(received);
    ChargePanel->setText(charge);
}

void TForm1::SetMessageText(const QString& text)
{
    Memo1->setPlainText(text);
    QTextCursor all(Memo1->document());
    all.select(QTextCursor::Document);
    QTextBlockFormat lines;
    lines.setLineHeight(kMessageLinePixels, QTextBlockFormat::FixedHeight);
    all.mergeBlockFormat(lines);
}

void TForm1::Exit1Click() { close(); }

void TForm1::About1Click() { dialogs_.ShowInformation(Text(texts::kAboutText)); }

void TForm1::N2Click()
{
    if (editor_ == nullptr)
        return;
    setEnabled(false);
    editor_->Open();
}

void TForm1::keyPressEvent(QKeyEvent* event)
{
    // Button1 is the default button: Enter left over by any control but Memo1 presses it.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && focusWidget() != Memo1 && Button1->isEnabled()) {
        event->accept();
        Button1->click();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void TForm1::closeEvent(QCloseEvent* event)
{
    // While the editor is open this window takes no input, its close box included.
    if (!isEnabled()) {
        event->ignore();
        return;
    }
    event->accept();
    emit EndRequested();
}

}  // namespace kurvane::gui
