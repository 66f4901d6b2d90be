// Line hashing: the wide routines must give exactly what adding one byte at a time gives,
// under every combination of the comparison options.
#include "core/options.h"
#include "core/utf8.h"
#include "engine/diffitem.h"
#include "engine/line_hash.h"

#include <clocale>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace {

// The byte tables of both CRCs, built bit by bit.
struct ByteTables
{
    std::uint32_t t16[256];
    std::uint32_t t32[256];
    ByteTables()
    {
        for (std::uint32_t byte = 0; byte < 256; ++byte) {
            std::uint32_t a = byte;
            std::uint32_t b = byte;
            for (int bit = 0; bit < 8; ++bit) {
                a = (a & 1) != 0 ? (a >> 1) ^ 0x8408 : a >> 1;
                b = (b & 1) != 0 ? (b >> 1) ^ 0xEDB88320 : b >> 1;
            }
            t16[byte] = a;
            t32[byte] = b;
        }
    }
};

// One byte at a time, straight from the rules: the reference the fast paths must match.
LineHash ReferenceHash(std::string_view text, std::uint32_t options, std::int64_t tabSize)
{
    static const ByteTables tables;
    std::uint32_t h16 = 0xFFFF;
    std::uint32_t h32 = 0xFFFFFFFF;
    std::int64_t column = 0;
    std::int64_t width = 0;
    std::int64_t pending = 0;
    auto add = [&](unsigned char byte) {
        h16 = (h16 >> 8) ^ tables.t16[(h16 ^ byte) & 0xFF];
        h32 = (h32 >> 8) ^ tables.t32[(h32 ^ byte) & 0xFF];
    };
    auto flush = [&] {
        for (; pending > 0; --pending)
            add(' ');
    };
    auto upper = [&](char c) {
        auto byte = static_cast<unsigned char>(c);
        return (options & kOptIgnoreCase) != 0 && byte >= 'a' && byte <= 'z'
                   ? static_cast<unsigned char>(byte - 'a' + 'A')
                   : byte;
    };
    const bool ignoreSpaces = (options & kOptIgnoreSpaces) != 0;
    const bool dropTrailing = (options & kOptIgnoreTrailingBlanks) != 0;
    const bool expandTabs = (options & kOptExpandTabs) != 0;
    for (std::size_t i = 0; i < text.size();) {
        char c = text[i];
        if (c == ' ') {
            ++column;
            ++i;
            if (ignoreSpaces)
                continue;
            if (dropTrailing) {
                ++pending;
                continue;
            }
            flush();
            add(' ');
            width = column;
            continue;
        }
        if (c == '\t') {
            ++i;
            std::int64_t stop = (column / tabSize + 1) * tabSize;
            if (ignoreSpaces) {
                column = stop;
                continue;
            }
            if (expandTabs)
                pending += stop - column;
            column = stop;
            if (expandTabs && dropTrailing)
                continue;
            flush();
            if (expandTabs)
                width = column;
            else
                add('\t');
            continue;
        }
        Utf8Char character = DecodeUtf8(text, i);
        flush();
        for (std::size_t k = 0; k < character.length; ++k)
            add(upper(text[i + k]));
        column += CharWidth(character);
        width = column;
        i += character.length;
    }
    return LineHash{static_cast<std::uint16_t>(h16), h32, static_cast<std::uint32_t>(width)};
}

std::string RandomLine(std::mt19937 &random, int kind)
{
    static const char *const kPieces[]
        = {"a", "Z", "q",  " ", "  ",           "\t",       "\xC3\xA9",
           "x", "7", "\t", " ", "\xE4\xB8\xAD", "e\xCC\x81"};
    std::uniform_int_distribution<int> length(0, 120);
    std::string line;
    int n = length(random);
    for (int i = 0; i < n; ++i) {
        if (kind == 0) {
            // Any byte but the line ends.
            auto byte = static_cast<unsigned char>(random() % 256);
            if (byte == '\r' || byte == '\n' || byte == 0 || byte == 0x1A)
                byte = ' ';
            line += static_cast<char>(byte);
        } else {
            line += kPieces[random() % (kind == 1 ? 12 : 13)];
        }
    }
    return line;
}

