#include "core/line_format.h"
#include "engine/comparison.h"
#include "engine/difflist.h"
#include "gui/dispwindow.h"
#include "gui/settings.h"
#include "support/test_support.h"
#include "toolkit/desktop.h"
#include "toolkit/memorydevicecontext.h"
#include "toolkit/toolkit_test_application.h"
#include "toolkit/window.h"
#include "toolkit/window_widget.h"

#include <QApplication>
#include <QImage>
#include <QScreen>
#include <QWindow>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;

class OwnerWindow : public WINDOW
{
public:
    int MessageHandler(unsigned message) override
    {
        if (message == kMsgSize && display != nullptr)
            display->Resize(LowWord(m_lParam), HighWord(m_lParam));
        return 1;
    }
    void Paint(DEVICECONTEXT &dc) override
    {
        if (display != nullptr)
            display->Paint(dc);
    }
    DISPWINDOW *display = nullptr;
};

std::string Lines(int count, const std::string &stem = "line ")
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += stem + std::to_string(i) + "\n";
    return text;
}

// Stands in for the character comparison: characters 2 and 3 differ on both sides.
class SegmentedDisplay : public DISPWINDOW
{
public:
    using DISPWINDOW::DISPWINDOW;
    int asked = 0;

protected:
    void ComputeInlineSegments(VisibleCell &left, VisibleCell &right, int limit) override
    {
        ++asked;
        EXPECT_EQ(limit, 3);
        for (VisibleCell *cell : {&left, &right})
            cell->segments = {2, 4, kSegmentEnd};
    }
};

// A 24-bit BMP of one colour (0x00BBGGRR).
void WriteBmp(const std::string &path, int width, int height, COLORREF colour)
{
    const int rowBytes = (width * 3 + 3) / 4 * 4;
    std::string bytes(54 + static_cast<std::size_t>(rowBytes) * height, '\0');
    const auto put = [&bytes](std::size_t at, std::uint32_t value, int size) {
        for (int i = 0; i < size; ++i)
            bytes[at + i] = static_cast<char>(value >> 8 * i);
    };
    bytes[0] = 'B';
    bytes[1] = 'M';
    put(2, static_cast<std::uint32_t>(bytes.size()), 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, static_cast<std::uint32_t>(width), 4);
    put(22, static_cast<std::uint32_t>(height), 4);
    put(26, 1, 2);
    put(28, 24, 2);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::size_t at = 54 + static_cast<std::size_t>(y) * rowBytes + x * 3;
            put(at, (colour >> 16) & 0xFF, 1);
            put(at + 1, (colour >> 8) & 0xFF, 1);
            put(at + 2, colour & 0xFF, 1);
        }
    WriteFile(path, bytes);
}

class DisplayTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TestApplication();
        ASSERT_EQ(RegisterWindowClass("DisplayTest", /*opaque=*/true), 1);
        handle = CreateKestaWindow("DisplayTest", &owner, nullptr, 0, 0, kWidth, kHeight);
        ASSERT_NE(handle, nullptr);
        settings.compare.optionBits = kOptShowAll;
        settings.compare.marginLines = 1;
        SetBeepHook([this] { ++beeps; });
    }
    void TearDown() override
    {
        SetBeepHook(nullptr);
        owner.display = nullptr;
        display.reset();
        DestroyKestaWindow(handle);
    }

    // Compares two files (or folders) written from the given texts and shows the result.
    void Show(const std::string &left, const std::string &right)
    {
        comparison = std::make_unique<COMPARISON>(settings.compare);
        comparison->Left().SetPath(left);
        comparison->Right().SetPath(right);
        ASSERT_EQ(comparison->Run(nullptr), kOk);
        display = std::make_unique<DISPWINDOW>(comparison.get(), owner, settings);
        owner.display = display.get();
        display->Rebuild();
        display->Resize(kWidth, kHeight);
    }
    void ShowTexts(const std::string &left, const std::string &right)
    {
        WriteFile(dir / "left.txt", left);
        WriteFile(dir / "right.txt", right);
        Show(dir / "left.txt", dir / "right.txt");
    }

    std::vector<std::int64_t> ShownRows() const
    {
        std::vector<std::int64_t> rows;
        for (int i = 0; i < display->VisibleLineCount(); ++i)
            if (display->VisibleLineToRecord(i) >= 0)
                rows.push_back(display->VisibleLineToRecord(i));
        return rows;
    }
    // The visible line showing a row whose left and right records are given.
    int LineOf(std::int32_t left, std::int32_t right) const
    {
        for (int i = 0; i < display->VisibleLineCount(); ++i) {
            const DiffEntry *entry = comparison->Result().Entry(display->VisibleLineToRecord(i));
            if (entry != nullptr && entry->left == left && entry->right == right)
                return i;
        }
        return -1;
    }
    std::unique_ptr<MEMORYDEVICECONTEXT> Frame() const
    {
        auto dc = std::make_unique<MEMORYDEVICECONTEXT>(kWidth, kHeight);
        display->Paint(*dc);
        return dc;
    }
    int MidY(int line) const
    {
        return display->TextTop() + line * display->LineHeight() + display->LineHeight() / 2;
    }

    TempDir dir;
    OwnerWindow owner;
    WindowHandle handle = nullptr;
    SETTINGS settings{dir.Path()};
    std::unique_ptr<COMPARISON> comparison;
    std::unique_ptr<DISPWINDOW> display;
    int beeps = 0;
};

TEST_F(DisplayTest, LineNumberCellsAreSizedForTheLongerSide)
{
    settings.compare.optionBits |= kOptLineNumbers;
    const struct
    {
        int lines;
        int digits;
    } cases[] = {{99, 2}, {100, 3}, {150, 3}, {1000, 4}};
    for (const auto &c : cases) {
        ShowTexts(Lines(10), Lines(c.lines));
        EXPECT_EQ(display->LineNumberWidth(), c.digits) << c.lines;
    }
    settings.compare.optionBits &= ~kOptLineNumbers;
    display->ComputeLineNumberWidth();
    EXPECT_EQ(display->LineNumberWidth(), 0);
}

TEST_F(DisplayTest, HidingMatchesShowsEachDifferenceWithItsContext)
{
    settings.compare.optionBits = 0;
    settings.compare.marginLines = 3;
    std::string right;
    for (int i = 0; i < 40; ++i)
        right += (i == 10 || i == 30 ? "changed " : "line ") + std::to_string(i) + "\n";
    ShowTexts(Lines(40), right);
    // Each difference row pairs the two changed lines or splits them in two rows; either
    // way three matching rows stand before and after each area.
    const std::vector<std::int64_t> rows = ShownRows();
    ASSERT_FALSE(rows.empty());
    const DIFFLIST &list = comparison->Result();
    std::size_t breaks = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::uint8_t flags = list.Entry(rows[i])->flags;
        EXPECT_NE(flags & (kEntryDiffers | kEntryShown), 0);
        if (i > 0 && rows[i] != rows[i - 1] + 1)
            ++breaks;
    }
    EXPECT_EQ(breaks, 1u);
    EXPECT_EQ(list.Entry(rows.front())->left, 7);
    EXPECT_EQ(list.Entry(rows.back())->left, 33);

    // A line across both panes where rows were left out, none above the first line.
    const auto dc = Frame();
    std::size_t gapLine = 0;
    while (rows[gapLine] == rows.front() + static_cast<std::int64_t>(gapLine))
        ++gapLine;
    const int top = display->TextTop() + static_cast<int>(gapLine) * display->LineHeight();
    const COLORREF rule = SysColor(SystemColour::kWindowText);
    EXPECT_EQ(dc->Pixel(display->Separator() - 10, top), rule);
    EXPECT_EQ(dc->Pixel(kWidth - 10, top), rule);
    EXPECT_NE(dc->Pixel(kWidth - 10, top - display->LineHeight()), rule);

    // Scrolling counts shown rows only, also from a top row that is itself hidden.
    display->ScrollByLines(static_cast<std::int64_t>(gapLine), false);
    EXPECT_EQ(display->VisibleLineToRecord(0), rows[gapLine]);
    display->VerticalScroll(kSbLineUp, 0);
    EXPECT_EQ(display->VisibleLineToRecord(0), rows[gapLine - 1]);
    EXPECT_EQ(display->VisibleLines()[0].cell[0].text,
              "line " + std::to_string(list.Entry(rows[gapLine - 1])->left));
    comparison->SetTopRow(0);
    display->VerticalScroll(kSbLineDown, 0);
    EXPECT_EQ(comparison->TopRow(), rows[1]);
}

