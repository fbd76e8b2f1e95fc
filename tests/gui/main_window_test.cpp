// The main window driven through its real widgets: what it shows at start-up,
// runs against a loopback server, the corrected fields, the failure texts, the
// running totals and the menus.
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>

#include "app/spin_edit.h"
#include "charges/charges.h"
#include "gui_fixture.h"
#include "resources/texts.h"

namespace kurvane::test {
namespace {

using gui::BoxKind;

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

const QString kIntro = Q("アドレスを入力したら、『開始』ボタンを押してください。\n\n"
                         "また、コロン（:）を使って、ポート番号を指定しないでく\nださい。");
const QStringList kZeroPanels{Q("送信： 0Bytes"), Q("受信： 0Bytes"), Q("利用料金： 0円")};

// A template whose request for "127.0.0.1/" is exactly 300 bytes, and a reply of
// exactly 1000: the sizes of the worked example for the running totals.
const std::string kTemplate300 = "GET &Resource& HTTP/1.0\r\nX-Pad: " + std::string(273, 'a') + "\r\n";
Reply Reply1000()
{
    const std::string head = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n";
    return Reply::Body(head + std::string(1000 - head.size(), 'x'));
}

class MainWindowTest : public WindowTest {
protected:
    void ActivateForm1()
    {
        Form1().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Form1()));
    }
};

TEST_F(MainWindowTest, StartsWithItsTextsDefaultsAndZeroPanels)
{
    OpenWindows();
    EXPECT_EQ(dialogs_.beeps, 0);
    EXPECT_TRUE(dialogs_.boxes.empty());
    EXPECT_EQ(Form1().windowTitle(), Q("Kurvaneプログラム"));
    EXPECT_FALSE(Form1().windowIcon().pixmap(32).isNull()) << "the icon needs Qt's svg plugin (libqt6svg6)";

    const struct {
        const char* name;
        const char* text;
    } labels[] = {{"Label1", "アドレス"},     {"Label4", "パケットサイズ："}, {"Label5", "バイト"},
                  {"Label2", "ポート番号："}, {"Label3", "パケット単価："},   {"Label6", "円"}};
    for (const auto& label : labels) {
        SCOPED_TRACE(label.name);
        EXPECT_EQ(Find<QLabel>(label.name)->text(), Q(label.text));
    }
    EXPECT_EQ(Find<QPushButton>("Button1")->text(), Q("開始"));
    EXPECT_EQ(Find<QGroupBox>("GroupBox2")->title(), Q("設定"));
    EXPECT_EQ(Find<QGroupBox>("GroupBox1")->title(), Q("メッセージ"));
    EXPECT_EQ(Find<QCheckBox>("CheckBox1")->text(), Q("画像(gif)を読込む"));
    EXPECT_TRUE(Find<QCheckBox>("CheckBox1")->isChecked());

    EXPECT_EQ(FieldText("Edit1"), "");
    EXPECT_EQ(FieldText("Edit2"), "128");
    EXPECT_EQ(FieldText("Edit3"), "0.3");
    EXPECT_EQ(FieldText("SpinEdit1"), "80");
    EXPECT_EQ(MemoText(), kIntro);
    EXPECT_TRUE(Find<QTextEdit>("Memo1")->isReadOnly());
    EXPECT_EQ(Panels(), kZeroPanels);

    // The numeric fields take no composed input.
    for (const char* name : {"Edit2", "Edit3"})
        EXPECT_FALSE(Find<QLineEdit>(name)->testAttribute(Qt::WA_InputMethodEnabled)) << name;
}

