// Executables and libraries compared by the lines made from their version resource, read from
// 32- and 64-bit libraries linked for the test: the lines and their exact blanks, records hashed
// like text lines, changes on disk, and files without version information.
#include "core/options.h"
#include "engine/difflist.h"
#include "engine/exefile.h"
#include "engine/line_hash.h"
#include "engine/line_matching.h"
#include "support/test_support.h"
#include "support/version_binaries.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using testsupport::VersionFields;
using Lines = std::vector<std::string>;

class ExeFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (int bits : {32, 64}) {
            if (std::string missing = testsupport::MissingResourceTools(bits); !missing.empty())
                GTEST_SKIP() << missing;
        }
    }

    // The lines of a library built with fields (none: without a version resource).
    Lines LinesOf(const VersionFields *fields, int bits = 64)
    {
        const std::string path = m_dir / ("lib" + std::to_string(++m_built) + ".dll");
        if (!testsupport::BuildVersionLibrary(path, fields, bits))
            return {"(not built)"};
        EXEFILE file;
        EXPECT_EQ(file.Load(path, m_options, nullptr), 0);
        return file.Lines();
    }

    testsupport::TempDir m_dir;
    CompareOptions m_options;
    int m_built = 0;
};

TEST_F(ExeFileTest, LinesInTheirOrderAndFormats)
{
    VersionFields fields;
    fields.fileVersion = "65535,0,40000,1";
    fields.productVersion = "5,6,7,8";
    fields.translation = "0x0407, 1252, 0x0409, 1200"; // the first entry counts
    EXPECT_EQ(LinesOf(&fields, 32),
              (Lines{"FILEVERSION 65535.0.40000.1", "PRODUCTVERSION 5.6.7.8", "FILEOS NT-Win32",
                     "FILETYPE App", "LANGUAGE German (Germany)"}));

    // An application never has a subtype line: six lines at most.
    fields.flags = 0x3F;
    fields.subtype = 3;
    fields.os = 0x10001;
    fields.translation = "0, 1200";
    EXPECT_EQ(LinesOf(&fields),
              (Lines{"FILEVERSION 65535.0.40000.1", "PRODUCTVERSION 5.6.7.8",
                     "FILEFLAGS Debug PreRelease Patched PrivateBuild InfoInferred SpecialBuild ",
                     "FILEOS DOS-Win16", "FILETYPE App", "LANGUAGE Language Neutral"}));
}

TEST_F(ExeFileTest, FlagFieldsKeepTheirBlanks)
{
    const struct
    {
        std::uint32_t flags;
        const char *line;
    } cases[] = {
        {0x01, "FILEFLAGS Debug      "},
        {0x21, "FILEFLAGS Debug     SpecialBuild "},
        {0x100, "FILEFLAGS       Unknown"},
        {0x102, "FILEFLAGS  PreRelease     Unknown"},
    };
    for (const auto &c : cases) {
        VersionFields fields;
        fields.flags = c.flags;
        const Lines lines = LinesOf(&fields, c.flags % 2 != 0 ? 32 : 64);
        ASSERT_GE(lines.size(), 3u);
        EXPECT_EQ(lines[2], c.line) << c.flags;
    }
}

TEST_F(ExeFileTest, SubtypeLineOnlyForKnownDriversAndFonts)
{
    const struct
    {
        std::uint32_t os, type, subtype;
        const char *osLine, *typeLine, *subtypeLine; // subtypeLine null: none
    } cases[] = {
        {0x4, 4, 3, "FILEOS Win32", "FILETYPE Font", "FILESUBTYPE TrueType font"},
        {0x40000, 3, 4, "FILEOS NT", "FILETYPE Driver", "FILESUBTYPE Display drv"},
        {0x30003, 3, 10, "FILEOS OS/2-32 PM-32", "FILETYPE Driver", "FILESUBTYPE Comm drv"},
        {0x50000, 3, 11, "FILEOS Unknown", "FILETYPE Driver", nullptr},
        {0x40004, 4, 4, "FILEOS NT-Win32", "FILETYPE Font", nullptr},
        {0x40004, 6, 1, "FILEOS NT-Win32", "FILETYPE Unknown", nullptr},
    };
    for (const auto &c : cases) {
        VersionFields fields;
        fields.os = c.os;
        fields.type = c.type;
        fields.subtype = c.subtype;
        fields.translation.clear();
        Lines expected{"FILEVERSION 1.2.3.4", "PRODUCTVERSION 1.2.3.4", c.osLine, c.typeLine};
        if (c.subtypeLine != nullptr)
            expected.push_back(c.subtypeLine);
        EXPECT_EQ(LinesOf(&fields), expected);
    }
}

