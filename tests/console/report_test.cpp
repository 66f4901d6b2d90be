// kestacon's side-by-side report: its layout checked on small results laid out directly, and the
// whole program run on the stored cases in tests/console/cases and on folders made here.
#include "console/command_line.h"
#include "console/pager.h"
#include "console/report.h"
#include "console/scripted_keys.h"
#include "core/options.h"
#include "core/utf8.h"
#include "engine/baseitem.h"
#include "engine/difflist.h"
#include "engine/item.h"
#include "support/test_support.h"

#include <algorithm>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using testsupport::ProgramResult;
using testsupport::ReadFile;
using testsupport::RunProgram;
using testsupport::TempDir;
using testsupport::WriteFile;

// A side whose records are the given lines.
class TextLines : public BASEITEM
{
public:
    explicit TextLines(std::vector<std::string> lines) : m_lines(std::move(lines)) {}

    std::unique_ptr<STRING> RecordText(std::int64_t k) override
    {
        if (k < 0 || k >= RecordCount())
            return nullptr;
        return std::make_unique<STRING>(m_lines[static_cast<std::size_t>(k)]);
    }
    [[nodiscard]] std::int64_t RecordCount() const override
    {
        return static_cast<std::int64_t>(m_lines.size());
    }

private:
    std::vector<std::string> m_lines;
};

