#include "core/line_format.h"

#include <gtest/gtest.h>
#include <optional>

TEST(LineFormat, LabelBesideALine)
{
    struct Case
    {
        bool marked;
        int width;
        std::int64_t lineIndex;
        const char *expected;
    };
    const Case cases[] = {
        {false, 0, 5, " "},  {true, 0, 5, "+"},      // no numbers: the mark alone
        {false, 4, 0, "1 "}, {true, 4, 41, "42+"},   // the number is not padded
        {false, 4, -1, ""},  {true, 4, -1, "    +"}, // no line: blanks to the width, then +
        {true, 1, -1, " +"}, {true, -3, -1, "   +"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(FormatLineLabel(c.marked, c.width, c.lineIndex), c.expected)
            << c.marked << " " << c.width << " " << c.lineIndex;
    }
}

TEST(LineFormat, NumberedLine)
{
    struct Case
    {
        std::int64_t lineIndex;
        int width;
        int tabSize;
        std::optional<STRING> text;
        std::size_t skip;
        const char *expected;
    };
    const Case cases[] = {
        {4, 4, 8, "abc", 0, "0005 abc"},
        {12344, 2, 8, "abc", 0, "12345 abc"}, // a number wider than the width is kept whole
        {-1, 4, 8, "abc", 0, "     abc"},     // no line: blanks instead of the number
        {4, 0, 8, "abc", 0, "abc"},
        {4, 3, 8, std::nullopt, 0, "005 "},
        {4, 3, 8, "", 2, "005 "},
        {0, 2, 4, "a\tb\tc", 0, "01 a   b   c"},
        {0, 2, 4, "a\tb", 2, "01   b"}, // skip counts the expanded text
        {0, 2, 4, "abc", 2, "01 c"},
        {0, 2, 4, "abc", 3, "01 "}, // skip at or past the end leaves the prefix alone
        {0, 2, 4, "abc", 99, "01 "},
        // A UTF-8 sequence is one character and is never cut; a stray byte is one too.
        {0, 0, 4, "\xc3\xa4\xc3\xb6\xc3\xbc", 1, "\xc3\xb6\xc3\xbc"},
        {0, 0, 4, "\xe6\x97\xa5x", 1, "x"},
        {0, 0, 4,
         "\xff"
         "ab",
         1, "ab"},
    };
    for (const Case &c : cases) {
        const STRING *text = c.text ? &*c.text : nullptr;
        EXPECT_EQ(FormatNumberedLine(c.lineIndex, c.width, c.tabSize, text, c.skip), c.expected)
            << c.lineIndex << " " << (c.text ? *c.text : "<null>") << " skip " << c.skip;
    }
}
