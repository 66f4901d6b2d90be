#include "gui/dispmode.h"

#include "core/options.h"
#include "engine/baseitem.h"
#include "engine/comparison.h"
#include "gui/dispwindow.h"
#include "gui/mainwindow.h"
#include "gui/settings.h"
#include "toolkit/window.h"

#include <algorithm>
#include <string>

// The status hint shows at most this many characters of a line.
static constexpr std::size_t kHintMax = 199;

static bool SideListsEntries(COMPARISON &comparison, int side)
{
    const BASEITEM *object = (side == kSideRight ? comparison.Right() : comparison.Left()).Object();
    return object != nullptr && object->IsListing();
}

int DISPMODE::MessageHandler(unsigned message)
{
    // Releasing a button ends nothing here; the gestures that care are modes of their own.
    if (message == kMsgLButtonUp || message == kMsgRButtonUp)
        return kModeHandled;
    return WINMODE::MessageHandler(message);
}

int DISPMODE::MouseMove()
{
    if (m_display == nullptr)
        return kModeNotHandled;
    if (m_row < kRowHeader - 1) {
        m_owner.ShowStatus(nullptr);
        m_owner.SetCursorKind(kCursorArrow);
        return kModeHandled;
    }
    if (OnSeparator()) {
        const bool onRecord = m_row < 0 || m_display->VisibleLineToRecord(m_row) >= 0;
        m_owner.ShowStatus(onRecord ? "click to move separator" : nullptr);
        m_owner.SetCursorKind(onRecord ? kCursorSizeWestEast : kCursorArrow);
        return kModeHandled;
    }
    if (m_row == kRowHeader) {
        HeaderHit hit;
        if (m_display->HeaderHitTest(m_x, hit) && hit.button != nullptr) {
            const bool onEdge = hit.offset == hit.button->width;
            m_owner.ShowStatus(onEdge ? "click to resize column" : "press button to sort");
            m_owner.SetCursorKind(onEdge ? kCursorSizeWestEast : kCursorArrow);
        } else {
            m_owner.ShowStatus(nullptr);
            m_owner.SetCursorKind(kCursorArrow);
        }
        return kModeHandled;
    }
    const std::int64_t row = m_row >= 0 ? m_display->VisibleLineToRecord(m_row) : -1;
    if (row >= 0) {
        std::string text = m_display->LineText(row, SideUnderPointer() == kSideRight ? 1 : 0);
        text.erase(0, std::min(text.find_first_not_of(' '), text.size()));
        if (text.size() > kHintMax)
            text.resize(kHintMax);
        m_owner.ShowStatus(text.c_str());
    } else
        m_owner.ShowStatus(nullptr);
    m_owner.SetCursorKind(kCursorArrow);
    return kModeHandled;
}

int DISPMODE::LeftButtonDown()
{
    if (m_display == nullptr)
        return kModeNotHandled;
    // The separator, the header buttons, marking blocks and dragging them start their own
    // modes here; until those exist a click on a line makes it current.
    if (OnSeparator() || m_row < 0)
        return kModeHandled;
    const std::int64_t row = m_display->VisibleLineToRecord(m_row);
    if (row < 0)
        return kModeHandled;
    const int side = SideUnderPointer();
    int sides = side;
    const int other = side == kSideLeft ? kSideRight : kSideLeft;
    // A click in a directory comparison takes the row on both sides, unless Shift is held.
    if ((m_wParam & kMkShift) == 0 && SideListsEntries(Comparison(), side)
        && SideListsEntries(Comparison(), other))
        sides |= other;
    m_display->SetCurrentLine(m_row, sides);
    return kModeHandled;
}

int DISPMODE::LeftDoubleClick()
{
    if (m_display == nullptr)
        return kModeNotHandled;
    if (OnSeparator()) {
        m_owner.SendCommand(kCmdCenterSeparator);
        return kModeHandled;
    }
    if (m_row < 0)
        return kModeHandled;
    const std::int64_t row = m_display->VisibleLineToRecord(m_row);
    if (row < 0)
        return kModeHandled;
    if (MAINWINDOW::IsContainer(Comparison())) {
        OpenLine(m_row);
        return kModeHandled;
    }
    const std::uint16_t view = Comparison().SingleSideView();
    ToggleHiddenKeeping(row, m_row,
                        view != kSideNone ? view : static_cast<std::uint16_t>(SideUnderPointer()));
    return kModeHandled;
}

int DISPMODE::RightButtonDown()
{
    // Scrolling by dragging and the context menu of an entry start here.
    return kModeNotHandled;
}

int DISPMODE::CurrentLine() const
{
    if (m_display == nullptr || Comparison().CurrentRow() < 0)
        return -1;
    return m_display->RecordToVisibleLine(Comparison().CurrentRow());
}

