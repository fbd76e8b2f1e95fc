// The message boxes and the beep the windows use, behind one small interface so
// that tests can answer the boxes and count the beeps instead of a person.
#pragma once

#include <memory>

#include <QMessageBox>
#include <QString>

class QWidget;

namespace kurvane::gui {

class Dialogs {
public:
    virtual ~Dialogs() = default;

    virtual void Beep() = 0;
    // Plain box: the program's title as caption, no icon, OK.
    virtual void ShowMessage(const QString& text) = 0;
    // Information box: "情報", information icon, OK.
    virtual void ShowInformation(const QString& text) = 0;
    // Warning question: "警告", exclamation icon, Yes (default) and No (Escape). True on Yes.
    virtual bool ConfirmWarning(const QString& text) = 0;
    // The error box for a failed file read or write: the program's title, stop icon, OK.
    virtual void ShowError(const QString& text) = 0;
};

enum class BoxKind { Plain, Information, Warning, Error };

// The box as it is shown, built apart so that its caption, icon and buttons can be checked.
// A carriage return in text is shown as a line break.
std::unique_ptr<QMessageBox> MakeMessageBox(BoxKind kind, const QString& text, QWidget* parent = nullptr);

// Real boxes over the active window, and the system's beep.
class QtDialogs final : public Dialogs {
public:
    void Beep() override;
    void ShowMessage(const QString& text) override;
    void ShowInformation(const QString& text) override;
    bool ConfirmWarning(const QString& text) override;
    void ShowError(const QString& text) override;
};

}  // namespace kurvane::gui
