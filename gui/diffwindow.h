// The device-independent half of the comparison display: the geometry of the title row, the
// column header row and the text area, the table of visible lines with the texts cached for
// them, and the painting of both panes (titles, header buttons, line numbers, colours, block
// separators, the pane separator and images). The screen and the printer renderers derive it.
#pragma once

#include "engine/baseitem.h"
#include "toolkit/devicecontext.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class BASEITEM;
class COMPARISON;
class DecodedImage;
class FONT;
class WINDOW;
struct SETTINGS;
struct DiffEntry;

// The column header button under a pointer.
struct HeaderHit
{
    ColumnDescriptor *button = nullptr;
    int index = -1; // in the side's button list, hidden buttons counted
    int start = 0;  // widths of the visible buttons before it, in characters
    int offset = 0; // the pointer's character offset inside the button; == width on its edge
    int side = 0;   // 0 left, 1 right
};

// Ends an inline segment list (switch positions between equal and different runs).
inline constexpr std::int32_t kSegmentEnd = 19999;

// One side of one visible line: which record it shows and what was fetched for it.
struct VisibleCell
{
    std::int64_t row = -1;  // -1: no row
    std::int64_t line = -1; // the side's record, -1 when the side has no line in the row
    std::uint8_t flags = 0; // the row's flags as displayed
    std::string text;
    // Inline segments: switch positions ended by kSegmentEnd; empty until computed.
    std::vector<std::int32_t> segments;
    std::int16_t startState = 0; // 0: the text starts equal, 1: different
    bool segmentsTried = false;
};

struct VisibleLine
{
    VisibleCell cell[2]; // left, right
};

class DIFFWINDOW
{
public:
    DIFFWINDOW(WINDOW &owner, SETTINGS &settings);
    virtual ~DIFFWINDOW();
    DIFFWINDOW(const DIFFWINDOW &) = delete;
    DIFFWINDOW &operator=(const DIFFWINDOW &) = delete;

    // Recomputes the row-dependent geometry.
    virtual void LayOut();
    virtual void DrawStatusText(DEVICECONTEXT &dc, const Rect &r) = 0;

    // Reads the text font's metrics, and the line-number width.
    void Measure(DEVICECONTEXT &dc);
    // Measures on the device, takes the rows of the comparison, centres the separator and lays
    // out for a surface of width x height pixels; answers the drawing rectangle.
    Rect SetUpForDevice(DEVICECONTEXT &dc, int width, int height);
    // Fills the visible-line table from the top row; true when widened columns made a second,
    // full pass necessary.
    bool FillVisibleLines(bool fullRefresh);
    // One paint pass over dc.m_clip.
    void Paint(DEVICECONTEXT &dc);
    // One side of a row as the status hints show it: its number and its text from the
    // horizontal offset on.
    std::string LineText(std::int64_t row, int side);
    void ComputeLineNumberWidth();
    // The next fill fetches every text again.
    void InvalidateTextCache();

    [[nodiscard]] int Width() const { return m_width; }
    [[nodiscard]] int Height() const { return m_height; }
    [[nodiscard]] int Separator() const { return m_separator; }
    [[nodiscard]] int TextTop() const { return m_textTop; }
    [[nodiscard]] int TextBottom() const { return m_textBottom; }
    [[nodiscard]] int HeaderBoundary() const { return m_headerBoundary; }
    [[nodiscard]] int LineHeight() const { return m_lineHeight; }
    [[nodiscard]] int FontHeight() const { return m_fontHeight; }
    [[nodiscard]] int CharWidth() const { return m_charWidth; }
    [[nodiscard]] int DigitWidth() const { return m_digitWidth; }
    [[nodiscard]] int TitleHeight() const { return m_titleHeight; }
    [[nodiscard]] int LinesPerPage() const { return m_linesPerPage; }
    [[nodiscard]] int LinesThatFit() const { return m_linesThatFit; }
    [[nodiscard]] int VisibleLineCount() const { return m_visibleLineCount; }
    [[nodiscard]] std::int64_t RowCount() const { return m_rowCount; }
    [[nodiscard]] std::int64_t LastRow() const { return m_lastRow; }
    [[nodiscard]] std::int64_t LongestLine() const { return m_longestLine; }
    [[nodiscard]] int HorizontalOffset() const { return m_horizontalOffset; }
    [[nodiscard]] int LineNumberWidth() const { return m_lineNumberWidth; }
    [[nodiscard]] int StatusHeight() const { return m_statusHeight; }
    [[nodiscard]] COMPARISON *Comparison() const { return m_comparison; }
    [[nodiscard]] const std::vector<VisibleLine> &VisibleLines() const { return m_lines; }