TEST_F(DisplayTest, DirectoryListsHideEqualEntriesAndCompareContentsWhenAllAreShown)
{
    MakeDirectories(dir / "l");
    MakeDirectories(dir / "r");
    WriteFile(dir / "l/same.txt", "same\n");
    WriteFile(dir / "r/same.txt", "same\n");
    WriteFile(dir / "l/content.txt", "abc\n");
    WriteFile(dir / "r/content.txt", "abd\n");
    WriteFile(dir / "l/size.txt", "short\n");
    WriteFile(dir / "r/size.txt", "much longer\n");

    settings.compare.optionBits = 0;
    Show(dir / "l", dir / "r");
    ASSERT_TRUE(display->IsContainer());
    ASSERT_EQ(ShownRows().size(), 1u); // only size.txt is known to differ
    EXPECT_EQ(display->VisibleLines()[0].cell[0].text.find("size"), 0u);

    settings.compare.optionBits = kOptShowAll;
    display->FillVisibleLines(true);
    ASSERT_EQ(ShownRows().size(), 3u);
    int differing = 0;
    for (std::int64_t row : ShownRows())
        differing += (comparison->Result().Entry(row)->flags & kEntryDiffers) != 0 ? 1 : 0;
    EXPECT_EQ(differing, 2); // the content comparison found content.txt

    // A line chosen in a list selects both sides.
    display->SetCurrentLine(0, -1);
    EXPECT_EQ(comparison->SelectedSides(), kSideBoth);
}

TEST_F(DisplayTest, NothingComparedIsSafeToUse)
{
    comparison = std::make_unique<COMPARISON>(settings.compare);
    display = std::make_unique<DISPWINDOW>(comparison.get(), owner, settings);
    owner.display = display.get();
    display->Rebuild();
    display->Resize(kWidth, kHeight);
    EXPECT_EQ(display->RowCount(), -1);
    for (int code : {kSbLineDown, kSbPageDown, kSbBottom, kSbThumbTrack, kSbNextDifference,
                     kSbPreviousDifference})
        display->VerticalScroll(code, 5);
    display->HorizontalScroll(kSbLineEnd, 0);
    display->SetCurrentLine(0, -1);
    EXPECT_EQ(comparison->CurrentRow(), -1);
    EXPECT_FALSE(display->Find("x", true, false));
    EXPECT_EQ(display->VisibleLineToRecord(0), -1);
    HeaderHit hit;
    EXPECT_FALSE(display->HeaderHitTest(100, hit));
    const auto dc = Frame();
    EXPECT_EQ(dc->Pixel(100, display->TextTop() + 20), SysColor(SystemColour::kInactiveCaption));
}

TEST_F(DisplayTest, ChoosingALineInAFileSelectsTheLeftSide)
{
    ShowTexts(Lines(5), Lines(5));
    display->SetCurrentLine(2, -1);
    EXPECT_EQ(comparison->CurrentRow(), 2);
    EXPECT_EQ(comparison->SelectedSides(), kSideLeft);
    EXPECT_EQ(comparison->MarkAnchor(), 2);
    EXPECT_EQ(comparison->MarkEnd(), 2);
    display->SetCurrentLine(99, kSideRight); // beyond the rows: the last line holding one
    EXPECT_EQ(comparison->CurrentRow(), 4);
    EXPECT_EQ(comparison->SelectedSides(), kSideRight);
}

