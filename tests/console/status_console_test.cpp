#include "console/scripted_keys.h"
#include "console/status_console.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace {

const std::string kCleared = "\r" + std::string(40, ' ') + "\r";

TEST(StatusConsole, MessagesClearTheLineBeforeTheyShow)
{
    CapturedOutput out;
    STATUS_CONSOLE status(out.File(), nullptr);
    EXPECT_EQ(status.StepCount(), 1);
    EXPECT_EQ(status.StepWidth(), 100);
    EXPECT_EQ(status.CurrentStep(), -1);
    status.ShowMessage("Loading a.txt ");
    status.ShowMessage(nullptr);
    EXPECT_EQ(out.Text(), "\r" + kCleared + "Loading a.txt " + kCleared);
}

TEST(StatusConsole, ALongMessageAndItsDotsAreClearedCompletely)
{
    CapturedOutput out;
    STATUS_CONSOLE status(out.File(), nullptr);
    const std::string longText(50, 'n');
    status.ShowMessage(longText.c_str());
    EXPECT_EQ(status.ShowProgress(10, 10), 0);
    status.ShowMessage(nullptr);
    EXPECT_EQ(out.Text(), "\r" + kCleared + longText + "." + "\r" + std::string(51, ' ') + "\r");
}

// Counts the dots printed by a series of progress reports after one message.
int DotsFor(const std::vector<std::pair<std::int64_t, std::int64_t>> &reports)
{
    CapturedOutput out;
    STATUS_CONSOLE status(out.File(), nullptr);
    status.ShowMessage("work ");
    for (auto [total, done] : reports) {
        EXPECT_EQ(status.ShowProgress(total, done), 0);
    }
    const std::string text = out.Text();
    return static_cast<int>(std::count(text.begin(), text.end(), '.'));
}

TEST(StatusConsole, OneDotPerTenthOfTheWork)
{
    std::vector<std::pair<std::int64_t, std::int64_t>> hundred;
    for (int done = 0; done <= 100; ++done) {
        hundred.emplace_back(100, done);
    }
    EXPECT_EQ(DotsFor(hundred), 10);
    EXPECT_EQ(DotsFor({{100, 0}, {100, 9}}), 0);
    // A jump prints one dot, not the tenths it skipped.
    EXPECT_EQ(DotsFor({{100, 55}, {100, 100}}), 2);
    // No total counts as done: one dot, then nothing more to show.
    EXPECT_EQ(DotsFor({{0, 0}, {0, 0}, {10, 10}}), 1);
    EXPECT_EQ(DotsFor({{10, 25}, {10, 30}}), 1);
    EXPECT_EQ(DotsFor({{10, -5}}), 0);
    constexpr std::int64_t kHuge = std::numeric_limits<std::int64_t>::max();
    EXPECT_EQ(DotsFor({{kHuge, kHuge / 2}, {kHuge, kHuge - 1}, {kHuge, kHuge}}), 3);
}

TEST(StatusConsole, EachMessageStartsItsDotsAgain)
{
    CapturedOutput out;
    STATUS_CONSOLE status(out.File(), nullptr);
    status.ShowMessage("left ");
    EXPECT_EQ(status.ShowProgress(2, 2), 0);
    EXPECT_EQ(status.ShownPosition(), 10);
    status.ShowMessage("right ");
    EXPECT_EQ(status.ShownPosition(), 0);
    EXPECT_EQ(status.ShowProgress(2, 1), 0);
    EXPECT_EQ(out.Text(), "\r" + kCleared + "left ." + kCleared + "right .");
}

TEST(StatusConsole, AKeyPressedDuringTheWorkCancelsIt)
{
    CapturedOutput out;
    ScriptedKeys keys({0, 'k'});
    STATUS_CONSOLE status(out.File(), &keys);
    status.ShowMessage("work ");
    EXPECT_EQ(status.ShowProgress(10, 1), 0); // a dot, no key waiting yet
    EXPECT_EQ(status.ShowProgress(10, 1), 0); // no new tenth: the keyboard is not looked at
    EXPECT_EQ(keys.polls, 1);
    EXPECT_EQ(status.ShowProgress(10, 2), 'k'); // the next dot finds the key
    EXPECT_EQ(status.CheckCancel(), 0);
}

TEST(StatusConsole, WithoutKeysNothingCancels)
{
    CapturedOutput out;
    STATUS_CONSOLE status(out.File(), nullptr);
    EXPECT_EQ(status.CheckCancel(), 0);
    EXPECT_EQ(status.ShowProgress(1, 1), 0);
}

} // namespace