std::vector<std::string> SplitLines(const std::string &text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

struct Rendered
{
    std::vector<std::string> lines;
    bool completed = false;
};

Rendered Render(const CompareOptions &options, BASEITEM &left, BASEITEM &right,
                const DIFFLIST &list, bool listingMode = false, KeySource *keys = nullptr)
{
    CapturedOutput output;
    Pager pager(output.File(), keys);
    ReportSides sides;
    sides.left = &left;
    sides.right = &right;
    sides.leftName = "L";
    sides.rightName = "R";
    sides.listingMode = listingMode;
    Rendered rendered;
    rendered.completed = PrintReport(options, sides, list, pager);
    rendered.lines = SplitLines(output.Text());
    return rendered;
}

CompareOptions WithBits(std::uint32_t bits, std::int32_t width = 79)
{
    CompareOptions options;
    options.optionBits = bits;
    options.outputWidth = width;
    return options;
}

// The byte offset in line where display column `column` begins.
std::size_t OffsetOfColumn(const std::string &line, std::size_t column)
{
    return PrefixForColumns(line, column);
}

std::string WithoutTrailingSpaces(std::string text)
{
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

// Every row differs and has both sides, so each first line of a row shows '+' (in the middle in
// marker mode, after the number in number mode) and continuation lines do not.
TEST(Report, LinesStayWithinTheWidthAndNeverSplitACharacter)
{
    // No blanks inside, so that the padding after a piece can be told from the text.
    const std::vector<std::string> leftTexts = {
        "abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-abcdefghijklmnopqrstuvwxyz",
        "Gr\xC3\xBC\xC3\x9F"
        "e-\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x84\xC3\x96\xC3\x9C-Stra\xC3\x9F"
        "e-\xC3\xA9\xC3\xA8\xC3\xAA\xC3\xA1\xC3\xA0\xC3\xA2\xC3\xAD\xC3\xAC\xC3\xAE",
        "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE6\x97\xA5"
        "\xE6\x9C\xAC\xE8\xAA\x9Ex\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE6\x97\xA5\xE6\x9C\xAC"
        "\xE8\xAA\x9E\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E",
        "e\xCC\x81"
        "e\xCC\x81"
        "e\xCC\x81"
        "e\xCC\x81"
        "e\xCC\x81"
        "e\xCC\x81"
        "e\xCC\x81"
        "e\xCC\x81"
        "e\xCC\x81"
        "e\xCC\x81"
        "e\xCC\x81"
        "e\xCC\x81"
        "e\xCC\x81"
        "e\xCC\x81"
        "e\xCC\x81"
        "e\xCC\x81"
        "e\xCC\x81"
        "e\xCC\x81"
        "e\xCC\x81"
        "e\xCC\x81"
        "e\xCC\x81",
        "invalid\xFF\xFE"
        "bytes\xC3"
        "count\xE6\x97"
        "as-one-column-each-of-them-all-along-here",
        "short",
        "",
    };
    std::vector<std::string> rightTexts(leftTexts.rbegin(), leftTexts.rend());
    rightTexts.back() = "x" + leftTexts.front();
    TextLines left(leftTexts);
    TextLines right(rightTexts);
    DIFFLIST list;
    for (std::int32_t k = 0; k < static_cast<std::int32_t>(leftTexts.size()); ++k)
        list.AppendEntry({k, k, 0, kEntryDiffers | kEntryShown});

    for (std::int32_t width : {20, 21, 22, 39, 40, 79, 80, 133}) {
        for (bool numbers : {false, true}) {
            for (bool fold : {false, true}) {
                SCOPED_TRACE(std::to_string(width) + (numbers ? " numbers" : " markers")
                             + (fold ? " fold" : ""));
                const std::uint32_t bits
                    = (numbers ? kOptLineNumbers : 0u) | (fold ? kOptFoldLines : 0u);
                const Rendered rendered = Render(WithBits(bits, width), left, right, list);
                const std::size_t c = static_cast<std::size_t>(width - 2) / 2;
                const std::size_t rightStart = numbers ? c + 2 : c + 3;
                const std::size_t prefix = numbers ? 2 : 0; // one digit and the marker

                ASSERT_GE(rendered.lines.size(), 3u);
                std::vector<std::string> leftShown(leftTexts.size());
                std::vector<std::string> rightShown(leftTexts.size());
                std::vector<int> lineCount(leftTexts.size());
                int row = -1;
                for (std::size_t i = 2; i + 1 < rendered.lines.size(); ++i) {
                    const std::string &line = rendered.lines[i];
                    EXPECT_LE(DisplayWidth(line), static_cast<std::size_t>(width)) << line;
                    const std::size_t middle = OffsetOfColumn(line, c + 1);
                    const bool firstLine = numbers ? line[0] != ' ' : line[middle] == '+';
                    if (!numbers) {
                        EXPECT_TRUE(line[middle] == '+' || line[middle] == ' ') << line;
                    }
                    if (firstLine)
                        ++row;
                    ASSERT_GE(row, 0);
                    ++lineCount[row];
                    const std::string leftColumn = line.substr(0, middle);
                    const std::string rightColumn = line.substr(OffsetOfColumn(line, rightStart));
                    leftShown[row] += WithoutTrailingSpaces(
                        leftColumn.substr(std::min(prefix, leftColumn.size())));
                    if (!rightColumn.empty())
                        rightShown[row] += rightColumn.substr(std::min(prefix, rightColumn.size()));
                }
                ASSERT_EQ(row + 1, static_cast<int>(leftTexts.size()));
                for (std::size_t k = 0; k < leftTexts.size(); ++k) {
                    if (fold) {
                        EXPECT_EQ(leftShown[k], leftTexts[k]);
                        EXPECT_EQ(rightShown[k], rightTexts[k]);
                    } else {
                        EXPECT_EQ(lineCount[k], 1);
                        EXPECT_EQ(leftTexts[k].rfind(leftShown[k], 0), 0u) << leftShown[k];
                        EXPECT_EQ(rightTexts[k].rfind(rightShown[k], 0), 0u) << rightShown[k];
                    }
                }
            }
        }
    }
}

TEST(Report, NumberWidthFollowsTheRowCount)
{
    struct Case
    {
        std::int32_t rows;
        std::string firstNumber;
    };
    for (const Case &c : {Case{1, "1"}, Case{9, "1"}, Case{10, "01"}, Case{999, "001"},
                          Case{1000, "0001"}, Case{1234, "0001"}}) {
        SCOPED_TRACE(c.rows);
        TextLines side(std::vector<std::string>(static_cast<std::size_t>(c.rows), "t"));
        DIFFLIST list;
        for (std::int32_t k = 0; k < c.rows; ++k)
            list.AppendEntry({k, k, 0, 0});
        const Rendered rendered = Render(WithBits(kOptLineNumbers | kOptShowAll), side, side, list);
        ASSERT_GE(rendered.lines.size(), 3u);
        const std::string padded = c.firstNumber + " t";
        EXPECT_EQ(rendered.lines[2], padded + std::string(40 - padded.size(), ' ') + padded);
        const std::string &last = rendered.lines[rendered.lines.size() - 2];
        EXPECT_EQ(last.substr(0, c.firstNumber.size()), std::to_string(c.rows));
    }
}

// Rows: 0 equal, 1 context, 2 changed, 3 context, 4 equal, 5 left only, 6 equal.
DIFFLIST RowsWithTwoDifferences()
{
    DIFFLIST list;
    list.AppendEntry({0, 0, 0, 0});
    list.AppendEntry({1, 1, 0, kEntryShown});
    list.AppendEntry({2, 2, 0, kEntryDiffers | kEntryShown});
    list.AppendEntry({3, 3, 0, kEntryShown});
    list.AppendEntry({4, 4, 0, 0});
    list.AppendEntry({5, -1, 0, kEntryDiffers | kEntryShown});
    list.AppendEntry({6, 5, 0, 0});
    return list;
}

TEST(Report, SeparatorsSetRunsApart)
{
    TextLines left({"a0", "a1", "a2", "a3", "a4", "a5", "a6"});
    TextLines right({"a0", "a1", "b2", "a3", "a4", "a6"});
    const DIFFLIST list = RowsWithTwoDifferences();
    const std::string plain = "----------+---------";
    const std::string numbered = "---------- ---------";
    // A separator with record numbers at the start of each half.
    const auto at = [](const char *left, const char *right) {
        std::string line = "----------+---------";
        if (*left != '\0')
            line.replace(0, 4, left);
        if (*right != '\0')
            line.replace(10, 4, right);
        return line;
    };
    struct Case
    {
        const char *name;
        std::uint32_t bits;
        bool listing;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {"context runs",
         0,
         false,
         {"L         R", plain, "a1        | a1", "a2        + b2", "a3        | a3", plain,
          "a5        < ", plain}},
        // Every row shown: a separator wherever the rows start or stop differing, with the
        // record numbers where each side's run begins.
        {"show all",
         kOptShowAll,
         false,
         {"L         R", at("0001", "0001"), "a0        | a0", "a1        | a1", at("0003", "0003"),
          "a2        + b2", at("0004", "0004"), "a3        | a3", "a4        | a4", at("0006", ""),
          "a5        < ", at("0007", "0006"), "a6        | a6", plain}},
        // A listing has no context rows: the differing rows form one run.
        {"listing", 0, true, {"L         R", plain, "a2        + b2", "a5        < ", plain}},
        {"listing, show all",
         kOptShowAll,
         true,
         {"L         R", plain, "a0        | a0", "a1        | a1", plain, "a2        + b2", plain,
          "a3        | a3", "a4        | a4", plain, "a5        < ", plain, "a6        | a6",
          plain}},
        // Numbers in the columns: the separators need none; '+' marks the differing rows.
        {"numbers, show all",
         kOptLineNumbers | kOptShowAll,
         false,
         {"L          R", numbered, "1 a0       1 a0", "2 a1       2 a1", numbered,
          "3+a2       3+b2", numbered, "4 a3       4 a3", "5 a4       5 a4", numbered,
          "6+a5       ", numbered, "7 a6       6 a6", numbered}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const Rendered rendered = Render(WithBits(c.bits, 20), left, right, list, c.listing);
        EXPECT_TRUE(rendered.completed);
        EXPECT_EQ(rendered.lines, c.lines);
    }
}

TEST(Report, NumberMarkersWithoutContext)
{
    TextLines left({"a0", "a1", "a2", "a3", "a4", "a5", "a6"});
    TextLines right({"a0", "a1", "b2", "a3", "a4", "a6"});
    const DIFFLIST list = RowsWithTwoDifferences();
    const std::string separator = "---------- ---------";
    // Without margin lines only differences are meant to be shown: no '+' is needed.
    CompareOptions options = WithBits(kOptLineNumbers, 20);
    options.marginLines = 0;
    EXPECT_EQ(
        Render(options, left, right, list).lines,
        (std::vector<std::string>{"L          R", separator, "2 a1       2 a1", "3 a2       3 b2",
                                  "4 a3       4 a3", separator, "6 a5       ", separator}));
}

TEST(Report, ContinuationLinesInNumberMode)
{
    TextLines left({"abcdefghijklmnopqrstuvwxyz"});
    TextLines right({"0123456789"});
    DIFFLIST list;
    list.AppendEntry({0, 0, 0, kEntryDiffers | kEntryShown});
    // Width 21: eight text columns a side; the left column is padded to 11.
    const std::string separator = "---------- ----------";
    EXPECT_EQ(
        Render(WithBits(kOptLineNumbers | kOptFoldLines, 21), left, right, list).lines,
        (std::vector<std::string>{"L          R", separator, "1+abcdefgh 1+01234567",
                                  " /ijklmnop  /89", " /qrstuvwx ", " /yz       ", separator}));
}

// Control characters reach the terminal as '?', one for each (the two bytes of a C1 control
// included), so the columns line up as for any other text; tabs are still expanded.
TEST(Report, ControlCharactersShowAsQuestionMarks)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"a\x1b[31mb", "a?[31mb"},
        {"\a\x0e\x7f\x01x", "????x"},
        {"c1 \xC2\x9B"
         "2J\xC2\x80\xC2\x9F",
         "c1 ?2J??"},
        {"latin \xC2\xA9\xC2\xA0!", "latin \xC2\xA9\xC2\xA0!"},
        {"\tt", "    t"},
        {"plain text", "plain text"},
    };
    std::vector<std::string> texts;
    DIFFLIST list;
    for (const auto &[text, shown] : cases) {
        list.AppendEntry({static_cast<std::int32_t>(texts.size()),
                          static_cast<std::int32_t>(texts.size()), 0, 0});
        texts.push_back(text);
    }
    TextLines side(texts);
    const Rendered rendered = Render(WithBits(kOptShowAll, 40), side, side, list);
    ASSERT_EQ(rendered.lines.size(), cases.size() + 3);
    for (std::size_t k = 0; k < cases.size(); ++k) {
        const std::string &shown = cases[k].second;
        EXPECT_EQ(rendered.lines[k + 2],
                  shown + std::string(20 - DisplayWidth(shown), ' ') + "| " + shown);
    }
}

