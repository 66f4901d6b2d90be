// One open comparison of the windowed program: two sides, the rows that align them, and the
// view state the display and the interaction modes share (current row, marked block, marked
// sides, single-side view). A comparison opened from one of its rows is a new COMPARISON that
// the caller stacks on top of this one.
#pragma once

#include "core/op_result.h"
#include "core/options.h"
#include "core/pathname.h"
#include "core/string.h"
#include "engine/baseitem.h"
#include "engine/difflist.h"
#include "engine/item.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

class STATUS_IO;

// Sides, as bits of the marked sides and as values of the single-side view.
inline constexpr std::uint16_t kSideNone = 0;
inline constexpr std::uint16_t kSideLeft = 1;
inline constexpr std::uint16_t kSideRight = 2;
inline constexpr std::uint16_t kSideBoth = 3;

class COMPARISON
{
public:
    // options must outlive the comparison and every comparison opened from it. ownerWindow is
    // the window status dialogs belong to; the engine only passes it on.
    explicit COMPARISON(const CompareOptions &options, void *ownerWindow = nullptr);
    ~COMPARISON();
    COMPARISON(const COMPARISON &) = delete;
    COMPARISON &operator=(const COMPARISON &) = delete;

    // Loads both sides anew and compares them. 0, or nonzero when a side cannot be loaded or
    // the status asked to stop.
    [[nodiscard]] OpResult Run(STATUS_IO *status);
    // Compares the loaded pair again (after the sort mode or sort side changed); a pair that
    // is not loaded, or two files (whose records matching has used up), is run anew.
    [[nodiscard]] OpResult ReCompare();
    // The comparison of the files or folders of a row, with both sides descended but not yet
    // run; null when nothing is opened, with ErrorText() saying why when a side failed.
    [[nodiscard]] std::unique_ptr<COMPARISON> OpenRow(std::int64_t row, STATUS_IO *status);
    // Exchanges the two sides; both are loaded anew by the next run.
    void SwapSides();

    // The first nonzero answer of the left, then the right object's Reopen; 0 when neither
    // side is loaded.
    [[nodiscard]] OpResult ChangedOnDisk() const;
    void ResetColumns();
    // The side's column descriptors, the sort column marked only on the sort side; empty
    // when the side is not loaded.
    [[nodiscard]] std::span<ColumnDescriptor> ColumnList(std::uint16_t side);

    [[nodiscard]] std::int64_t LowerMark() const;
    [[nodiscard]] std::int64_t UpperMark() const;
    // For a negative row: whether anything is marked. Else whether the row is in the block.
    [[nodiscard]] bool RowIsMarked(std::int64_t row) const;

    // The marked rows (all rows when nothing is marked) as text with CR LF line ends: one
    // side's lines as stored, or both sides side by side under their names with numbers of
    // numberWidth digits. Null when no row is taken.
    [[nodiscard]] std::unique_ptr<STRING> ClipboardText(int numberWidth) const;
    // Searches the rows after (forward) or before currentRow for text in the shown sides. On a
    // match the row becomes the current row and the answer is kSideLeft, kSideRight or
    // kSideBoth; 0 when the search runs past the first or last row.
    [[nodiscard]] int Find(std::string_view text, std::int64_t currentRow, bool forward,
                           bool matchCase);

    [[nodiscard]] DIFFLIST &Result() { return m_result; }
    [[nodiscard]] const DIFFLIST &Result() const { return m_result; }
    [[nodiscard]] ITEM &Left() { return m_left; }
    [[nodiscard]] ITEM &Right() { return m_right; }
    [[nodiscard]] const ITEM &Left() const { return m_left; }
    [[nodiscard]] const ITEM &Right() const { return m_right; }
    // Copies of the sides' paths taken when they were descended; exchanged by SwapSides.
    [[nodiscard]] PATHNAME &LeftPath() { return m_leftPath; }
    [[nodiscard]] PATHNAME &RightPath() { return m_rightPath; }
    [[nodiscard]] void *OwnerWindow() const { return m_ownerWindow; }
    [[nodiscard]] const CompareOptions &Options() const { return *m_options; }
    [[nodiscard]] const STRING &ErrorText() const { return m_errorText; }

    // View state. The current row is also the row the comparison above was opened from.
    [[nodiscard]] std::int64_t TopRow() const { return m_topRow; }
    void SetTopRow(std::int64_t row) { m_topRow = row; }
    [[nodiscard]] std::int64_t CurrentRow() const { return m_currentRow; }
    void SetCurrentRow(std::int64_t row) { m_currentRow = row; }
    [[nodiscard]] std::uint16_t SelectedSides() const { return m_selectedSides; }
    void SetSelectedSides(std::uint16_t sides) { m_selectedSides = sides; }
    [[nodiscard]] std::uint16_t SingleSideView() const { return m_singleSideView; }
    void SetSingleSideView(std::uint16_t side) { m_singleSideView = side; }
    [[nodiscard]] std::int64_t MarkAnchor() const { return m_markAnchor; }
    [[nodiscard]] std::int64_t MarkEnd() const { return m_markEnd; }
    void SetMark(std::int64_t anchor, std::int64_t end)
    {
        m_markAnchor = anchor;
        m_markEnd = end;
    }

private:
    // Whether a row belongs to what is shown: a difference or its context, or every row when
    // matching areas are shown.
    [[nodiscard]] bool RowIsShown(const DiffEntry &entry) const;

    DIFFLIST m_result;
    PATHNAME m_leftPath;
    PATHNAME m_rightPath;
    void *m_ownerWindow;
    ITEM m_left;
    ITEM m_right;
    std::int64_t m_topRow = 0;
    std::int64_t m_currentRow = -1;
    std::uint16_t m_selectedSides = kSideNone;
    std::uint16_t m_singleSideView = kSideNone;
    std::int64_t m_markAnchor = -1;
    std::int64_t m_markEnd = -1;
    STRING m_errorText;
    const CompareOptions *m_options;
};
