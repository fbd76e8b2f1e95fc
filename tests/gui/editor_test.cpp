// The template editor driven through its real widgets: opening from the main
// window's menu, loading by the template's line rules, saving with and without
// the trim, the placeholder buttons, and the failures of both.
#include <sys/resource.h>

#include <csignal>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextCursor>
#include <QTextEdit>

#include "gui_fixture.h"

namespace kurvane::test {
namespace {

using gui::BoxKind;

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

std::string FileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class EditorTest : public WindowTest {
protected:
    // Chooses the menu item, as the user does, and waits for the editor to become active.
    void OpenEditor()
    {
        if (!windowsOpen_) {
            OpenWindows(codeset_);
            windowsOpen_ = true;
        }
        Trigger("N2");
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Form2()));
    }

    QPlainTextEdit* EditorMemo() { return Find<QPlainTextEdit>(Form2(), "Memo1"); }
    void Press(const char* button) { Find<QPushButton>(Form2(), button)->click(); }
    std::string Saved() { return FileBytes(dir_.TemplatePath()); }

    std::string codeset_ = "UTF-8";

private:
    bool windowsOpen_ = false;
};

TEST_F(EditorTest, OpensFromTheMenuWithTheMainWindowDisabledUntilItCloses)
{
    dir_.Write("GET &Resource& HTTP/1.0\r\nHost: &HostandPort&\r\n");
    OpenEditor();
    EXPECT_TRUE(Form2().isVisible());
    EXPECT_EQ(Form2().windowTitle(), Q("ヘッダー編集"));
    EXPECT_EQ(EditorMemo()->toPlainText(), "GET &Resource& HTTP/1.0\nHost: &HostandPort&");
    EXPECT_FALSE(Form1().isEnabled());
    // Disabled means no input at all: the fields, the Start button and the menu.
    EXPECT_FALSE(Find<QWidget>("Edit1")->isEnabled());
    EXPECT_FALSE(Find<QWidget>("Button1")->isEnabled());
    EXPECT_FALSE(Find<QMenuBar>("MainMenu1")->isEnabled());
    QTest::mouseClick(Find<QPushButton>("Button1"), Qt::LeftButton);
    EXPECT_EQ(Find<QTextEdit>("Memo1")->toPlainText().left(5), Q("アドレスを"));
    QSignalSpy ends(&Form1(), &gui::TForm1::EndRequested);
    EXPECT_FALSE(Form1().close());
    EXPECT_TRUE(Form1().isVisible());
    EXPECT_EQ(ends.count(), 0);

    const char* closers[] = {"Button2", "close box"};
    for (const char* closer : closers) {
        SCOPED_TRACE(closer);
        if (std::string(closer) == "Button2")
            Press("Button2");
        else
            Form2().close();
        EXPECT_FALSE(Form2().isVisible());
        EXPECT_TRUE(Form1().isEnabled());
        if (closer == closers[0])
            OpenEditor();
    }
}

TEST_F(EditorTest, HasItsControlsAtTheirDesignGeometry)
{
    OpenEditor();
    const struct {
        const char* name;
        const char* text;
        QRect geometry;
    } controls[] = {
        {"Memo1", "", {0, 0, 509, 129}},
        {"Button1", "保存", {8, 160, 73, 22}},
        {"Button2", "キャンセル", {104, 160, 73, 22}},
        {"Button3", "接続先のURIを挿入", {216, 160, 137, 22}},
        {"Button4", "接続先のホスト名を挿入", {368, 160, 137, 22}},
        {"CheckBox1", "保存時に文末の空白およびCRLFを取り除く", {264, 132, 241, 25}},
    };
    for (const auto& control : controls) {
        SCOPED_TRACE(control.name);
        QWidget* widget = Find<QWidget>(Form2(), control.name);
        EXPECT_EQ(widget->geometry(), control.geometry);
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            EXPECT_EQ(button->text(), Q(control.text));
        }
    }
    EXPECT_EQ(Form2().size(), QSize(509, 186));
    EXPECT_TRUE(Find<QCheckBox>(Form2(), "CheckBox1")->isChecked());
    EXPECT_EQ(EditorMemo()->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_TRUE(EditorMemo()->tabChangesFocus());
    EXPECT_EQ(QApplication::focusWidget(), EditorMemo());
    for (const char* name : {"Button1", "Button2", "Button3", "Button4"}) {
        const auto* button = Find<QPushButton>(Form2(), name);
        EXPECT_FALSE(button->isDefault() || button->autoDefault()) << name;
    }
}

struct LoadCase {
    const char* name;
    std::string file;
    const char* shown;
};

void PrintTo(const LoadCase& c, std::ostream* os) { *os << c.name; }

class EditorLoadTest : public EditorTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(EditorLoadTest, ShowsTheLinesTheRequestWouldCarry)
{
    dir_.Write(GetParam().file);
    OpenEditor();
    EXPECT_EQ(EditorMemo()->toPlainText(), Q(GetParam().shown));
}

