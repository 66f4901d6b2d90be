#include "core/string.h"

#include <gtest/gtest.h>

TEST(ExpandTabs, EachTabReachesTheNextMultipleOfTheWidth)
{
    const struct
    {
        const char *text;
        int width;
        const char *expanded;
    } cases[] = {
        {"a\tb", 8, "a       b"},
        {"\tx", 4, "    x"},
        {"abcde\tx", 4, "abcde   x"},
        {"abcd\tx", 4, "abcd    x"}, // already on a stop: a whole width more
        {"\t\t", 2, "    "},
        {"ab\tc\td", 3, "ab c  d"},
        {"a\tb", 0, "a b"}, // no width: one space, never a division by zero
        {"a\tb", -3, "a b"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(ExpandTabs(c.text, c.width), c.expanded) << c.text << " width " << c.width;
    }
}

TEST(ExpandTabs, CountsColumnsNotBytes)
{
    EXPECT_EQ(ExpandTabs("\xE6\x97\xA5\tx", 4), "\xE6\x97\xA5  x"); // a wide character
    EXPECT_EQ(ExpandTabs("e\xCC\x81\tx", 4), "e\xCC\x81   x");      // a combining accent
    EXPECT_EQ(ExpandTabs("\xFF\tx", 4), "\xFF   x");                // an invalid byte
}

TEST(ExpandTabs, TextWithoutTabIsKept)
{
    EXPECT_EQ(ExpandTabs("plain \xFF text", 4), "plain \xFF text");
    EXPECT_EQ(ExpandTabs("", 4), "");
}

TEST(CompareStrings, OrdersBytesAsUnsignedAndPrefixesFirst)
{
    const struct
    {
        const char *a;
        const char *b;
        int order;
    } cases[] = {
        {"abc", "abd", -1},  {"abd", "abc", 1}, {"ab", "abc", -1},
        {"abc", "ab", 1},    {"", "", 0},       {"", "a", -1},
        {"same", "same", 0}, {"\x80", "z", 1},  {"a\xFF", "a\x01", 1},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(CompareStrings(c.a, c.b), c.order) << c.a << " vs " << c.b;
    }
}

TEST(UpperCaseInPlace, ChangesOnlyAsciiLetters)
{
    STRING text = "abz AZ 09 _{} \xC3\xA9";
    UpperCaseInPlace(text);
    EXPECT_EQ(text, "ABZ AZ 09 _{} \xC3\xA9");
}
