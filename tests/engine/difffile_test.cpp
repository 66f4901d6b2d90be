// A text file as one side of a comparison: loading it into line records, its caption, and
// reading line texts again from the file.
#include "core/status_io.h"
#include "engine/difffile.h"
#include "engine/difflist.h"
#include "engine/line_hash.h"
#include "engine/line_matching.h"
#include "support/counting_status.h"
#include "support/test_support.h"
#include "support/text_options.h"

#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <sys/time.h>
#include <unistd.h>
#include <vector>

using testsupport::TempDir;
using testsupport::TextOptions;
using testsupport::WriteFile;

namespace {

std::vector<std::string> TextsInOrder(DIFFFILE &file)
{
    std::vector<std::string> texts;
    for (std::int64_t k = 0; k < file.RecordCount(); ++k) {
        std::unique_ptr<STRING> text = file.RecordText(k);
        texts.push_back(text ? *text : "<null>");
    }
    return texts;
}

std::vector<std::string> TextsBackwards(DIFFFILE &file)
{
    std::vector<std::string> texts(static_cast<std::size_t>(file.RecordCount()));
    for (std::int64_t k = file.RecordCount() - 1; k >= 0; --k) {
        std::unique_ptr<STRING> text = file.RecordText(k);
        texts[static_cast<std::size_t>(k)] = text ? *text : "<null>";
    }
    return texts;
}

// Ends the caption after the date part: "N bytes  -  M lines[  - kinds]".
std::string CaptionAfterDate(const DIFFFILE &file)
{
    const STRING &caption = file.Caption();
    std::size_t start = caption.find("  -  ");
    return start == std::string::npos ? caption : caption.substr(start + 5);
}

void SetModificationTime(const std::string &path, std::time_t when)
{
    timeval times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(utimes(path.c_str(), times), 0);
}

class CancelAfter : public STATUS_IO
{
public:
    explicit CancelAfter(int calls) : STATUS_IO(1), m_left(calls) {}
    void ShowMessage(const char *) override {}
    std::int16_t CheckCancel() override { return 0; }
    std::int16_t ShowProgress(std::int64_t total, std::int64_t done) override
    {
        m_lastTotal = total;
        m_lastDone = done;
        return --m_left <= 0 ? 1 : 0;
    }
    std::int64_t m_lastTotal = 0;
    std::int64_t m_lastDone = 0;

private:
    int m_left;
};

TEST(DiffFile, LinesSplitAtEveryKindOfLineEnd)
{
    struct Case
    {
        std::string bytes;
        std::vector<std::string> lines;
        const char *caption;
    };
    const std::vector<Case> cases = {
        {"a\r\nb\r\n", {"a", "b"}, "6 bytes  -  2 lines  - crlf"},
        {"a\nb\n", {"a", "b"}, "4 bytes  -  2 lines  - lf"},
        {"a\rb\r", {"a", "b"}, "4 bytes  -  2 lines  - cr"},
        {"a\r\r\nb", {"a", "b"}, "5 bytes  -  2 lines  - crcrlf"},
        {"a\r\rb", {"a", "b"}, "4 bytes  -  2 lines  - crcr"},
        {"a\n\nb", {"a", "", "b"}, "4 bytes  -  3 lines  - lf"},
        // LF CR is two line ends here; the CR ends an empty line.
        {"a\n\rb\n\r\rc", {"a", "", "b", "", "c"}, "8 bytes  -  5 lines  - crcrlf"},
        {"a\r\n\rb", {"a", "", "b"}, "5 bytes  -  3 lines  - crlf"},
        {std::string("a\0b", 3), {"a", "b"}, "3 bytes  -  2 lines"},
        {"a\x1A"
         "b",
         {"a", "b"},
         "3 bytes  -  2 lines"},
        {"abc", {"abc"}, "3 bytes  -  1 lines"},
        {"", {""}, "0 bytes  -  1 lines"},
        {"\n", {""}, "1 bytes  -  1 lines  - lf"},
    };
    TempDir dir;
    for (const Case &c : cases) {
        WriteFile(dir / "side.txt", c.bytes);
        DIFFFILE file;
        ASSERT_EQ(file.Load(dir / "side.txt", TextOptions(), nullptr), 0);
        EXPECT_EQ(TextsInOrder(file), c.lines) << c.caption;
        EXPECT_EQ(TextsBackwards(file), c.lines) << c.caption;
        EXPECT_EQ(TextsInOrder(file), c.lines) << c.caption << " (read again)";
        EXPECT_EQ(CaptionAfterDate(file), c.caption);
    }
}

TEST(DiffFile, CaptionShowsTheFileDateSizeAndLineCount)
{
    TempDir dir;
    // 5 March 2004 14:07 UTC; the tests run with TZ=UTC.
    const std::time_t when = 1078495620;
    WriteFile(dir / "empty", "");
    SetModificationTime(dir / "empty", when);
    WriteFile(dir / "crlf", "one\r\ntwo\r\n");
    SetModificationTime(dir / "crlf", when);

    DIFFFILE file;
    ASSERT_EQ(file.Load(dir / "empty", TextOptions(), nullptr), 0);
    EXPECT_EQ(file.Caption(), "05.03.2004 14:07  -  0 bytes  -  1 lines");
    ASSERT_EQ(file.Load(dir / "crlf", TextOptions(), nullptr), 0);
    EXPECT_EQ(file.Caption(), "05.03.2004 14:07  -  10 bytes  -  2 lines  - crlf");

    std::span<ColumnDescriptor> columns = file.ColumnDescriptors(0, 0);
    ASSERT_EQ(columns.size(), 1u);
    EXPECT_EQ(columns[0].width, 9999);
    EXPECT_EQ(columns[0].widest, 2);
    EXPECT_EQ(columns[0].caption, file.Caption());
    ASSERT_NE(file.SideName(), nullptr);
    EXPECT_EQ(*file.SideName(), dir / "crlf");
}

TEST(DiffFile, BlockBoundariesDoNotChangeTheLines)
{
    TempDir dir;
    DIFFFILE file;

    // Exactly one block of 63-character lines, each with its LF.
    std::string block;
    for (int i = 0; i < 128; ++i)
        block += std::string(62, static_cast<char>('a' + i % 26)) + static_cast<char>('0' + i % 10)
                 + "\n";
    ASSERT_EQ(block.size(), 8192u);
    WriteFile(dir / "block", block);
    ASSERT_EQ(file.Load(dir / "block", TextOptions(), nullptr), 0);
    EXPECT_EQ(file.RecordCount(), 128);

    // A CR LF pair split by the block end is one line end.
    std::string split = std::string(8191, 'x') + "\r\nnext";
    WriteFile(dir / "split", split);
    ASSERT_EQ(file.Load(dir / "split", TextOptions(), nullptr), 0);
    EXPECT_EQ(TextsInOrder(file), (std::vector<std::string>{std::string(8191, 'x'), "next"}));
    EXPECT_EQ(CaptionAfterDate(file), "8197 bytes  -  2 lines  - crlf");

    // A line running over the block end keeps its start offset; a two-column character cut by
    // the block end still counts two columns.
    std::string spanning = std::string(8000, '-') + "\n" + std::string(190, 'y') + "\xE4\xB8\xAD"
                           + std::string(300, 'z') + "\nlast\n";
    WriteFile(dir / "spanning", spanning);
    ASSERT_EQ(file.Load(dir / "spanning", TextOptions(), nullptr), 0);
    ASSERT_EQ(file.RecordCount(), 3);
    EXPECT_EQ(file.RecordOffset(1), 8001);
    EXPECT_EQ(file.RecordOffset(2), 8001 + 190 + 3 + 300 + 1);
    EXPECT_EQ(file.WidestLine(), 8000u);
    EXPECT_EQ(*file.RecordText(1), std::string(190, 'y') + "\xE4\xB8\xAD" + std::string(300, 'z'));

    std::string wide = std::string(8191, 'y') + "\xE4\xB8\xAD" + std::string(10, 'z');
    WriteFile(dir / "wide", wide);
    ASSERT_EQ(file.Load(dir / "wide", TextOptions(), nullptr), 0);
    EXPECT_EQ(file.WidestLine(), 8191u + 2 + 10);
    DIFFFILE whole;
    WriteFile(dir / "whole", "z" + wide);
    ASSERT_EQ(whole.Load(dir / "whole", TextOptions(), nullptr), 0);
    EXPECT_EQ(whole.WidestLine(), 8192u + 2 + 10);
}

TEST(DiffFile, OptionsShapeTheHashesNotTheTexts)
{
    TempDir dir;
    WriteFile(dir / "left", "Hello  \na\tb\n");
    WriteFile(dir / "right", "HELLO\na   b\n");
    const std::uint32_t bits = kOptIgnoreCase | kOptIgnoreTrailingBlanks | kOptExpandTabs;
    DIFFFILE left;
    DIFFFILE right;
    ASSERT_EQ(left.Load(dir / "left", TextOptions(bits, 4), nullptr), 0);
    ASSERT_EQ(right.Load(dir / "right", TextOptions(bits, 4), nullptr), 0);
    EXPECT_TRUE(left.Records()[0].Equals(right.Records()[0]));
    EXPECT_TRUE(left.Records()[1].Equals(right.Records()[1]));
    EXPECT_EQ(*left.RecordText(0), "Hello  ");

    ASSERT_EQ(left.Load(dir / "left", TextOptions(bits, 8), nullptr), 0);
    EXPECT_FALSE(left.Records()[1].Equals(right.Records()[1]));
    ASSERT_EQ(left.Load(dir / "left", TextOptions(), nullptr), 0);
    EXPECT_FALSE(left.Records()[0].Equals(right.Records()[0]));
}

TEST(DiffFile, TextOfAChangedOrVanishedFileIsNull)
{
    TempDir dir;
    const std::string path = dir / "side.txt";
    WriteFile(path, "one\ntwo\nthree\n");
    DIFFFILE file;
    ASSERT_EQ(file.Load(path, TextOptions(), nullptr), 0);
    EXPECT_EQ(*file.RecordText(2), "three");
    EXPECT_EQ(file.RecordText(3), nullptr);
    EXPECT_EQ(file.RecordText(-1), nullptr);

    // Closed and unchanged: the next request opens the file again.
    EXPECT_EQ(file.Close(), kOk);
    EXPECT_EQ(file.Close(), kEndOrFailure);
    EXPECT_EQ(*file.RecordText(1), "two");

    // Closed and changed: no text, and Reopen says why.
    EXPECT_EQ(file.Close(), kOk);
    WriteFile(path, "one\ntwo\nthree\nfour\n");
    EXPECT_EQ(file.RecordText(0), nullptr);
    EXPECT_EQ(file.Reopen(), kChangedOnDisk);

    // Gone.
    ASSERT_EQ(std::remove(path.c_str()), 0);
    EXPECT_EQ(file.RecordText(0), nullptr);
    EXPECT_EQ(file.Reopen(), kEndOrFailure);

    // Cut short while open: the lines past the new end have no text.
    WriteFile(path, "one\ntwo\nthree\n");
    ASSERT_EQ(file.Load(path, TextOptions(), nullptr), 0);
    ASSERT_EQ(truncate(path.c_str(), 2), 0);
    EXPECT_EQ(file.RecordText(2), nullptr);
}

TEST(DiffFile, LoadFailuresAndCancellation)
{
    TempDir dir;
    DIFFFILE file;
    EXPECT_EQ(file.Load(dir / "missing", TextOptions(), nullptr), -1);
    EXPECT_EQ(file.Load(dir.Path(), TextOptions(), nullptr), -1);

    WriteFile(dir / "five", "1\n22\n333\n4444\n55555\n");
    CancelAfter status(3);
    EXPECT_EQ(file.Load(dir / "five", TextOptions(), &status), 1);
    EXPECT_EQ(file.RecordCount(), 2); // the lines before the cancelled one stay
    EXPECT_EQ(status.m_lastTotal, 20);
    EXPECT_EQ(status.m_lastDone, 8); // after the text of the third line

    CancelAfter never(1000);
    EXPECT_EQ(file.Load(dir / "five", TextOptions(), &never), 0);
    EXPECT_EQ(never.m_lastDone, 19);
}

// Lowers the record limit so that running out of record numbers can be tested on a small file.
class LimitedFile : public DIFFFILE
{
public:
    explicit LimitedFile(std::int64_t limit) { m_recordLimit = limit; }
};

TEST(DiffFile, MoreLinesThanRecordNumbersFailCleanly)
{
    TempDir dir;
    WriteFile(dir / "three", "a\nb\nc\n");
    WriteFile(dir / "four", "a\nb\nc\nd");
    LimitedFile file(3);
    EXPECT_EQ(file.Load(dir / "three", TextOptions(), nullptr), 0);
    EXPECT_EQ(file.RecordCount(), 3);
    EXPECT_EQ(file.Load(dir / "four", TextOptions(), nullptr), -1);
    EXPECT_EQ(file.RecordCount(), 0);
    EXPECT_EQ(file.RecordText(0), nullptr);

    // Lines are split in batches of hundreds: the limit holds wherever a batch ends.
    for (const std::size_t count : {511u, 512u, 513u, 1100u}) {
        for (const char *end : {"\n", "\r\n"}) {
            std::string text;
            for (std::size_t k = 0; k < count; ++k)
                text += std::string("l") + end;
            WriteFile(dir / "many", text);
            const std::string label = std::to_string(count) + (end[0] == '\r' ? " crlf" : " lf");
            LimitedFile enough(static_cast<std::int64_t>(count));
            EXPECT_EQ(enough.Load(dir / "many", TextOptions(), nullptr), 0) << label;
            EXPECT_EQ(enough.RecordCount(), static_cast<std::int64_t>(count)) << label;
            LimitedFile tooFew(static_cast<std::int64_t>(count) - 1);
            EXPECT_EQ(tooFew.Load(dir / "many", TextOptions(), nullptr), -1) << label;
            EXPECT_EQ(tooFew.RecordCount(), 0) << label;
        }
    }
}

TEST(DiffFile, VeryLongLineWithoutLineEnd)
{
    TempDir dir;
    const std::size_t length = 50u * 1024 * 1024;
    WriteFile(dir / "long", std::string(length, 'q'));
    DIFFFILE file;
    ASSERT_EQ(file.Load(dir / "long", TextOptions(), nullptr), 0);
    ASSERT_EQ(file.RecordCount(), 1);
    EXPECT_EQ(file.WidestLine(), length);
    std::unique_ptr<STRING> text = file.RecordText(0);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->size(), length);
    EXPECT_EQ(CaptionAfterDate(file), std::to_string(length) + " bytes  -  1 lines");
}