const LoadCase kLoads[] = {
    {"CrLfLines", "GET / HTTP/1.0\r\nHost: a\r\n", "GET / HTTP/1.0\nHost: a"},
    {"LfLines", "GET / HTTP/1.0\nHost: a\n", "GET / HTTP/1.0\nHost: a"},
    {"LoneCrDropped", "GET /\r HTTP/1.0\r\nHo\rst: a", "GET / HTTP/1.0\nHost: a"},
    {"CtrlZLineEndsTheFile",
     "A\r\nB\r\n\x1A"
     "C\r\nD\r\n",
     "A\nB"},
    {"CtrlZInsideALineStays", "A\x1A\r\nB", "A\x1A\nB"},
    {"TrailingBlankLinesAndSpaces", "A\r\n  B \t\r\n\r\n \r\n\t\r\n", "A\n  B"},
    {"LeadingAndInnerBlanksStay", "  A  \r\n\r\nB", "  A  \n\nB"},
    {"EmptyFile", "", ""},
};

INSTANTIATE_TEST_SUITE_P(Files, EditorLoadTest, ::testing::ValuesIn(kLoads),
                         [](const auto& row) { return std::string(row.param.name); });

struct SaveCase {
    const char* name;
    const char* typed;
    bool trim;
    std::string written;
};

void PrintTo(const SaveCase& c, std::ostream* os) { *os << c.name; }

class EditorSaveTest : public EditorTest, public ::testing::WithParamInterface<SaveCase> {};

TEST_P(EditorSaveTest, WritesTheTextWithCrLfLineBreaks)
{
    const SaveCase& c = GetParam();
    dir_.Write("old contents\r\n");
    OpenEditor();
    EditorMemo()->setPlainText(Q(c.typed));
    Find<QCheckBox>(Form2(), "CheckBox1")->setChecked(c.trim);
    Press("Button1");
    EXPECT_EQ(Saved(), c.written);
    EXPECT_FALSE(Form2().isVisible());
    EXPECT_TRUE(Form1().isEnabled());
    EXPECT_TRUE(dialogs_.boxes.empty());
}

const SaveCase kSaves[] = {
    {"TrimmedEndsWithTheLastLine", "GET / HTTP/1.0\nHost: a\n\n", true, "GET / HTTP/1.0\r\nHost: a"},
    {"UntrimmedKeepsTheLineBreaks", "GET / HTTP/1.0\nHost: a\n\n", false, "GET / HTTP/1.0\r\nHost: a\r\n\r\n"},
    {"TrimmedRemovesTrailingBlanksOnly", "  A \nB\t \n", true, "  A \r\nB"},
    {"UntrimmedKeepsEveryBlank", "  A \nB\t ", false, "  A \r\nB\t "},
    {"EmptyText", "", true, ""},
    {"EmptyTextUntrimmed", "", false, ""},
    {"NoBreakSpaceKept", "A\u00a0B", true,
     "A\xC2\xA0"
     "B"},
};

INSTANTIATE_TEST_SUITE_P(Texts, EditorSaveTest, ::testing::ValuesIn(kSaves),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(EditorTest, OpenAndSaveTurnsTheFileIntoWhatTheRequestUses)
{
    const struct {
        const char* name;
        std::string before;
        std::string after;
    } cases[] = {
        {"LfBecomesCrLf", "GET / HTTP/1.0\nHost: a\n", "GET / HTTP/1.0\r\nHost: a"},
        {"LoneCrGone", "GET /\r HTTP/1.0", "GET / HTTP/1.0"},
        {"LinesAfterCtrlZGone",
         "A\r\n\x1A"
         "B\r\nC",
         "A"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dir_.Write(c.before);
        OpenEditor();
        Press("Button1");
        EXPECT_EQ(Saved(), c.after);
    }
}

TEST_F(EditorTest, PlaceholdersReplaceTheSelectionAndLeaveTheCaretAfterThem)
{
    dir_.Write("GET XXX HTTP/1.0\r\nHost: ");
    OpenEditor();
    QTextCursor cursor = EditorMemo()->textCursor();
    cursor.setPosition(4);
    cursor.setPosition(7, QTextCursor::KeepAnchor);
    EditorMemo()->setTextCursor(cursor);
    Press("Button3");
    EXPECT_EQ(EditorMemo()->toPlainText(), "GET &Resource& HTTP/1.0\nHost:");
    EXPECT_EQ(EditorMemo()->textCursor().position(), 4 + 10);
    EXPECT_FALSE(EditorMemo()->textCursor().hasSelection());

    cursor.movePosition(QTextCursor::End);
    EditorMemo()->setTextCursor(cursor);
    Press("Button4");
    Press("Button4");
    EXPECT_EQ(EditorMemo()->toPlainText(), "GET &Resource& HTTP/1.0\nHost:&HostandPort&&HostandPort&");
    EXPECT_TRUE(EditorMemo()->textCursor().atEnd());
}

TEST_F(EditorTest, CancelDiscardsTheEditsAndTheNextOpeningReloads)
{
    dir_.Write("GET / HTTP/1.0");
    OpenEditor();
    EditorMemo()->setPlainText("something else");
    Press("Button2");
    EXPECT_EQ(Saved(), "GET / HTTP/1.0");
    OpenEditor();
    EXPECT_EQ(EditorMemo()->toPlainText(), "GET / HTTP/1.0");
}

TEST_F(EditorTest, ReactivationWithinOneOpeningDoesNotReload)
{
    dir_.Write("first");
    OpenEditor();
    EditorMemo()->setPlainText("typed");
    dir_.Write("second");
    {
        // Another window takes the focus for a while, as another application would.
        QWidget elsewhere;
        elsewhere.show();
        elsewhere.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&elsewhere));
    }
    Form2().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Form2()));
    EXPECT_EQ(EditorMemo()->toPlainText(), "typed");
}

