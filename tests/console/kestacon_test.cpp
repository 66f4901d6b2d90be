// kestacon as a program, with its output redirected: options, texts, sides and exit statuses.
#include "console/pager.h"
#include "support/test_support.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using testsupport::ProgramResult;
using testsupport::RunProgram;
using testsupport::TempDir;
using testsupport::WriteFile;

ProgramResult Kestacon(const std::vector<std::string> &arguments)
{
    return RunProgram(KESTACON_PATH, arguments);
}

bool Contains(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}

// Redirected output has no status line, no dots and no prompts.
void ExpectPlainOutput(const ProgramResult &result)
{
    EXPECT_FALSE(Contains(result.output, "\r")) << result.output;
    EXPECT_FALSE(Contains(result.output, std::string(kPagerPrompt)));
    EXPECT_EQ(result.errors, "");
}

TEST(Kestacon, UsageWhenTheCommandLineCannotBeUsed)
{
    const TempDir dir;
    WriteFile(dir / "a.txt", "a\n");
    const std::vector<std::vector<std::string>> commandLines = {
        {},           {"-a", "-t8"}, {"-q", "a", "b"}, {"-t8", "-z", dir / "a.txt"}, {"--verbose"},
        {dir.Path()}, // a directory alone has nothing to be compared with
    };
    for (const auto &arguments : commandLines) {
        SCOPED_TRACE(arguments.empty() ? "(none)" : arguments.front());
        const ProgramResult result = Kestacon(arguments);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.output.rfind("kestacon ", 0), 0u) << result.output;
        EXPECT_TRUE(Contains(result.output, "Usage: kestacon [options] left [right]\n"));
        EXPECT_TRUE(Contains(result.output, "Exit status"));
        ExpectPlainOutput(result);
    }
}

TEST(Kestacon, UsageListsEveryOptionWithinTheWidth)
{
    const ProgramResult result = Kestacon({"--help"});
    EXPECT_EQ(result.status, 0);
    for (const char *option : {"-a ", "-b ", "-c ", "-f ", "-g ", "-i ", "-m ", "-n ", "-o ", "-s ",
                               "-t ", "-w ", "-x ", "--help", "--version"}) {
        EXPECT_TRUE(Contains(result.output, std::string("\n  ") + option)) << option;
    }
    std::size_t start = 0;
    for (std::size_t end; (end = result.output.find('\n', start)) != std::string::npos;
         start = end + 1) {
        EXPECT_LE(end - start, 79u) << result.output.substr(start, end - start);
    }
    ExpectPlainOutput(result);
}

TEST(Kestacon, VersionAndInformation)
{
    const ProgramResult version = Kestacon({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.output.rfind("kestacon ", 0), 0u);
    EXPECT_EQ(std::count(version.output.begin(), version.output.end(), '\n'), 1);

    // The information request wins over a later bad letter and over the sides.
    for (const std::vector<std::string> &arguments :
         {std::vector<std::string>{"-i"}, {"-I", "a", "b"}, {"-iq"}}) {
        const ProgramResult information = Kestacon(arguments);
        EXPECT_EQ(information.status, 1);
        EXPECT_EQ(information.output.rfind(version.output, 0), 0u) << information.output;
        EXPECT_TRUE(Contains(information.output, "System:"));
        EXPECT_FALSE(Contains(information.output, "Usage"));
        ExpectPlainOutput(information);
    }
}

TEST(Kestacon, AMissingSideIsNamedInAnErrorLine)
{
    const TempDir dir;
    WriteFile(dir / "a.txt", "a\n");
    WriteFile(dir / "x.txt", "x\n");
    struct Case
    {
        std::vector<std::string> arguments;
        std::string output;
    };
    const Case cases[] = {
        {{dir / "none.txt", dir / "a.txt"}, "Error " + (dir / "none.txt") + " 0: not found\n"},
        {{"-t8", dir / "a.txt", dir / "none.txt"},
         "Error " + (dir / "none.txt") + " 0: not found\n"},
        // A file alone is compared with its backup copy.
        {{dir / "x.txt"}, "Error " + (dir / "x.BAK") + " 0: not found\n"},
        {{"--", dir / "x.txt"}, "Error " + (dir / "x.BAK") + " 0: not found\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.output);
        const ProgramResult result = Kestacon(c.arguments);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.output, c.output);
        ExpectPlainOutput(result);
    }
}

TEST(Kestacon, AFileWithItsBackupGoesOnToTheComparison)
{
    const TempDir dir;
    WriteFile(dir / "x.txt", "x\n");
    WriteFile(dir / "x.BAK", "y\n");
    const ProgramResult result = Kestacon({dir / "x.txt"});
    EXPECT_FALSE(Contains(result.output, "not found")) << result.output;
    EXPECT_FALSE(Contains(result.output, "Usage"));
    ExpectPlainOutput(result);
}

} // namespace
