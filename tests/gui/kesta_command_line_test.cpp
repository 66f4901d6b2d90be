#include "gui/command_line.h"
#include "gui/settings.h"

#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

using Arguments = std::vector<std::string>;

TEST(SplitCommandLine, QuotesAndBackslashes)
{
    struct Case
    {
        const char *text;
        Arguments expected; // after "Kesta"
    };
    const Case cases[] = {
        {"", {}},
        {" \t ", {}},
        {"a  b\tc", {"a", "b", "c"}},
        {"\"C:\\My Files\\a.txt\" b.txt", {"C:\\My Files\\a.txt", "b.txt"}},
        {"\\\\\"two words\"", {"\\two words"}},
        {"\\\"x", {"\"x"}},
        {"a\\\\\\\"b", {"a\\\"b"}},        // three backslashes and a quote
        {"a\\\\b c\\", {"a\\\\b", "c\\"}}, // backslashes without a quote stay
        {"\"a\"\"b c", {"a\"b", "c"}},     // "" inside quotes: a quote, quoting ends
        {"\"open to the end", {"open to the end"}},
        {"x\"\"y", {"xy"}},
        {"\"\"", {""}},
    };
    for (const Case &c : cases) {
        Arguments expected = {"Kesta"};
        expected.insert(expected.end(), c.expected.begin(), c.expected.end());
        EXPECT_EQ(SplitCommandLine(c.text), expected) << c.text;
    }
}

namespace {

struct Applied
{
    SETTINGS settings{std::string("/work")};
    KestaCommandLine line;
};

Applied Apply(const Arguments &afterProgram)
{
    Arguments arguments = {"Kesta"};
    arguments.insert(arguments.end(), afterProgram.begin(), afterProgram.end());
    Applied applied;
    applied.line = ApplyCommandLine(arguments, applied.settings);
    return applied;
}

} // namespace

TEST(KestaOptions, NumbersAndTheirRanges)
{
    struct Case
    {
        Arguments arguments;
        int tabSize;
        int width;
        int margin;
        const char *left;
        const char *right;
    };
    const Case cases[] = {
        {{"-t25", "a", "b"}, 4, 79, 3, "a", "b"},
        {{"-t0"}, 4, 79, 3, "", ""},
        {{"-t19", "-w20", "-m0"}, 19, 20, 0, "", ""},
        {{"-t", "8", "a", "b"}, 8, 79, 3, "a", "b"},
        {{"-T8", "a"}, 8, 79, 3, "a", ""},
        {{"-w19", "-m-1"}, 4, 79, 3, "", ""},
        {{"-mx"}, 4, 79, 0, "", ""}, // no digits read as 0
        {{"-m", "5x", "left"}, 4, 79, 5, "left", ""},
        {{"-t", "--", "a"}, 4, 79, 3, "a", ""}, // "--" is not a value and ends the options
        {{"-t"}, 4, 79, 3, "", ""},
        {{"-t", "", "a"}, 4, 79, 3, "a", ""}, // an empty value reads 0
    };
    for (const Case &c : cases) {
        const Applied a = Apply(c.arguments);
        const std::string shown = ::testing::PrintToString(c.arguments);
        EXPECT_EQ(a.settings.compare.tabSize, c.tabSize) << shown;
        EXPECT_EQ(a.settings.compare.outputWidth, c.width) << shown;
        EXPECT_EQ(a.settings.compare.marginLines, c.margin) << shown;
        EXPECT_EQ(a.line.left, c.left) << shown;
        EXPECT_EQ(a.line.right, c.right) << shown;
    }
}

TEST(KestaOptions, FlagsSignsAndLetterValues)
{
    struct Case
    {
        Arguments arguments;
        std::uint32_t options;
        std::uint16_t dirOptions;
        int sortMode;
    };
    constexpr std::uint32_t kDefault = 0x164;
    const Case cases[] = {
        {{"-b-"}, kDefault & ~0x20u, 0x38D, 3},
        {{"-b"}, kDefault, 0x38D, 3},
        {{"-b-", "-B+"}, kDefault, 0x38D, 3},
        {{"-a-", "-an"}, kDefault | 0x02, 0x38D, 3},
        {{"-cs-x-"}, (kDefault | 0x08) & ~0x40u, 0x38D, 3},
        {{"-f-"}, kDefault | 0x80, 0x38D, 3}, // never cleared
        {{"-gt-"}, kDefault, 0x381, 3},
        {{"-g", "u-"}, kDefault, 0x38C, 3},
        {{"-gs"}, kDefault, 0x39D, 3},
        {{"-gI"}, kDefault, 0x38F, 3},
        {{"-gis-"}, kDefault, 0x38F, 3}, // only the first letter counts
        {{"-on"}, kDefault, 0x38D, 1},
        {{"-o", "E"}, kDefault, 0x38D, 2},
        {{"-os"}, kDefault, 0x38D, 4},
        {{"-on", "-ot"}, kDefault, 0x38D, 3},
        {{"-on", "-oq"}, kDefault, 0x38D, 1},
    };
    for (const Case &c : cases) {
        const Applied a = Apply(c.arguments);
        const std::string shown = ::testing::PrintToString(c.arguments);
        EXPECT_EQ(a.settings.compare.optionBits, c.options) << shown;
        EXPECT_EQ(a.settings.compare.dirOptions, c.dirOptions) << shown;
        EXPECT_EQ(a.settings.compare.sortMode, c.sortMode) << shown;
    }
}

TEST(KestaOptions, WhereTheOptionsEnd)
{
    // A value-taking letter before another option takes no value; that option still applies.
    Applied a = Apply({"-t", "-n", "x", "y"});
    EXPECT_EQ(a.settings.compare.tabSize, 4);
    EXPECT_TRUE(a.settings.compare.optionBits & 0x02);
    EXPECT_EQ(a.line.optionValue, nullptr);
    EXPECT_EQ(a.line.left, "x");
    EXPECT_EQ(a.line.right, "y");

    a = Apply({"-i", "--", "-n", "b"}); // after "--" everything is a side
    EXPECT_EQ(a.settings.iFlag, 1);
    EXPECT_FALSE(a.settings.compare.optionBits & 0x02);
    EXPECT_EQ(a.line.left, "-n");
    EXPECT_EQ(a.line.right, "b");

    a = Apply({"-", "-n"});
    EXPECT_EQ(a.line.left, "-n");

    // A letter without meaning ends the options; the letters before it apply.
    a = Apply({"-nq", "-c", "left", "right", "third"});
    EXPECT_TRUE(a.settings.compare.optionBits & 0x02);
    EXPECT_FALSE(a.settings.compare.optionBits & 0x08);
    EXPECT_EQ(a.line.nextArgument, 2);
    EXPECT_EQ(a.line.left, "-c");
    EXPECT_EQ(a.line.right, "left");

    a = Apply({"only"}); // one side: the dialog opens at start
    EXPECT_EQ(a.line.left, "only");
    EXPECT_EQ(a.line.right, "");
}

TEST(KestaOptions, SidesBecomeFullPaths)
{
    char buffer[4096];
    ASSERT_NE(getcwd(buffer, sizeof buffer), nullptr);
    const std::string here = buffer;
    EXPECT_EQ(FullSidePath(""), "");
    EXPECT_EQ(FullSidePath("/a/b/../c/./*.txt"), "/a/c/*.txt");
    EXPECT_EQ(FullSidePath("name.txt"), (here == "/" ? "" : here) + "/name.txt");
}