// Places records at chosen offsets of an existing file without loading it, so that a line far
// beyond 4 GiB can be read back without hashing the billions of line ends of a sparse hole.
class PlacedFile : public DIFFFILE
{
public:
    void Place(const std::string &path, const std::vector<std::int64_t> &offsets)
    {
        m_file.Parse(path);
        m_file.TakeSnapshot();
        for (std::int64_t offset : offsets)
            AddRecord(0, 0, offset, 0);
    }
};

TEST(DiffFile, LinesBeyondFourGibibytesReadBack)
{
    TempDir dir;
    const std::string path = dir / "sparse";
    const std::int64_t far = (std::int64_t{1} << 32) + 12345;
    {
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(write(fd, "first\n", 6), 6);
        ASSERT_EQ(pwrite(fd, "after the hole\n", 15, far), 15);
        close(fd);
    }
    PlacedFile file;
    file.Place(path, {0, far});
    ASSERT_NE(file.RecordText(1), nullptr);
    EXPECT_EQ(*file.RecordText(1), "after the hole");
    EXPECT_EQ(*file.RecordText(0), "first");
    EXPECT_EQ(*file.RecordText(1), "after the hole");
}

// Reads the file in blocks of a chosen size, so that lines and line ends fall across block
// ends everywhere.
class BlockFile : public DIFFFILE
{
public:
    explicit BlockFile(std::size_t blockSize) { m_loadBlockSize = blockSize; }
};

