// kestacon when a side cannot be read: the line it ends with names what could not be read, on
// whichever side, and why in the system's words.
#include "console/messages.h"
#include "support/test_support.h"

#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using testsupport::DeepFolder;
using testsupport::ProgramResult;
using testsupport::RunProgram;
using testsupport::TempDir;
using testsupport::WriteFile;

bool EndsWith(const std::string &text, const std::string &end)
{
    return text.size() >= end.size()
           && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Both orders of the two sides: the failing one is named wherever it stands.
std::vector<std::vector<std::string>> BothOrders(const std::string &bad, const std::string &good)
{
    return {{bad, good}, {good, bad}};
}

TEST(LoadFailure, AnUnreadableFolderOrFileIsNamedWithTheReason)
{
    const TempDir dir;
    WriteFile(dir / "L/sub/f.txt", "a\n");
    WriteFile(dir / "R/sub/f.txt", "a\n");
    // Large enough that the second side is read on a thread of its own.
    std::string lines;
    while (lines.size() < 700000)
        lines += "a line of a large file\n";
    WriteFile(dir / "L/locked.txt", lines);
    WriteFile(dir / "R/open.txt", lines);
    // Whoever runs the program must be able to walk everything but what is locked.
    for (const std::string &path : {dir.Path(), dir / "L", dir / "R", dir / "R/sub"})
        ASSERT_EQ(chmod(path.c_str(), 0755), 0);
    for (const std::string &path : {dir / "R/open.txt", dir / "L/sub/f.txt"})
        ASSERT_EQ(chmod(path.c_str(), 0644), 0);
    for (const std::string &path : {dir / "L/sub", dir / "L/locked.txt"})
        ASSERT_EQ(chmod(path.c_str(), 0), 0);

    // The super-user reads anything: the program then runs as nobody.
    std::string program = KESTACON_PATH;
    std::vector<std::string> prefix;
    if (geteuid() == 0) {
        program = "/usr/bin/setpriv";
        if (access(program.c_str(), X_OK) != 0)
            GTEST_SKIP() << "running as root without setpriv";
        prefix = {"--reuid=65534", "--regid=65534", "--clear-groups", KESTACON_PATH};
    }
    const std::vector<std::string> locked[]
        = {{dir / "L", dir / "R", dir / "L/sub"},
           {dir / "L/locked.txt", dir / "R/open.txt", dir / "L/locked.txt"}};
    for (const std::vector<std::string> &names : locked) {
        for (const std::vector<std::string> &sides : BothOrders(names[0], names[1])) {
            std::vector<std::string> arguments = prefix;
            arguments.insert(arguments.end(), sides.begin(), sides.end());
            const ProgramResult result = RunProgram(program, arguments);
            EXPECT_EQ(result.status, 1);
            EXPECT_EQ(result.output, "Fatal " + names[2] + " 0: Permission denied\n") << sides[0];
        }
    }
    ASSERT_EQ(chmod((dir / "L/sub").c_str(), 0755), 0);
}

TEST(LoadFailure, APathLongerThanTheSystemAllowsIsNamedWithTheReason)
{
    const TempDir dir;
    WriteFile(dir / "R/f.txt", "a\n");
    const DeepFolder deep(dir / "L");
    for (const std::vector<std::string> &sides : BothOrders(dir / "L", dir / "R")) {
        const ProgramResult result = RunProgram(KESTACON_PATH, sides);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.output.rfind("Fatal " + dir / "L/", 0), 0u) << result.output;
        EXPECT_TRUE(EndsWith(result.output, " 0: File name too long\n")) << result.output;
    }
    // Given as a side itself, it is not said to be missing.
    const ProgramResult named = RunProgram(KESTACON_PATH, {deep.Deepest(), dir / "R"});
    EXPECT_EQ(named.status, 1);
    EXPECT_EQ(named.output, "Error " + deep.Deepest() + " 0: File name too long\n");
}

TEST(LoadFailure, ControlCharactersInANameCannotBreakTheLine)
{
    EXPECT_EQ(ErrorLine(kFatalKind,
                        "a\nb\x1b[31m\x7f\xc2\x9b"
                        "c\xc3\xa9",
                        "gone\r"),
              "Fatal a?b?[31m??c\xc3\xa9 0: gone?");
}

} // namespace