    void SetRowCount(std::int64_t count);
    void SetLongestLine(std::int64_t characters) { m_longestLine = characters; }
    void SetHorizontalOffset(int offset) { m_horizontalOffset = offset; }
    void SetComparison(COMPARISON *comparison);
    // Metrics as a font would give them (for devices whose font cannot be measured).
    void SetTextMetrics(int charWidth, int digitWidth, int lineHeight, int fontHeight);

    // Whether either side is a directory or an archive (a listing is shown); as found when
    // the display last laid out or filled its lines.
    [[nodiscard]] bool IsContainer() const { return m_container; }
    // The decoded picture of a side (0 left, 1 right) that is an image, or null.
    [[nodiscard]] const DecodedImage *SideImage(int side) const;
    // Whether a row takes a visible line: always unless matching areas are hidden, then only
    // a difference or its context.
    [[nodiscard]] bool RowIsShown(std::int64_t row) const;

protected:
    // Where the character comparison plugs in: fills both cells' segment lists (positions in
    // the tab-expanded text) and start states for a changed row with a line on each side.
    // Asked once per row shown in the cells; leaving the lists empty draws the row whole.
    virtual void ComputeInlineSegments(VisibleCell &left, VisibleCell &right, int refinementLimit);
    // Whether a changed row takes the inline colours.
    [[nodiscard]] bool InlineApplies() const;
    // The flags a row is displayed with, and the row's entry (null beyond the rows).
    [[nodiscard]] const DiffEntry *Entry(std::int64_t row) const;
    [[nodiscard]] std::uint8_t DisplayedFlags(const DiffEntry &entry) const;
    [[nodiscard]] BASEITEM *SideObject(int side) const;
    [[nodiscard]] bool HidingMatches() const;
    [[nodiscard]] bool SideShown(int side) const;
    // A pane's x range: [left, right).
    void PaneBounds(int side, int &left, int &right) const;
    // Width of the line-number cell in pixels, 0 when numbers are off.
    [[nodiscard]] int NumberCellWidth() const;
    [[nodiscard]] bool BothSidesListings() const;
    // Finds again whether a listing or an image is shown.
    void RefreshKinds();

    WINDOW &m_owner;
    SETTINGS &m_settings;
    std::unique_ptr<FONT> m_textFont;
    std::unique_ptr<FONT> m_headerFont;
    std::unique_ptr<FONT> m_thirdFont;
    int m_digitWidth = 8;
    int m_charWidth = 8;
    int m_lineHeight = 16;
    int m_fontHeight = 15;
    int m_width = 0;
    int m_separator = 0;
    int m_height = 0;
    int m_textAreaHeight = 0;
    int m_textBottom = 0;
    int m_linesPerPage = 0;
    int m_textTop = 0;
    int m_statusHeight = 0;
    int m_headerBoundary = 0;
    int m_titleHeight = 0;
    COMPARISON *m_comparison = nullptr;
    std::int64_t m_lastRow = 0;
    std::int64_t m_rowCount = -1;
    std::int64_t m_longestLine = 0;
    int m_linesThatFit = 0;
    int m_visibleLineCount = 0;
    int m_horizontalOffset = 0;
    int m_lineNumberWidth = 0;
    std::vector<VisibleLine> m_lines;
    bool m_container = false;
    bool m_image = false;

private:
    void FillPass(bool fullRefresh);
    void PaintHeader(DEVICECONTEXT &dc);
    void PaintImages(DEVICECONTEXT &dc);
    void PaintLine(DEVICECONTEXT &dc, int index, int y);
    void PaintCell(DEVICECONTEXT &dc, int index, int side, int y, int textShift);
    void PaintPaneSeparator(DEVICECONTEXT &dc, int top, int bottom);
};