int DISPMODE::KeyDown()
{
    const int key = static_cast<int>(m_wParam);
    COMPARISON &comparison = Comparison();
    if (m_display == nullptr)
        return m_owner.KeyHandling(key, IsKeyHeld(kVkControl)) ? kModeHandled : kModeNotHandled;
    if (key != kVkShift && key != kVkControl && comparison.MarkAnchor() != comparison.MarkEnd())
        comparison.SetMark(comparison.CurrentRow(), comparison.CurrentRow());
    const int line = CurrentLine();
    const bool control = IsKeyHeld(kVkControl);
    if (control || line < 0)
        return m_owner.KeyHandling(key, control) ? kModeHandled : kModeNotHandled;
    // Shift with the page keys and arrows marks a block by keyboard: that gesture plugs in
    // here; until then they move the current line like the plain keys.
    const int page = std::max(m_display->LinesPerPage(), 1);
    switch (key) {
    case kVkPrior:
        if (line > 0)
            m_display->SetCurrentLine(0, -1);
        else {
            m_display->ScrollByLines(-page, false);
            m_display->SetCurrentLine(0, -1);
        }
        break;
    case kVkNext:
        m_display->ScrollByLines(page, false);
        m_display->SetCurrentLine(line, -1);
        break;
    case kVkUp:
        if (line == 0) {
            m_display->ScrollByLines(-1, false);
            m_display->SetCurrentLine(0, -1);
        } else
            m_display->SetCurrentLine(line - 1, -1);
        break;
    case kVkDown:
        if (m_display->VisibleLineToRecord(line + 1) >= 0) {
            // The line below is only partly on screen: bring it up first.
            if (line + 1 >= m_display->LinesPerPage()) {
                m_display->ScrollByLines(1, false);
                m_display->SetCurrentLine(line, -1);
            } else
                m_display->SetCurrentLine(line + 1, -1);
        }
        break;
    case kVkLeft:
        SelectSide(kSideLeft);
        break;
    case kVkRight:
        SelectSide(kSideRight);
        break;
    default:
        return m_owner.KeyHandling(key, control) ? kModeHandled : kModeNotHandled;
    }
    return kModeHandled;
}

void DISPMODE::SelectSide(std::uint16_t side)
{
    COMPARISON &comparison = Comparison();
    if (comparison.SelectedSides() == side) {
        comparison.SetSingleSideView(comparison.SingleSideView() != kSideNone ? kSideNone : side);
    } else if (comparison.SingleSideView() != kSideNone) {
        comparison.SetSingleSideView(side);
        comparison.SetSelectedSides(side);
    } else
        comparison.SetSelectedSides(side);
    m_owner.Invalidate();
}

int DISPMODE::EnterKey()
{
    if (m_display == nullptr)
        return kModeNotHandled;
    COMPARISON &comparison = Comparison();
    const int line = CurrentLine();
    if (line >= 0 && comparison.SelectedSides() != kSideNone) {
        if (MAINWINDOW::IsContainer(comparison))
            OpenLine(line);
        else
            ToggleHiddenKeeping(comparison.CurrentRow(), line, comparison.SelectedSides());
        return kModeHandled;
    }
    int sides = comparison.SelectedSides();
    if (sides == kSideNone)
        sides = MAINWINDOW::IsContainer(comparison) ? kSideBoth : kSideLeft;
    m_display->SetCurrentLine(std::max(line, 0), sides);
    return kModeHandled;
}

int DISPMODE::EscapeKey()
{
    m_owner.SendCommand(kCmdBack);
    return kModeHandled;
}

void DISPMODE::OpenLine(int visibleLine)
{
    const std::int64_t row = m_display->VisibleLineToRecord(visibleLine);
    if (row < 0)
        return;
    if (Comparison().CurrentRow() != row)
        m_display->SetCurrentLine(visibleLine, -1);
    // Opening replaces this mode; the use count keeps it alive until this handler returns.
    m_owner.OpenEntry(row);
}

void DISPMODE::ToggleHiddenKeeping(std::int64_t row, int visibleLine, std::uint16_t sides)
{
    std::uint32_t &bits = m_owner.Settings().compare.optionBits;
    COMPARISON &comparison = Comparison();
    // Back from the row by as many rows shown under the new setting as there were lines
    // above it on screen, so that it stays on its screen line.
    bits ^= kOptShowAll;
    std::int64_t top = row;
    for (int above = visibleLine; above > 0 && top > 0;) {
        --top;
        if (m_display->RowIsShown(top))
            --above;
    }
    bits ^= kOptShowAll;
    // The option itself changes as F7 changes it, check mark included.
    m_owner.SendCommand(kCmdHideMatching);
    top = std::clamp<std::int64_t>(top, 0, std::max<std::int64_t>(m_display->LastRow(), 0));
    comparison.SetTopRow(top);
    comparison.SetCurrentRow(row);
    comparison.SetMark(row, row);
    comparison.SetSelectedSides(sides);
    m_display->LayOut();
    m_owner.Invalidate();
}