TEST_F(MainWindowTest, MenusCarryTheirCaptionsAndCounterStartsTicked)
{
    OpenWindows();
    const struct {
        const char* name;
        const char* caption;
    } items[] = {{"File1", "ファイル(&F)"},
                 {"Exit1", "終了(&X)"},
                 {"Tools1", "ツール(&T)"},
                 {"Counter1", "カウンター(&C)"},
                 {"Reset1", "カウンターリセット(&R)"},
                 {"N2", "ヘッダー編集(&H)..."},
                 {"Help1", "ヘルプ(&H)"},
                 {"About1", "バージョン情報(&A)..."}};
    for (const auto& item : items) {
        SCOPED_TRACE(item.name);
        EXPECT_EQ(Find<QAction>(item.name)->text(), Q(item.caption));
    }
    EXPECT_TRUE(Find<QAction>("N1")->isSeparator());
    EXPECT_TRUE(Find<QAction>("Counter1")->isCheckable());
    EXPECT_TRUE(Find<QAction>("Counter1")->isChecked());

    // Menu order: File, Tools, Help; Tools holds Counter, Reset, a separator, then the editor.
    const QList<QAction*> bar = Find<QMenuBar>("MainMenu1")->actions();
    ASSERT_EQ(bar.size(), 3);
    EXPECT_EQ(bar[0]->objectName(), "File1");
    EXPECT_EQ(bar[1]->objectName(), "Tools1");
    EXPECT_EQ(bar[2]->objectName(), "Help1");
    QStringList tools;
    for (QAction* action : Find<QMenu>("Tools1")->actions())
        tools << action->objectName();
    EXPECT_EQ(tools, (QStringList{"Counter1", "Reset1", "N1", "N2"}));
}