TEST_F(DisplayTest, ResizingCentresTheSeparator)
{
    ShowTexts(Lines(5), Lines(5));
    display->SetSeparator(200);
    EXPECT_NE(display->Separator(), kWidth / 2);
    display->Resize(kWidth, kHeight);
    EXPECT_EQ(display->Separator(), kWidth / 2);
    display->Resize(kWidth + 1, kHeight);
    EXPECT_EQ(display->Separator(), (kWidth + 1) / 2);
}

TEST_F(DisplayTest, ScrollingStopsAtTheLastRowAndKeepsTextsInStep)
{
    ShowTexts(Lines(100), Lines(100));
    ASSERT_GT(display->LinesPerPage(), 1);
    const auto textsMatchRows = [this] {
        for (int i = 0; i < display->VisibleLineCount(); ++i) {
            const std::int64_t row = display->VisibleLineToRecord(i);
            if (row < 0)
                continue;
            EXPECT_EQ(display->VisibleLines()[static_cast<std::size_t>(i)].cell[1].text,
                      "line " + std::to_string(row));
        }
    };
    display->VerticalScroll(kSbLineDown, 0);
    EXPECT_EQ(comparison->TopRow(), 1);
    textsMatchRows();
    for (int i = 0; i < 20; ++i) {
        display->VerticalScroll(kSbPageDown, 0);
        EXPECT_LE(comparison->TopRow(), 99);
    }
    EXPECT_EQ(comparison->TopRow(), 99);
    textsMatchRows();
    display->VerticalScroll(kSbLineUp, 0);
    EXPECT_EQ(comparison->TopRow(), 98);
    textsMatchRows();
    display->VerticalScroll(kSbBottom, 0);
    EXPECT_EQ(comparison->TopRow(), 99 - display->LinesPerPage());
    textsMatchRows();
    display->VerticalScroll(kSbThumbTrack, 40);
    EXPECT_EQ(comparison->TopRow(), 40);
    display->SetHorizontalOffset(3);
    display->VerticalScroll(kSbTop, 0);
    EXPECT_EQ(comparison->TopRow(), 0);
    EXPECT_EQ(display->HorizontalOffset(), 0);
    textsMatchRows();
}

// The scroll message holds 16 bits of the thumb's place; past row 65,535 the bar's own
// position takes over.
TEST_F(DisplayTest, ThumbReachesRowsBeyondSixteenBits)
{
    ShowTexts(Lines(70000), Lines(70000));
    ASSERT_EQ(owner.ScrollTrackPos(ScrollBarId::kVertical), 0);
    handle->Bar(ScrollBarId::kVertical).setSliderPosition(68000);
    display->VerticalScroll(kSbThumbTrack, 68000 & 0xFFFF);
    EXPECT_EQ(comparison->TopRow(), 68000);
    display->VerticalScroll(kSbThumbPosition, 100);
    EXPECT_EQ(comparison->TopRow(), 100);
}

// Small scrolls move the window image and repaint only what they uncover: the screen must
// still show what a full paint draws.
TEST_F(DisplayTest, MovedImageMatchesAFullPaint)
{
    settings.compare.optionBits = 0;
    settings.compare.marginLines = 2;
    std::string left;
    std::string right;
    for (int i = 0; i < 300; ++i) {
        left += "line " + std::to_string(i) + "\n";
        if (i % 15 != 7)
            right += (i % 15 == 0 ? "changed " : "line ") + std::to_string(i) + "\n";
    }
    ShowTexts(left, right);
    owner.Show();
    QApplication::processEvents();
    QScreen *screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    // Counts the text-area pixels on screen that differ from a full paint.
    const auto compare = [&](const char *step) {
        QApplication::processEvents();
        const QImage shown = screen->grabWindow(handle->winId()).toImage();
        ASSERT_GE(shown.width(), display->Width()) << step;
        const auto expected
            = std::make_unique<MEMORYDEVICECONTEXT>(display->Width(), display->Height());
        display->Paint(*expected);
        int wrong = 0;
        int firstWrongY = -1;
        for (int y = display->TextTop(); y < display->TextBottom(); ++y) {
            for (int x = 0; x < display->Width(); ++x) {
                const QRgb pixel = shown.pixel(x, y);
                const COLORREF colour = static_cast<COLORREF>(qRed(pixel))
                                        | static_cast<COLORREF>(qGreen(pixel)) << 8
                                        | static_cast<COLORREF>(qBlue(pixel)) << 16;
                if (expected->Pixel(x, y) != colour && wrong++ == 0)
                    firstWrongY = y;
            }
        }
        EXPECT_EQ(wrong, 0) << step << ", first at y = " << firstWrongY;
    };
    compare("start");
    display->SetCurrentLine(0, -1);
    for (int i = 0; i < 5; ++i) {
        display->VerticalScroll(kSbLineDown, 0);
        compare("line down");
    }
    display->ScrollByLines(3, false);
    compare("three down");
    display->VerticalScroll(kSbLineUp, 0);
    compare("line up");
    display->ScrollByLines(-2, false);
    compare("two up");
    display->SetCurrentLine(4, -1);
    display->VerticalScroll(kSbPageDown, 0);
    compare("page down");
    for (int i = 0; i < 4; ++i) {
        display->VerticalScroll(kSbLineUp, 0);
        compare("line up with a current line");
    }
}