TEST(Report, LongNamesInTheHeaderStaySeparate)
{
    TextLines side({"t"});
    DIFFLIST list;
    CapturedOutput output;
    Pager pager(output.File(), nullptr);
    ReportSides sides;
    sides.left = &side;
    sides.right = &side;
    sides.leftName = "a-left-name-of-twenty";
    sides.rightName = "right";
    ASSERT_TRUE(PrintReport(WithBits(0, 20), sides, list, pager));
    EXPECT_EQ(SplitLines(output.Text()).front(), "a-left-name-of-twenty right");
}

TEST(Report, StopsWhenTheReaderStops)
{
    std::vector<std::string> texts(40, "same");
    TextLines side(texts);
    DIFFLIST list;
    for (std::int32_t k = 0; k < 40; ++k)
        list.AppendEntry({k, k, 0, 0});
    ScriptedKeys keys({kKeyEscape});
    const Rendered rendered = Render(WithBits(kOptShowAll), side, side, list, false, &keys);
    EXPECT_FALSE(rendered.completed);
    EXPECT_EQ(keys.waits, 1);
    // The header, the first separator and 22 rows, then the wiped prompt; no closing separator.
    ASSERT_EQ(rendered.lines.size(), 25u);
    EXPECT_EQ(rendered.lines[23].find("same"), 0u);
    EXPECT_EQ(rendered.lines[24].find(kPagerPrompt), 0u);
}