TEST_F(MainWindowTest, ControlsSitAtTheirDesignGeometry)
{
    OpenWindows();
    const struct {
        const char* name;
        QRect geometry;
    } controls[] = {
        {"ToolBar1", {0, 0, 401, 3}},   {"Label1", {8, 12, 44, 13}},       {"Edit1", {56, 8, 337, 21}},
        {"Button1", {336, 32, 57, 25}}, {"GroupBox2", {8, 64, 377, 81}},   {"CheckBox1", {8, 22, 137, 17}},
        {"Label4", {168, 24, 104, 13}}, {"Edit2", {272, 20, 49, 21}},      {"Label5", {328, 24, 39, 13}},
        {"Label2", {8, 55, 78, 13}},    {"SpinEdit1", {88, 51, 65, 22}},   {"Label3", {200, 56, 91, 13}},
        {"Edit3", {296, 52, 49, 21}},   {"Label6", {356, 56, 13, 13}},     {"GroupBox1", {8, 152, 385, 209}},
        {"Memo1", {16, 24, 353, 177}},  {"StatusBar1", {0, 371, 401, 22}},
    };
    for (const auto& control : controls) {
        SCOPED_TRACE(control.name);
        EXPECT_EQ(Find<QWidget>(control.name)->geometry(), control.geometry);
    }
    EXPECT_EQ(Form1().centralWidget()->size(), QSize(401, 393));
    // Fixed border: nothing resizes the window, and there is no maximise box.
    EXPECT_EQ(Form1().minimumSize(), Form1().maximumSize());
    EXPECT_FALSE(Form1().windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(Form1().windowFlags() & Qt::WindowMinimizeButtonHint);

    // Panels: 110 and 150 pixels, the last one reaching the right end of the bar.
    EXPECT_EQ(Find<QLabel>("SentPanel")->width(), 110);
    EXPECT_EQ(Find<QLabel>("ReceivedPanel")->width(), 150);
    const QLabel* charge = Find<QLabel>("ChargePanel");
    EXPECT_GE(charge->width(), 50);
    EXPECT_GE(charge->geometry().right(), 401 - 10);
}

TEST_F(MainWindowTest, TabOrderFollowsTheDesign)
{
    OpenWindows();
    const QStringList expected{"Edit1", "Button1", "CheckBox1", "Edit2", "Edit3", "SpinEdit1", "Memo1"};
    QStringList seen;
    QWidget* widget = Find<QWidget>("Edit1");
    while (seen.size() < expected.size()) {
        if (!expected.contains(widget->objectName())) {
            widget = widget->nextInFocusChain();
            continue;
        }
        seen << widget->objectName();
        widget = widget->nextInFocusChain();
    }
    EXPECT_EQ(seen, expected);
}

TEST_F(MainWindowTest, RunFillsTheMessageAreaWithTheReportAndAddsToTheTotals)
{
    dir_.Write(kTemplate300);
    LoopbackServer server(Reply1000());
    OpenWindows();
    SetField("SpinEdit1", QString::number(server.Port()));

    Run("127.0.0.1/");
    ASSERT_EQ(server.Exchanges().size(), 1u);
    EXPECT_EQ(server.Exchanges()[0].request.size(), 300u);
    EXPECT_EQ(MemoText(), Shown(BuildReport(300, 1000, 0, 128, 0.3, ".")));
    const QStringList lines = MemoText().split('\n');
    EXPECT_EQ(lines.value(0), Q("総送信バイト数：300 Bytes"));
    EXPECT_EQ(lines.value(1), Q("総受信バイト数：1000 Bytes"));
    EXPECT_TRUE(lines.contains(Q("パケット数：11")));
    EXPECT_TRUE(lines.contains(Q("利用料金：3.3円")));
    EXPECT_EQ(Panels(), (QStringList{Q("送信： 300Bytes"), Q("受信： 1000Bytes"), Q("利用料金： 3.3円")}));

    // The packets of the totals are rounded up once, over the summed bytes: 21, not 22.
    Run("127.0.0.1/");
    EXPECT_EQ(Panels(), (QStringList{Q("送信： 600Bytes"), Q("受信： 2000Bytes"), Q("利用料金： 6.3円")}));
    EXPECT_TRUE(sockets_.open.empty());
}

TEST_F(MainWindowTest, NewPacketSettingsRepriceEverythingAddedSoFar)
{
    dir_.Write(kTemplate300);
    LoopbackServer server(Reply1000());
    OpenWindows();
    SetField("SpinEdit1", QString::number(server.Port()));
    Run("127.0.0.1/");
    SetField("Edit2", "100");
    SetField("Edit3", "1");
    Run("127.0.0.1/");
    // 2600 bytes in 100-byte packets at 1 yen.
    EXPECT_EQ(Panels(), (QStringList{Q("送信： 600Bytes"), Q("受信： 2000Bytes"), Q("利用料金： 26円")}));
}

TEST_F(MainWindowTest, CounterOffLeavesTheTotalsAndIsNotMadeUpLater)
{
    dir_.Write(kTemplate300);
    LoopbackServer server(Reply1000());
    OpenWindows();
    SetField("SpinEdit1", QString::number(server.Port()));

    Trigger("Counter1");
    EXPECT_FALSE(Find<QAction>("Counter1")->isChecked());
    Run("127.0.0.1/");
    EXPECT_EQ(MemoText(), Shown(BuildReport(300, 1000, 0, 128, 0.3, ".")));
    EXPECT_EQ(Panels(), kZeroPanels);

    Trigger("Counter1");
    EXPECT_TRUE(Find<QAction>("Counter1")->isChecked());
    EXPECT_EQ(Panels(), kZeroPanels);
    Run("127.0.0.1/");
    EXPECT_EQ(Panels(), (QStringList{Q("送信： 300Bytes"), Q("受信： 1000Bytes"), Q("利用料金： 3.3円")}));
}

TEST_F(MainWindowTest, ResetAsksFirstAndClearsOnlyOnYes)
{
    dir_.Write(kTemplate300);
    LoopbackServer server(Reply1000());
    OpenWindows();
    SetField("SpinEdit1", QString::number(server.Port()));
    Run("127.0.0.1/");
    const QStringList afterRun = Panels();

    dialogs_.answers = {false};
    Trigger("Reset1");
    ASSERT_EQ(dialogs_.boxes.size(), 1u);
    EXPECT_EQ(dialogs_.boxes[0].kind, BoxKind::Warning);
    EXPECT_EQ(dialogs_.boxes[0].text, Q("カウンターをリセットします。\rよろしいですか？"));
    EXPECT_EQ(Panels(), afterRun);

    dialogs_.answers = {true};
    Trigger("Reset1");
    EXPECT_EQ(Panels(), kZeroPanels);
    EXPECT_TRUE(Find<QAction>("Counter1")->isChecked());

    // The next run counts from zero.
    Run("127.0.0.1/");
    EXPECT_EQ(Panels(), afterRun);
}

struct FailureCase {
    const char* name;
    const char* address;
    std::function<void(SwitchableSockets&, QCheckBox&)> arrange;
    const char* message;
    int connections;  // that reached the server; -1: not looked at
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class FailureTextTest : public MainWindowTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FailureTextTest, ShowsItsTextAndLeavesTheTotals)
{
    const FailureCase& c = GetParam();
    LoopbackServer server(Reply1000());
    OpenWindows();
    SetField("SpinEdit1", QString::number(server.Port()));
    c.arrange(sockets_, *Find<QCheckBox>("CheckBox1"));

    Run(Q(c.address));
    EXPECT_EQ(MemoText(), Shown(c.message));
    EXPECT_EQ(Panels(), kZeroPanels);
    EXPECT_TRUE(dialogs_.boxes.empty());
    if (c.connections >= 0) {
        EXPECT_EQ(server.Exchanges().size(), static_cast<std::size_t>(c.connections));
    }
    EXPECT_TRUE(sockets_.open.empty()) << "a socket was left open";
}

const FailureCase kFailures[] = {
    {"BadAddress", "http:///page", [](SwitchableSockets&, QCheckBox&) {}, texts::kBadAddress, 0},
    {"OtherScheme", "https://127.0.0.1/", [](SwitchableSockets&, QCheckBox&) {}, texts::kBadAddress, 0},
    {"ImageWithImagesOff", "http://127.0.0.1/a.gif", [](SwitchableSockets&, QCheckBox& box) { box.setChecked(false); },
     texts::kImageNotWanted, 0},
    {"NoSocket", "127.0.0.1/", [](SwitchableSockets& s, QCheckBox&) { s.failSocket = true; }, texts::kSocketError, 0},
    {"UnknownHost", "no-such-host.test/", [](SwitchableSockets&, QCheckBox&) {}, texts::kCannotConnect, 0},
    {"NoReverseEntry", "127.0.0.1/", [](SwitchableSockets& s, QCheckBox&) { s.failReverseLookup = true; },
     texts::kCannotConnect, 0},
    {"SendFails", "127.0.0.1/", [](SwitchableSockets& s, QCheckBox&) { s.failSend = true; }, texts::kCannotSend, -1},
};

INSTANTIATE_TEST_SUITE_P(Runs, FailureTextTest, ::testing::ValuesIn(kFailures),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(MainWindowTest, RefusedConnectionShowsTheConnectText)
{
    std::uint16_t closedPort = 0;
    {
        LoopbackServer gone(Reply1000());
        closedPort = gone.Port();
    }
    OpenWindows();
    SetField("SpinEdit1", QString::number(closedPort));
    Run("127.0.0.1/");
    EXPECT_EQ(MemoText(), Shown(texts::kCannotConnect));
    EXPECT_TRUE(sockets_.open.empty());
}

TEST_F(MainWindowTest, AFailureAfterAReportLeavesTheTotalsAsTheyWere)
{
    dir_.Write(kTemplate300);
    LoopbackServer server(Reply1000());
    OpenWindows();
    SetField("SpinEdit1", QString::number(server.Port()));
    Run("127.0.0.1/");
    const QStringList afterRun = Panels();
    sockets_.failSend = true;
    Run("127.0.0.1/");
    EXPECT_EQ(MemoText(), Shown(texts::kCannotSend));
    EXPECT_EQ(Panels(), afterRun);
}

TEST_F(MainWindowTest, TemplateGoneShowsTheErrorBoxAndKeepsTheMessageArea)
{
    LoopbackServer server(Reply1000());
    OpenWindows();
    SetField("SpinEdit1", QString::number(server.Port()));
    dir_.Remove();

    Run("127.0.0.1/");
    ASSERT_EQ(dialogs_.boxes.size(), 1u);
    EXPECT_EQ(dialogs_.boxes[0].kind, BoxKind::Error);
    EXPECT_EQ(dialogs_.boxes[0].text, Q("ファイルが見つかりません."));
    EXPECT_EQ(MemoText(), kIntro);
    EXPECT_EQ(Panels(), kZeroPanels);
    EXPECT_TRUE(server.Exchanges().empty()) << "nothing may be sent without a request";
    EXPECT_TRUE(sockets_.open.empty());
}

struct CorrectionCase {
    const char* name;
    const char* size;
    const char* price;
    const char* port;
    const char* sizeAfter;
    const char* priceAfter;
    const char* portAfter;
    int beeps;
};

void PrintTo(const CorrectionCase& c, std::ostream* os) { *os << c.name; }

class FieldCorrectionTest : public MainWindowTest, public ::testing::WithParamInterface<CorrectionCase> {};

// The address "/page" fails right after the settings are read, so only the corrections show.
TEST_P(FieldCorrectionTest, FieldsShowWhatTheRunUsed)
{
    const CorrectionCase& c = GetParam();
    OpenWindows();
    SetField("Edit2", Q(c.size));
    SetField("Edit3", Q(c.price));
    SetField("SpinEdit1", Q(c.port));
    Run("/page");
    EXPECT_EQ(FieldText("Edit2"), Q(c.sizeAfter));
    EXPECT_EQ(FieldText("Edit3"), Q(c.priceAfter));
    EXPECT_EQ(FieldText("SpinEdit1"), Q(c.portAfter));
    EXPECT_EQ(dialogs_.beeps, c.beeps);
    EXPECT_EQ(MemoText(), Shown(texts::kBadAddress));
}

const CorrectionCase kCorrections[] = {
    {"Valid", "256", "0.5", "8080", "256", "0.5", "8080", 0},
    {"SizeNotANumberResetsBoth", "abc", "0.5", "80", "128", "0.3", "80", 0},
    {"PriceNotANumberResetsBoth", "256", "abc", "80", "128", "0.3", "80", 0},
    {"TrailingBlankFails", "128 ", "0.5", "80", "128", "0.3", "80", 0},
    {"SizeOutOfRange", "65536", "0.5", "80", "128", "0.5", "80", 0},
    {"SizeZero", "0", "2", "80", "128", "2", "80", 0},
    {"HexSizeAccepted", "$80", "1e2", "65535", "$80", "1e2", "65535", 0},
    {"PriceOutOfRange", "64", "65536", "80", "64", "0.3", "80", 0},
    {"PortEmptyBeeps", "128", "0.3", "", "128", "0.3", "80", 1},
    {"PortZeroBeeps", "128", "0.3", "0", "128", "0.3", "80", 1},
    {"PortNegativeBeeps", "128", "0.3", "-5", "128", "0.3", "80", 1},
    {"PortTooLargeBeeps", "128", "0.3", "65536", "128", "0.3", "80", 1},
    {"PastedLettersInPort", "128", "0.3", "8o", "128", "0.3", "80", 1},
};

INSTANTIATE_TEST_SUITE_P(Settings, FieldCorrectionTest, ::testing::ValuesIn(kCorrections),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(MainWindowTest, EnterStartsARunInEveryControlButTheMessageArea)
{
    OpenWindows();
    ActivateForm1();
    for (const char* name : {"Edit1", "Edit2", "Edit3", "SpinEdit1", "CheckBox1", "Button1"}) {
        SCOPED_TRACE(name);
        Find<QTextEdit>("Memo1")->setPlainText("before");
        SetField("Edit1", "/page");
        QWidget* control = Find<QWidget>(name);
        control->setFocus();
        QWidget* target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr);
        QTest::keyClick(target, Qt::Key_Return);
        EXPECT_EQ(MemoText(), Shown(texts::kBadAddress));
    }
    // The keypad's Enter is Enter too.
    Find<QTextEdit>("Memo1")->setPlainText("before");
    Find<QWidget>("Edit1")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(MemoText(), Shown(texts::kBadAddress));

    Find<QTextEdit>("Memo1")->setPlainText("before");
    Find<QWidget>("Memo1")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(MemoText(), "before");
}

TEST_F(MainWindowTest, PortFieldRefusesTypedLettersButNotPastedText)
{
    OpenWindows();
    ActivateForm1();
    auto* spin = Find<gui::SpinEdit>("SpinEdit1");
    spin->setText("");
    spin->setFocus();
    QTest::keyClicks(spin, "8a0");
    EXPECT_EQ(spin->text(), "80");
    EXPECT_EQ(dialogs_.beeps, 1);
    QTest::keyClicks(spin, "+-.");
    EXPECT_EQ(spin->text(), "80+-.");
    EXPECT_EQ(dialogs_.beeps, 1);

    QApplication::clipboard()->setText("x9");
    QTest::keyClick(spin, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(spin, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(spin->text(), "x9");
    EXPECT_EQ(dialogs_.beeps, 1);
    QTest::keyClick(spin, Qt::Key_Backspace);
    EXPECT_EQ(spin->text(), "x");
}

TEST_F(MainWindowTest, PortFieldStepsByOneWithoutBounds)
{
    OpenWindows();
    ActivateForm1();
    auto* spin = Find<gui::SpinEdit>("SpinEdit1");
    spin->setFocus();
    const struct {
        const char* before;
        Qt::Key key;
        const char* after;
    } steps[] = {
        {"80", Qt::Key_Up, "81"},     {"80", Qt::Key_Down, "79"},
        {"0", Qt::Key_Down, "-1"},    {"65535", Qt::Key_Up, "65536"},
        {"abc", Qt::Key_Up, "1"},     {"", Qt::Key_Down, "-1"},
        {"$10", Qt::Key_Up, "17"},    {"2147483647", Qt::Key_Up, "2147483647"},
        {"80", Qt::Key_PageUp, "80"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.before);
        spin->setText(step.before);
        QTest::keyClick(spin, step.key);
        EXPECT_EQ(spin->text(), step.after);
    }
    spin->setText("80");
    spin->stepBy(1);
    spin->stepBy(-3);
    EXPECT_EQ(spin->text(), "78");
    EXPECT_EQ(dialogs_.beeps, 0);
}

TEST_F(MainWindowTest, AddressIsSentInTheLocalesCharacterSet)
{
    const struct {
        const char* codeset;
        std::string path;
    } cases[] = {{"UTF-8", "/\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.html"},
                 {"SHIFT_JIS", "/\x93\xFA\x96\x7B\x8C\xEA.html"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.codeset);
        LoopbackServer server(Reply1000());
        OpenWindows(c.codeset);
        SetField("SpinEdit1", QString::number(server.Port()));
        Run(Q("127.0.0.1/日本語.html"));
        ASSERT_EQ(server.RequestPaths().size(), 1u);
        EXPECT_EQ(server.RequestPaths()[0], c.path);
    }
}

TEST_F(MainWindowTest, AboutShowsTheVersionLine)
{
    OpenWindows();
    Trigger("About1");
    ASSERT_EQ(dialogs_.boxes.size(), 1u);
    EXPECT_EQ(dialogs_.boxes[0].kind, BoxKind::Information);
    EXPECT_EQ(dialogs_.boxes[0].text, Q("Kurvaneプログラム Version 1.0"));
    EXPECT_EQ(MemoText(), kIntro);
}

TEST_F(MainWindowTest, ExitAndTheCloseBoxEndTheProgram)
{
    OpenWindows();
    QSignalSpy ends(&Form1(), &gui::TForm1::EndRequested);
    Trigger("Exit1");
    EXPECT_EQ(ends.count(), 1);
    EXPECT_FALSE(Form1().isVisible());

    Form1().show();
    Form1().close();
    EXPECT_EQ(ends.count(), 2);
}

class StartupTest : public WindowTest {};

TEST_F(StartupTest, WithoutHeaderCfgBeepsShowsThePlainBoxAndEnds)
{
    const struct {
        const char* name;
        bool directory;
    } cases[] = {{"Missing", false}, {"DirectoryOfThatName", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dir_.Remove();
        if (c.directory) {
            ASSERT_TRUE(QDir().mkdir("header.cfg"));
        }
        dialogs_ = FakeDialogs{};
        int beepsBeforeBox = -1;
        dialogs_.whileOpen = [this, &beepsBeforeBox] { beepsBeforeBox = dialogs_.beeps; };

        OpenWindows();
        QSignalSpy ends(&Form1(), &gui::TForm1::EndRequested);
        ASSERT_EQ(dialogs_.boxes.size(), 1u);
        EXPECT_EQ(dialogs_.boxes[0].kind, BoxKind::Plain);
        EXPECT_EQ(dialogs_.boxes[0].text, Q("header.cfg が読み込めません。"));
        EXPECT_EQ(beepsBeforeBox, 1) << "the beep sounds before the box";
        EXPECT_EQ(dialogs_.beeps, 1);
        // The end is requested once the event loop runs, not while the window is created.
        EXPECT_TRUE(ends.wait(1000));
        EXPECT_EQ(ends.count(), 1);
        if (c.directory) {
            ASSERT_TRUE(QDir().rmdir("header.cfg"));
        }
    }
}

TEST_F(StartupTest, WithHeaderCfgNothingIsAskedAndNothingEnds)
{
    OpenWindows();
    QSignalSpy ends(&Form1(), &gui::TForm1::EndRequested);
    EXPECT_FALSE(ends.wait(200));
    EXPECT_TRUE(dialogs_.boxes.empty());
    EXPECT_EQ(dialogs_.beeps, 0);
}

}  // namespace
}  // namespace kurvane::test
