#include "tests/toolkit/toolkit_test_application.h"
#include "toolkit/desktop.h"

#include <QDeadlineTimer>
#include <gtest/gtest.h>
#include <vector>

namespace {

class TimerWindow : public WINDOW
{
public:
    int MessageHandler(unsigned message) override
    {
        if (message != kMsgTimer)
            return 1;
        ticks.push_back(m_wParam);
        return 0;
    }
    std::vector<MessageParam> ticks;
};

} // namespace

TEST(Desktop, MessageBoxHookAnswersInsteadOfTheUser)
{
    TestApplication();
    std::string seenText;
    unsigned seenStyle = 0;
    SetMessageBoxHook([&](const std::string &text, const std::string &, unsigned style) {
        seenText = text;
        seenStyle = style;
        return kIdNo;
    });
    EXPECT_EQ(MessageBox(nullptr, "File has been modified", "kesta",
                         kMbYesNo | kMbIconExclamation | kMbSystemModal),
              kIdNo);
    EXPECT_EQ(seenText, "File has been modified");
    EXPECT_EQ(seenStyle, kMbYesNo | kMbIconExclamation | kMbSystemModal);
    SetMessageBoxHook(nullptr);
}

TEST(Desktop, TimerSendsItsIdUntilKilled)
{
    TestApplication();
    ASSERT_EQ(RegisterWindowClass("TimerWindow", /*opaque=*/false), 1);
    TimerWindow window;
    ASSERT_NE(CreateKestaWindow("TimerWindow", &window, nullptr, 0, 0, 10, 10), nullptr);
    ASSERT_TRUE(SetTimer(window.m_hWnd, 7, 1));
    const QDeadlineTimer deadline(5000);
    while (window.ticks.size() < 2 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    ASSERT_GE(window.ticks.size(), 2u);
    EXPECT_EQ(window.ticks.front(), 7u);

    KillTimer(window.m_hWnd, 7);
    const std::size_t ticks = window.ticks.size();
    const QDeadlineTimer quiet(50);
    while (!quiet.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(window.ticks.size(), ticks);
}

TEST(Desktop, ClipboardTextRoundTripsUtf8)
{
    TestApplication();
    ASSERT_TRUE(SetClipboardText("line one\nzwei \xC3\xA4\n"));
    EXPECT_EQ(ClipboardText(), "line one\nzwei \xC3\xA4\n");
}

TEST(Desktop, MessageLoopRunsUntilTheQuitMessage)
{
    TestApplication();
    PostQuitMessage(3);
    EXPECT_EQ(RunMessageLoop(), 3);
}