TEST_F(EditorTest, LoadFailureShowsTheErrorBoxAndKeepsTheText)
{
    dir_.Write("kept");
    OpenEditor();
    Press("Button2");
    dir_.Remove();

    OpenEditor();
    ASSERT_EQ(dialogs_.boxes.size(), 1u);
    EXPECT_EQ(dialogs_.boxes[0].kind, BoxKind::Error);
    EXPECT_EQ(dialogs_.boxes[0].text, Q("ファイルが見つかりません."));
    EXPECT_TRUE(Form2().isVisible());
    EXPECT_EQ(EditorMemo()->toPlainText(), "kept");

    // Saving then writes that text, creating the file anew.
    Press("Button1");
    EXPECT_EQ(Saved(), "kept");
}

// Writes past a file size limit fail as on a full disk; root is not exempt.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
};

TEST_F(EditorTest, FailedSaveKeepsTheFileAndTheEditorOpen)
{
    dir_.Write("GET / HTTP/1.0\r\n");
    OpenEditor();
    EditorMemo()->setPlainText(QString(200, 'x'));
    {
        FileSizeLimit limit(64);
        Press("Button1");
    }
    ASSERT_EQ(dialogs_.boxes.size(), 1u);
    EXPECT_EQ(dialogs_.boxes[0].kind, BoxKind::Error);
    EXPECT_EQ(dialogs_.boxes[0].text, Q("I/O エラー (27)")) << "EFBIG; no full stop after the parenthesis";
    EXPECT_EQ(Saved(), "GET / HTTP/1.0\r\n");
    EXPECT_TRUE(Form2().isVisible());
    EXPECT_FALSE(Form1().isEnabled());
    EXPECT_EQ(EditorMemo()->toPlainText(), QString(200, 'x'));

    // The user can try again once the cause is gone.
    Press("Button1");
    EXPECT_EQ(Saved(), std::string(200, 'x'));
    EXPECT_FALSE(Form2().isVisible());
    EXPECT_TRUE(Form1().isEnabled());
}

TEST_F(EditorTest, ShiftJisFileComesBackByteForByte)
{
    // 表 has a backslash byte as its second byte, ～ differs between CP932 and strict JIS,
    // and the backslash and tilde bytes on their own stay ASCII.
    const std::string file = "GET /\x95\x5C?q=\x81\x60 HTTP/1.0\r\nX-Path: C:\\dir~\r\nHost: &HostandPort&";
    dir_.Write(file + "\r\n");
    codeset_ = "SHIFT_JIS";
    OpenEditor();
    EXPECT_EQ(EditorMemo()->toPlainText(), Q("GET /表?q=～ HTTP/1.0\nX-Path: C:\\dir~\nHost: &HostandPort&"));
    Press("Button1");
    EXPECT_EQ(Saved(), file);
}

TEST_F(EditorTest, NextRunSendsWhatWasSaved)
{
    LoopbackServer server(Reply::Body("HTTP/1.0 200 OK\r\n\r\n"));
    dir_.Write("GET &Resource& HTTP/1.0");
    OpenEditor();
    EditorMemo()->setPlainText("HEAD ");
    QTextCursor cursor = EditorMemo()->textCursor();
    cursor.movePosition(QTextCursor::End);
    EditorMemo()->setTextCursor(cursor);
    Press("Button3");
    EditorMemo()->insertPlainText(" HTTP/1.0\n");
    Press("Button4");
    Press("Button1");

    SetField("SpinEdit1", QString::number(server.Port()));
    Run("127.0.0.1/x");
    ASSERT_EQ(server.Exchanges().size(), 1u);
    EXPECT_EQ(server.Exchanges()[0].request,
              "HEAD /x HTTP/1.0\r\n127.0.0.1:" + std::to_string(server.Port()) + "\r\n\r\n");
}

}  // namespace
}  // namespace kurvane::test
