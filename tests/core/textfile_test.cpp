#include "core/textfile.h"
#include "support/test_support.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

struct Line
{
    std::string text;
    std::int64_t nextOffset; // where the following line starts

    friend bool operator==(const Line &, const Line &) = default;
};

std::ostream &operator<<(std::ostream &out, const Line &line)
{
    out << '"';
    for (char c : line.text) {
        if (c >= ' ' && c < 0x7F) {
            out << c;
        } else {
            out << "\\x" << std::hex << (static_cast<unsigned>(c) & 0xFF) << std::dec;
        }
    }
    return out << "\" next " << line.nextOffset;
}

// The lines of a whole text, split without blocks: a run of CR and LF holding at most one LF
// ends a line, as does a single Ctrl-Z or NUL.
std::vector<Line> SplitWhole(const std::string &text)
{
    std::vector<Line> lines;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t start = i;
        while (i < text.size() && text[i] != '\r' && text[i] != '\n' && text[i] != '\x1a'
               && text[i] != '\0') {
            ++i;
        }
        std::string line = text.substr(start, i - start);
        if (i < text.size()) {
            char stop = text[i++];
            if (stop == '\r' || stop == '\n') {
                bool lf = stop == '\n';
                while (i < text.size() && (text[i] == '\r' || (text[i] == '\n' && !lf))) {
                    lf = lf || text[i] == '\n';
                    ++i;
                }
            }
        }
        lines.push_back({line, static_cast<std::int64_t>(i)});
    }
    return lines;
}

std::vector<Line> ReadAll(TEXTFILE &file)
{
    std::vector<Line> lines;
    while (auto line = file.ReadLine()) {
        lines.push_back({*line, file.LineOffset()});
    }
    return lines;
}

std::vector<Line> ReadText(const TempDir &dir, const std::string &text)
{
    WriteFile(dir / "t", text);
    TEXTFILE file(dir / "t");
    EXPECT_EQ(file.Open(), 0);
    std::vector<Line> lines = ReadAll(file);
    EXPECT_EQ(file.RecordNumber(), static_cast<std::int64_t>(lines.size()));
    EXPECT_EQ(file.ReadLine(), nullptr); // the end stays the end
    return lines;
}

std::vector<std::string> Texts(const std::vector<Line> &lines)
{
    std::vector<std::string> texts;
    for (const Line &line : lines) {
        texts.push_back(line.text);
    }
    return texts;
}

using Strings = std::vector<std::string>;

} // namespace

TEST(TextFile, LineEndsOfEveryKind)
{
    TempDir dir;
    struct Case
    {
        std::string text;
        Strings lines;
    };
    const Case cases[] = {
        {"a\r\nb\nc\rd", {"a", "b", "c", "d"}},
        {"a\n\nb", {"a", "", "b"}},
        {"a\r\rb", {"a", "b"}}, // a run of CRs is one line end
        {"a\n\rb\r\r\nc", {"a", "b", "c"}},
        {std::string("a\0b", 3), {"a", "b"}},
        {"a\x1a"
         "b",
         {"a", "b"}},
        {std::string("a\0\nb", 4), {"a", "", "b"}}, // a NUL ends the line alone
        {"a\x1a\x1a", {"a", ""}},
        {"", {}},
        {"\n", {""}},
        {"a\r\n", {"a"}}, // no empty line after the last line end
        {"a\r\n\n", {"a", ""}},
    };
    for (const Case &c : cases) {
        std::vector<Line> lines = ReadText(dir, c.text);
        EXPECT_EQ(Texts(lines), c.lines) << Line{c.text, 0};
        EXPECT_EQ(lines, SplitWhole(c.text)) << Line{c.text, 0};
    }
}

TEST(TextFile, LineEndsAcrossBlockBorders)
{
    TempDir dir;
    const std::string ends[] = {"\r\n",
                                "\n",
                                "\r",
                                "\n\r",
                                "\r\r\n",
                                "\n\n",
                                "\r\r",
                                "\n\r\n",
                                "\x1a",
                                "\x1a\n",
                                std::string("\0", 1)};
    for (const std::string &end : ends) {
        // The line end starts two bytes before the end of the first block up to just after it.
        for (std::size_t before = 509; before <= 513; ++before) {
            for (const std::string &after : {std::string("tail"), std::string()}) {
                std::string text = std::string(before, 'x') + end + after;
                EXPECT_EQ(ReadText(dir, text), SplitWhole(text))
                    << before << " bytes, then " << Line{end, 0} << " and " << after.size();
            }
        }
    }
}