// A side that is gone by the time it is loaded fails the run: one line naming the right side,
// no report.
TEST(Report, AFailedLoadEndsWithOneFatalLine)
{
    const TempDir dir;
    WriteFile(dir / "a.txt", "a\n");
    WriteFile(dir / "b.txt", "b\n");
    for (const char *vanishing : {"a.txt", "b.txt"}) {
        SCOPED_TRACE(vanishing);
        ITEM left(dir / "a.txt");
        ITEM right(dir / "b.txt");
        ASSERT_EQ(left.Classify(), kKindFile);
        ASSERT_EQ(right.Classify(), kKindFile);
        std::filesystem::rename(dir / vanishing, dir / "gone");
        const ConsoleOptions options;
        CapturedOutput output;
        Pager pager(output.File(), nullptr);
        testing::internal::CaptureStdout();
        const int status = CompareAndReport(options, left, right, nullptr, pager);
        // The side that went away is named, with the reason.
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "Fatal " + (dir / vanishing) + " 0: No such file or directory\n");
        EXPECT_EQ(status, 1);
        EXPECT_EQ(output.Text(), "");
        std::filesystem::rename(dir / "gone", dir / vanishing);
    }
}

// ---------------------------------------------------------------------------------------------
// The program

ProgramResult Kestacon(const std::vector<std::string> &arguments,
                       const std::string &workingDirectory = "")
{
    return RunProgram(KESTACON_PATH, arguments, "", workingDirectory);
}