// The lines of a file split as the load splits them, each hashed on its own.
std::vector<LineHash> HashEachLine(const std::string &bytes, std::uint32_t bits, int tabSize)
{
    LineHasher hasher(bits, tabSize);
    std::vector<LineHash> hashes;
    std::size_t i = 0;
    const auto isStop = [](char c) { return c == '\r' || c == '\n' || c == '\x1A' || c == '\0'; };
    while (i < bytes.size()) {
        std::size_t j = i;
        while (j < bytes.size() && !isStop(bytes[j]))
            ++j;
        hashes.push_back(hasher.HashLine(std::string_view(bytes).substr(i, j - i)));
        if (j < bytes.size() && bytes[j] == '\r') {
            for (++j; j < bytes.size() && bytes[j] == '\r';)
                ++j;
            if (j < bytes.size() && bytes[j] == '\n')
                ++j;
        } else if (j < bytes.size()) {
            ++j;
        }
        i = j;
    }
    if (bytes.empty())
        hashes.push_back(hasher.HashLine(""));
    return hashes;
}

std::string MixedText(unsigned seed, std::size_t pieces)
{
    static const char *const kPieces[] = {"word",         " ",
                                          "  ",           "\t",
                                          "Mixed Case",   "\xC3\xA4",
                                          "\xE4\xB8\xAD", "\xF0\x9F\x98\x80",
                                          "\n",           "\r\n",
                                          "\r",           "\r\r\n",
                                          "\n\r",         "" /* NUL, added below */,
                                          "\x1A",         "x"};
    std::mt19937 random(seed);
    std::string text;
    for (std::size_t k = 0; k < pieces; ++k) {
        const std::size_t which = random() % 16;
        if (which == 13)
            text += '\0';
        else
            text += kPieces[which];
        if (random() % 50 == 0)
            text += std::string(random() % 300, 'L'); // a line longer than the small blocks
    }
    return text;
}

