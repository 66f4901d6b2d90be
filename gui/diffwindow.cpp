#include "gui/diffwindow.h"

#include "core/line_format.h"
#include "core/utf8.h"
#include "engine/comparison.h"
#include "engine/difflist.h"
#include "engine/directoryobject.h"
#include "engine/imgfile.h"
#include "gui/settings.h"
#include "toolkit/font.h"
#include "toolkit/window.h"

#include <algorithm>
#include <utility>

// Geometry of the header, in pixels.
static constexpr int kTitleTop = 4;
static constexpr int kTitleBottomBelowFont = 10;
static constexpr int kHeaderBoundaryBelowFont = 13;
static constexpr int kTextTopBelowFonts = 19;
static constexpr int kColumnRowAboveText = 5;
// The pane separator: black edges two pixels either side of its middle.
static constexpr int kSeparatorHalf = 2;
static constexpr int kRightPaneGap = 3;
// The line-number cell is this much wider than its digits.
static constexpr int kNumberCellPadding = 10;
static constexpr int kTextIndent = 2;
static constexpr int kFallbackDigitWidth = 5;
static constexpr COLORREF kBlack = 0x000000;
// How far the character comparison refines a changed line: less for listed entries.
static constexpr int kRefinementLimit = 3;
static constexpr int kContainerRefinementLimit = 2;

static constexpr std::uint8_t kDisplayMaskShown = kEntryDiffers | kEntryShown;

DIFFWINDOW::DIFFWINDOW(WINDOW &owner, SETTINGS &settings) : m_owner(owner), m_settings(settings)
{
    m_lines.resize(1);
}

DIFFWINDOW::~DIFFWINDOW() = default;

void DIFFWINDOW::LayOut()
{
    RefreshKinds();
    m_lastRow = std::max<std::int64_t>(m_rowCount - 1, 0);
    if (m_comparison != nullptr && m_comparison->TopRow() > m_lastRow)
        m_comparison->SetTopRow(m_lastRow);
    m_headerBoundary = m_titleHeight + kHeaderBoundaryBelowFont;
    m_textTop = 2 * m_titleHeight + kTextTopBelowFonts;
    m_linesThatFit = m_lineHeight > 0 ? std::max((m_textBottom - m_textTop) / m_lineHeight, 0) : 0;
    m_visibleLineCount = static_cast<int>(std::clamp<std::int64_t>(m_rowCount, 0, m_linesThatFit));
    m_lines.resize(static_cast<std::size_t>(m_linesThatFit) + 1);
}

void DIFFWINDOW::Measure(DEVICECONTEXT &dc)
{
    if (m_textFont) {
        dc.SelectFont(m_textFont.get());
        m_charWidth = std::max(m_textFont->AverageCharWidth(), 1);
        m_lineHeight = std::max(m_textFont->Height() + m_textFont->ExternalLeading() + 1, 1);
        m_fontHeight = std::max(m_textFont->Height(), 1);
        const int digit = m_textFont->TextWidth("8");
        m_digitWidth = digit > 0 ? digit : kFallbackDigitWidth;
    }
    if (m_headerFont)
        m_titleHeight = m_headerFont->Height() + m_headerFont->ExternalLeading();
    m_headerBoundary = m_titleHeight + kHeaderBoundaryBelowFont;
    m_textTop = 2 * m_titleHeight + kTextTopBelowFonts;
    ComputeLineNumberWidth();
}

Rect DIFFWINDOW::SetUpForDevice(DEVICECONTEXT &dc, int width, int height)
{
    Measure(dc);
    if (m_comparison != nullptr) {
        const std::int64_t rows = m_comparison->Result().Count();
        m_rowCount = rows > 0 ? rows : -1;
        m_longestLine = m_comparison->Result().WidestLine();
    }
    m_width = width;
    m_height = height;
    m_statusHeight = 0;
    m_separator = width / 2;
    m_textBottom = m_height - m_statusHeight;
    m_textAreaHeight = m_fontHeight * ((m_textBottom - m_textTop) / m_fontHeight);
    m_linesPerPage = m_textAreaHeight / m_lineHeight;
    LayOut();
    return {0, 0, width, height};
}

