#include "gui/dispwindow.h"

#include "core/string.h"
#include "engine/comparison.h"
#include "engine/difflist.h"
#include "gui/settings.h"
#include "toolkit/desktop.h"
#include "toolkit/font.h"
#include "toolkit/screen_scroll.h"
#include "toolkit/windevicecontext.h"
#include "toolkit/window.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

static constexpr const char *kHeaderFaceName = "MS Sans Serif";
static constexpr int kHeaderFontPoints = 8;
static constexpr int kPointsPerInch = 72;
static constexpr int kNormalWeight = 400;
// Past the line-number digits a header click lands in the columns.
static constexpr int kHeaderNumberPadding = 7;
static constexpr int kRightPaneGap = 3;

static int ClampToInt(std::int64_t value)
{
    return static_cast<int>(std::clamp<std::int64_t>(value, 0, INT_MAX));
}

DISPWINDOW::DISPWINDOW(COMPARISON *comparison, WINDOW &owner, SETTINGS &settings)
    : DIFFWINDOW(owner, settings)
{
    m_comparison = comparison;
    CreateFonts();
    WINDEVICECONTEXT dc(m_owner);
    SetUpForDevice(dc, m_owner.ClientWidth(), m_owner.ClientHeight());
}

DISPWINDOW::~DISPWINDOW() = default;

void DISPWINDOW::CreateFonts()
{
    const LogicalFont &screen = m_settings.screenFont;
    m_textFont = std::make_unique<FONT>(screen.faceName.c_str(), screen.height, screen.weight,
                                        screen.italic != 0);
    WINDEVICECONTEXT dc(m_owner);
    // 8 points, rounded as a multiply-divide rounds.
    const int headerHeight
        = (kHeaderFontPoints * dc.PixelsPerInchY() + kPointsPerInch / 2) / kPointsPerInch;
    m_headerFont = std::make_unique<FONT>(kHeaderFaceName, -headerHeight, kNormalWeight, false);
    m_thirdFont
        = std::make_unique<FONT>(kHeaderFaceName, screen.height, screen.weight, screen.italic != 0);
}

void DISPWINDOW::LayOut()
{
    DIFFWINDOW::LayOut();
    // The modes ask which row a line shows before the next paint fills the lines.
    FillVisibleLines(false);
    UpdateScrollBars();
}

void DISPWINDOW::UpdateScrollBars()
{
    const int lastRow = ClampToInt(m_lastRow);
    const int top = m_comparison != nullptr ? ClampToInt(m_comparison->TopRow()) : 0;
    const int longest = ClampToInt(m_longestLine);
    // The range first: a bar that appears or goes resizes the client area, and the size
    // message lays the display out again before the positions are set.
    m_owner.SetScrollRange(ScrollBarId::kVertical, 0, m_rowCount > 0 ? lastRow : 0);
    m_owner.SetScrollRange(ScrollBarId::kHorizontal, 0, m_rowCount > 0 ? longest : 0);
    m_owner.SetScrollPos(ScrollBarId::kVertical, std::min(top, lastRow));
    m_owner.SetScrollPos(ScrollBarId::kHorizontal, std::clamp(m_horizontalOffset, 0, longest));
}

void DISPWINDOW::DrawStatusText(DEVICECONTEXT &dc, const Rect &r)
{
    dc.SetBkColor(SysColor(SystemColour::kButtonFace));
    dc.SetTextColor(SysColor(SystemColour::kWindowText));
    dc.DrawSunkenPanel(r, m_hasStatusText ? m_statusText.c_str() : "", m_headerFont.get());
}

void DISPWINDOW::Resize(int width, int height)
{
    m_width = width;
    m_separator = width / 2;
    m_height = height;
    m_textBottom = m_height - m_statusHeight;
    m_textAreaHeight = m_fontHeight * (std::max(m_textBottom - m_textTop, 0) / m_fontHeight);
    m_linesPerPage = m_textAreaHeight / m_lineHeight;
    LayOut();
}

void DISPWINDOW::RebuildFonts()
{
    CreateFonts();
    WINDEVICECONTEXT dc(m_owner);
    Measure(dc);
    m_textAreaHeight = m_fontHeight * (std::max(m_textBottom - m_textTop, 0) / m_fontHeight);
    m_linesPerPage = m_textAreaHeight / m_lineHeight;
    InvalidateTextCache();
    LayOut();
    m_owner.Invalidate();
}

