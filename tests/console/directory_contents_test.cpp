// kestacon on two folders: telling equal-size files apart by their contents (-gc), and names
// that hold control characters or bytes that are not UTF-8.
#include "console/command_line.h"
#include "core/utf8.h"
#include "support/test_support.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using testsupport::MakeDirectories;
using testsupport::ProgramResult;
using testsupport::RunProgram;
using testsupport::TempDir;
using testsupport::WriteFile;

std::vector<std::string> OutputLines(const std::string &text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

// The rows of a report: every line but the header and the separators.
std::vector<std::string> Rows(const std::string &output)
{
    std::vector<std::string> rows;
    const std::vector<std::string> lines = OutputLines(output);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        if (lines[i].rfind("-----", 0) != 0)
            rows.push_back(lines[i]);
    }
    return rows;
}

ProgramResult Kestacon(const std::vector<std::string> &arguments)
{
    return RunProgram(KESTACON_PATH, arguments);
}

TEST(DirectoryContents, OptionLetterIsTheConsolesOwn)
{
    const char *argv[] = {"kestacon", "-gc", "-gs", "-gc-t-", "-gsc", "a", "b"};
    const ConsoleOptions options = ParseCommandLine(7, argv);
    EXPECT_TRUE(options.compareContents);
    EXPECT_EQ(options.compare.dirOptions & kDirIgnoreDate, 0);
    const char *cleared[] = {"kestacon", "-gc", "-g", "c-", "a", "b"};
    EXPECT_FALSE(ParseCommandLine(6, cleared).compareContents);
    // The settings' directory bits are the same with or without the letter.
    const char *plain[] = {"kestacon", "-gs", "a", "b"};
    const char *withContent[] = {"kestacon", "-gsc", "a", "b"};
    EXPECT_EQ(ParseCommandLine(4, plain).compare.dirOptions,
              ParseCommandLine(4, withContent).compare.dirOptions);
}

TEST(DirectoryContents, EqualSizeFilesAreToldApartOnlyWithContentComparison)
{
    TempDir dir;
    WriteFile(dir / "l/same.txt", "identical\n");
    WriteFile(dir / "r/same.txt", "identical\n");
    WriteFile(dir / "l/sub/changed.txt", "abcdef\n");
    WriteFile(dir / "r/sub/changed.txt", "abcxef\n");
    // A link to nothing is listed with the size of its target's name; it cannot be read.
    WriteFile(dir / "l/gone.txt", "nope");
    ASSERT_EQ(symlink("nope", (dir / "r/gone.txt").c_str()), 0);
    // One time stamp for both sides: files written across a second boundary would differ by
    // date, which the listing shows whatever their contents.
    for (const char *path :
         {"l/same.txt", "r/same.txt", "l/sub/changed.txt", "r/sub/changed.txt"}) {
        const timespec stamps[2] = {{1'700'000'000, 0}, {1'700'000'000, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, (dir / path).c_str(), stamps, 0), 0);
    }

    const ProgramResult plain = Kestacon({dir / "l", dir / "r"});
    ASSERT_EQ(plain.status, 0) << plain.output;
    EXPECT_TRUE(Rows(plain.output).empty()) << plain.output;

    for (const char *option : {"-gc", "-gc+"}) {
        const ProgramResult content = Kestacon({option, dir / "l", dir / "r"});
        ASSERT_EQ(content.status, 0) << content.output;
        const std::vector<std::string> rows = Rows(content.output);
        ASSERT_EQ(rows.size(), 2U) << content.output;
        EXPECT_NE(content.output.find("changed"), std::string::npos);
        EXPECT_NE(content.output.find("gone"), std::string::npos);
        EXPECT_EQ(content.output.find("same"), std::string::npos);
    }
    const ProgramResult cleared = Kestacon({"-gc", "-gc-", dir / "l", dir / "r"});
    EXPECT_EQ(cleared.output, plain.output);

    // With every row shown the content decides the marker.
    const ProgramResult all = Kestacon({"-a", "-gc", dir / "l", dir / "r"});
    for (const std::string &row : Rows(all.output)) {
        if (row.find("same") != std::string::npos) {
            EXPECT_NE(row.find(" | "), std::string::npos) << row;
        }
        if (row.find("changed") != std::string::npos) {
            EXPECT_EQ(row.find(" | "), std::string::npos) << row;
        }
    }
}

TEST(DirectoryContents, AwkwardNamesKeepOneLinePerRowWithinTheWidth)
{
    TempDir dir;
    const std::vector<std::string> names = {
        "new\nline",      "tab\there", "back\\slash",
        "co:lon",         "-dash",     "bad\xff\xfe",
        "ctl\x01\x1b[2J", "del\x7f",   std::string(60, 'w') + "\n" + std::string(60, 'x'),
    };
    MakeDirectories(dir / "r");
    for (const std::string &name : names)
        WriteFile(dir / ("l/" + name), "x");

    for (const int width : {20, 41, 79, 120}) {
        const ProgramResult result = Kestacon({"-w", std::to_string(width), dir / "l", dir / "r"});
        ASSERT_EQ(result.status, 0) << result.output;
        const std::vector<std::string> lines = OutputLines(result.output);
        // The header, a separator, one line per name and the closing separator.
        EXPECT_EQ(lines.size(), names.size() + 3) << result.output;
        for (const std::string &line : lines) {
            // The header names both sides in full, however long their paths.
            const std::size_t limit = &line == &lines.front() ? line.size() : width;
            EXPECT_LE(DisplayWidth(line), limit) << line;
            for (const char c : line)
                EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 || c == 0x7f) << line;
        }
    }
    const ProgramResult wide = Kestacon({"-w", "200", dir / "l", dir / "r"});
    EXPECT_NE(wide.output.find("new?line"), std::string::npos);
    EXPECT_NE(wide.output.find("tab?here"), std::string::npos);
    EXPECT_NE(wide.output.find("back\\slash"), std::string::npos);
    EXPECT_NE(wide.output.find("bad\xff\xfe"), std::string::npos);
}

} // namespace