void DIFFWINDOW::ComputeLineNumberWidth()
{
    m_lineNumberWidth = 0;
    if ((m_settings.compare.optionBits & kOptLineNumbers) == 0)
        return;
    std::int64_t n = 0;
    for (int side = 0; side < 2; ++side)
        if (const BASEITEM *object = SideObject(side))
            n = std::max(n, object->RecordCount());
    if (n < 100)
        m_lineNumberWidth = 2;
    else if (n < 1000)
        m_lineNumberWidth = 3;
    else if (n <= 9999)
        m_lineNumberWidth = 4;
    else if (n <= 99999)
        m_lineNumberWidth = 5;
    else if (n <= 999999)
        m_lineNumberWidth = 6;
    else
        m_lineNumberWidth = 7;
}

void DIFFWINDOW::InvalidateTextCache()
{
    for (VisibleLine &line : m_lines)
        for (VisibleCell &cell : line.cell)
            cell.row = -1;
}

void DIFFWINDOW::SetRowCount(std::int64_t count)
{
    m_rowCount = count;
    m_lastRow = std::max<std::int64_t>(count - 1, 0);
    m_visibleLineCount = static_cast<int>(std::clamp<std::int64_t>(count, 0, m_linesThatFit));
}

void DIFFWINDOW::SetComparison(COMPARISON *comparison)
{
    m_comparison = comparison;
    RefreshKinds();
    InvalidateTextCache();
}

void DIFFWINDOW::SetTextMetrics(int charWidth, int digitWidth, int lineHeight, int fontHeight)
{
    m_charWidth = std::max(charWidth, 1);
    m_digitWidth = std::max(digitWidth, 1);
    m_lineHeight = std::max(lineHeight, 1);
    m_fontHeight = std::max(fontHeight, 1);
}

// --------------------------------------------------------------------------------------------
// What is shown

BASEITEM *DIFFWINDOW::SideObject(int side) const
{
    if (m_comparison == nullptr)
        return nullptr;
    return (side == 0 ? m_comparison->Left() : m_comparison->Right()).Object();
}

void DIFFWINDOW::RefreshKinds()
{
    m_container = false;
    m_image = false;
    if (m_comparison == nullptr)
        return;
    for (ITEM *item : {&m_comparison->Left(), &m_comparison->Right()}) {
        if (!item->Text().empty()
            && (item->IsDirectory() || item->IsPattern() || item->IsArchive()))
            m_container = true;
    }
    m_image = SideImage(0) != nullptr || SideImage(1) != nullptr;
}

const DecodedImage *DIFFWINDOW::SideImage(int side) const
{
    const auto *image = dynamic_cast<const IMGFILE *>(SideObject(side));
    if (image == nullptr || image->Image() == nullptr || image->Image()->IsEmpty())
        return nullptr;
    return image->Image();
}

bool DIFFWINDOW::HidingMatches() const
{
    return (m_settings.compare.optionBits & kOptShowAll) == 0;
}

const DiffEntry *DIFFWINDOW::Entry(std::int64_t row) const
{
    if (m_comparison == nullptr || row < 0)
        return nullptr;
    return m_comparison->Result().Entry(row);
}

std::uint8_t DIFFWINDOW::DisplayedFlags(const DiffEntry &entry) const
{
    std::uint8_t flags = entry.flags;
    if (m_container || !HidingMatches())
        flags &= static_cast<std::uint8_t>(~kEntryShown);
    return flags;
}

bool DIFFWINDOW::RowIsShown(std::int64_t row) const
{
    const DiffEntry *entry = Entry(row);
    if (entry == nullptr)
        return false;
    if (!HidingMatches() || m_image)
        return true;
    return (DisplayedFlags(*entry) & kDisplayMaskShown) != 0;
}

bool DIFFWINDOW::SideShown(int side) const
{
    const std::uint16_t view = m_comparison != nullptr ? m_comparison->SingleSideView() : 0;
    return view == kSideNone || view == (side == 0 ? kSideLeft : kSideRight);
}

void DIFFWINDOW::PaneBounds(int side, int &left, int &right) const
{
    const std::uint16_t view = m_comparison != nullptr ? m_comparison->SingleSideView() : 0;
    if (view != kSideNone) {
        left = 0;
        right = m_width;
    } else if (side == 0) {
        left = 0;
        right = m_separator - kSeparatorHalf;
    } else {
        left = m_separator + kRightPaneGap;
        right = m_width;
    }
}

int DIFFWINDOW::NumberCellWidth() const
{
    return m_lineNumberWidth > 0 ? m_digitWidth * m_lineNumberWidth + kNumberCellPadding : 0;
}