// The output width a command line asks for.
std::size_t WidthOf(const std::vector<std::string> &arguments)
{
    std::size_t width = 79;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string &argument = arguments[i];
        if (argument.rfind("-w", 0) != 0)
            continue;
        const std::string value = argument.size() > 2        ? argument.substr(2)
                                  : i + 1 < arguments.size() ? arguments[i + 1]
                                                             : "";
        width = std::stoul(value);
    }
    return width;
}

void ExpectWithinWidth(const std::string &output, std::size_t width)
{
    for (const std::string &line : SplitLines(output))
        EXPECT_LE(DisplayWidth(line), width) << line;
}

// Each folder holds the sides, `args` (one argument a line; the program runs in the folder),
// `expected.txt` and, when the run fails, `status`.
TEST(ReportProgram, StoredCases)
{
    const std::filesystem::path root
        = std::filesystem::path(KESTA_SOURCE_DIR) / "tests/console/cases";
    std::vector<std::filesystem::path> cases;
    for (const auto &entry : std::filesystem::directory_iterator(root))
        cases.push_back(entry.path());
    std::sort(cases.begin(), cases.end());
    ASSERT_FALSE(cases.empty());
    for (const std::filesystem::path &folder : cases) {
        SCOPED_TRACE(folder.filename().string());
        const std::vector<std::string> arguments = SplitLines(ReadFile(folder / "args"));
        int status = 0;
        if (std::filesystem::exists(folder / "status"))
            status = std::stoi(ReadFile(folder / "status"));
        const ProgramResult result = Kestacon(arguments, folder.string());
        EXPECT_EQ(result.status, status);
        EXPECT_EQ(result.output, ReadFile(folder / "expected.txt"));
        // A failure line goes to standard error as well.
        EXPECT_EQ(result.errors, status == 0 ? "" : result.output);
        ExpectWithinWidth(result.output, WidthOf(arguments));
    }
}