// Splits text into pieces at character boundaries, as the load hands them over.
std::vector<std::string_view> RandomPieces(std::mt19937 &random, std::string_view text)
{
    std::vector<std::size_t> boundaries;
    for (std::size_t i = 0; i < text.size(); i += DecodeUtf8(text, i).length)
        boundaries.push_back(i);
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    for (std::size_t b : boundaries)
        if (b > start && random() % 5 == 0) {
            pieces.push_back(text.substr(start, b - start));
            start = b;
        }
    pieces.push_back(text.substr(start));
    return pieces;
}

TEST(LineHash, WideRoutinesMatchByteAtATime)
{
    std::mt19937 random(12345);
    std::vector<std::string> lines;
    for (int i = 0; i < 2000; ++i)
        lines.push_back(RandomLine(random, i % 3));
    lines.emplace_back();
    lines.emplace_back(300, ' ');
    lines.emplace_back("   \t\t  ");

    for (std::uint32_t combination = 0; combination < 16; ++combination) {
        std::uint32_t options = combination << 3; // 0x08, 0x10, 0x20, 0x40
        for (int tabSize : {1, 3, 8}) {
            LineHasher hasher(options | kOptLineNumbers | kOptShowAll, tabSize);
            for (const std::string &line : lines) {
                LineHash expected = ReferenceHash(line, options, tabSize);
                ASSERT_EQ(hasher.HashLine(line), expected)
                    << "options " << options << " tab " << tabSize << " line '" << line << "'";
                hasher.Begin();
                for (std::string_view piece : RandomPieces(random, line)) {
                    const auto *p = reinterpret_cast<const unsigned char *>(piece.data());
                    bool plain = false;
                    (void)FindLineStop(p, p + piece.size(), plain);
                    hasher.Feed(p, piece.size(), plain);
                }
                ASSERT_EQ(hasher.Finish(), expected)
                    << "in pieces, options " << options << " tab " << tabSize;
            }
        }
    }
}

TEST(LineHash, AnyRunOfBytesContinuesBothRegistersExactly)
{
    // Every length up to several wide steps, from any register values and any alignment: the
    // wide routines take a run in front of whole blocks, and whole blocks, differently.
    std::mt19937 random(777);
    static const ByteTables tables;
    std::vector<unsigned char> bytes(200);
    for (std::size_t length = 0; length <= 130; ++length) {
        for (int round = 0; round < 20; ++round) {
            for (unsigned char &byte : bytes)
                byte = static_cast<unsigned char>(random());
            const std::size_t at = random() % 16;
            auto h16 = static_cast<std::uint16_t>(random());
            std::uint32_t h32 = random();
            std::uint32_t expected16 = h16;
            std::uint32_t expected32 = h32;
            for (std::size_t i = at; i < at + length; ++i) {
                expected16 = (expected16 >> 8) ^ tables.t16[(expected16 ^ bytes[i]) & 0xFF];
                expected32 = (expected32 >> 8) ^ tables.t32[(expected32 ^ bytes[i]) & 0xFF];
            }
            AddBytesToHashes(h16, h32, bytes.data() + at, length);
            ASSERT_EQ(h16, expected16) << "length " << length;
            ASSERT_EQ(h32, expected32) << "length " << length;
        }
    }
}

TEST(LineHash, WholeLinesHashAsTheirBytesFromTheStartValues)
{
    // Around every block of the whole-line steps and past the longest line they take; the
    // bytes after the line must not count.
    std::mt19937 random(778);
    std::vector<unsigned char> bytes(400 + kWholeLineReadAhead);
    for (std::size_t length = 0; length <= 300; ++length) {
        for (int round = 0; round < 8; ++round) {
            for (unsigned char &byte : bytes)
                byte = static_cast<unsigned char>(random());
            const std::size_t at = random() % 32;
            std::uint16_t expected16 = 0xFFFF;
            std::uint32_t expected32 = 0xFFFFFFFF;
            AddBytesToHashes(expected16, expected32, bytes.data() + at, length);
            // Every register width this processor has.
            for (const int bits : {0, 128, 256}) {
                if (bits > WholeLineRegisterBits())
                    continue;
                std::uint16_t h16 = 0;
                std::uint32_t h32 = 0;
                HashWholeLineWith(bits, bytes.data() + at, length, h16, h32);
                ASSERT_EQ(h16, expected16) << "length " << length << " bits " << bits;
                ASSERT_EQ(h32, expected32) << "length " << length << " bits " << bits;
            }
        }
    }
}