// --------------------------------------------------------------------------------------------
// Filling the visible lines

bool DIFFWINDOW::FillVisibleLines(bool fullRefresh)
{
    RefreshKinds();
    FillPass(fullRefresh);
    // A listing whose column texts grew wider lays its columns out anew: every text changes.
    bool widened = false;
    for (int side = 0; side < 2; ++side)
        if (BASEITEM *object = SideObject(side))
            widened = object->WidenColumns() || widened;
    if (widened)
        FillPass(true);
    return widened;
}

void DIFFWINDOW::FillPass(bool fullRefresh)
{
    std::size_t index = 0;
    if (m_comparison != nullptr && m_rowCount > 0) {
        DIFFLIST &list = m_comparison->Result();
        const bool hiding = HidingMatches();
        const bool container = m_container;
        const bool image = m_image;
        BASEITEM *left = SideObject(0);
        BASEITEM *right = SideObject(1);
        auto *listing = dynamic_cast<DIRECTORYOBJECT *>(left);
        const bool bothListings = left != nullptr && right != nullptr && left->IsListing()
                                  && right->IsListing() && listing != nullptr;
        const std::int64_t count = list.Count();
        for (std::int64_t row = std::max<std::int64_t>(m_comparison->TopRow(), 0);
             row < count && index < static_cast<std::size_t>(m_visibleLineCount); ++row) {
            DiffEntry &entry = *list.Entry(row);
            std::uint8_t flags = entry.flags;
            if (container || !hiding)
                flags &= static_cast<std::uint8_t>(~kEntryShown);
            // With every row shown, a listed pair is compared by content when it comes into
            // view, so that the list marks what really differs.
            if (!hiding && bothListings && entry.left >= 0 && entry.right >= 0
                && (entry.flags & kEntryDiffers) == 0
                && listing->RowDiffers(entry.left, entry.right, m_settings.compare) != 0) {
                entry.flags |= kEntryDiffers;
                flags |= kEntryDiffers;
            }
            if (hiding && !image && (flags & kDisplayMaskShown) == 0)
                continue;
            for (int side = 0; side < 2; ++side) {
                VisibleCell &cell = m_lines[index].cell[side];
                const std::int64_t line = side == 0 ? entry.left : entry.right;
                if (!fullRefresh && cell.row == row && cell.line == line && cell.flags == flags)
                    continue;
                cell.row = row;
                cell.line = line;
                cell.flags = flags;
                cell.text.clear();
                cell.segments.clear();
                cell.startState = 0;
                cell.segmentsTried = false;
                BASEITEM *object = side == 0 ? left : right;
                if (object != nullptr && line >= 0)
                    if (std::unique_ptr<STRING> text = object->RecordText(line))
                        cell.text = std::move(*text);
            }
            ++index;
        }
    }
    for (; index < m_lines.size(); ++index)
        for (VisibleCell &cell : m_lines[index].cell)
            cell.row = -1;
}

// The text as a line shows it (tabs expanded, from character skip of the expanded text on),
// at most limit characters of it: what FormatNumberedLine gives without a number, cut short.
// Only the characters up to the last one kept are looked at, and nothing is copied before the
// first, so a line of millions of characters costs no more than its walk to the view.
static STRING ShownSlice(const STRING &text, int tabSize, std::size_t skip, std::size_t limit)
{
    const std::size_t width = tabSize < 1 ? 1 : static_cast<std::size_t>(tabSize);
    STRING shown;
    std::size_t column = 0;
    std::size_t passed = 0; // characters of the expanded text before the offset
    std::size_t kept = 0;
    for (std::size_t offset = 0; offset < text.size() && kept < limit;) {
        // A run of single bytes other than TAB: one character and one column each.
        const std::size_t stop
            = std::min(text.size(), offset + (skip > passed ? skip - passed : 0) + (limit - kept));
        std::size_t run = offset;
        while (run < stop && static_cast<unsigned char>(text[run]) < 0x80 && text[run] != '\t')
            ++run;
        if (run > offset) {
            std::size_t count = run - offset;
            const std::size_t skipped = skip > passed ? std::min(count, skip - passed) : 0;
            const std::size_t taken = std::min(count - skipped, limit - kept);
            shown.append(text, offset + skipped, taken);
            kept += taken;
            count = skipped + taken;
            passed += count;
            column += count;
            offset += count;
            continue;
        }
        const Utf8Char character = DecodeUtf8(text, offset);
        if (character.codePoint == '\t' && character.valid) {
            const std::size_t spaces = width - column % width;
            if (passed + spaces > skip) {
                const std::size_t past = passed + spaces - std::max(passed, skip);
                const std::size_t added = std::min(past, limit - kept);
                shown.append(added, ' ');
                kept += added;
            }
            passed += spaces;
            column += spaces;
        } else {
            if (passed++ >= skip) {
                shown.append(text, offset, character.length);
                ++kept;
            }
            column += static_cast<std::size_t>(CharWidth(character));
        }
        offset += character.length;
    }
    return shown;
}

