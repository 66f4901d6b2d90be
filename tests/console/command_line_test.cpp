#include "console/command_line.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// Parses "kestacon" followed by the given arguments. The strings must outlive the record.
struct Parsed
{
    explicit Parsed(std::vector<std::string> arguments) : m_arguments(std::move(arguments))
    {
        m_arguments.insert(m_arguments.begin(), "kestacon");
        for (const std::string &argument : m_arguments) {
            m_argv.push_back(argument.c_str());
        }
        m_argv.push_back(nullptr);
        options = ParseCommandLine(static_cast<int>(m_arguments.size()), m_argv.data());
    }
    std::string Left() const { return options.LeftSide() ? options.LeftSide() : "(none)"; }
    std::string Right() const { return options.RightSide() ? options.RightSide() : "(none)"; }

    ConsoleOptions options;

private:
    std::vector<std::string> m_arguments;
    std::vector<const char *> m_argv;
};

struct Case
{
    std::vector<std::string> arguments;
    int parseStatus;
    int tabSize;
    int width;
    int margin;
    unsigned optionBits;
    std::string left;
    std::string right;
};

TEST(CommandLine, LettersValuesAndRanges)
{
    const Case cases[] = {
        // arguments                       status tab width margin bits left right
        {{"a", "b"}, 0, 4, 79, 1, 0x00, "a", "b"},
        {{"-t", "8", "a", "b"}, 0, 8, 79, 1, 0x00, "a", "b"},
        {{"-t8", "a", "b"}, 0, 8, 79, 1, 0x00, "a", "b"},
        {{"-T8", "a"}, 0, 8, 79, 1, 0x00, "a", "(none)"},
        {{"-t25", "a", "b"}, 0, 4, 79, 1, 0x00, "a", "b"},
        {{"-t0", "a"}, 0, 4, 79, 1, 0x00, "a", "(none)"},
        {{"-t1", "-t19", "a"}, 0, 19, 79, 1, 0x00, "a", "(none)"},
        {{"-t8x", "a"}, 0, 8, 79, 1, 0x00, "a", "(none)"},
        // A value that is no number is ignored, and it still uses up its argument.
        {{"-t", "a.txt", "b.txt"}, 0, 4, 79, 1, 0x00, "b.txt", "(none)"},
        {{"-w10", "a"}, 0, 4, 79, 1, 0x00, "a", "(none)"},
        {{"-w20", "a"}, 0, 4, 20, 1, 0x00, "a", "(none)"},
        {{"-W", "132", "a"}, 0, 4, 132, 1, 0x00, "a", "(none)"},
        {{"-w99999999999", "a"}, 0, 4, 79, 1, 0x00, "a", "(none)"},
        {{"-m-3", "a"}, 0, 4, 79, 1, 0x00, "a", "(none)"},
        {{"-m0", "a"}, 0, 4, 79, 0, 0x00, "a", "(none)"},
        {{"-m", "5", "a"}, 0, 4, 79, 5, 0x00, "a", "(none)"},
        // The next argument is no value when it is an option itself.
        {{"-t", "-a", "x"}, 0, 4, 79, 1, 0x04, "x", "(none)"},
        {{"-a", "a"}, 0, 4, 79, 1, 0x04, "a", "(none)"},
        {{"-a", "-a-", "a"}, 0, 4, 79, 1, 0x00, "a", "(none)"},
        {{"-ab", "a"}, 0, 4, 79, 1, 0x24, "a", "(none)"},
        {{"-a-b", "a"}, 0, 4, 79, 1, 0x20, "a", "(none)"},
        {{"-A+B", "a"}, 0, 4, 79, 1, 0x24, "a", "(none)"},
        {{"-abcfnsx", "a"}, 0, 4, 79, 1, 0xFE, "a", "(none)"},
        {{"-ABCFNSX", "-f-", "a"}, 0, 4, 79, 1, 0x7E, "a", "(none)"},
        {{"-xt8n", "a"}, 0, 8, 79, 1, 0x40, "a", "(none)"},
        // "--" ends the options and is skipped; a lone "-" is a name.
        {{"--", "-a", "b"}, 0, 4, 79, 1, 0x00, "-a", "b"},
        {{"-", "b"}, 0, 4, 79, 1, 0x00, "-", "b"},
        {{"a", "-b"}, 0, 4, 79, 1, 0x00, "a", "-b"},
        {{}, 0, 4, 79, 1, 0x00, "(none)", "(none)"},
        {{"-a"}, 0, 4, 79, 1, 0x04, "(none)", "(none)"},
        // Unknown letters stop the parse, also after good ones and as "--word".
        {{"-q", "a", "b"}, -1, 4, 79, 1, 0x00, "-q", "a"},
        {{"-aq", "a"}, -1, 4, 79, 1, 0x04, "-aq", "a"},
        {{"-a", "-Q", "-b", "a"}, -1, 4, 79, 1, 0x04, "-Q", "-b"},
        {{"--verbose", "a"}, -1, 4, 79, 1, 0x00, "--verbose", "a"},
        {{"-a+-", "a"}, -1, 4, 79, 1, 0x04, "-a+-", "a"},
    };
    for (const Case &c : cases) {
        std::string name;
        for (const std::string &a : c.arguments) {
            name += "'" + a + "' ";
        }
        SCOPED_TRACE(name);
        Parsed parsed(c.arguments);
        const CompareOptions &o = parsed.options.compare;
        EXPECT_EQ(o.parseStatus, c.parseStatus);
        EXPECT_EQ(o.tabSize, c.tabSize);
        EXPECT_EQ(o.outputWidth, c.width);
        EXPECT_EQ(o.marginLines, c.margin);
        EXPECT_EQ(o.optionBits, c.optionBits);
        EXPECT_EQ(parsed.Left(), c.left);
        EXPECT_EQ(parsed.Right(), c.right);
        EXPECT_EQ(o.subDirLevel, 99);
    }
}

