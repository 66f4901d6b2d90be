// An open comparison: opening rows as comparisons of their own, swapping sides, the text
// copied from marked rows, and searching the rows.
#include "engine/comparison.h"
#include "engine/directoryobject.h"
#include "support/test_support.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>

using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

std::string Pairs(const DIFFLIST &list)
{
    std::string text;
    for (const DiffEntry &entry : list.Entries()) {
        text += "(" + std::to_string(entry.left) + "," + std::to_string(entry.right)
                + ((entry.flags & kEntryDiffers) != 0 ? ")x " : ") ");
    }
    return text;
}

// The row whose left record has the given relative name, or -1.
std::int64_t RowNamed(COMPARISON &comparison, const std::string &name)
{
    for (std::int64_t row = 0; row < comparison.Result().Count(); ++row) {
        const DiffEntry *entry = comparison.Result().Entry(row);
        auto text = comparison.Left().Object()->RelativeName(entry->left);
        if (text != nullptr && *text == name)
            return row;
    }
    return -1;
}

class ComparisonTest : public ::testing::Test
{
protected:
    void TearDown() override { SetArchiveLister(nullptr); }
    void SetSides(COMPARISON &comparison, const std::string &left, const std::string &right)
    {
        comparison.Left().SetPath(m_dir / left);
        comparison.Right().SetPath(m_dir / right);
    }

    TempDir m_dir;
    CompareOptions m_options;
};

TEST_F(ComparisonTest, OpenRowGoesIntoAFolderAndThenIntoItsFiles)
{
    WriteFile(m_dir / "l/same.txt", "1\n");
    WriteFile(m_dir / "r/same.txt", "1\n");
    WriteFile(m_dir / "l/sub/inner.txt", "a\nb\nc\n");
    WriteFile(m_dir / "r/sub/inner.txt", "a\nx\nc\n");
    // Folder rows shown, subfolders not entered.
    m_options.dirOptions = 0x28C;

    COMPARISON top(m_options);
    SetSides(top, "l", "r");
    ASSERT_EQ(top.Run(nullptr), kOk);
    ASSERT_EQ(top.Result().Count(), 2);
    const std::int64_t folderRow = RowNamed(top, "sub/");
    ASSERT_GE(folderRow, 0);

    std::unique_ptr<COMPARISON> folder = top.OpenRow(folderRow, nullptr);
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(top.CurrentRow(), folderRow);
    EXPECT_EQ(top.MarkAnchor(), folderRow);
    EXPECT_EQ(top.MarkEnd(), folderRow);
    EXPECT_EQ(folder->Left().Text(), m_dir / "l/sub/");
    EXPECT_EQ(folder->RightPath().Text(), m_dir / "r/sub/");

    ASSERT_EQ(folder->Run(nullptr), kOk);
    ASSERT_EQ(folder->Result().Count(), 1);
    std::unique_ptr<COMPARISON> files = folder->OpenRow(0, nullptr);
    ASSERT_NE(files, nullptr);
    EXPECT_EQ(files->Left().Text(), m_dir / "l/sub/inner.txt");
    ASSERT_EQ(files->Run(nullptr), kOk);
    EXPECT_EQ(Pairs(files->Result()), "(0,0) (1,1)x (2,2) ");

    // A file comparison has no rows to open, and rows past the end open nothing.
    EXPECT_EQ(files->OpenRow(1, nullptr), nullptr);
    EXPECT_EQ(top.OpenRow(7, nullptr), nullptr);
    EXPECT_EQ(top.ErrorText(), "");
}

TEST_F(ComparisonTest, OpenRowWithOnlyOneSideMarkedKeepsTheOtherWhole)
{
    WriteFile(m_dir / "l/a.txt", "a\n");
    WriteFile(m_dir / "r/a.txt", "b\n");
    COMPARISON top(m_options);
    SetSides(top, "l", "r");
    ASSERT_EQ(top.Run(nullptr), kOk);
    ASSERT_EQ(top.Result().Count(), 1);

    top.SetCurrentRow(0);
    top.SetSelectedSides(kSideLeft);
    std::unique_ptr<COMPARISON> opened = top.OpenRow(0, nullptr);
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(opened->Left().Text(), m_dir / "l/a.txt");
    EXPECT_EQ(opened->Right().Text(), top.Right().Text());
}

