// A text file as one side of a comparison: loading it into line records, its caption, and
// reading line texts again from the file.
#include "core/status_io.h"
#include "engine/difffile.h"
#include "support/test_support.h"

#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/time.h>
#include <unistd.h>
#include <vector>

using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

CompareOptions Options(std::uint32_t bits = 0, std::int32_t tabSize = 4)
{
    CompareOptions options;
    options.optionBits = bits;
    options.tabSize = tabSize;
    return options;
}

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
        ASSERT_EQ(file.Load(dir / "side.txt", Options(), nullptr), 0);
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
    ASSERT_EQ(file.Load(dir / "empty", Options(), nullptr), 0);
    EXPECT_EQ(file.Caption(), "05.03.2004 14:07  -  0 bytes  -  1 lines");
    ASSERT_EQ(file.Load(dir / "crlf", Options(), nullptr), 0);
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
    ASSERT_EQ(file.Load(dir / "block", Options(), nullptr), 0);
    EXPECT_EQ(file.RecordCount(), 128);

    // A CR LF pair split by the block end is one line end.
    std::string split = std::string(8191, 'x') + "\r\nnext";
    WriteFile(dir / "split", split);
    ASSERT_EQ(file.Load(dir / "split", Options(), nullptr), 0);
    EXPECT_EQ(TextsInOrder(file), (std::vector<std::string>{std::string(8191, 'x'), "next"}));
    EXPECT_EQ(CaptionAfterDate(file), "8197 bytes  -  2 lines  - crlf");

    // A line running over the block end keeps its start offset; a two-column character cut by
    // the block end still counts two columns.
    std::string spanning = std::string(8000, '-') + "\n" + std::string(190, 'y') + "\xE4\xB8\xAD"
                           + std::string(300, 'z') + "\nlast\n";
    WriteFile(dir / "spanning", spanning);
    ASSERT_EQ(file.Load(dir / "spanning", Options(), nullptr), 0);
    ASSERT_EQ(file.RecordCount(), 3);
    EXPECT_EQ(file.RecordOffset(1), 8001);
    EXPECT_EQ(file.RecordOffset(2), 8001 + 190 + 3 + 300 + 1);
    EXPECT_EQ(file.WidestLine(), 8000u);
    EXPECT_EQ(*file.RecordText(1), std::string(190, 'y') + "\xE4\xB8\xAD" + std::string(300, 'z'));

    std::string wide = std::string(8191, 'y') + "\xE4\xB8\xAD" + std::string(10, 'z');
    WriteFile(dir / "wide", wide);
    ASSERT_EQ(file.Load(dir / "wide", Options(), nullptr), 0);
    EXPECT_EQ(file.WidestLine(), 8191u + 2 + 10);
    DIFFFILE whole;
    WriteFile(dir / "whole", "z" + wide);
    ASSERT_EQ(whole.Load(dir / "whole", Options(), nullptr), 0);
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
    ASSERT_EQ(left.Load(dir / "left", Options(bits, 4), nullptr), 0);
    ASSERT_EQ(right.Load(dir / "right", Options(bits, 4), nullptr), 0);
    EXPECT_TRUE(left.Records()[0].Equals(right.Records()[0]));
    EXPECT_TRUE(left.Records()[1].Equals(right.Records()[1]));
    EXPECT_EQ(*left.RecordText(0), "Hello  ");

    ASSERT_EQ(left.Load(dir / "left", Options(bits, 8), nullptr), 0);
    EXPECT_FALSE(left.Records()[1].Equals(right.Records()[1]));
    ASSERT_EQ(left.Load(dir / "left", Options(), nullptr), 0);
    EXPECT_FALSE(left.Records()[0].Equals(right.Records()[0]));
}

TEST(DiffFile, TextOfAChangedOrVanishedFileIsNull)
{
    TempDir dir;
    const std::string path = dir / "side.txt";
    WriteFile(path, "one\ntwo\nthree\n");
    DIFFFILE file;
    ASSERT_EQ(file.Load(path, Options(), nullptr), 0);
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
    ASSERT_EQ(file.Load(path, Options(), nullptr), 0);
    ASSERT_EQ(truncate(path.c_str(), 2), 0);
    EXPECT_EQ(file.RecordText(2), nullptr);
}

TEST(DiffFile, LoadFailuresAndCancellation)
{
    TempDir dir;
    DIFFFILE file;
    EXPECT_EQ(file.Load(dir / "missing", Options(), nullptr), -1);
    EXPECT_EQ(file.Load(dir.Path(), Options(), nullptr), -1);

    WriteFile(dir / "five", "1\n22\n333\n4444\n55555\n");
    CancelAfter status(3);
    EXPECT_EQ(file.Load(dir / "five", Options(), &status), 1);
    EXPECT_EQ(file.RecordCount(), 2); // the lines before the cancelled one stay
    EXPECT_EQ(status.m_lastTotal, 20);
    EXPECT_EQ(status.m_lastDone, 8); // after the text of the third line

    CancelAfter never(1000);
    EXPECT_EQ(file.Load(dir / "five", Options(), &never), 0);
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
    EXPECT_EQ(file.Load(dir / "three", Options(), nullptr), 0);
    EXPECT_EQ(file.RecordCount(), 3);
    EXPECT_EQ(file.Load(dir / "four", Options(), nullptr), -1);
    EXPECT_EQ(file.RecordCount(), 0);
    EXPECT_EQ(file.RecordText(0), nullptr);
}

TEST(DiffFile, VeryLongLineWithoutLineEnd)
{
    TempDir dir;
    const std::size_t length = 50u * 1024 * 1024;
    WriteFile(dir / "long", std::string(length, 'q'));
    DIFFFILE file;
    ASSERT_EQ(file.Load(dir / "long", Options(), nullptr), 0);
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

} // namespace