TEST(TextFile, RandomTextsSplitAsAWhole)
{
    TempDir dir;
    std::mt19937 random(20240305);
    const char alphabet[] = {'a', 'b', '\r', '\n', '\0', '\x1a'};
    std::discrete_distribution<int> pick({30, 30, 10, 10, 2, 2});
    for (int round = 0; round < 150; ++round) {
        std::string text(std::uniform_int_distribution<std::size_t>(0, 1600)(random), ' ');
        for (char &c : text) {
            c = alphabet[pick(random)];
        }
        ASSERT_EQ(ReadText(dir, text), SplitWhole(text)) << "round " << round;
    }
}

TEST(TextFile, LongLinesComeBackWhole)
{
    TempDir dir;
    const std::string line2000(2000, 'q');
    EXPECT_EQ(Texts(ReadText(dir, line2000 + "\r\nend")), (Strings{line2000, "end"}));

    // Many blocks: appended block by block, so this stays fast.
    std::string huge(20'000'000, 'w');
    huge[12345] = 'v';
    std::vector<Line> lines = ReadText(dir, huge + "\nnext");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0].text == huge);
    EXPECT_EQ(lines[0].nextOffset, 20'000'001);
    EXPECT_EQ(lines[1].text, "next");
}

TEST(TextFile, SeekToAKnownLineAndRewind)
{
    TempDir dir;
    std::string text;
    for (int i = 0; i < 10; ++i) {
        text += "line" + std::to_string(i) + (i % 3 == 0 ? "\r\n" : i % 3 == 1 ? "\n" : "\r");
    }
    WriteFile(dir / "t", text);
    TEXTFILE file(dir / "t");
    ASSERT_EQ(file.Open(), 0);
    std::vector<std::int64_t> starts{0};
    for (const Line &line : ReadAll(file)) {
        starts.push_back(line.nextOffset);
    }
    ASSERT_EQ(starts.size(), 11u);

    EXPECT_EQ(file.Seek(starts[7], 7), 0);
    EXPECT_EQ(file.LineOffset(), starts[7]);
    auto line = file.ReadLine();
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(*line, "line7");
    EXPECT_EQ(file.RecordNumber(), 8);
    EXPECT_EQ(file.LineOffset(), starts[8]);

    // Back to an earlier line while text of the later one is still held.
    EXPECT_EQ(file.Seek(starts[2], 2), 0);
    line = file.ReadLine();
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(*line, "line2");

    EXPECT_EQ(file.Rewind(), 0);
    EXPECT_EQ(file.LineOffset(), 0);
    line = file.ReadLine();
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(*line, "line0");
    EXPECT_EQ(file.RecordNumber(), 1);
}

TEST(TextFile, ReopeningStartsAfresh)
{
    TempDir dir;
    WriteFile(dir / "t", "first\r");
    TEXTFILE file(dir / "t");
    ASSERT_EQ(file.Open(), 0);
    ASSERT_NE(file.ReadLine(), nullptr); // leaves the CR's line end open
    ASSERT_EQ(file.Close(), 0);
    WriteFile(dir / "t", "\nsecond");
    ASSERT_EQ(file.Open(), 0);
    EXPECT_EQ(Texts(ReadAll(file)), (Strings{"", "second"}));
}

TEST(TextFile, LineBeyondFourGiB)
{
    TempDir dir;
    const std::string path = dir / "sparse";
    const std::int64_t far = 5LL << 30;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    bool made = ::ftruncate(fd, far) == 0;
    const std::string tail = "far line\r\nafter";
    made = made && ::pwrite(fd, tail.data(), tail.size(), far) == static_cast<ssize_t>(tail.size());
    ::close(fd);
    if (!made) {
        GTEST_SKIP() << "no sparse file of 5 GiB here";
    }

    TEXTFILE file(path);
    ASSERT_EQ(file.Open(), 0);
    ASSERT_EQ(file.Seek(far, 42), 0);
    auto line = file.ReadLine();
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(*line, "far line");
    EXPECT_EQ(file.RecordNumber(), 43);
    EXPECT_EQ(file.LineOffset(), far + 10);
    line = file.ReadLine();
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(*line, "after");
    EXPECT_EQ(file.ReadLine(), nullptr);
}
