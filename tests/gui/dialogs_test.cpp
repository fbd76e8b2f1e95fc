// The real message boxes, answered by a timer as a user would with the mouse or
// the keyboard, and the centring arithmetic both windows use.
#include "app/dialogs.h"

#include <functional>

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/window_look.h"

namespace kurvane::gui {
namespace {

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

// Runs answer on the box once it is up, then lets ask show it and wait.
template <typename Ask>
auto AnswerBox(std::function<void(QMessageBox&)> answer, Ask ask)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, answer] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr)
            return;
        poll->stop();
        poll->deleteLater();
        answer(*box);
    });
    poll->start(10);
    return ask();
}

QAbstractButton* ButtonWithText(QMessageBox& box, const char* text)
{
    for (QAbstractButton* button : box.buttons()) {
        if (button->text() == Q(text))
            return button;
    }
    ADD_FAILURE() << "no button " << text;
    return nullptr;
}

TEST(MessageBoxes, CarryTheirCaptionIconAndButtons)
{
    const struct {
        BoxKind kind;
        const char* caption;
        QMessageBox::Icon icon;
        int buttons;
    } cases[] = {
        {BoxKind::Plain, "Kurvane", QMessageBox::NoIcon, 1},
        {BoxKind::Information, "情報", QMessageBox::Information, 1},
        {BoxKind::Warning, "警告", QMessageBox::Warning, 2},
        {BoxKind::Error, "Kurvane", QMessageBox::Critical, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.caption);
        const auto box = MakeMessageBox(c.kind, "text");
        EXPECT_EQ(box->windowTitle(), Q(c.caption));
        EXPECT_EQ(box->icon(), c.icon);
        EXPECT_EQ(box->buttons().size(), c.buttons);
        if (c.buttons == 1) {
            EXPECT_EQ(box->defaultButton()->text(), "OK");
        }
    }
}

TEST(MessageBoxes, ResetQuestionShowsItsCarriageReturnAsALineBreak)
{
    const auto box = MakeMessageBox(BoxKind::Warning, Q("カウンターをリセットします。\rよろしいですか？"));
    EXPECT_EQ(box->text(), Q("カウンターをリセットします。\nよろしいですか？"));
    EXPECT_EQ(box->defaultButton()->text(), Q("はい(&Y)"));
    EXPECT_EQ(box->escapeButton()->text(), Q("いいえ(&N)"));
}

TEST(QtDialogs, WarningIsAnsweredByItsButtonsEnterAndEscape)
{
    QtDialogs dialogs;
    const QString question = Q("よろしいですか？");
    const struct {
        const char* name;
        std::function<void(QMessageBox&)> answer;
        bool expected;
    } cases[] = {
        {"ClickYes", [](QMessageBox& box) { ButtonWithText(box, "はい(&Y)")->click(); }, true},
        {"ClickNo", [](QMessageBox& box) { ButtonWithText(box, "いいえ(&N)")->click(); }, false},
        {"EnterTakesTheDefault", [](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Return); }, true},
        {"EscapeIsNo", [](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(AnswerBox(c.answer, [&] { return dialogs.ConfirmWarning(question); }), c.expected);
    }
}

TEST(QtDialogs, ErrorBoxWaitsForOk)
{
    QtDialogs dialogs;
    QString shown;
    AnswerBox(
        [&shown](QMessageBox& box) {
            shown = box.text();
            ButtonWithText(box, "OK")->click();
        },
        [&] {
            dialogs.ShowError(Q("ファイルが見つかりません."));
            return 0;
        });
    EXPECT_EQ(shown, Q("ファイルが見つかりません."));
}

TEST(CentredOrigin, HalvesAreCutTowardZero)
{
    const struct {
        const char* name;
        QRect screen;
        QSize window;
        QPoint origin;
    } cases[] = {
        {"Even", {0, 0, 1024, 768}, {400, 400}, {312, 184}},
        {"OddRemainderDropped", {0, 0, 1024, 768}, {401, 412}, {311, 178}},
        {"WindowWiderThanScreen", {0, 0, 300, 200}, {401, 412}, {-50, -106}},
        {"ScreenNotAtOrigin", {1920, 0, 1280, 1024}, {509, 186}, {1920 + 385, 419}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CentredOrigin(c.screen, c.window), c.origin);
    }
}

}  // namespace
}  // namespace kurvane::gui