// Short lines of every kind, a few with a tab or a wide character, most of them plain.
std::string ManyShortLines()
{
    static const char *const kLines[] = {"ab\r\n",     "c\n",     "\n",     "d\te\n", "fg\r",
                                         "\xC3\xA4\n", "h\r\r\n", "ij\x1A", "k\n",    "lmno\n"};
    std::mt19937 random(7);
    std::string text;
    for (int k = 0; k < 3000; ++k)
        text += kLines[random() % 10 < 7 ? random() % 3 : random() % 10];
    return text;
}

TEST(DiffFile, RecordsDoNotDependOnTheBlockSizeAndHashEachLineExactly)
{
    TempDir dir;
    const std::vector<std::string> texts = {
        "", "\n", "a", "a\r", "\r\r\r", "\xE4\xB8\xAD", MixedText(1, 400), MixedText(2, 700),
        // Thousands of lines: the splitting works through several batches of line ends.
        MixedText(4, 3000), ManyShortLines(), MixedText(3, 50) + "  \t ",
        // The widest line decides the width: lines ending in blanks, tabs, wide characters.
        "wide line    \nshort\n", "tab\t\t\nx", "\xE4\xB8\xAD\xE4\xB8\xAD  \r\nabc", "  a  b  \n"};
    const std::uint32_t optionSets[] = {0, 0x08, 0x10, 0x20, 0x40, 0x60, 0x78};
    const std::size_t blockSizes[] = {1, 3, 7, 61};
    for (std::size_t t = 0; t < texts.size(); ++t) {
        WriteFile(dir / "side", texts[t]);
        for (const std::uint32_t bits : optionSets) {
            for (const int tabSize : {4, 3}) {
                const std::string label = "text " + std::to_string(t) + " options "
                                          + std::to_string(bits) + " tab "
                                          + std::to_string(tabSize);
                const std::vector<LineHash> expected = HashEachLine(texts[t], bits, tabSize);
                DIFFFILE whole;
                ASSERT_EQ(whole.Load(dir / "side", TextOptions(bits, tabSize), nullptr), 0);
                EXPECT_TRUE(whole.HashesPending());
                const std::vector<LineRecord> records = whole.Records();
                ASSERT_EQ(records.size(), expected.size()) << label;
                std::uint32_t widest = 0;
                for (std::size_t k = 0; k < records.size(); ++k) {
                    EXPECT_EQ(records[k].link, UnmatchedLink(expected[k].h16)) << label << " " << k;
                    EXPECT_EQ(records[k].hash, expected[k].h32) << label << " " << k;
                    widest = std::max(widest, expected[k].width);
                }
                EXPECT_EQ(whole.WidestLine(), widest) << label;

                for (const std::size_t blockSize : blockSizes) {
                    BlockFile pieces(blockSize);
                    ASSERT_EQ(pieces.Load(dir / "side", TextOptions(bits, tabSize), nullptr), 0);
                    EXPECT_EQ(pieces.WidestLine(), widest) << label << " block " << blockSize;
                    EXPECT_EQ(pieces.Caption(), whole.Caption()) << label;
                    const std::vector<LineRecord> &got = pieces.Records();
                    ASSERT_EQ(got.size(), records.size()) << label << " block " << blockSize;
                    for (std::size_t k = 0; k < got.size(); ++k) {
                        ASSERT_TRUE(got[k].Equals(records[k]) && got[k].offset == records[k].offset)
                            << label << " block " << blockSize << " line " << k;
                    }
                }
            }
        }
    }
}