// Binary files compared as text: whatever their bytes, the report holds no control character
// but the line ends, and its lines keep to the width.
TEST(ReportProgram, BinaryFilesGiveNoControlCharacters)
{
    const TempDir dir;
    std::string left = "\x1b[31mred\n\xC2\x9B"
                       "2J\x07\x0e\n";
    std::string right = left;
    std::uint32_t state = 12345;
    for (int k = 0; k < 20000; ++k) {
        state = state * 1103515245u + 12345u;
        const auto byte = static_cast<char>(state >> 24);
        left += byte;
        right += (k % 97 == 0) ? static_cast<char>(~byte) : byte;
    }
    for (int value = 0; value < 256; ++value)
        left += static_cast<char>(value);
    WriteFile(dir / "left.pyc", left);
    WriteFile(dir / "right.pyc", right);
    for (const std::vector<std::string> &options :
         {std::vector<std::string>{}, {"-a"}, {"-a", "-n", "-f"}, {"-f", "-w40"}}) {
        std::vector<std::string> arguments = options;
        arguments.push_back("left.pyc");
        arguments.push_back("right.pyc");
        const ProgramResult result = Kestacon(arguments, dir.Path());
        ASSERT_EQ(result.status, 0) << result.output;
        const std::string &output = result.output;
        for (std::size_t i = 0; i < output.size(); ++i) {
            const auto byte = static_cast<unsigned char>(output[i]);
            const bool c1 = byte == 0xC2 && i + 1 < output.size()
                            && (static_cast<unsigned char>(output[i + 1]) & 0xE0) == 0x80;
            ASSERT_TRUE((byte >= 0x20 && byte != 0x7F && !c1) || byte == '\n')
                << "byte " << static_cast<int>(byte) << " at " << i;
        }
        ExpectWithinWidth(output, WidthOf(arguments));
    }
}

TEST(ReportProgram, LineNumbersTakeTheDigitsOfTheRowCount)
{
    const TempDir dir;
    std::string left;
    std::string right;
    for (int k = 1; k <= 1234; ++k) {
        left += "line " + std::to_string(k) + "\n";
        right += (k == 700 ? "changed " : "line ") + std::to_string(k) + "\n";
    }
    WriteFile(dir / "a.txt", left);
    WriteFile(dir / "b.txt", right);
    const ProgramResult result = Kestacon({"-n", "a.txt", "b.txt"}, dir.Path());
    EXPECT_EQ(result.status, 0);
    const std::string separator = std::string(39, '-') + ' ' + std::string(39, '-');
    const auto row = [](const std::string &l, const std::string &r) {
        return l + std::string(40 - l.size(), ' ') + r;
    };
    EXPECT_EQ(SplitLines(result.output),
              (std::vector<std::string>{row("a.txt", "b.txt"), separator,
                                        row("0699 line 699", "0699 line 699"),
                                        row("0700+line 700", "0700+changed 700"),
                                        row("0701 line 701", "0701 line 701"), separator}));
}