std::string DIFFWINDOW::LineText(std::int64_t row, int side)
{
    const DiffEntry *entry = Entry(row);
    if (entry == nullptr)
        return {};
    const std::int64_t line = side == 0 ? entry->left : entry->right;
    std::unique_ptr<STRING> text;
    if (BASEITEM *object = SideObject(side); object != nullptr && line >= 0)
        text = object->RecordText(line);
    STRING shown
        = FormatNumberedLine(line, m_lineNumberWidth, m_settings.compare.tabSize, nullptr, 0);
    if (text)
        shown += ShownSlice(*text, m_settings.compare.tabSize,
                            static_cast<std::size_t>(std::max(m_horizontalOffset, 0)), kMaxTextOut);
    return shown;
}

// --------------------------------------------------------------------------------------------
// Painting

void DIFFWINDOW::Paint(DEVICECONTEXT &dc)
{
    const Rect &clip = dc.m_clip;
    // Widened columns change every listed text, also outside a partial repaint.
    if (FillVisibleLines(false)
        && (clip.left > 0 || clip.top > 0 || clip.right < m_width || clip.bottom < m_height))
        m_owner.Invalidate();
    dc.m_charWidth = m_charWidth;
    if (clip.top < m_textTop)
        PaintHeader(dc);
    PaintImages(dc);

    int y = m_textTop;
    if (m_rowCount > 0) {
        for (int index = 0; index < m_visibleLineCount; ++index) {
            if (m_lines[static_cast<std::size_t>(index)].cell[0].row < 0)
                break;
            if (y + m_lineHeight > clip.top - 1 && y - 1 < clip.bottom)
                PaintLine(dc, index, y);
            y += m_lineHeight;
        }
    }
    // The rest of the text area (all of it when nothing is compared) is left grey.
    if (y < m_textBottom && y < clip.bottom) {
        for (int side = 0; side < 2; ++side) {
            if (!SideShown(side) || SideImage(side) != nullptr)
                continue;
            int left = 0;
            int right = 0;
            PaneBounds(side, left, right);
            if (m_comparison == nullptr || m_comparison->SingleSideView() == kSideNone) {
                // The gap around the pane separator belongs to whichever pane is drawn.
                left = side == 0 ? 0 : m_separator - kSeparatorHalf;
                right = side == 0 ? m_separator - kSeparatorHalf : m_width;
            }
            dc.FillRect({left, y, right, m_textBottom}, SysColor(SystemColour::kInactiveCaption));
            dc.FillRect({left, y, right, y + 1}, kBlack);
        }
    }
    if (m_statusHeight > 0 && clip.bottom > m_textBottom)
        DrawStatusText(dc, {0, m_textBottom, m_width - 1, m_height - 1});
}

// The column descriptors of a side as header buttons, up to the open-ended one.
static std::vector<HeaderButton> ButtonsOf(std::span<ColumnDescriptor> columns)
{
    constexpr unsigned kStateBits = kButtonPressable | kButtonHighlighted | kButtonPressed
                                    | kButtonRightAligned | kButtonWidthChanged | kButtonArrowUp
                                    | kButtonArrowDown;
    std::vector<HeaderButton> buttons;
    for (const ColumnDescriptor &column : columns) {
        HeaderButton button;
        button.width = column.width;
        button.defaultWidth = column.width;
        button.caption = column.caption;
        button.state = column.flags & kStateBits;
        buttons.push_back(std::move(button));
        if (column.width == kColumnEndWidth)
            break;
    }
    return buttons;
}