struct Rows
{
    std::vector<DiffEntry> entries;
    std::uint32_t widest = 0;
};

Rows CompareFiles(DIFFFILE &left, DIFFFILE &right)
{
    DIFFLIST list;
    list.SetMargin(2);
    EXPECT_EQ(CompareItems(nullptr, left, right, list, 0), kOk);
    return Rows{list.Entries(), list.WidestLine()};
}

void ExpectSameRows(const Rows &got, const Rows &expected, const std::string &label)
{
    ASSERT_EQ(got.entries.size(), expected.entries.size()) << label;
    for (std::size_t k = 0; k < got.entries.size(); ++k) {
        EXPECT_EQ(got.entries[k].left, expected.entries[k].left) << label << " row " << k;
        EXPECT_EQ(got.entries[k].right, expected.entries[k].right) << label << " row " << k;
        EXPECT_EQ(got.entries[k].flags, expected.entries[k].flags) << label << " row " << k;
    }
    EXPECT_EQ(got.widest, expected.widest) << label;
}

TEST(DiffFile, IdenticalFilesPairTwinsWithoutHashingAndGiveTheUsualRows)
{
    struct Case
    {
        std::string bytes;
        std::uint32_t bits;
    };
    const std::vector<Case> cases = {
        {"", 0},
        {"\n\n\n", 0},
        {"\r\n\r\n", 0},
        {"a\r\nb\r\n", 0},
        {"x\ry\r\rz\n\rlast", 0},
        // No line occurs once: matched greedily, and the blank lines at the top paired last.
        {"\n\na\na\n\nb\nb\n", 0},
        {"Hello  \n\tHELLO\n hello\nunique\n\n", 0x78},
        {"a b\nab\n  \n\n", 0x10},
        {MixedText(4, 3000), 0},
        {MixedText(5, 3000), 0x28},
    };
    TempDir dir;
    for (std::size_t c = 0; c < cases.size(); ++c) {
        const std::string label = "case " + std::to_string(c);
        WriteFile(dir / "left", cases[c].bytes);
        WriteFile(dir / "right", cases[c].bytes);
        DIFFFILE left;
        DIFFFILE right;
        ASSERT_EQ(left.Load(dir / "left", TextOptions(cases[c].bits), nullptr), 0);
        ASSERT_EQ(right.Load(dir / "right", TextOptions(cases[c].bits), nullptr), 0);
        const Rows twins = CompareFiles(left, right);
        EXPECT_TRUE(left.HashesPending() && right.HashesPending()) << label;

        // Hashed before the comparison: the lines are matched as usual.
        DIFFFILE usualLeft;
        DIFFFILE usualRight;
        ASSERT_EQ(usualLeft.Load(dir / "left", TextOptions(cases[c].bits), nullptr), 0);
        ASSERT_EQ(usualRight.Load(dir / "right", TextOptions(cases[c].bits), nullptr), 0);
        (void)usualLeft.Records();
        ExpectSameRows(twins, CompareFiles(usualLeft, usualRight), label);

        // Hashing the twins later keeps their partners.
        const std::vector<LineRecord> &records = left.Records();
        const std::vector<LineRecord> &usual = usualLeft.Records();
        ASSERT_EQ(records.size(), usual.size());
        for (std::size_t k = 0; k < records.size(); ++k) {
            EXPECT_EQ(records[k].link, static_cast<std::int32_t>(k)) << label;
            EXPECT_EQ(records[k].hash, usual[k].hash) << label;
        }
        EXPECT_EQ(*right.RecordText(0), *usualRight.RecordText(0)) << label;
    }
}