TEST(CommandLine, DirectoryOptionsAndSortMode)
{
    struct DirectoryCase
    {
        std::vector<std::string> arguments;
        unsigned dirOptions;
        int sortMode;
    };
    const DirectoryCase cases[] = {
        {{"a"}, 0x38D, 3},
        {{"-gi", "a"}, 0x38F, 3},
        {{"-G", "S", "a"}, 0x39D, 3},
        {{"-gt-u-", "a"}, 0x380, 3},
        {{"-gt-", "-gt", "a"}, 0x38D, 3},
        {{"-gs", "-gis-x", "a"}, 0x38F, 3},
        {{"-on", "a"}, 0x38D, 1},
        {{"-oE", "a"}, 0x38D, 2},
        {{"-os", "a"}, 0x38D, 4},
        {{"-on", "-ot", "a"}, 0x38D, 3},
        {{"-on", "-od", "a"}, 0x38D, 3},
        {{"-on", "-ox", "a"}, 0x38D, 1},
        {{"-o", "e", "a"}, 0x38D, 2},
        {{"-o", "-n", "a"}, 0x38D, 3}, // -o gets no value, -n numbers the lines
    };
    for (const DirectoryCase &c : cases) {
        SCOPED_TRACE(c.arguments.front());
        Parsed parsed(c.arguments);
        EXPECT_EQ(parsed.options.compare.parseStatus, 0);
        EXPECT_EQ(parsed.options.compare.dirOptions, c.dirOptions);
        EXPECT_EQ(parsed.options.compare.sortMode, c.sortMode);
        EXPECT_EQ(parsed.Left(), "a");
    }
}

TEST(CommandLine, RequestsForInformationHelpAndVersion)
{
    EXPECT_EQ(Parsed({"-i"}).options.informationRequest, 1);
    EXPECT_EQ(Parsed({"-I", "a", "b"}).options.informationRequest, 1);
    EXPECT_EQ(Parsed({"-i", "-i-"}).options.informationRequest, 0);
    // The information request set before an error survives it.
    Parsed infoThenError({"-iq"});
    EXPECT_EQ(infoThenError.options.informationRequest, 1);
    EXPECT_EQ(infoThenError.options.compare.parseStatus, -1);

    EXPECT_EQ(Parsed({"--help"}).options.longRequest, LongRequest::Help);
    EXPECT_EQ(Parsed({"-a", "--help", "-q"}).options.longRequest, LongRequest::Help);
    EXPECT_EQ(Parsed({"--version", "a"}).options.longRequest, LongRequest::Version);
    // After the sides, a long option is only a name.
    Parsed late({"a", "--help"});
    EXPECT_EQ(late.options.longRequest, LongRequest::None);
    EXPECT_EQ(late.Right(), "--help");
    Parsed misspelt({"--helpme"});
    EXPECT_EQ(misspelt.options.longRequest, LongRequest::None);
    EXPECT_EQ(misspelt.options.compare.parseStatus, -1);
}

TEST(CommandLine, ValueOfTheLastOptionIsKept)
{
    Parsed separate({"-w", "100", "a"});
    ASSERT_NE(separate.options.optionValue, nullptr);
    EXPECT_STREQ(separate.options.optionValue, "100");
    Parsed joined({"-t7", "a"});
    ASSERT_NE(joined.options.optionValue, nullptr);
    EXPECT_STREQ(joined.options.optionValue, "7");
    EXPECT_EQ(Parsed({"-w"}).options.optionValue, nullptr);
}

} // namespace