void ListOneMember(DIRECTORYOBJECT &listing, const ITEM & /*archive*/, STATUS_IO * /*status*/)
{
    auto entry = std::make_unique<DirEntry>();
    entry->name = "m.txt";
    listing.AddEntry(std::move(entry));
}

TEST_F(ComparisonTest, OpenRowReportsWhyASideFailed)
{
    SetArchiveLister(ListOneMember);
    WriteFile(m_dir / "a.zip", "PK");
    WriteFile(m_dir / "b.zip", "PK");
    COMPARISON top(m_options);
    SetSides(top, "a.zip", "b.zip");
    ASSERT_EQ(top.Run(nullptr), kOk);
    SetArchiveLister(nullptr);
    ASSERT_EQ(top.Result().Count(), 1);

    EXPECT_EQ(top.OpenRow(0, nullptr), nullptr);
    EXPECT_EQ(top.ErrorText(), "Error"); // not a zip archive
    EXPECT_EQ(top.CurrentRow(), -1);
}

TEST_F(ComparisonTest, SwapSidesExchangesPathsAndNamesButNotExclusions)
{
    WriteFile(m_dir / "l.txt", "a\nb\n");
    WriteFile(m_dir / "r.txt", "a\n");
    COMPARISON comparison(m_options);
    SetSides(comparison, "l.txt", "r.txt");
    comparison.Left().SetDisplayName("left name");
    comparison.Left().SetExclusions("*.o");
    comparison.LeftPath() = PATHNAME(m_dir / "l.txt");
    ASSERT_EQ(comparison.Run(nullptr), kOk);
    EXPECT_EQ(Pairs(comparison.Result()), "(0,0) (1,-1)x ");

    comparison.SwapSides();
    EXPECT_EQ(comparison.Left().Text(), m_dir / "r.txt");
    EXPECT_EQ(comparison.Right().ShownName(), "left name");
    EXPECT_EQ(comparison.Left().Exclusions(), "*.o");
    EXPECT_EQ(comparison.RightPath().Text(), m_dir / "l.txt");
    EXPECT_EQ(comparison.Left().Object(), nullptr);
    EXPECT_EQ(comparison.Right().Object(), nullptr);

    ASSERT_EQ(comparison.Run(nullptr), kOk);
    EXPECT_EQ(Pairs(comparison.Result()), "(0,0) (-1,1)x ");
}

TEST_F(ComparisonTest, SwappedTemporaryCopyIsStillDeletedWithItsSide)
{
    WriteFile(m_dir / "t.000", "a\n");
    WriteFile(m_dir / "r.txt", "a\n");
    {
        COMPARISON comparison(m_options);
        SetSides(comparison, "t.000", "r.txt");
        comparison.Left().SetTemporary(true);
        comparison.SwapSides();
        EXPECT_TRUE(comparison.Right().IsTemporary());
        EXPECT_FALSE(comparison.Left().IsTemporary());
    }
    EXPECT_FALSE(std::filesystem::exists(m_dir / "t.000"));
    EXPECT_TRUE(std::filesystem::exists(m_dir / "r.txt"));
}

// Left a b c d e against a B c d E: rows 1 and 4 differ, with no context around them.
class MarkedTextTest : public ComparisonTest
{
protected:
    void SetUp() override
    {
        WriteFile(m_dir / "l.txt", "a\nb\nc\nd\ne\n");
        WriteFile(m_dir / "r.txt", "a\nB\nc\nd\nE\n");
        m_options.marginLines = 0;
        m_comparison = std::make_unique<COMPARISON>(m_options);
        SetSides(*m_comparison, "l.txt", "r.txt");
        ASSERT_EQ(m_comparison->Run(nullptr), kOk);
        ASSERT_EQ(Pairs(m_comparison->Result()), "(0,0) (1,1)x (2,2) (3,3) (4,4)x ");
        m_comparison->Left().SetDisplayName("L.txt");
        m_comparison->Right().SetDisplayName("R.txt");
    }

    std::string Copied(int numberWidth)
    {
        auto text = m_comparison->ClipboardText(numberWidth);
        return text == nullptr ? "<none>" : *text;
    }