void DIFFWINDOW::PaintHeader(DEVICECONTEXT &dc)
{
    const COLORREF face = SysColor(SystemColour::kButtonFace);
    const COLORREF text = SysColor(SystemColour::kWindowText);
    dc.FillRect({0, 0, m_width, m_textTop}, face);
    const std::uint16_t view = m_comparison != nullptr ? m_comparison->SingleSideView() : 0;
    const bool split = view == kSideNone;

    dc.SelectFont(m_headerFont.get());
    dc.SetBkColor(face);
    dc.SetTextColor(text);
    const int titleBottom = m_titleHeight + kTitleBottomBelowFont;
    if (m_comparison != nullptr) {
        if (view != kSideRight) {
            const int right = view == kSideLeft ? m_width - 3 : m_separator - 1;
            dc.TextOut(2, kTitleTop, {2, kTitleTop, right, titleBottom},
                       m_comparison->Left().ShownName().c_str());
        }
        if (view != kSideLeft) {
            const int left = view == kSideRight ? 2 : m_separator + 1;
            dc.TextOut(left, kTitleTop, {left, kTitleTop, m_width - 3, titleBottom},
                       m_comparison->Right().ShownName().c_str());
        }
    }
    // The bevel framing the title row.
    const auto vertical = [&dc](PenKind pen, int x, int top, int bottom) {
        dc.SelectPen(pen);
        dc.MoveTo(x, top);
        dc.LineTo(x, bottom);
    };
    vertical(PenKind::kHighlight, 0, 0, m_headerBoundary);
    vertical(PenKind::kHighlight, 1, 0, m_headerBoundary);
    if (split)
        vertical(PenKind::kShadow, m_separator, 0, m_headerBoundary);
    vertical(PenKind::kShadow, m_width - 2, 0, m_headerBoundary);
    vertical(PenKind::kText, m_width - 1, 0, m_headerBoundary);

    const int columnTop = m_textTop - m_titleHeight - kColumnRowAboveText;
    if (m_comparison != nullptr) {
        for (int side = 0; side < 2; ++side) {
            if (!SideShown(side))
                continue;
            int left = 0;
            int right = 0;
            PaneBounds(side, left, right);
            if (SideImage(side) == nullptr)
                left += NumberCellWidth();
            const std::vector<HeaderButton> buttons
                = ButtonsOf(m_comparison->ColumnList(side == 0 ? kSideLeft : kSideRight));
            if (!buttons.empty() && right - 1 > left)
                dc.DrawHeaderButtons(left, columnTop, right - 1, m_textTop - 1, buttons,
                                     m_horizontalOffset, m_headerFont.get());
        }
    }
    if (split) {
        vertical(PenKind::kShadow, m_separator - kSeparatorHalf, columnTop, m_textTop);
        vertical(PenKind::kHighlight, m_separator - 1, columnTop, m_textTop);
        vertical(PenKind::kFace, m_separator, columnTop, m_textTop);
        vertical(PenKind::kShadow, m_separator + 1, columnTop, m_textTop);
        vertical(PenKind::kText, m_separator + kSeparatorHalf, columnTop, m_textTop);
    }
}

void DIFFWINDOW::PaintImages(DEVICECONTEXT &dc)
{
    for (int side = 0; side < 2; ++side) {
        const DecodedImage *image = SideImage(side);
        if (image == nullptr || !SideShown(side))
            continue;
        int left = 0;
        int right = 0;
        PaneBounds(side, left, right);
        const Rect pane{left, m_textTop, right, m_textBottom};
        dc.FillRect(pane, m_settings.normBackground);
        const int paneWidth = pane.right - pane.left;
        const int paneHeight = pane.bottom - pane.top;
        if (paneWidth <= 0 || paneHeight <= 0)
            continue;
        // Scaled down to fit, never up, keeping the aspect ratio.
        const auto w = static_cast<std::int64_t>(image->Width());
        const auto h = static_cast<std::int64_t>(image->Height());
        std::int64_t shownWidth = w;
        std::int64_t shownHeight = h;
        if (shownWidth > paneWidth) {
            shownHeight = shownHeight * paneWidth / shownWidth;
            shownWidth = paneWidth;
        }
        if (shownHeight > paneHeight) {
            shownWidth = shownWidth * paneHeight / shownHeight;
            shownHeight = paneHeight;
        }
        shownWidth = std::max<std::int64_t>(shownWidth, 1);
        shownHeight = std::max<std::int64_t>(shownHeight, 1);
        const int x = pane.left + static_cast<int>((paneWidth - shownWidth) / 2);
        const int y = pane.top + static_cast<int>((paneHeight - shownHeight) / 2);
        dc.DrawImage({x, y, x + static_cast<int>(shownWidth), y + static_cast<int>(shownHeight)},
                     image->Pixels().data(), static_cast<int>(w), static_cast<int>(h));
    }
}

