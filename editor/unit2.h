// The request template editor: views and edits header.cfg as plain text, inserts
// the two placeholders, and saves with or without the trailing blanks. While it is
// open the main window is disabled, so it acts as a modal dialog without a modal loop.
#pragma once

#include <string>

#include <QWidget>

#include "app/locale_text.h"

class QCheckBox;
class QPlainTextEdit;
class QPushButton;

namespace kurvane::gui {

class Dialogs;

inline constexpr int kForm2ClientWidth = 509;  // pixels at 96 dpi
inline constexpr int kForm2ClientHeight = 186;

class TForm2 : public QWidget {
    Q_OBJECT

public:
    // mainWindow is enabled again whenever the editor closes.
    TForm2(QWidget& mainWindow, Dialogs& dialogs, LocaleText localeText);

    // Shows the editor and asks for it to become the active window, which centres
    // it and loads the file.
    void Open();

protected:
    bool event(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls();
    void FormActivate();
    void LoadTemplate();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void FormClose();

    QString MemoTextOf(const std::string& editorText) const;
    std::string EditorTextOf(const QPlainTextEdit& memo) const;

    QWidget& mainWindow_;
    Dialogs& dialogs_;
    LocaleText localeText_;
    // Activation centres and loads once per opening; coming back from another
    // application is not an opening.
    bool activatedSinceShown_ = false;

    QPlainTextEdit* Memo1 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button3 = nullptr;
    QPushButton* Button4 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
};

}  // namespace kurvane::gui