TEST_F(DisplayTest, NextAndPreviousDifferenceWalkTheAreas)
{
    std::string right;
    for (int i = 0; i < 60; ++i)
        right += (i == 10 || i == 30 ? "changed " : "line ") + std::to_string(i) + "\n";
    ShowTexts(Lines(60), right);
    const DIFFLIST &list = comparison->Result();
    // The first row of each area (a difference with one row of context before it).
    std::vector<std::int64_t> starts;
    for (std::int64_t row = 1; row < list.Count(); ++row)
        if ((list.Entry(row)->flags & kEntryShown) != 0
            && (list.Entry(row - 1)->flags & kEntryShown) == 0)
            starts.push_back(row);
    ASSERT_EQ(starts.size(), 2u);

    display->VerticalScroll(kSbNextDifference, 0);
    EXPECT_EQ(comparison->TopRow(), starts[0]);
    display->VerticalScroll(kSbNextDifference, 0);
    EXPECT_EQ(comparison->TopRow(), starts[1]);
    EXPECT_EQ(beeps, 0);
    // Past the last area the walk ends on its last row; then there is nowhere to go.
    display->VerticalScroll(kSbNextDifference, 0);
    const std::int64_t last = comparison->TopRow();
    EXPECT_GT(last, starts[1]);
    EXPECT_NE(list.Entry(last)->flags & kEntryShown, 0);
    display->VerticalScroll(kSbNextDifference, 0);
    EXPECT_EQ(comparison->TopRow(), last);
    EXPECT_EQ(beeps, 1);

    display->VerticalScroll(kSbPreviousDifference, 0);
    EXPECT_EQ(comparison->TopRow(), starts[1]);
    display->VerticalScroll(kSbPreviousDifference, 0);
    EXPECT_EQ(comparison->TopRow(), starts[0]);
    display->VerticalScroll(kSbPreviousDifference, 0);
    EXPECT_EQ(comparison->TopRow(), starts[0]);
}

TEST_F(DisplayTest, HorizontalCodes)
{
    ShowTexts(Lines(5), Lines(5));
    display->SetTextMetrics(8, 8, 16, 15);
    display->Resize(kWidth, kHeight);
    display->SetLongestLine(200);
    ASSERT_EQ(display->LineNumberWidth(), 0);
    display->HorizontalScroll(kSbLineEnd, 0);
    EXPECT_EQ(display->HorizontalOffset(), 200 - 49 + 1);
    display->HorizontalScroll(kSbScrollLeft, 0);
    EXPECT_EQ(display->HorizontalOffset(), 152 - settings.compare.tabSize);
    display->HorizontalScroll(kSbLineStart, 0);
    EXPECT_EQ(display->HorizontalOffset(), 0);
    display->HorizontalScroll(kSbScrollLeft, 0);
    display->HorizontalScroll(kSbLineUp, 0);
    EXPECT_EQ(display->HorizontalOffset(), 0);
    display->HorizontalScroll(kSbBottom, 0);
    display->HorizontalScroll(kSbScrollRight, 0);
    EXPECT_EQ(display->HorizontalOffset(), 200);
    display->ScrollHorizontallyByChars(-500);
    EXPECT_EQ(display->HorizontalOffset(), 200);
    display->ScrollHorizontallyByChars(30);
    EXPECT_EQ(display->HorizontalOffset(), 170);
    // A line shorter than the pane gives no end position to move to.
    display->HorizontalScroll(kSbLineStart, 0);
    display->SetLongestLine(10);
    display->HorizontalScroll(kSbLineEnd, 0);
    EXPECT_EQ(display->HorizontalOffset(), 0);
}