    std::unique_ptr<COMPARISON> m_comparison;
};

TEST_F(MarkedTextTest, ClipboardTextOfBothSidesLinesUpUnderTheNames)
{
    const std::string separator = "-----+------\r\n";
    EXPECT_EQ(Copied(0),
              "L.txt| R.txt\r\n" + separator + "b    + B\r\n" + separator + "e    + E\r\n");
    EXPECT_EQ(Copied(2),
              "L.txt| R.txt\r\n" + separator + "02 b + 02 B\r\n" + separator + "05 e + 05 E\r\n");

    // A block that does not start at the first row is set off above its names too.
    m_comparison->SetSelectedSides(kSideBoth);
    m_comparison->SetMark(4, 3);
    EXPECT_EQ(Copied(0), separator + "L.txt| R.txt\r\n" + separator + "e    + E\r\n");

    m_options.optionBits |= kOptShowAll;
    m_comparison->SetMark(2, 3);
    EXPECT_EQ(Copied(0), separator + "L.txt| R.txt\r\n" + separator + "c    | c\r\nd    | d\r\n");
}

TEST_F(MarkedTextTest, ClipboardTextOfOneSideIsItsLinesAsStored)
{
    m_comparison->SetMark(0, 4);
    m_comparison->SetSelectedSides(kSideLeft);
    EXPECT_EQ(Copied(3), "b\r\ne\r\n");
    m_comparison->SetSelectedSides(kSideRight);
    m_comparison->SetMark(4, 4);
    EXPECT_EQ(Copied(3), "E\r\n");

    // Only matching rows marked while matching areas are hidden: nothing is taken.
    m_comparison->SetMark(2, 3);
    EXPECT_EQ(Copied(0), "<none>");
}

TEST_F(MarkedTextTest, FindSearchesTheShownRowsInTheShownSides)
{
    COMPARISON &c = *m_comparison;
    EXPECT_EQ(c.Find("b", -1, /*forward=*/true, /*matchCase=*/false), kSideBoth);
    EXPECT_EQ(c.CurrentRow(), 1);
    EXPECT_EQ(c.Find("B", -1, true, /*matchCase=*/true), kSideRight);
    EXPECT_EQ(c.Find("e", 5, /*forward=*/false, true), kSideLeft);
    EXPECT_EQ(c.CurrentRow(), 4);
    EXPECT_EQ(c.Find("b", 1, /*forward=*/false, false), 0) << "passes the first row";
    EXPECT_EQ(c.Find("b", 1, /*forward=*/true, false), 0) << "passes the last row";
    EXPECT_EQ(c.CurrentRow(), 4);

    // Matching rows are searched only while they are shown.
    EXPECT_EQ(c.Find("c", -1, true, false), 0);
    m_options.optionBits |= kOptShowAll;
    EXPECT_EQ(c.Find("c", -1, true, false), kSideBoth);
    EXPECT_EQ(c.CurrentRow(), 2);

    c.SetSingleSideView(kSideLeft);
    EXPECT_EQ(c.Find("E", -1, true, /*matchCase=*/true), 0);
    c.SetSingleSideView(kSideRight);
    EXPECT_EQ(c.Find("E", -1, true, true), kSideRight);
}

TEST_F(MarkedTextTest, MarksAndChangesOnDisk)
{
    COMPARISON &c = *m_comparison;
    EXPECT_FALSE(c.RowIsMarked(-1));
    c.SetMark(3, 1);
    EXPECT_EQ(c.LowerMark(), 1);
    EXPECT_EQ(c.UpperMark(), 3);
    EXPECT_TRUE(c.RowIsMarked(-1));
    EXPECT_TRUE(c.RowIsMarked(1));
    EXPECT_TRUE(c.RowIsMarked(3));
    EXPECT_FALSE(c.RowIsMarked(4));

    EXPECT_EQ(c.ChangedOnDisk(), kOk);
    (void)c.Right().Object()->Close();
    WriteFile(m_dir / "r.txt", "a\nB\nc\nd\nE\nmore\n");
    EXPECT_EQ(c.ChangedOnDisk(), kChangedOnDisk);
}

} // namespace
