#include "console/pager.h"
#include "console/scripted_keys.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

struct PagedRun
{
    std::vector<int> promptsAfterLine; // 1-based line after which the pager prompted
    int linesAccepted = 0;             // lines printed before the reader stopped
    std::string output;
};

// Prints up to lineCount numbered lines through a pager that reads keys from the script.
PagedRun PrintThroughPager(int lineCount, std::deque<int> keys)
{
    CapturedOutput out;
    ScriptedKeys script(std::move(keys));
    Pager pager(out.File(), &script);
    PagedRun run;
    for (int line = 1; line <= lineCount; ++line) {
        const int waitsBefore = script.waits;
        const bool goOn = pager.PrintLine("line " + std::to_string(line));
        if (script.waits != waitsBefore) {
            run.promptsAfterLine.push_back(line);
        }
        if (!goOn) {
            break;
        }
        run.linesAccepted = line;
    }
    run.output = out.Text();
    return run;
}

TEST(Pager, PromptsAfterEveryTwentyFourLinesOrOneLineAfterSpace)
{
    struct Case
    {
        const char *name;
        std::deque<int> keys;
        std::vector<int> prompts;
    };
    const Case cases[] = {
        {"other keys", {'x', '\r', kKeyOther, 'z'}, {24, 48, 72, 96}},
        {"space", {kKeySpace, kKeySpace, 'x', 'x', 'x', 'x'}, {24, 25, 26, 50, 74, 98}},
        {"space after a page", {'x', kKeySpace, 'x', 'x', 'x'}, {24, 48, 49, 73, 97}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const PagedRun run = PrintThroughPager(100, c.keys);
        EXPECT_EQ(run.promptsAfterLine, c.prompts);
        EXPECT_EQ(run.linesAccepted, 100);
    }
}

TEST(Pager, EscapeControlCQOrALostTerminalStopTheOutput)
{
    for (int key : {kKeyEscape, kKeyCtrlC, int{'q'}, int{'Q'}, -1}) {
        SCOPED_TRACE(key);
        CapturedOutput out;
        ScriptedKeys script({key});
        Pager pager(out.File(), &script);
        for (int line = 1; line < 24; ++line) {
            ASSERT_TRUE(pager.PrintLine("row"));
        }
        EXPECT_FALSE(pager.PrintLine("last row shown"));
        EXPECT_TRUE(pager.Stopped());
        EXPECT_FALSE(pager.PrintLine("never shown"));
        EXPECT_FALSE(pager.AfterLine());
        EXPECT_EQ(script.waits, 1);
        const std::string text = out.Text();
        EXPECT_NE(text.find("last row shown\n"), std::string::npos);
        EXPECT_EQ(text.find("never shown"), std::string::npos);
    }
}

TEST(Pager, PromptIsRemovedAfterTheKey)
{
    const PagedRun run = PrintThroughPager(25, {'x'});
    const std::string prompt(kPagerPrompt);
    const std::string removal = "\r" + std::string(prompt.size(), ' ') + "\r";
    EXPECT_NE(run.output.find("line 24\n" + prompt + removal + "line 25\n"), std::string::npos);
}

TEST(Pager, WithoutKeysNothingIsPaged)
{
    CapturedOutput out;
    Pager pager(out.File(), nullptr);
    std::string expected;
    for (int line = 0; line < 100; ++line) {
        ASSERT_TRUE(pager.PrintLine("row"));
        expected += "row\n";
    }
    EXPECT_LT(pager.Counter(), 0);
    EXPECT_EQ(out.Text(), expected);
}

} // namespace
