// The aligned result list: context marking around differences, and the line records that
// matching reads.
#include "engine/diffitem.h"
#include "engine/difflist.h"

#include <gtest/gtest.h>
#include <string>

namespace {

// Builds a list from a pattern of '=' (equal row) and 'x' (differing row) and answers the
// flags of every row as a string: 'x' difference, 'c' context (0x40 alone), '.' hidden.
std::string MarkRows(const std::string &pattern, int margin)
{
    DIFFLIST list;
    list.SetMargin(margin);
    std::int32_t row = 0;
    for (char c : pattern) {
        list.SetState(c == 'x' ? 1 : 0);
        list.AddEntry(row, row);
        ++row;
    }
    std::string marks;
    for (const DiffEntry &entry : list.Entries()) {
        if (entry.flags == (kEntryDiffers | kEntryShown))
            marks += 'x';
        else if (entry.flags == kEntryShown)
            marks += 'c';
        else if (entry.flags == 0)
            marks += '.';
        else
            marks += '?';
    }
    return marks;
}

TEST(DiffList, MarginMarksContextAroundDifferences)
{
    struct Case
    {
        const char *pattern;
        int margin;
        const char *expected;
    };
    const Case cases[] = {
        // One changed line between long equal runs: margin rows on each side.
        {"==========x==========", 3, ".......cccxccc......."},
        {"==========x==========", 0, "..........x.........."},
        {"==========x==========", 1, ".........cxc........."},
        // Two differences 4 rows apart: the rows between all stay context.
        {"=====x====x=====", 3, "..cccxccccxccc.."},
        // Rows already claimed by the first difference stop the backward walk.
        {"=====xx==xx=====", 3, "..cccxxccxxccc.."},
        // A difference at the very start or end of the list.
        {"x=====", 2, "xcc..."},
        {"=====x", 2, "...ccx"},
        {"xxx", 5, "xxx"},
        // Margin larger than the run before the first difference.
        {"==x", 5, "ccx"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(MarkRows(c.pattern, c.margin), c.expected) << c.pattern << " margin " << c.margin;
}

TEST(DiffList, ClearStartsTheMarkingAfresh)
{
    DIFFLIST list;
    list.SetMargin(2);
    list.SetState(1);
    list.AddEntry(0, -1);
    list.SetWidestLine(40);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.WidestLine(), 0u);
    EXPECT_EQ(list.Margin(), 2);

    // The list ended inside a difference; the next comparison's first equal rows are not
    // context of it.
    list.SetState(0);
    list.AddEntry(0, 0);
    list.AddEntry(1, 1);
    EXPECT_EQ(list.Entry(0)->flags, 0);
    EXPECT_EQ(list.Entry(1)->flags, 0);
}

TEST(DiffList, EntriesAreFoundByNumberAndAppendedWhole)
{
    DIFFLIST list;
    for (std::int32_t k = 0; k < 2050; ++k)
        list.AppendEntry(DiffEntry{k, -1, static_cast<std::uint32_t>(k * 3), 0x01});
    ASSERT_EQ(list.Count(), 2050);
    ASSERT_NE(list.Entry(1024), nullptr);
    EXPECT_EQ(list.Entry(1024)->left, 1024);
    EXPECT_EQ(list.Entry(2049)->value, 2049u * 3);
    EXPECT_EQ(list.Entry(2049)->flags, 0x01);
    EXPECT_EQ(list.Entry(2050), nullptr);
    EXPECT_EQ(list.Entry(-1), nullptr);
    // Appending whole entries leaves the marking alone.
    EXPECT_EQ(list.Entry(0)->right, -1);
}

TEST(DiffItem, RecordsKeepHashesOffsetsAndWidestLine)
{
    DIFFITEM item;
    for (int k = 0; k < 600; ++k)
        item.AddRecord(static_cast<std::uint16_t>(k), 0x1000u + k, 10 * k, k % 7 == 0 ? k : 1);
    ASSERT_EQ(item.RecordCount(), 600);
    EXPECT_EQ(item.RecordOffset(512), 5120);
    EXPECT_EQ(item.RecordOffset(600), -1);
    EXPECT_EQ(item.RecordOffset(-1), -1);
    EXPECT_EQ(item.WidestLine(), 595u);
    EXPECT_EQ(item.Records()[512].hash, 0x1000u + 512);
    EXPECT_TRUE(item.PrepareLevel(0, 600, 0));

    // A 16-bit hash of 0 still reads as unmatched, and both ends of the range round-trip.
    EXPECT_FALSE(item.Records()[0].IsMatched());
    EXPECT_EQ(HashOfUnmatchedLink(item.Records()[0].link), 0);
    item.AddRecord(0xFFFF, 0, 0, 0);
    EXPECT_EQ(item.Records().back().link, kBlankLink);
    EXPECT_EQ(HashOfUnmatchedLink(kBlankLink), 0xFFFF);

    item.ClearRecords();
    EXPECT_EQ(item.RecordCount(), 0);
    EXPECT_EQ(item.WidestLine(), 0u);
}

} // namespace