void DIFFWINDOW::ComputeInlineSegments(VisibleCell & /*left*/, VisibleCell & /*right*/,
                                       int /*refinementLimit*/)
{
}

void DIFFWINDOW::PaintLine(DEVICECONTEXT &dc, int index, int y)
{
    VisibleLine &line = m_lines[static_cast<std::size_t>(index)];
    const bool split = m_comparison->SingleSideView() == kSideNone;
    int shift[2] = {0, 0};

    // Inline segments are worked out once per row shown in the cells.
    if ((line.cell[0].flags & kEntryDiffers) != 0 && InlineApplies() && line.cell[0].line >= 0
        && line.cell[1].line >= 0 && !line.cell[0].segmentsTried) {
        line.cell[0].segmentsTried = true;
        line.cell[1].segmentsTried = true;
        ComputeInlineSegments(line.cell[0], line.cell[1],
                              m_container ? kContainerRefinementLimit : kRefinementLimit);
    }

    // Cells first: the block separators are drawn over their top edge.
    for (int side = 0; side < 2; ++side) {
        if (!SideShown(side) || SideImage(side) != nullptr)
            continue;
        const VisibleLine *previous
            = index > 0 ? &m_lines[static_cast<std::size_t>(index) - 1] : nullptr;
        if (previous != nullptr) {
            const bool skipped = previous->cell[0].row != line.cell[0].row - 1;
            const bool sameArea
                = ((previous->cell[0].flags ^ line.cell[0].flags) & kEntryDiffers) == 0;
            const bool gapChanges = (previous->cell[side].line >= 0) != (line.cell[side].line >= 0);
            if ((!m_container && skipped && sameArea) || gapChanges)
                shift[side] = 1;
        }
        PaintCell(dc, index, side, y, shift[side]);
    }
    // Block separators: across the width where rows were left out, else across a pane whose
    // side starts or stops having lines.
    for (int side = 0; side < 2; ++side) {
        if (shift[side] == 0)
            continue;
        int left = 0;
        int right = 0;
        PaneBounds(side, left, right);
        if (split && side == 0)
            left = 1;
        dc.FillRect({left, y, right, y + 1}, SysColor(SystemColour::kWindowText));
    }
    dc.FillRect({0, y, 1, y + m_lineHeight}, SysColor(SystemColour::kWindowText));
    if (split)
        PaintPaneSeparator(dc, y - 1, y + m_lineHeight);
}

