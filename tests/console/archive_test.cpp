// kestacon with zip archives on one or both sides: an archive against a folder, a file against
// a member of an archive, and two archives. Extracted members leave nothing behind.
#include "support/test_support.h"
#include "support/zip_writer.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using testsupport::ProgramResult;
using testsupport::RunProgram;
using testsupport::TempDir;
using testsupport::WriteFile;
using testsupport::ZipWriter;

const std::string kSeparator
    = "---------------------------------------+---------------------------------------\n";

class ArchiveSides : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The copies of extracted members go to a private folder under TMPDIR.
        setenv("TMPDIR", m_temporary.Path().c_str(), 1);
        ZipWriter left;
        left.AddStored("a.txt", "one\ntwo\n");
        left.AddDeflated("sub/x.txt", "x\n");
        left.AddStored("only.txt", "o\n");
        left.WriteTo(m_dir / "l.zip");
        ZipWriter right;
        right.AddDeflated("a.txt", "one\nTWO\n");
        right.AddStored("sub/x.txt", "x\n");
        right.WriteTo(m_dir / "r.zip");
    }

    ProgramResult Kestacon(const std::vector<std::string> &arguments)
    {
        return RunProgram(KESTACON_PATH, arguments, "", m_dir.Path());
    }

    void ExpectNothingLeftInTmp() const
    {
        EXPECT_TRUE(std::filesystem::is_empty(m_temporary.Path()));
    }

    TempDir m_dir;
    TempDir m_temporary;
};

TEST_F(ArchiveSides, TwoArchivesCompareTheirListings)
{
    // a.txt has the same size on both sides; the stored CRC-32 tells the contents apart.
    ProgramResult result = Kestacon({"l.zip", "r.zip"});
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output,
              "l.zip                                  r.zip\n" + kSeparator
                  + "a       .txt       8 01.01.1980  0:00  + a       .txt       8 01.01.1980 "
                    " 0:00\n"
                    "only    .txt       2 01.01.1980  0:00  > \n"
                  + kSeparator);

    result = Kestacon({"-a", "l.zip", "r.zip"});
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.output.find("x       .txt  sub/"), std::string::npos) << result.output;
    ExpectNothingLeftInTmp();
}

TEST_F(ArchiveSides, ArchiveAgainstAFolderTakesTheSameNamedArchiveInIt)
{
    ZipWriter same;
    same.AddStored("a.txt", "one\ntwo\n");
    same.WriteTo(m_dir / "d/l.zip");
    ProgramResult result = Kestacon({"l.zip", "d"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output.substr(0, result.output.find('\n')),
              "l.zip                                  ./d/l.zip");
    EXPECT_NE(result.output.find("only    .txt"), std::string::npos) << result.output;

    // Without one, the archive's members are compared with the folder's entries.
    WriteFile(m_dir / "e/a.txt", "one\ntwo\n");
    WriteFile(m_dir / "e/only.txt", "o\n");
    WriteFile(m_dir / "e/new.txt", "n\n");
    result = Kestacon({"l.zip", "e"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output.find("only"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("< new     .txt"), std::string::npos) << result.output;
}

TEST_F(ArchiveSides, FileAgainstTheMemberOfTheSameName)
{
    WriteFile(m_dir / "a.txt", "one\nTWO\n");
    ProgramResult result = Kestacon({"a.txt", "l.zip"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output, "a.txt                                  l.zip/a.txt\n" + kSeparator
                                 + "one                                    | one\n"
                                   "TWO                                    + two\n"
                                 + kSeparator);
    ExpectNothingLeftInTmp();

    // A member that is missing or damaged cannot be extracted.
    ZipWriter damaged;
    damaged.AddDeflated("a.txt", "one\ntwo\n").crc ^= 1;
    damaged.WriteTo(m_dir / "bad.zip");
    WriteFile(m_dir / "missing.txt", "m\n");
    const struct
    {
        std::string file;
        std::string archive;
    } failures[] = {{"a.txt", "bad.zip"}, {"missing.txt", "l.zip"}};
    for (const auto &failure : failures) {
        result = Kestacon({failure.file, failure.archive});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.output,
                  "Error " + failure.archive + " 0: cannot extract " + failure.file + "\n");
    }
    ExpectNothingLeftInTmp();
}

} // namespace