void DISPWINDOW::Rebuild()
{
    m_rowCount = -1;
    m_longestLine = 0;
    if (m_comparison != nullptr) {
        const std::int64_t rows = m_comparison->Result().Count();
        m_rowCount = rows > 0 ? rows : -1;
        m_longestLine = m_comparison->Result().WidestLine();
    }
    m_horizontalOffset = 0;
    ComputeLineNumberWidth();
    InvalidateTextCache();
    LayOut();
    m_owner.Invalidate();
}

// --------------------------------------------------------------------------------------------
// Vertical movement, counted in shown rows

std::int64_t DISPWINDOW::StepShown(std::int64_t row, std::int64_t n, std::int64_t &moved) const
{
    moved = 0;
    if (m_rowCount <= 0)
        return row;
    if (!HidingMatches() || m_image) {
        const std::int64_t target = std::clamp<std::int64_t>(row + n, 0, m_lastRow);
        moved = target - row;
        return target;
    }
    const std::int64_t step = n > 0 ? 1 : -1;
    std::int64_t at = row;
    for (std::int64_t r = row + step; moved != n && r >= 0 && r <= m_lastRow; r += step) {
        if (RowIsShown(r)) {
            at = r;
            moved += step;
        }
    }
    return at;
}

std::int64_t DISPWINDOW::ShownDistance(std::int64_t from, std::int64_t to) const
{
    if (!HidingMatches() || m_image)
        return to - from;
    std::int64_t distance = 0;
    for (std::int64_t r = from + 1; r <= to; ++r)
        distance += RowIsShown(r) ? 1 : 0;
    for (std::int64_t r = to; r < from; ++r)
        distance -= RowIsShown(r) ? 1 : 0;
    return distance;
}

// The row on the first visible line: the top row, or the first shown row after it. Worked out
// from the top row, which the main window may have moved since the lines were filled.
std::int64_t DISPWINDOW::FirstShownRow() const
{
    if (m_comparison == nullptr || m_rowCount <= 0)
        return 0;
    const std::int64_t top = std::clamp<std::int64_t>(m_comparison->TopRow(), 0, m_lastRow);
    if (!HidingMatches() || m_image)
        return top;
    for (std::int64_t row = top; row <= m_lastRow; ++row)
        if (RowIsShown(row))
            return row;
    return top;
}

static std::uint8_t RowFlags(const COMPARISON &comparison, std::int64_t row)
{
    const DiffEntry *entry = comparison.Result().Entry(row);
    return entry != nullptr ? entry->flags : 0;
}

// Distance to the start of the next difference area (0 when there is none to go to).
std::int64_t DISPWINDOW::NextDifferenceDistance() const
{
    const std::int64_t start = FirstShownRow();
    const std::int64_t count = m_comparison->Result().Count();
    std::int64_t target = start;
    for (std::int64_t row = start + 1; row < count; ++row) {
        if ((RowFlags(*m_comparison, row) & kEntryShown) == 0)
            continue;
        // The row right after the start never starts an area: it may continue the one shown.
        if (row != start + 1 && (RowFlags(*m_comparison, row - 1) & kEntryShown) == 0) {
            target = row;
            break;
        }
        target = row; // at the end, the last area row passed
    }
    const std::int64_t distance = ShownDistance(start, target);
    return target > 0 && distance > 0 ? distance : 0;
}

std::int64_t DISPWINDOW::PreviousDifferenceDistance() const
{
    const std::int64_t start = FirstShownRow();
    constexpr std::uint8_t kArea = kEntryDiffers | kEntryShown;
    std::int64_t row = start - 1;
    while (row >= 0 && (RowFlags(*m_comparison, row) & kArea) == 0)
        --row;
    std::int64_t target = start;
    if (row >= 0) {
        while (row > 0 && (RowFlags(*m_comparison, row - 1) & kArea) != 0)
            --row;
        target = row;
    }
    return ShownDistance(start, target);
}

// A scroll message carries the low 16 bits of the thumb position; the bar knows the whole of it,
// which long files (more than 65,535 rows) need. The bar's value counts when it agrees with the
// message.
static int FullThumb(const WINDOW &owner, ScrollBarId bar, int thumb)
{
    const int track = owner.ScrollTrackPos(bar);
    return (track & 0xFFFF) == (thumb & 0xFFFF) ? track : thumb;
}