TEST_F(ExeFileTest, RecordsAreTheLinesHashedAsTextAndReopenSeesChanges)
{
    VersionFields fields;
    const std::string path = m_dir / "v.dll";
    ASSERT_TRUE(testsupport::BuildVersionLibrary(path, &fields, 64));
    m_options.optionBits = kOptIgnoreCase | kOptIgnoreTrailingBlanks;
    EXEFILE file;
    ASSERT_EQ(file.Load(path, m_options, nullptr), 0);

    ASSERT_EQ(file.RecordCount(), 5);
    LineHasher hasher(m_options.optionBits, m_options.tabSize);
    for (std::int64_t k = 0; k < file.RecordCount(); ++k) {
        const std::unique_ptr<STRING> text = file.RecordText(k);
        ASSERT_TRUE(text);
        const LineHash hash = hasher.HashLine(*text);
        const LineRecord &record = file.Records()[static_cast<std::size_t>(k)];
        EXPECT_EQ(record.link, UnmatchedLink(hash.h16));
        EXPECT_EQ(record.hash, hash.h32);
        EXPECT_EQ(file.RecordOffset(k), 0);
    }
    EXPECT_EQ(*file.RecordText(4), "LANGUAGE English (United States)");
    EXPECT_EQ(file.WidestLine(), 32u);
    EXPECT_FALSE(file.RecordText(-1));
    EXPECT_FALSE(file.RecordText(5));
    EXPECT_TRUE(file.Caption().ends_with(
        "  -  " + std::to_string(testsupport::ReadFile(path).size()) + " bytes  -  5 lines"))
        << file.Caption();

    // The lines stay as loaded; Reopen tells that the file changed or went away.
    EXPECT_EQ(file.Reopen(), kOk);
    testsupport::WriteFile(path, "replaced");
    EXPECT_EQ(file.Reopen(), kChangedOnDisk);
    EXPECT_EQ(*file.RecordText(0), "FILEVERSION 1.2.3.4");
    std::remove(path.c_str());
    EXPECT_EQ(file.Reopen(), kEndOrFailure);
}

TEST_F(ExeFileTest, FilesWithoutVersionInformation)
{
    const std::string with = m_dir / "with.dll";
    const std::string without = m_dir / "without.dll";
    VersionFields fields;
    ASSERT_TRUE(testsupport::BuildVersionLibrary(with, &fields, 64));
    ASSERT_TRUE(testsupport::BuildVersionLibrary(without, nullptr, 32));
    testsupport::WriteFile(m_dir / "text.exe", "not an executable\n");

    EXEFILE a, b, c;
    ASSERT_EQ(a.Load(without, m_options, nullptr), 0);
    ASSERT_EQ(b.Load(with, m_options, nullptr), 0);
    ASSERT_EQ(c.Load(m_dir / "text.exe", m_options, nullptr), 0);
    EXPECT_EQ(a.RecordCount(), 0);
    EXPECT_EQ(c.RecordCount(), 0);
    EXPECT_EQ(a.Load(m_dir / "missing.dll", m_options, nullptr), -1);
    ASSERT_EQ(a.Load(without, m_options, nullptr), 0);

    DIFFLIST list;
    ASSERT_EQ(CompareItems(nullptr, a, b, list, 0), kOk);
    ASSERT_EQ(list.Entries().size(), 5u);
    for (const DiffEntry &entry : list.Entries()) {
        EXPECT_EQ(entry.left, -1);
        EXPECT_NE(entry.flags & kEntryDiffers, 0);
    }
    EXEFILE d;
    ASSERT_EQ(d.Load(m_dir / "text.exe", m_options, nullptr), 0);
    ASSERT_EQ(CompareItems(nullptr, c, d, list, 0), kOk);
    EXPECT_TRUE(list.Entries().empty());
}

} // namespace
