// The interaction modes: mouse and key messages of the main window's comparison area go to a
// stack of small objects, each owning one gesture (the idle display, marking, dragging, moving
// the separator, ...). A gesture starts by pushing its mode and ends when the mode reports
// that it is finished, which pops and destroys it. What no mode takes goes on to the window.
#pragma once

#include "toolkit/messages.h"

#include <memory>

class COMPARISON;
class DISPWINDOW;
class MAINWINDOW;

// Row codes of the pointer besides a visible line index (0 or more).
inline constexpr int kRowFileName = -1;   // above the text area, in the title row
inline constexpr int kRowHeader = -2;     // in the column header row
inline constexpr int kRowStatus = -4;     // at or below the bottom of the text area
inline constexpr int kRowNoPosition = -5; // the message carries no pointer position

// A handler's answer: not handled (the next mode down is asked), finished (handled, and the
// mode is done), anything else handled.
inline constexpr int kModeNotHandled = 0;
inline constexpr int kModeFinished = -1;
inline constexpr int kModeHandled = 1;

// The pointer is on the separator within this distance of it.
inline constexpr int kSeparatorZone = 4;

class WINMODE
{
public:
    explicit WINMODE(MAINWINDOW &owner);
    // Unlinks the mode from its neighbours.
    virtual ~WINMODE();
    WINMODE(const WINMODE &) = delete;
    WINMODE &operator=(const WINMODE &) = delete;

    // The base sends key-down to KeyDown, EnterKey or EscapeKey, left button down, left double
    // click and right button down to their operations; anything else is not handled.
    virtual int MessageHandler(unsigned message);
    // A command reached the stack: modes leave commands to the window.
    virtual int Command() { return kModeNotHandled; }
    virtual int MouseMove() { return kModeNotHandled; }
    virtual int LeftButtonDown() { return kModeNotHandled; }
    virtual int LeftDoubleClick() { return kModeNotHandled; }
    virtual int RightButtonDown() { return kModeNotHandled; }
    virtual int KeyDown() { return kModeNotHandled; }
    virtual int EnterKey() { return kModeNotHandled; }
    virtual int EscapeKey() { return kModeNotHandled; }

    // Stores the message's parameters and works out the pointer fields from the second.
    void TakeMessage(MessageParam first, MessageParam second);

    [[nodiscard]] int RowCode() const { return m_row; }
    [[nodiscard]] int X() const { return m_x; }
    [[nodiscard]] int Y() const { return m_y; }

    WINMODE *m_next = nullptr;     // the mode below
    WINMODE *m_previous = nullptr; // the mode above
    int m_useCount = 1;

protected:
    [[nodiscard]] COMPARISON &Comparison() const;
    // Whether the pointer is on the separator between two shown sides.
    [[nodiscard]] bool OnSeparator() const;
    // The side under the pointer: the single-side view's when it is on.
    [[nodiscard]] int SideUnderPointer() const;

    MAINWINDOW &m_owner;
    DISPWINDOW *m_display;
    int m_textTop = 0;
    int m_statusHeight = 0;
    int m_lineHeight = 0;
    int m_charWidth = 0;
    int m_y = 0; // relative to the text area's top
    int m_x = 0;
    int m_row = kRowStatus;
    MessageParam m_wParam = 0;
    MessageParam m_lParam = 0;
};

// The stack of modes of one window, top first.
class MODESTACK
{
public:
    MODESTACK() = default;
    ~MODESTACK() { Clear(); }
    MODESTACK(const MODESTACK &) = delete;
    MODESTACK &operator=(const MODESTACK &) = delete;

    // Runs the message through the stack (an EMPTYWINDOW is made first when it is empty).
    // 0: no mode handled it; kModeFinished: a mode handled it and is done; else handled.
    int Dispatch(MAINWINDOW &owner, unsigned message, MessageParam first, MessageParam second);
    void Push(std::unique_ptr<WINMODE> mode);
    // Lets go of every mode; a mode still running its handler goes when that returns.
    void Clear();
    [[nodiscard]] WINMODE *Top() const { return m_top; }
    [[nodiscard]] int Depth() const;

private:
    void Unlink(WINMODE *mode);
    // Lowers the use count; a mode no one uses any more leaves the stack and is destroyed.
    void Release(WINMODE *mode);

    WINMODE *m_top = nullptr;
};