TEST(DiffFile, LargeSidesHashedTogetherGiveTheRowsOfSidesHashedInTurn)
{
    // Enough lines that the comparison hashes the two sides on two threads at once, with
    // lines of every length around the whole-line steps and some over the longest of them.
    std::mt19937 random(11);
    std::string leftText;
    std::string rightText;
    for (int k = 0; k < 70000; ++k) {
        const std::size_t length = random() % 8 == 0 ? random() % 300 : random() % 40;
        std::string line(length, 'a');
        for (char &c : line)
            c = static_cast<char>('a' + random() % 3);
        leftText += line + "\n";
        if (random() % 50 != 0)
            rightText += line + (random() % 60 == 0 ? "x\n" : "\n");
    }
    TempDir dir;
    WriteFile(dir / "left", leftText);
    WriteFile(dir / "right", rightText);
    for (const std::uint32_t bits : {0u, 0x08u}) {
        DIFFFILE left;
        DIFFFILE right;
        ASSERT_EQ(left.Load(dir / "left", TextOptions(bits), nullptr), 0);
        ASSERT_EQ(right.Load(dir / "right", TextOptions(bits), nullptr), 0);
        const Rows together = CompareFiles(left, right);

        DIFFFILE inTurnLeft;
        DIFFFILE inTurnRight;
        ASSERT_EQ(inTurnLeft.Load(dir / "left", TextOptions(bits), nullptr), 0);
        ASSERT_EQ(inTurnRight.Load(dir / "right", TextOptions(bits), nullptr), 0);
        (void)inTurnLeft.Records();
        (void)inTurnRight.Records();
        ExpectSameRows(together, CompareFiles(inTurnLeft, inTurnRight),
                       "options " + std::to_string(bits));
    }
}