// The hint of a line shows it from the horizontal offset as the line is laid out: tabs to
// their stops (wide characters count two columns), every character of the expanded text one,
// invalid bytes one each. A line of millions of characters gives no more than one text output.
TEST_F(DisplayTest, LineTextFollowsTheOffsetThroughTabsAndWideCharacters)
{
    const std::string odd = "a\tb\xE6\x97\xA5\tc\xFF\xC3\t\td\x01\te\xC3\xA9\t";
    std::string longLine(3'000'000, 'x');
    longLine.replace(2'999'990, 10, "0123456789");
    ShowTexts("plain\n" + odd + "\n" + longLine + "\n", "plain\n" + odd + "\n" + longLine + "\n");
    for (const int tab : {1, 3, 4, 8})
        for (int offset = 0; offset <= 30; ++offset) {
            settings.compare.tabSize = tab;
            display->SetHorizontalOffset(offset);
            const STRING whole = odd;
            EXPECT_EQ(display->LineText(1, 1),
                      FormatNumberedLine(1, display->LineNumberWidth(), tab, &whole,
                                         static_cast<std::size_t>(offset)))
                << "tab " << tab << " offset " << offset;
        }
    display->SetHorizontalOffset(2'999'995);
    EXPECT_EQ(display->LineText(2, 0), "56789");
    display->SetHorizontalOffset(0);
    EXPECT_EQ(display->LineText(2, 0).size(), kMaxTextOut);
    // Painted at its end, the line's last characters reach the pane; past it, nothing.
    const auto inked = [this] {
        const auto dc = Frame();
        int count = 0;
        for (int x = 4; x < 100; ++x)
            for (int y = MidY(2) - 4; y <= MidY(2) + 4; ++y)
                count += dc->Pixel(x, y) != settings.normBackground ? 1 : 0;
        return count;
    };
    display->SetHorizontalOffset(2'999'990);
    EXPECT_GT(inked(), 0);
    display->SetHorizontalOffset(3'000'000);
    EXPECT_EQ(inked(), 0);
}

TEST_F(DisplayTest, FindMatchesCaseOnlyWhenAsked)
{
    std::string right = Lines(30);
    right += "xxABCxx\n";
    ShowTexts(Lines(30), right);
    EXPECT_FALSE(display->Find("abc", true, true));
    EXPECT_EQ(beeps, 1);
    ASSERT_TRUE(display->Find("abc", true, false));
    EXPECT_EQ(comparison->CurrentRow(), 30);
    EXPECT_EQ(comparison->SelectedSides(), kSideRight);
    EXPECT_GE(display->RecordToVisibleLine(30), 0);
    // Upwards from there, on both sides.
    ASSERT_TRUE(display->Find("LINE 2", false, false));
    EXPECT_EQ(comparison->CurrentRow(), 29);
    EXPECT_EQ(comparison->SelectedSides(), kSideBoth);
    comparison->SetSingleSideView(kSideLeft);
    ASSERT_TRUE(display->Find("line 1", false, true));
    EXPECT_EQ(comparison->CurrentRow(), 19);
    EXPECT_EQ(comparison->SelectedSides(), kSideLeft);
}