void DISPWINDOW::VerticalScroll(int code, int thumb)
{
    if (m_comparison == nullptr || m_rowCount <= 0)
        return;
    const std::int64_t top = FirstShownRow();
    std::int64_t n = 0;
    bool forceFull = false;
    switch (code) {
    case kSbLineUp:
        n = -1;
        break;
    case kSbLineDown:
        n = 1;
        break;
    case kSbPageUp:
        n = -std::max(m_linesPerPage, 1);
        break;
    case kSbPageDown:
        n = m_linesPerPage > 0 ? m_linesPerPage : 1;
        break;
    case kSbThumbPosition:
    case kSbThumbTrack:
        n = ShownDistance(
            top, std::clamp<std::int64_t>(FullThumb(m_owner, ScrollBarId::kVertical, thumb), 0,
                                          m_lastRow));
        break;
    case kSbTop:
        n = ShownDistance(top, 0);
        if (m_horizontalOffset != 0) {
            m_horizontalOffset = 0;
            forceFull = true;
            m_owner.SetScrollPos(ScrollBarId::kHorizontal, 0);
        }
        break;
    case kSbBottom: {
        // The last page full: lines per page shown rows back from the last shown row.
        std::int64_t moved = 0;
        std::int64_t last = m_lastRow;
        if (!RowIsShown(last))
            last = StepShown(last, -1, moved);
        const std::int64_t pageTop
            = StepShown(last, -static_cast<std::int64_t>(m_linesPerPage), moved);
        n = ShownDistance(top, pageTop);
        break;
    }
    case kSbNextDifference:
        n = NextDifferenceDistance();
        if (n == 0) {
            MessageBeep();
            return;
        }
        break;
    case kSbPreviousDifference:
        n = PreviousDifferenceDistance();
        break;
    default:
        return;
    }
    ScrollByLines(n, forceFull);
}

void DISPWINDOW::ScrollByLines(std::int64_t n, bool forceFullRepaint)
{
    if (m_comparison == nullptr || m_rowCount <= 0) {
        if (forceFullRepaint)
            m_owner.Invalidate();
        return;
    }
    std::int64_t moved = 0;
    const std::int64_t newTop = StepShown(FirstShownRow(), n, moved);
    if (moved == 0 && !forceFullRepaint)
        return;
    m_comparison->SetTopRow(newTop);

    // Lines that stay in view keep their cached texts.
    const auto size = static_cast<std::int64_t>(m_lines.size());
    if (moved > 0 && moved < size)
        std::rotate(m_lines.begin(), m_lines.begin() + moved, m_lines.end());
    else if (moved < 0 && -moved < size)
        std::rotate(m_lines.rbegin(), m_lines.rbegin() - moved, m_lines.rend());
    const bool secondPass = FillVisibleLines(false);

    if (forceFullRepaint || secondPass || std::abs(moved) >= m_visibleLineCount) {
        m_owner.Invalidate();
    } else {
        const int dy = static_cast<int>(-moved) * m_lineHeight;
        ScrollWindowImage(m_owner,
                          {0, m_textTop, m_width, m_textTop + m_linesThatFit * m_lineHeight}, dy);
        // A block separator belongs to the line below it and is never drawn above the first
        // line: the line that moves to the top loses its own, the line below a strip opened
        // at the top may gain one. The current line is drawn in place.
        const int changed = moved > 0 ? 0 : static_cast<int>(-moved);
        InvalidateLines(changed, changed);
        const int current = RecordToVisibleLine(m_comparison->CurrentRow());
        if (current >= 0)
            InvalidateLines(current, current);
    }
    m_owner.SetScrollPos(ScrollBarId::kVertical, ClampToInt(newTop));
}

// --------------------------------------------------------------------------------------------
// Horizontal movement

void DISPWINDOW::HorizontalScroll(int code, int thumb)
{
    const int longest = ClampToInt(m_longestLine);
    const int tab = std::max(m_settings.compare.tabSize, 1);
    int offset = m_horizontalOffset;
    switch (code) {
    case kSbLineUp:
        offset = std::max(offset - 1, 0);
        break;
    case kSbLineDown:
        offset = std::min(offset + 1, longest);
        break;
    case kSbPageUp:
    case kSbScrollLeft:
        offset = std::max(offset - tab, 0);
        break;
    case kSbPageDown:
    case kSbScrollRight:
        offset = std::min(offset + tab, longest);
        break;
    case kSbThumbPosition:
    case kSbThumbTrack:
        offset = std::clamp(FullThumb(m_owner, ScrollBarId::kHorizontal, thumb), 0, longest);
        break;
    case kSbTop:
    case kSbLineStart:
        offset = 0;
        break;
    case kSbBottom:
        offset = longest;
        break;
    case kSbLineEnd: {
        const bool split = m_comparison == nullptr || m_comparison->SingleSideView() == kSideNone;
        const int paneWidth = split ? (m_width - 3) / 2 : m_width;
        const std::int64_t end = static_cast<std::int64_t>(m_lineNumberWidth) + m_longestLine
                                 - paneWidth / m_charWidth + 1;
        if (end >= 0)
            offset = ClampToInt(end);
        break;
    }
    default:
        return;
    }
    if (offset == m_horizontalOffset)
        return;
    m_horizontalOffset = offset;
    m_owner.Invalidate();
    m_owner.SetScrollPos(ScrollBarId::kHorizontal, offset);
}