// Sets a file's modification time to the given UTC moment.
void SetTime(const std::string &path, int year, int month, int day, int hour, int minute)
{
    std::tm when{};
    when.tm_year = year - 1900;
    when.tm_mon = month - 1;
    when.tm_mday = day;
    when.tm_hour = hour;
    when.tm_min = minute;
    const timespec times[2] = {{timegm(&when), 0}, {timegm(&when), 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

// Two folders: L and R with entries on one side only, changed and equal ones, and a subfolder.
void MakeTwoFolders(const TempDir &dir)
{
    WriteFile(dir / "L/changed.txt", "old\n");
    WriteFile(dir / "R/changed.txt", "newer and longer\n");
    WriteFile(dir / "L/newer-left.txt", "ab\n");
    WriteFile(dir / "R/newer-left.txt", "abcde\n");
    WriteFile(dir / "L/only-left.c", "x\n");
    WriteFile(dir / "R/only-right.h", "y\n");
    WriteFile(dir / "L/same.txt", "same\n");
    WriteFile(dir / "R/same.txt", "same\n");
    WriteFile(dir / "L/touched.txt", "text\n");
    WriteFile(dir / "R/touched.txt", "text\n");
    WriteFile(dir / "L/sub/inner.txt", "inner\n");
    WriteFile(dir / "R/sub/inner.txt", "inner\n");
    SetTime(dir / "L/changed.txt", 2020, 1, 2, 3, 4);
    SetTime(dir / "R/changed.txt", 2021, 5, 6, 7, 8);
    SetTime(dir / "L/newer-left.txt", 2022, 3, 4, 5, 6);
    SetTime(dir / "R/newer-left.txt", 2021, 5, 6, 7, 8);
    SetTime(dir / "L/only-left.c", 2020, 1, 2, 3, 4);
    SetTime(dir / "R/only-right.h", 2021, 5, 6, 7, 8);
    for (const char *side : {"L", "R"}) {
        SetTime(dir / (std::string(side) + "/same.txt"), 2019, 9, 9, 9, 9);
        SetTime(dir / (std::string(side) + "/sub/inner.txt"), 2019, 9, 9, 9, 9);
    }
    SetTime(dir / "L/touched.txt", 2018, 1, 1, 0, 0);
    SetTime(dir / "R/touched.txt", 2023, 1, 1, 0, 0);
}

TEST(ReportProgram, TwoFoldersMarkWhichEntryIsNewer)
{
    const TempDir dir;
    MakeTwoFolders(dir);
    const ProgramResult result = Kestacon({"-a", "-w100", "L", "R"}, dir.Path());
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.errors, "");
    // The middle marker tells which entry the date order puts first (the newer one; a missing
    // entry first of all), whether or not the row differs.
    const std::string separator = std::string(50, '-') + '+' + std::string(49, '-');
    EXPECT_EQ(SplitLines(result.output),
              (std::vector<std::string>{
                  "./L/*                                             ./R/*",
                  separator,
                  "newer-left.txt          3 04.03.2022  5:06        < newer-left.txt          6 "
                  "06.05.2021  7:08",
                  "                                                  < only-right.h            2 "
                  "06.05.2021  7:08",
                  "changed   .txt          4 02.01.2020  3:04        > changed   .txt         17 "
                  "06.05.2021  7:08",
                  "only-left .c            2 02.01.2020  3:04        > ",
                  separator,
                  "inner     .txt  sub/    6 09.09.2019  9:09        | inner     .txt  sub/    6 "
                  "09.09.2019  9:09",
                  "same      .txt          5 09.09.2019  9:09        | same      .txt          5 "
                  "09.09.2019  9:09",
                  "touched   .txt          5 01.01.2018  0:00        > touched   .txt          5 "
                  "01.01.2023  0:00",
                  separator,
              }));
    for (const char *width : {"-w40", "-w79"}) {
        const ProgramResult narrow = Kestacon({"-a", width, "L", "R"}, dir.Path());
        EXPECT_EQ(narrow.status, 0);
        ExpectWithinWidth(narrow.output, WidthOf({width}));
    }
}

TEST(ReportProgram, AFolderAgainstAFileIsPairedByPosition)
{
    const TempDir dir;
    MakeTwoFolders(dir);
    WriteFile(dir / "f.txt", "line one\nline two\n");
    // The other way round, the folder stands for the file of the same name in it.
    const ProgramResult result = Kestacon({"-w100", "f.txt", "L"}, dir.Path());
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "Error ./L/f.txt 0: not found\n");

    const ProgramResult listing = Kestacon({"-w100", "L", "f.txt"}, dir.Path());
    EXPECT_EQ(listing.status, 0);
    // Every row differs; a listing has no context, so the rows form one run.
    const std::string separator = std::string(50, '-') + '+' + std::string(49, '-');
    EXPECT_EQ(SplitLines(listing.output),
              (std::vector<std::string>{
                  "./L/*                                             f.txt",
                  separator,
                  "newer-left.txt          3 04.03.2022  5:06        + line one",
                  "changed   .txt          4 02.01.2020  3:04        + line two",
                  "only-left .c            2 02.01.2020  3:04        < ",
                  "inner     .txt  sub/    6 09.09.2019  9:09        < ",
                  "same      .txt          5 09.09.2019  9:09        < ",
                  "touched   .txt          5 01.01.2018  0:00        < ",
                  separator,
              }));
}

} // namespace