TEST_F(DisplayTest, PaintedColours)
{
    ShowTexts("a\nb\nc\nold\nd\nextra\ne\n", "a\nb\nc\nnew\nd\ne\n");
    const int sep = display->Separator();
    const int leftProbe = sep - 10;
    const int rightProbe = kWidth - 10;
    const int match = LineOf(0, 0);
    const int leftOnly = LineOf(5, -1);
    ASSERT_GE(match, 0);
    ASSERT_GE(leftOnly, 0);

    auto dc = Frame();
    EXPECT_EQ(dc->Pixel(leftProbe, MidY(match)), settings.normBackground);
    EXPECT_EQ(dc->Pixel(leftProbe, MidY(leftOnly)), settings.diffBackground);
    // The side without a line shows the gap, with a rule across its pane where it starts.
    EXPECT_EQ(dc->Pixel(rightProbe, MidY(leftOnly)), SysColor(SystemColour::kInactiveCaption));
    const int gapTop = display->TextTop() + leftOnly * display->LineHeight();
    EXPECT_EQ(dc->Pixel(rightProbe, gapTop), SysColor(SystemColour::kWindowText));
    EXPECT_NE(dc->Pixel(leftProbe, gapTop), SysColor(SystemColour::kWindowText));
    // The pane separator's black edges.
    EXPECT_EQ(dc->Pixel(sep - 2, MidY(match)), 0u);
    EXPECT_EQ(dc->Pixel(sep + 2, MidY(match)), 0u);
    EXPECT_NE(dc->Pixel(sep, MidY(match)), 0u);
    // Below the last row: grey under a black rule.
    const int end = display->TextTop() + 7 * display->LineHeight();
    ASSERT_LT(end + 5, display->TextBottom());
    EXPECT_EQ(dc->Pixel(100, end), 0u);
    EXPECT_EQ(dc->Pixel(100, end + 5), SysColor(SystemColour::kInactiveCaption));

    // Selected cells swap their colours; a modified line takes the modified pair.
    display->SetCurrentLine(match, kSideLeft);
    comparison->Result().Entry(display->VisibleLineToRecord(leftOnly))->flags |= kEntryLeftEdited;
    display->FillVisibleLines(false);
    dc = Frame();
    EXPECT_EQ(dc->Pixel(leftProbe, MidY(match)), settings.normForeground);
    EXPECT_EQ(dc->Pixel(rightProbe, MidY(match)), settings.normBackground);
    EXPECT_EQ(dc->Pixel(leftProbe, MidY(leftOnly)), settings.modifiedBackground);

    // Inline differences colour a changed row with the inline pair.
    settings.compare.optionBits |= kOptInlineDifferences;
    settings.inlineBackground = 0x123456;
    dc = Frame();
    EXPECT_EQ(dc->Pixel(rightProbe, MidY(LineOf(-1, 3) >= 0 ? LineOf(-1, 3) : LineOf(3, 3))),
              0x123456u);
}

TEST_F(DisplayTest, ImagesAreCentredAndOnlyScaledDown)
{
    WriteBmp(dir / "small.bmp", 20, 10, 0x0000FF);
    WriteBmp(dir / "large.bmp", 2000, 1000, 0xFF0000);
    Show(dir / "small.bmp", dir / "large.bmp");
    ASSERT_NE(display->SideImage(0), nullptr);
    ASSERT_NE(display->SideImage(1), nullptr);
    const auto dc = Frame();
    const int sep = display->Separator();
    const int middle = (display->TextTop() + display->TextBottom()) / 2;
    const int leftCentre = (sep - 2) / 2;
    // The small picture keeps its size in the middle of its pane.
    EXPECT_EQ(dc->Pixel(leftCentre, middle), 0x0000FFu);
    EXPECT_EQ(dc->Pixel(leftCentre - 12, middle), settings.normBackground);
    EXPECT_EQ(dc->Pixel(leftCentre, middle - 7), settings.normBackground);
    // The large one fills its pane's width, at half that height.
    const int paneWidth = kWidth - (sep + 3);
    EXPECT_EQ(dc->Pixel(sep + 3 + 2, middle), 0xFF0000u);
    EXPECT_EQ(dc->Pixel(kWidth - 3, middle), 0xFF0000u);
    EXPECT_EQ(dc->Pixel(sep + 3 + paneWidth / 2, middle - paneWidth / 4 + 3), 0xFF0000u);
    EXPECT_EQ(dc->Pixel(sep + 3 + paneWidth / 2, middle - paneWidth / 4 - 3),
              settings.normBackground);
}

