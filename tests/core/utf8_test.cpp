#include "core/utf8.h"

#include <gtest/gtest.h>
#include <string>

TEST(DecodeUtf8, ValidSequencesGiveTheirCodePoint)
{
    const struct
    {
        const char *text;
        char32_t codePoint;
        std::size_t length;
    } cases[] = {
        {"A", U'A', 1},
        {"\xC3\xA9", U'\u00E9', 2},
        {"\xE6\x97\xA5", U'\u65E5', 3},
        {"\xF0\x9F\x98\x80", U'\U0001F600', 4},
        {"\xF4\x8F\xBF\xBF", U'\U0010FFFF', 4},
    };
    for (const auto &c : cases) {
        const Utf8Char decoded = DecodeUtf8(c.text);
        EXPECT_TRUE(decoded.valid) << c.text;
        EXPECT_EQ(decoded.codePoint, c.codePoint) << c.text;
        EXPECT_EQ(decoded.length, c.length) << c.text;
    }
}

TEST(DecodeUtf8, InvalidInputTakesOneByte)
{
    const char *cases[] = {
        "\x80",             // stray continuation byte
        "\xC0\x80",         // overlong NUL
        "\xE0\x80\xAF",     // overlong '/'
        "\xED\xA0\x80",     // surrogate
        "\xF4\x90\x80\x80", // above U+10FFFF
        "\xE6\x97",         // cut off at the end
        "\xE6\x41\x41",     // cut off by ASCII
        "\xF8\x88\x80\x80", // five-byte lead
        "\xFF",
    };
    for (const char *text : cases) {
        const Utf8Char decoded = DecodeUtf8(text);
        EXPECT_FALSE(decoded.valid) << text;
        EXPECT_EQ(decoded.length, 1u) << text;
        EXPECT_EQ(decoded.codePoint, static_cast<unsigned char>(text[0])) << text;
        EXPECT_EQ(CharWidth(decoded), 1) << text;
    }
    EXPECT_EQ(DecodeUtf8("ab", 2).length, 0u);
}

TEST(CodePointWidth, ZeroForCombiningTwoForWideOneOtherwise)
{
    const struct
    {
        char32_t codePoint;
        int width;
    } cases[] = {
        {U'A', 1},      {0x07, 1},      {U'\u00E9', 1},     {U'\u0301', 0},     {U'\u200B', 0},
        {U'\uFE0F', 0}, {U'\u1160', 0}, {U'\u3099', 0},     {U'\u65E5', 2},     {U'\uAC00', 2},
        {U'\uFF21', 2}, {U'\u3000', 2}, {U'\U0001F600', 2}, {U'\U00020000', 2}, {U'\u2603', 1},
        {U'\uFF61', 1}, {U'\u0915', 1}, {U'\u0941', 0},     {U'\U000E0100', 0}, {U'\u303F', 1},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(CodePointWidth(c.codePoint), c.width)
            << std::hex << static_cast<unsigned>(c.codePoint);
    }
}

TEST(DisplayWidth, AddsTheWidthOfEveryCharacter)
{
    EXPECT_EQ(DisplayWidth(""), 0u);
    EXPECT_EQ(DisplayWidth("abc"), 3u);
    EXPECT_EQ(DisplayWidth("\xE6\x97\xA5\xE6\x9C\xAC"), 4u); // two CJK ideographs
    EXPECT_EQ(DisplayWidth("e\xCC\x81"), 1u);                // e with a combining acute
    EXPECT_EQ(DisplayWidth("\xFF\xFE"), 2u);                 // two invalid bytes
    EXPECT_EQ(DisplayWidth("a\xE6\x97"), 3u);                // a cut-off sequence
    EXPECT_EQ(DisplayWidth(std::string("a\0b", 3)), 3u);     // NUL is a byte like any other
}

TEST(PrefixForColumns, NeverSplitsACharacter)
{
    const std::string cjk = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"; // three wide characters
    const struct
    {
        std::string text;
        std::size_t columns;
        std::size_t bytes;
    } cases[] = {
        {cjk, 0, 0},
        {cjk, 1, 0}, // half a wide character does not fit
        {cjk, 3, 3},
        {cjk, 4, 6},
        {cjk, 100, 9},
        {"a\xE6\x97\xA5", 2, 1},
        {"e\xCC\x81x", 1, 3}, // the accent stays with its letter
        {"\xFF\xFE\xFD", 2, 2},
        {"abc", 2, 2},
        {"", 5, 0},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(PrefixForColumns(c.text, c.columns), c.bytes)
            << c.text << " in " << c.columns << " columns";
    }
}