TEST(LineHash, RecordsOfWholeLinesHashAsTheirBytes)
{
    // Lines of every length up to past the longest whole line, back to back in one window.
    std::mt19937 random(779);
    std::vector<unsigned char> window;
    std::vector<LineRecord> records;
    const std::int64_t windowStart = 1000;
    for (std::uint32_t length = 0; length <= 300; ++length) {
        records.push_back(LineRecord{-2, length, windowStart + std::int64_t(window.size())});
        for (std::uint32_t i = 0; i < length; ++i)
            window.push_back(static_cast<unsigned char>(random()));
    }
    window.resize(window.size() + kWholeLineReadAhead, 0xAB);
    std::vector<LineRecord> hashed = records;
    HashWholeLinesOf(hashed.data(), hashed.size(), window.data(), windowStart);
    for (std::size_t k = 0; k < records.size(); ++k) {
        std::uint16_t h16 = 0xFFFF;
        std::uint32_t h32 = 0xFFFFFFFF;
        AddBytesToHashes(h16, h32, window.data() + (records[k].offset - windowStart),
                         records[k].hash);
        ASSERT_EQ(hashed[k].link, UnmatchedLink(h16)) << "length " << k;
        ASSERT_EQ(hashed[k].hash, h32) << "length " << k;
        ASSERT_EQ(hashed[k].offset, records[k].offset);
    }
}

TEST(LineHash, TablesAreTheStandardOnes)
{
    // Entry 1 of each table, and the check value of "123456789" (before the final inversion
    // that these hashes leave out).
    LineHash hash = LineHasher(0, 4).HashLine("123456789");
    EXPECT_EQ(static_cast<std::uint32_t>(~hash.h32), 0xCBF43926u);
    EXPECT_EQ(static_cast<std::uint16_t>(~hash.h16), 0x906E);
    EXPECT_EQ(ByteTables().t32[1], 0x77073096u);
    EXPECT_EQ(ByteTables().t16[1], 0x1189u);
}

TEST(LineHash, OptionsDecideWhichLinesAreEqual)
{
    struct Case
    {
        const char *a;
        const char *b;
        std::uint32_t options;
        bool equal;
    };
    const Case cases[] = {
        {"abc  ", "abc", kOptIgnoreTrailingBlanks, true},
        {"a  bc", "a bc", kOptIgnoreTrailingBlanks, false},
        {"abc  ", "abc", 0, false},
        {"a b", "ab", kOptIgnoreSpaces, true},
        {"    ", "", kOptIgnoreSpaces, true},
        {"\t \t", "", kOptIgnoreSpaces, true},
        {"   ", "", kOptIgnoreTrailingBlanks, true},
        {"a\tb", "a   b", kOptExpandTabs, true},
        {"a\tb", "a   b", 0, false},
        {"ab\t", "ab", kOptExpandTabs | kOptIgnoreTrailingBlanks, true},
        {"ab\t", "ab", kOptIgnoreTrailingBlanks, false},
        {"Hello", "HELLO", kOptIgnoreCase, true},
        {"Hello", "HELLO", 0, false},
        // A tab counts from the display column: a two-column character leaves two spaces.
        {"\xE4\xB8\xAD\tb", "\xE4\xB8\xAD  b", kOptExpandTabs, true},
        {"\xC3\xA9\tb", "\xC3\xA9   b", kOptExpandTabs, true},
    };
    for (const Case &c : cases) {
        LineHasher hasher(c.options, 4);
        LineHash a = hasher.HashLine(c.a);
        LineHash b = hasher.HashLine(c.b);
        EXPECT_EQ(a.h16 == b.h16 && a.h32 == b.h32, c.equal)
            << "'" << c.a << "' vs '" << c.b << "' options " << c.options;
    }
}

