// The comparison display on the screen: it owns the screen fonts, keeps the owner window's
// scroll bars in step, scrolls by moving the window image, carries the status text of the
// interaction modes, and scrolls, walks the differences, selects lines and searches.
#pragma once

#include "gui/diffwindow.h"

#include <cstdint>
#include <string>

// The display's own scroll codes beside the window system's.
inline constexpr int kSbNextDifference = 150;
inline constexpr int kSbPreviousDifference = 151;
inline constexpr int kSbScrollLeft = 152;
inline constexpr int kSbScrollRight = 153;
inline constexpr int kSbLineStart = 154;
inline constexpr int kSbLineEnd = 155;

class DISPWINDOW : public DIFFWINDOW
{
public:
    DISPWINDOW(COMPARISON *comparison, WINDOW &owner, SETTINGS &settings);
    ~DISPWINDOW() override;

    // Lays out, then puts the owner's scroll bars in step.
    void LayOut() override;
    void DrawStatusText(DEVICECONTEXT &dc, const Rect &r) override;

    // The owner's client area changed: re-centres the separator.
    void Resize(int width, int height);
    // The screen font changed in the settings.
    void RebuildFonts();
    // Takes the rows and the longest line of the comparison's result anew, back to the start
    // of the lines, and repaints.
    void Rebuild();
    void VerticalScroll(int code, int thumb);
    void HorizontalScroll(int code, int thumb);
    // Moves the top by n shown rows.
    void ScrollByLines(std::int64_t n, bool forceFullRepaint);
    // Makes the row on a visible line the current row; sides < 0 keeps the selected sides.
    void SetCurrentLine(int visibleLine, int sides);
    // Searches from the current row; beeps and answers false when nothing is found.
    bool Find(const std::string &text, bool down, bool matchCase);
    // 1 left, 2 right.
    [[nodiscard]] int SideAt(int x) const;
    bool HeaderHitTest(int x, HeaderHit &hit);
    void SetStatusText(const char *text); // null: none
    [[nodiscard]] const std::string &StatusText() const { return m_statusText; }
    [[nodiscard]] bool HasStatusText() const { return m_hasStatusText; }
    void SetSeparator(int x);
    void ScrollHorizontallyByChars(int n);
    // x is measured from the column's left edge.
    void SetHeaderColumnWidth(const HeaderHit &hit, int x);
    [[nodiscard]] int RecordToVisibleLine(std::int64_t row) const;
    [[nodiscard]] std::int64_t VisibleLineToRecord(int index) const;

private:
    void CreateFonts();
    // The row n shown rows away from row (as far as the rows go); moved gets the count.
    [[nodiscard]] std::int64_t StepShown(std::int64_t row, std::int64_t n,
                                         std::int64_t &moved) const;
    // Shown rows from one row to another (negative upwards).
    [[nodiscard]] std::int64_t ShownDistance(std::int64_t from, std::int64_t to) const;
    // The row on the first visible line.
    [[nodiscard]] std::int64_t FirstShownRow() const;
    [[nodiscard]] std::int64_t NextDifferenceDistance() const;
    [[nodiscard]] std::int64_t PreviousDifferenceDistance() const;
    void UpdateScrollBars();
    void InvalidateLines(int first, int last);
    void InvalidateRows(std::int64_t first, std::int64_t last);

    std::string m_statusText;
    bool m_hasStatusText = false;
};
