// A record's text composed from its columns: widths, alignment, cutting and joined columns.
#include "engine/baseitem.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

struct Column
{
    std::int32_t width;
    std::uint16_t flags;
};

// A listing of one record whose column texts are given; "<null>" stands for no text.
class FixedColumns : public BASEITEM
{
public:
    FixedColumns(const std::vector<Column> &columns, std::vector<std::string> texts)
        : m_texts(std::move(texts))
    {
        for (const Column &column : columns) {
            ColumnDescriptor &descriptor = m_descriptors.emplace_back();
            descriptor.width = column.width;
            descriptor.widest = 1;
            descriptor.flags = column.flags;
        }
        m_descriptors.emplace_back(); // the terminator, width 9999
    }

    std::int64_t RecordCount() const override { return 1; }
    int ColumnCount() const override { return static_cast<int>(m_texts.size()); }
    std::unique_ptr<STRING> ColumnText(int column, std::int64_t) override
    {
        const std::string &text = m_texts[static_cast<std::size_t>(column)];
        return text == "<null>" ? nullptr : std::make_unique<STRING>(text);
    }
    std::span<ColumnDescriptor> ColumnDescriptors(int, int sortMode) override
    {
        m_sortMode = sortMode;
        return m_descriptors;
    }

    std::vector<ColumnDescriptor> m_descriptors;
    int m_sortMode = 0;

private:
    std::vector<std::string> m_texts;
};

constexpr std::uint16_t kRight = kColumnRightAlign;
constexpr std::uint16_t kJoined = kColumnJoined;

TEST(BaseItem, RecordTextLaysOutTheColumns)
{
    struct Case
    {
        std::vector<Column> columns;
        std::vector<std::string> texts;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {{{6, 0}}, {"abc"}, "abc  "},
        {{{6, kRight}}, {"12"}, "   12"},
        // Too long: cut at the right, or from the left when right-aligned.
        {{{6, 0}}, {"abcdefgh"}, "abc.."},
        {{{6, kRight}}, {"1234567"}, "..567"},
        {{{6, kRight}}, {"12345"}, "12345"},
        {{{3, 0}}, {"abc"}, ".."},
        {{{2, kRight}}, {"abc"}, "."},
        // A joined column has no blank before it and takes its whole width.
        {{{4, 0}, {3, kJoined}}, {"ab", "cd"}, "ab cd "},
        {{{9, 0}, {4, kJoined | 0x01}, {4, kRight}},
         {"readme", ".txt", "1234"},
         "readme  .txt ..4"},
        // Columns of width 0 are left out; a missing text leaves its field blank.
        {{{4, 0}, {0, 0}, {3, 0}}, {"ab", "zz", "c"}, "ab  c "},
        {{{4, 0}, {3, 0}}, {"<null>", "c"}, "    c "},
        // At least one character.
        {{{1, 0}}, {"abc"}, " "},
        {{{0, 0}}, {"abc"}, " "},
        {{}, {}, " "},
        // Columns count display width and sequences are never split.
        {{{6, 0}}, {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x83\x86"}, "\xE6\x97\xA5.. "},
        {{{6, kRight}}, {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x83\x86"}, " ..\xE3\x83\x86"},
        {{{6, 0}}, {"\xC3\xA9t\xC3\xA9"}, "\xC3\xA9t\xC3\xA9  "},
        {{{4, 0}},
         {"e\xCC\x81"
          "e\xCC\x81"
          "e\xCC\x81"
          "e\xCC\x81"},
         "e\xCC\x81.."},
    };
    for (const Case &c : cases) {
        FixedColumns item(c.columns, c.texts);
        std::unique_ptr<STRING> text = item.RecordText(0);
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(*text, c.expected) << "texts[0] '" << (c.texts.empty() ? "" : c.texts[0]) << "'";
    }
}

TEST(BaseItem, RecordTextRaisesTheWidestTextAndKeepsTheSortMark)
{
    FixedColumns item({{4, 0}, {4, kRight}, {0, 0}}, {"abcdefg", "x", "hidden text"});
    ASSERT_NE(item.RecordText(0), nullptr);
    EXPECT_EQ(item.m_descriptors[0].widest, 7); // grows to the longest text
    EXPECT_EQ(item.m_descriptors[1].widest, 1); // never shrinks
    EXPECT_EQ(item.m_descriptors[2].widest, 1); // a hidden column is not measured
    EXPECT_EQ(item.m_sortMode, kKeepSortMark);

    FixedColumns wide({{3, 0}}, {"\xE6\x97\xA5\xE6\x9C\xAC"});
    ASSERT_NE(wide.RecordText(0), nullptr);
    EXPECT_EQ(wide.m_descriptors[0].widest, 4);

    EXPECT_EQ(item.RecordText(1), nullptr);
    EXPECT_EQ(item.RecordText(-1), nullptr);
}

TEST(BaseItem, DefaultsOfTheRecordInterface)
{
    BASEITEM item;
    EXPECT_EQ(item.Reopen(), kErrorOrCancel);
    EXPECT_EQ(item.Close(), kErrorOrCancel);
    EXPECT_EQ(item.RecordText(0), nullptr);
    EXPECT_EQ(item.RecordCount(), 0);
    EXPECT_EQ(item.SideName(), nullptr);
    EXPECT_FALSE(item.IsListing());
    std::span<ColumnDescriptor> columns = item.ColumnDescriptors(0, 0);
    ASSERT_EQ(columns.size(), 1u);
    EXPECT_EQ(columns[0].width, kColumnEndWidth);
}

} // namespace
