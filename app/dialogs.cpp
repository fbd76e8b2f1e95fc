#include "app/dialogs.h"

#include <QAbstractButton>
#include <QApplication>

#include "app/window_look.h"
#include "resources/texts.h"

namespace kurvane::gui {

namespace {

QString CaptionOf(BoxKind kind)
{
    switch (kind) {
    case BoxKind::Information:
        return QString::fromUtf8(texts::kInformationCaption);
    case BoxKind::Warning:
        return QString::fromUtf8(texts::kWarningCaption);
    case BoxKind::Plain:
    case BoxKind::Error:
        break;
    }
    return QString::fromUtf8(texts::kAppTitle);
}

QMessageBox::Icon IconOf(BoxKind kind)
{
    switch (kind) {
    case BoxKind::Information:
        return QMessageBox::Information;
    case BoxKind::Warning:
        return QMessageBox::Warning;
    case BoxKind::Error:
        return QMessageBox::Critical;
    case BoxKind::Plain:
        break;
    }
    return QMessageBox::NoIcon;
}

void AddButtons(QMessageBox& box, BoxKind kind)
{
    if (kind != BoxKind::Warning) {
        box.setStandardButtons(QMessageBox::Ok);
        box.button(QMessageBox::Ok)->setText(QString::fromUtf8(texts::kOkButton));
        box.setDefaultButton(QMessageBox::Ok);
        return;
    }
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.button(QMessageBox::Yes)->setText(QString::fromUtf8(texts::kYesButton));
    box.button(QMessageBox::No)->setText(QString::fromUtf8(texts::kNoButton));
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
}

int Show(BoxKind kind, const QString& text)
{
    const std::unique_ptr<QMessageBox> box = MakeMessageBox(kind, text, QApplication::activeWindow());
    return box->exec();
}

}  // namespace

std::unique_ptr<QMessageBox> MakeMessageBox(BoxKind kind, const QString& text, QWidget* parent)
{
    auto box = std::make_unique<QMessageBox>(parent);
    box->setWindowTitle(CaptionOf(kind));
    box->setIcon(IconOf(kind));
    box->setTextFormat(Qt::PlainText);
    box->setText(WithLineBreaks(text));
    AddButtons(*box, kind);
    return box;
}

void QtDialogs::Beep() { QApplication::beep(); }

void QtDialogs::ShowMessage(const QString& text) { Show(BoxKind::Plain, text); }

void QtDialogs::ShowInformation(const QString& text) { Show(BoxKind::Information, text); }

bool QtDialogs::ConfirmWarning(const QString& text) { return Show(BoxKind::Warning, text) == QMessageBox::Yes; }

void QtDialogs::ShowError(const QString& text) { Show(BoxKind::Error, text); }

}  // namespace kurvane::gui