void DISPWINDOW::ScrollHorizontallyByChars(int n)
{
    const std::int64_t wanted = static_cast<std::int64_t>(m_horizontalOffset) - n;
    const int offset = ClampToInt(std::min(wanted, m_longestLine));
    if (offset == m_horizontalOffset)
        return;
    m_horizontalOffset = offset;
    m_owner.Invalidate();
    m_owner.SetScrollPos(ScrollBarId::kHorizontal, offset);
}

// --------------------------------------------------------------------------------------------
// Current line and search

void DISPWINDOW::SetCurrentLine(int visibleLine, int sides)
{
    if (m_comparison == nullptr)
        return;
    FillVisibleLines(false);
    const bool valid = visibleLine >= 0 && visibleLine < m_visibleLineCount;
    if (sides < 0) {
        sides = m_comparison->SelectedSides();
        if (sides == kSideNone && valid)
            sides = m_container ? kSideBoth : kSideLeft;
    }
    int index = std::min(visibleLine, m_visibleLineCount - 1);
    while (index >= 0 && m_lines[static_cast<std::size_t>(index)].cell[0].row < 0)
        --index;
    const std::int64_t row = index >= 0 ? m_lines[static_cast<std::size_t>(index)].cell[0].row : -1;
    if (row < 0)
        sides = kSideNone;
    if (row == m_comparison->CurrentRow() && sides == m_comparison->SelectedSides())
        return;
    std::int64_t first = m_comparison->LowerMark();
    std::int64_t last = m_comparison->UpperMark();
    if (first < 0) {
        first = m_comparison->CurrentRow();
        last = first;
    }
    m_comparison->SetCurrentRow(row);
    m_comparison->SetSelectedSides(static_cast<std::uint16_t>(sides));
    m_comparison->SetMark(row, row);
    if (first < 0) {
        first = row;
        last = row;
    } else if (row >= 0) {
        first = std::min(first, row);
        last = std::max(last, row);
    }
    InvalidateRows(first, last);
}

// Whether the text holds the needle (already in upper case when the case does not matter).
static bool Holds(BASEITEM *object, std::int64_t line, const STRING &needle, bool matchCase)
{
    if (object == nullptr || line < 0)
        return false;
    std::unique_ptr<STRING> text = object->RecordText(line);
    if (!text)
        return false;
    if (!matchCase)
        UpperCaseInPlace(*text);
    return text->find(needle) != STRING::npos;
}

bool DISPWINDOW::Find(const std::string &text, bool down, bool matchCase)
{
    if (m_comparison == nullptr || m_rowCount <= 0 || text.empty()) {
        MessageBeep();
        return false;
    }
    FillVisibleLines(false);
    const std::int64_t current = m_comparison->CurrentRow();
    const int currentLine = RecordToVisibleLine(current);
    const std::int64_t start = m_comparison->SelectedSides() != kSideNone && current >= 0
                                       && currentLine >= 0 && currentLine < m_linesPerPage
                                   ? current
                                   : FirstShownRow();
    STRING needle = text;
    if (!matchCase)
        UpperCaseInPlace(needle);
    const std::uint16_t view = m_comparison->SingleSideView();
    const bool hiding = HidingMatches();
    const std::int64_t step = down ? 1 : -1;
    for (std::int64_t row = start + step; row >= 0 && row < m_comparison->Result().Count();
         row += step) {
        if (hiding && !RowIsShown(row))
            continue;
        const DiffEntry &entry = *m_comparison->Result().Entry(row);
        int hit = kSideNone;
        if (view != kSideRight && Holds(SideObject(0), entry.left, needle, matchCase))
            hit |= kSideLeft;
        if (view != kSideLeft && Holds(SideObject(1), entry.right, needle, matchCase))
            hit |= kSideRight;
        if (hit == kSideNone)
            continue;
        m_comparison->SetCurrentRow(row);
        m_comparison->SetSelectedSides(static_cast<std::uint16_t>(hit));
        m_comparison->SetMark(row, row);
        const int line = RecordToVisibleLine(row);
        if (line < 0 || line >= m_linesPerPage)
            ScrollByLines(ShownDistance(FirstShownRow(), row), true);
        else
            m_owner.Invalidate();
        return true;
    }
    MessageBeep();
    return false;
}