void DIFFWINDOW::PaintCell(DEVICECONTEXT &dc, int index, int side, int y, int textShift)
{
    const VisibleCell &cell = m_lines[static_cast<std::size_t>(index)].cell[side];
    int left = 0;
    int right = 0;
    PaneBounds(side, left, right);
    const int bottom = y + m_lineHeight;

    const std::uint16_t sideBit = side == 0 ? kSideLeft : kSideRight;
    const bool selected = m_comparison->LowerMark() >= 0 && cell.row >= m_comparison->LowerMark()
                          && cell.row <= m_comparison->UpperMark()
                          && (m_comparison->SelectedSides() & sideBit) != 0;
    std::pair<COLORREF, COLORREF> normal{m_settings.normForeground, m_settings.normBackground};
    std::pair<COLORREF, COLORREF> differs{m_settings.diffForeground, m_settings.diffBackground};
    std::pair<COLORREF, COLORREF> inlined{m_settings.inlineForeground, m_settings.inlineBackground};
    std::pair<COLORREF, COLORREF> modified{m_settings.modifiedForeground,
                                           m_settings.modifiedBackground};
    if (selected) {
        for (auto *pair : {&normal, &differs, &inlined, &modified})
            std::swap(pair->first, pair->second);
    } else if (cell.line < 0) {
        // The gap where the side has no line.
        const COLORREF gap = SysColor(SystemColour::kInactiveCaption);
        normal.second = gap;
        differs.second = gap;
        inlined.second = gap;
    }
    const bool isModified = (cell.flags & (side == 0 ? kEntryLeftEdited : kEntryRightEdited)) != 0;

    dc.SelectFont(m_textFont.get());
    int textLeft = left;
    if (m_lineNumberWidth > 0 && cell.line >= 0) {
        const int cellRight = std::min(left + NumberCellWidth(), right);
        const STRING label = FormatLineLabel(isModified, m_lineNumberWidth, cell.line);
        const Rect button{left, y + textShift, cellRight - 1, bottom - 1};
        // A raised button (flat when selected) with the label right-aligned against its
        // inner edge: the number and its mark fill the cell.
        if (!selected)
            dc.DrawHeaderButton(button, "", 0);
        const Rect inside
            = selected ? Rect{button.left, button.top, cellRight, bottom}
                       : Rect{button.left + 1, button.top + 1, button.right - 1, button.bottom - 1};
        dc.SetBkColor(SysColor(SystemColour::kButtonFace));
        dc.SetTextColor(SysColor(SystemColour::kWindowText));
        dc.SetTextAlign(kTextAlignRight);
        dc.TextOut(inside.right, button.top + 1, inside, label.c_str());
        dc.SetTextAlign(kTextAlignLeft);
        textLeft = cellRight;
    }

    // No more than one text output draws.
    const STRING shown
        = ShownSlice(cell.text, m_settings.compare.tabSize,
                     static_cast<std::size_t>(std::max(m_horizontalOffset, 0)), kMaxTextOut);
    const int textX = textLeft + kTextIndent;
    const int textY = y + 1 + textShift;
    if (!cell.segments.empty()) {
        // Each run gets its own rectangle, one character cell a character, into which the
        // whole text is drawn; the run holding the first shown character decides its colours.
        std::size_t next = 0;
        int state = cell.startState != 0 ? 1 : 0;
        while (next < cell.segments.size() && cell.segments[next] != kSegmentEnd
               && cell.segments[next] <= m_horizontalOffset) {
            state ^= 1;
            ++next;
        }
        int runLeft = textLeft;
        for (;;) {
            const std::int32_t end
                = next < cell.segments.size() ? cell.segments[next] : kSegmentEnd;
            const std::int64_t endX
                = textX + static_cast<std::int64_t>(end - m_horizontalOffset) * m_charWidth;
            const int runRight
                = end == kSegmentEnd || endX >= right ? right : static_cast<int>(endX);
            const COLORREF background = isModified   ? modified.second
                                        : state == 0 ? differs.second
                                                     : inlined.second;
            const COLORREF foreground = state != 0   ? inlined.first
                                        : isModified ? modified.first
                                                     : differs.first;
            dc.SetTextColor(foreground);
            dc.SetBkColor(background);
            dc.TextOut(textX, textY, {runLeft, y + textShift, runRight, bottom}, shown.c_str());
            if (runRight >= right)
                break;
            runLeft = runRight;
            state ^= 1;
            ++next;
        }
        return;
    }

    std::pair<COLORREF, COLORREF> colours = normal;
    if (isModified)
        colours = modified;
    else if ((cell.flags & kEntryDiffers) != 0)
        colours = InlineApplies() ? inlined : differs;
    dc.SetTextColor(colours.first);
    dc.SetBkColor(colours.second);
    dc.TextOut(textX, textY, {textLeft, y + textShift, right, bottom}, shown.c_str());
}

bool DIFFWINDOW::InlineApplies() const
{
    return (m_settings.compare.optionBits & kOptInlineDifferences) != 0
           && (!m_container || BothSidesListings());
}

bool DIFFWINDOW::BothSidesListings() const
{
    const BASEITEM *left = SideObject(0);
    const BASEITEM *right = SideObject(1);
    return left != nullptr && right != nullptr && left->IsListing() && right->IsListing();
}

void DIFFWINDOW::PaintPaneSeparator(DEVICECONTEXT &dc, int top, int bottom)
{
    const auto vertical = [&dc, top, bottom](int x, COLORREF colour) {
        dc.FillRect({x, top, x + 1, bottom}, colour);
    };
    vertical(m_separator - kSeparatorHalf, kBlack);
    vertical(m_separator - 1, SysColor(SystemColour::kButtonHighlight));
    vertical(m_separator, SysColor(SystemColour::kButtonFace));
    vertical(m_separator + 1, SysColor(SystemColour::kButtonShadow));
    vertical(m_separator + kSeparatorHalf, kBlack);
}