TEST_F(DisplayTest, InlineSegmentsColourTheirRuns)
{
    settings.compare.optionBits |= kOptInlineDifferences;
    settings.inlineBackground = 0x123456;
    ShowTexts("abcdefgh\n", "abXYefgh\n");
    auto segmented = std::make_unique<SegmentedDisplay>(comparison.get(), owner, settings);
    SegmentedDisplay &shown = *segmented;
    display = std::move(segmented);
    owner.display = display.get();
    display->Resize(kWidth, kHeight);
    ASSERT_EQ(LineOf(0, 0), 0);
    // Probed on the line's last pixel row, below the letters.
    const int y = display->TextTop() + display->LineHeight() - 1;
    const int cw = display->CharWidth();
    const int textX = display->Separator() + 3 + 2;
    auto dc = Frame();
    EXPECT_EQ(shown.asked, 1);
    EXPECT_EQ(dc->Pixel(textX + cw / 2, y), settings.diffBackground);
    EXPECT_EQ(dc->Pixel(textX + 2 * cw + cw / 2, y), 0x123456u);
    EXPECT_EQ(dc->Pixel(textX + 3 * cw + cw / 2, y), 0x123456u);
    EXPECT_EQ(dc->Pixel(textX + 4 * cw + cw / 2, y), settings.diffBackground);
    EXPECT_EQ(dc->Pixel(kWidth - 3, y), settings.diffBackground);
    // From the third character on, the first run shown is a different one.
    display->SetHorizontalOffset(3);
    dc = Frame();
    EXPECT_EQ(dc->Pixel(textX - 1, y), 0x123456u);
    EXPECT_EQ(dc->Pixel(textX + cw + cw / 2, y), settings.diffBackground);
    EXPECT_EQ(shown.asked, 1); // kept with the cells
}

TEST_F(DisplayTest, HeaderHitsAndColumnWidths)
{
    MakeDirectories(dir / "l");
    MakeDirectories(dir / "r");
    WriteFile(dir / "l/a.txt", "a\n");
    WriteFile(dir / "r/a.txt", "ab\n");
    Show(dir / "l", dir / "r");
    HeaderHit hit;
    const int skip = display->CharWidth() / 2;
    EXPECT_FALSE(display->HeaderHitTest(skip - 1, hit));
    ASSERT_TRUE(display->HeaderHitTest(skip, hit));
    EXPECT_EQ(hit.side, 0);
    EXPECT_EQ(hit.offset, 0);
    EXPECT_EQ(hit.start, 0);
    const int firstIndex = hit.index;
    const int firstWidth = hit.button->width;
    // One character past the first column's edge is the next column.
    ASSERT_TRUE(display->HeaderHitTest(skip + (firstWidth + 1) * display->CharWidth(), hit));
    EXPECT_GT(hit.index, firstIndex);
    EXPECT_EQ(hit.start, firstWidth);
    EXPECT_EQ(hit.offset, 1);
    ASSERT_TRUE(display->HeaderHitTest(display->Separator() + 3 + skip, hit));
    EXPECT_EQ(hit.side, 1);

    ASSERT_TRUE(display->HeaderHitTest(skip, hit));
    display->SetHeaderColumnWidth(hit, 12 * display->CharWidth());
    EXPECT_EQ(hit.button->width, 12);
    EXPECT_NE(hit.button->flags & kColumnUserSized, 0);
    display->SetHeaderColumnWidth(hit, 0);
    EXPECT_EQ(hit.button->width, 1);
    EXPECT_EQ(display->SideAt(display->Separator()), kSideLeft);
    EXPECT_EQ(display->SideAt(display->Separator() + 1), kSideRight);
}

} // namespace