// --------------------------------------------------------------------------------------------
// Positions

int DISPWINDOW::SideAt(int x) const
{
    const std::uint16_t view = m_comparison != nullptr ? m_comparison->SingleSideView() : 0;
    if (view != kSideNone)
        return view;
    return x <= m_separator ? kSideLeft : kSideRight;
}

bool DISPWINDOW::HeaderHitTest(int x, HeaderHit &hit)
{
    if (m_comparison == nullptr)
        return false;
    const std::uint16_t view = m_comparison->SingleSideView();
    int side = view == kSideRight ? 1 : 0;
    if (view == kSideNone && x >= m_separator + kRightPaneGap) {
        side = 1;
        x -= m_separator + kRightPaneGap;
    }
    const int skip = m_lineNumberWidth > 0 && SideImage(side) == nullptr
                         ? m_digitWidth * m_lineNumberWidth + kHeaderNumberPadding
                         : m_charWidth / 2;
    if (x < skip)
        return false;
    const int column = m_horizontalOffset + (x - skip) / m_charWidth;
    std::span<ColumnDescriptor> list = m_comparison->ColumnList(side == 0 ? kSideLeft : kSideRight);
    int start = 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
        ColumnDescriptor &button = list[i];
        if (button.width <= 0)
            continue;
        if (button.width == kColumnEndWidth || column <= start + button.width) {
            hit = {&button, static_cast<int>(i), start, column - start, side};
            return true;
        }
        start += button.width;
    }
    return false;
}

void DISPWINDOW::SetStatusText(const char *text)
{
    m_hasStatusText = text != nullptr;
    m_statusText = text != nullptr ? text : "";
    InvalidateWindowRect(m_owner, {0, m_textBottom, m_width, m_height});
}

void DISPWINDOW::SetSeparator(int x)
{
    const int margin = m_lineNumberWidth * m_charWidth + 1;
    const int low = margin;
    const int high = m_width - margin + 1;
    if ((x < low && m_separator == low) || (x > high && m_separator == high))
        return;
    x = std::clamp(x, low, std::max(low, high));
    x = m_charWidth * ((x + 4) / m_charWidth) + 1;
    if (x == m_separator)
        return;
    m_separator = x;
    InvalidateWindowRect(m_owner, {0, 0, m_width, m_textBottom});
}

void DISPWINDOW::SetHeaderColumnWidth(const HeaderHit &hit, int x)
{
    if (hit.button == nullptr)
        return;
    const int width = std::max((x + 4) / m_charWidth, 1);
    if (width == hit.button->width)
        return;
    hit.button->width = width;
    hit.button->flags |= kColumnUserSized;
    const int side = hit.side == 0 ? 0 : 1;
    for (VisibleLine &line : m_lines)
        line.cell[side].row = -1;
    int left = 0;
    int right = m_width;
    if (m_comparison != nullptr && m_comparison->SingleSideView() == kSideNone)
        PaneBounds(side, left, right);
    InvalidateWindowRect(m_owner, {left, 0, right, m_textBottom});
}

int DISPWINDOW::RecordToVisibleLine(std::int64_t row) const
{
    if (row < 0)
        return -1;
    for (int i = 0; i < m_visibleLineCount; ++i)
        if (m_lines[static_cast<std::size_t>(i)].cell[0].row == row)
            return i;
    return -1;
}

std::int64_t DISPWINDOW::VisibleLineToRecord(int index) const
{
    if (index < 0 || index >= m_visibleLineCount)
        return -1;
    return m_lines[static_cast<std::size_t>(index)].cell[0].row;
}

void DISPWINDOW::InvalidateLines(int first, int last)
{
    first = std::max(first, 0);
    last = std::min(last, m_linesThatFit);
    if (first > last)
        return;
    // One pixel above: the pane separator of a line starts there.
    InvalidateWindowRect(m_owner, {0, m_textTop + first * m_lineHeight - 1, m_width,
                                   m_textTop + (last + 1) * m_lineHeight});
}

void DISPWINDOW::InvalidateRows(std::int64_t first, std::int64_t last)
{
    int firstLine = -1;
    int lastLine = -1;
    for (int i = 0; i < m_visibleLineCount; ++i) {
        const std::int64_t row = m_lines[static_cast<std::size_t>(i)].cell[0].row;
        if (row < first || row > last)
            continue;
        if (firstLine < 0)
            firstLine = i;
        lastLine = i;
    }
    if (firstLine >= 0)
        InvalidateLines(firstLine, lastLine);
}