TEST(DiffFile, LargeFilesOfTheSameSizeAreComparedByTheirBytesInHalves)
{
    // Over the size from which the two halves of the files are compared at once.
    std::string text;
    for (int k = 0; text.size() < (std::size_t{9} << 20); ++k)
        text += "line " + std::to_string(k) + " of a large file\n";
    TempDir dir;
    WriteFile(dir / "left", text);
    struct Case
    {
        std::size_t changedAt; // npos: the same bytes
        bool same;
    };
    for (const Case c : {Case{std::string::npos, true}, Case{3, false},
                         Case{text.size() - 2, false}, Case{text.size() / 2, false}}) {
        std::string right = text;
        if (c.changedAt != std::string::npos)
            right[c.changedAt] = 'X';
        WriteFile(dir / "right", right);
        const std::string label = "changed at " + std::to_string(c.changedAt);
        // Loaded one after the other (the second side then compares the bytes), and each apart
        // from the other (matching compares them).
        for (const bool apart : {false, true}) {
            DIFFFILE left;
            DIFFFILE other;
            if (apart) {
                left.LoadApartFromOtherSides();
                other.LoadApartFromOtherSides();
            }
            ASSERT_EQ(left.Load(dir / "left", TextOptions(), nullptr), 0);
            ASSERT_EQ(other.Load(dir / "right", TextOptions(), nullptr), 0);
            EXPECT_EQ(left.HasSameLinesAs(other), c.same) << label << " apart " << apart;
        }
    }
}

TEST(DiffFile, FilesThatDifferOrAreReadDifferentlyAreMatchedLineByLine)
{
    TempDir dir;
    WriteFile(dir / "left", "same\nHello\nend\n");
    WriteFile(dir / "right", "same\nHELLO\nend\n"); // same size, other bytes
    DIFFFILE left;
    DIFFFILE right;
    ASSERT_EQ(left.Load(dir / "left", TextOptions(), nullptr), 0);
    ASSERT_EQ(right.Load(dir / "right", TextOptions(), nullptr), 0);
    EXPECT_FALSE(left.HasSameLinesAs(right));
    Rows rows = CompareFiles(left, right);
    ASSERT_EQ(rows.entries.size(), 3u);
    EXPECT_EQ(rows.entries[1].flags & kEntryDiffers, kEntryDiffers);

    // The same bytes under other options: not twins, and case now matters on one side only.
    WriteFile(dir / "right", "same\nHello\nend\n");
    ASSERT_EQ(left.Load(dir / "left", TextOptions(kOptIgnoreCase), nullptr), 0);
    ASSERT_EQ(right.Load(dir / "right", TextOptions(), nullptr), 0);
    EXPECT_FALSE(left.HasSameLinesAs(right));
    rows = CompareFiles(left, right);
    EXPECT_EQ(rows.entries[0].flags & kEntryDiffers, kEntryDiffers);

    // A side is never the twin of itself, nor of a side already hashed.
    ASSERT_EQ(left.Load(dir / "left", TextOptions(), nullptr), 0);
    ASSERT_EQ(right.Load(dir / "right", TextOptions(), nullptr), 0);
    EXPECT_FALSE(left.HasSameLinesAs(left));
    (void)right.Records();
    EXPECT_FALSE(left.HasSameLinesAs(right));
}

TEST(DiffFile, TextRequestsAfterHashingStillFindTheirLines)
{
    TempDir dir;
    WriteFile(dir / "side", "one\ntwo\nthree\n");
    DIFFFILE file;
    ASSERT_EQ(file.Load(dir / "side", TextOptions(), nullptr), 0);
    EXPECT_EQ(*file.RecordText(0), "one");
    (void)file.Records(); // reads the file again in between
    EXPECT_EQ(*file.RecordText(1), "two");
    EXPECT_EQ(*file.RecordText(2), "three");
}