TEST(LineHash, BlankLinesKeepTheStartValueAndWidthsCountColumns)
{
    LineHasher plain(0, 4);
    EXPECT_EQ(plain.HashLine(""), (LineHash{0xFFFF, 0xFFFFFFFF, 0}));
    LineHasher spaces(kOptIgnoreSpaces, 4);
    EXPECT_EQ(spaces.HashLine(" \t ").h16, 0xFFFF);

    // A tab alone does not widen the line unless it is expanded; trailing blanks do not count
    // when they are ignored.
    EXPECT_EQ(plain.HashLine("ab\t").width, 2u);
    EXPECT_EQ(plain.HashLine("ab\tc").width, 5u);
    EXPECT_EQ(LineHasher(kOptExpandTabs, 4).HashLine("ab\t").width, 4u);
    EXPECT_EQ(LineHasher(kOptIgnoreTrailingBlanks, 4).HashLine("ab   ").width, 2u);
    EXPECT_EQ(plain.HashLine("\xE4\xB8\xAD\xE4\xB8\xAD").width, 4u);
    EXPECT_EQ(plain.HashLine("e\xCC\x81").width, 1u);

    // A tab size below 1 cannot stall the column.
    EXPECT_EQ(LineHasher(kOptExpandTabs, 0).HashLine("a\tb").width, 3u);
}

TEST(LineHash, CaseFoldingFollowsAUtf8Locale)
{
    std::string saved = std::setlocale(LC_CTYPE, nullptr);
    if (std::setlocale(LC_CTYPE, "C.UTF-8") == nullptr)
        GTEST_SKIP() << "no C.UTF-8 locale";
    LineHasher hasher(kOptIgnoreCase, 4);
    LineHash lower = hasher.HashLine("caf\xC3\xA9");
    LineHash upper = hasher.HashLine("CAF\xC3\x89");
    std::setlocale(LC_CTYPE, saved.c_str());
    EXPECT_EQ(lower, upper);
    // In the C locale only ASCII letters fold.
    LineHasher ascii(kOptIgnoreCase, 4);
    EXPECT_NE(ascii.HashLine("caf\xC3\xA9"), ascii.HashLine("CAF\xC3\x89"));
}

TEST(LineHash, FindLineStopFindsTheFirstLineEnd)
{
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::string text(random() % 80, 'x');
        for (char &c : text) {
            int pick = static_cast<int>(random() % 40);
            c = pick == 0   ? '\r'
                : pick == 1 ? '\n'
                : pick == 2 ? '\0'
                : pick == 3 ? '\x1A'
                : pick == 4 ? '\t'
                : pick == 5 ? '\xC3'
                            : static_cast<char>('a' + pick % 26);
        }
        std::size_t expected = text.find_first_of(std::string_view("\r\n\0\x1A", 4));
        if (expected == std::string::npos)
            expected = text.size();
        bool expectedPlain = text.substr(0, expected).find_first_of("\t\xC3") == std::string::npos;

        const auto *p = reinterpret_cast<const unsigned char *>(text.data());
        bool plain = false;
        const unsigned char *stop = FindLineStop(p, p + text.size(), plain);
        ASSERT_EQ(static_cast<std::size_t>(stop - p), expected) << round;
        ASSERT_EQ(plain, expectedPlain) << round;
    }
}

TEST(LineHash, MarkLineBytesMarksLineEndsAndBytesThatAreNotPlain)
{
    std::mt19937 random(11);
    std::vector<unsigned char> bytes(400);
    for (int round = 0; round < 600; ++round) {
        // Every byte value, and runs of plain text so that whole words go unmarked.
        for (unsigned char &c : bytes)
            c = random() % 3 == 0 ? static_cast<unsigned char>(random() % 256)
                                  : static_cast<unsigned char>('a' + random() % 26);
        const std::size_t start = random() % 32; // unaligned
        const std::size_t n = random() % (bytes.size() - start);
        const std::size_t words = (n + 63) / 64;
        std::vector<std::uint64_t> stops(words + 1, ~0ULL);
        std::vector<std::uint64_t> specials(words + 1, ~0ULL);
        MarkLineBytes(bytes.data() + start, n, stops.data(), specials.data());
        for (std::size_t k = 0; k < 64 * words; ++k) {
            const unsigned char c = k < n ? bytes[start + k] : 'a';
            const bool stop = k < n && (c == '\r' || c == '\n' || c == 0x1A || c == 0);
            const bool special = k < n && (c == '\t' || c >= 0x80);
            ASSERT_EQ(((stops[k / 64] >> (k % 64)) & 1) != 0, stop) << round << " byte " << k;
            ASSERT_EQ(((specials[k / 64] >> (k % 64)) & 1) != 0, special) << round << " byte " << k;
        }
        EXPECT_EQ(stops[words], ~0ULL) << "written past the marks";
    }
}

} // namespace
