// The idle mode while a comparison is shown: clicks make a line current, a double click or
// Enter opens a row of a list, Escape goes back, the arrows and page keys move the current
// line, and every key it does not use goes to the main window's key table. The gestures
// (marking, dragging, moving the separator, header buttons) start here as modes of their own.
#pragma once

#include "gui/winmode.h"

#include <cstdint>

class DISPMODE : public WINMODE
{
public:
    using WINMODE::WINMODE;

    int MessageHandler(unsigned message) override;
    int MouseMove() override;
    int LeftButtonDown() override;
    int LeftDoubleClick() override;
    int RightButtonDown() override;
    int KeyDown() override;
    int EnterKey() override;
    int EscapeKey() override;

private:
    // The visible line of the current row, -1 when it is not on screen.
    [[nodiscard]] int CurrentLine() const;
    // Left or Right arrow: show or mark one side.
    void SelectSide(std::uint16_t side);
    // Shows or hides the matching areas and keeps `row` on the same screen line where it can.
    void ToggleHiddenKeeping(std::int64_t row, int visibleLine, std::uint16_t sides);
    // Opens the row on a visible line of a list.
    void OpenLine(int visibleLine);
};