// A line of pieces that put plain lines and the measured ones side by side: words, blanks
// leading, inside and trailing, tabs, UTF-8 of one and two columns, control bytes.
std::string RandomLine(std::mt19937 &random)
{
    static const char *const kPieces[] = {"word",
                                          "x",
                                          " ",
                                          "   ",
                                          "\t",
                                          "\xC3\xA4",
                                          "\xE4\xB8\xAD",
                                          "\x01",
                                          "\x7F",
                                          "A b",
                                          "\xF0\x9F\x98\x80"};
    std::string line;
    const std::size_t pieces = random() % 4 == 0 ? random() % 60 : random() % 8;
    // Most lines plain, so that the plain path sees blanks in every place.
    const std::size_t kinds = random() % 2 == 0 ? 4 : std::size(kPieces);
    for (std::size_t k = 0; k < pieces; ++k)
        line += kPieces[random() % kinds];
    // A long plain tail: what is not plain lies in an earlier word of the marks.
    if (random() % 3 == 0)
        line += std::string(random() % 150, 'z');
    return line;
}

TEST(DiffFile, LineWidthsAndHashesAgreeWithMeasuringByteByByte)
{
    TempDir dir;
    std::mt19937 random(21);
    const std::uint32_t optionSets[] = {0, 0x08, 0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x78};
    for (int round = 0; round < 150; ++round) {
        const std::string line = RandomLine(random);
        // Empty lines in front move the line across the words of the marks without widening
        // the file; the line end varies.
        const std::string text = std::string(random() % 70, '\n') + line
                                 + (round % 3 == 0   ? "\r\n"
                                    : round % 3 == 1 ? "\n"
                                                     : "");
        WriteFile(dir / "side", text);
        for (const std::uint32_t bits : optionSets) {
            for (const int tabSize : {4, 3, 1}) {
                LineHasher hasher(bits, tabSize);
                const LineHash expected = hasher.HashLine(line);
                const std::string label = "round " + std::to_string(round) + " options "
                                          + std::to_string(bits) + " tab " + std::to_string(tabSize)
                                          + " '" + line + "'";
                DIFFFILE file;
                ASSERT_EQ(file.Load(dir / "side", TextOptions(bits, tabSize), nullptr), 0);
                ASSERT_EQ(file.WidestLine(), expected.width) << label;
                // Whether the line was taken as plain decides how it is hashed.
                const LineRecord &last = file.Records().back();
                ASSERT_EQ(last.link, UnmatchedLink(expected.h16)) << label;
                ASSERT_EQ(last.hash, expected.h32) << label;
            }
        }
    }
}

using testsupport::CountingStatus;

TEST(DiffFile, IdenticalFilesReportProgressAsMatchingDoesAndCancelCleanly)
{
    TempDir dir;
    const std::string text = "one\ntwo\n\nthree\nfour\n";
    WriteFile(dir / "left", text);
    WriteFile(dir / "right", text);
    const auto compare = [&](bool hashFirst, CountingStatus &status, DIFFLIST &list) {
        DIFFFILE left;
        DIFFFILE right;
        EXPECT_EQ(left.Load(dir / "left", TextOptions(), nullptr), 0);
        EXPECT_EQ(right.Load(dir / "right", TextOptions(), nullptr), 0);
        if (hashFirst)
            (void)left.Records();
        return CompareItems(&status, left, right, list, 0);
    };
    CountingStatus twinStatus;
    CountingStatus usualStatus;
    DIFFLIST twinList;
    DIFFLIST usualList;
    ASSERT_EQ(compare(false, twinStatus, twinList), kOk);
    ASSERT_EQ(compare(true, usualStatus, usualList), kOk);
    EXPECT_EQ(twinStatus.m_done, usualStatus.m_done);
    EXPECT_EQ(twinStatus.m_reports, usualStatus.m_reports);
    EXPECT_EQ(twinStatus.m_lastDone, 1);
    EXPECT_EQ(twinList.Count(), 5);

    for (std::int64_t cancelAt = 1; cancelAt <= 5; ++cancelAt) {
        CountingStatus status(cancelAt);
        DIFFLIST list;
        EXPECT_EQ(compare(false, status, list), kErrorOrCancel) << cancelAt;
        EXPECT_EQ(status.m_reports, cancelAt);
        EXPECT_EQ(list.Count(), 0) << "a cancelled comparison leaves no rows";
    }
}

} // namespace
