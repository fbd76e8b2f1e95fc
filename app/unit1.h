// The main window: the address and settings fields, the Start button that runs a
// measurement on this thread, the message area, the running totals in the status
// bar, and the menus. The controls keep their design names, as objectName too.
#pragma once

#include <string>

#include <QMainWindow>

#include "app/locale_text.h"
#include "charges/totals.h"
#include "measure/run.h"

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QStatusBar;
class QTextEdit;
class QToolBar;

namespace kurvane {
class Sockets;
}

namespace kurvane::gui {

class Dialogs;
class SpinEdit;
class TForm2;

inline constexpr int kForm1ClientWidth = 401;  // pixels at 96 dpi
inline constexpr int kForm1ClientHeight = 393;

class TForm1 : public QMainWindow {
    Q_OBJECT

public:
    // Creating the window runs FormCreate: the header.cfg check, the centring and StartNetwork.
    TForm1(Sockets& sockets, Dialogs& dialogs, LocaleText localeText, QWidget* parent = nullptr);
    ~TForm1() override;  // FormDestroy

    // The editor N2 opens; it enables this window again when it closes.
    void AttachEditor(TForm2& editor);

signals:
    // The program should end: Exit1, the close box, or a missing header.cfg at start-up
    // (then delivered once the event loop runs, as the window is already being shown).
    void EndRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    class FieldWriter;

    void CreateControls();
    void CreateSettings(QWidget* client);
    void CreateMessageArea(QWidget* client);
    void CreateStatusBar(QWidget* client);
    void CreateMenus();
    void SetTabOrder();

    void FormCreate();
    void Button1Click();
    void Exit1Click();
    void About1Click();
    void N2Click();
    void Reset1Click();
    void AddRunToTotals(const RunResult& result);
    void ShowTotals(const QString& sent, const QString& received, const QString& charge);
    void SetMessageText(const QString& text);

    Dialogs& dialogs_;
    LocaleText localeText_;
    std::string decimalSeparator_;  // of the user's number format, in the locale's code set
    MeasurementRun run_;
    RunningTotals totals_;
    TForm2* editor_ = nullptr;

    QToolBar* ToolBar1 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPushButton* Button1 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label2 = nullptr;
    SpinEdit* SpinEdit1 = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QLabel* Label6 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QTextEdit* Memo1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QLabel* SentPanel = nullptr;  // panel 0
    QLabel* ReceivedPanel = nullptr;  // panel 1
    QLabel* ChargePanel = nullptr;  // panel 2, reaching the right end

    QMenu* File1 = nullptr;
    QAction* Exit1 = nullptr;
    QMenu* Tools1 = nullptr;
    QAction* Counter1 = nullptr;
    QAction* Reset1 = nullptr;
    QAction* N1 = nullptr;
    QAction* N2 = nullptr;
    QMenu* Help1 = nullptr;
    QAction* About1 = nullptr;
};

}  // namespace kurvane::gui
