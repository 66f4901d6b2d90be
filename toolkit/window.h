// The base of every window the program draws itself. One window procedure serves them all:
// it finds the window's object, stores the message parameters in it and calls the object's
// handlers; whatever a handler leaves alone goes to the window system's default handling.
#pragma once

#include "toolkit/messages.h"

#include <cstdint>
#include <string>
#include <vector>

class DEVICECONTEXT;
class WINDOW;
class WindowWidget; // the window system's side of a window; private to the toolkit

using WindowHandle = WindowWidget *;

enum class ScrollBarId
{
    kHorizontal = 0,
    kVertical = 1,
};

// What the window procedure did with a message.
enum class Routed
{
    kHandled,
    kDefault, // the window system's default handling should run
};

class WINDOW
{
public:
    WINDOW() = default;
    // Unbinds the window; a top-level window made for this object is destroyed with it.
    virtual ~WINDOW();
    WINDOW(const WINDOW &) = delete;
    WINDOW &operator=(const WINDOW &) = delete;

    // 0 when the message was handled; non-zero lets the routing go on (paint, command and
    // mouse-move operations, then default handling).
    virtual int MessageHandler(unsigned message);
    virtual int Command();
    virtual int MouseMove();
    virtual void Paint(DEVICECONTEXT &dc);

    // Sends a message straight through the window procedure; false when nothing is bound.
    bool SendMessage(unsigned message, MessageParam first, MessageParam second);
    // Queues a message for the window; it arrives from the message loop after what is pending.
    // False when nothing is bound.
    bool PostMessage(unsigned message, MessageParam first, MessageParam second);
    void SetCaption(const char *caption);
    // Requests a repaint of the whole client area, and with `now` paints before returning
    // when the window is on screen.
    void Invalidate(bool now = false);
    void Show(bool maximized = false);
    [[nodiscard]] int ClientWidth() const;
    [[nodiscard]] int ClientHeight() const;

    // The window's own scroll bars, along the right and the bottom edge. A bar is shown while
    // its range is not empty (maximum above minimum) and takes its room from the client area,
    // which then gets a size message. The user's actions on a bar arrive as scroll messages
    // (scroll code in the low word, thumb position in the high word); the bar's position
    // changes only by SetScrollPos, except that the thumb follows a drag.
    void SetScrollRange(ScrollBarId bar, int minimum, int maximum);
    // Files dropped on the window arrive as kMsgDropFiles, with the drop point packed as the
    // second parameter; the names (UTF-8) are readable here until the next drop.
    void AcceptDroppedFiles(bool accept);
    [[nodiscard]] const std::vector<std::string> &DroppedFiles() const;
    void SetScrollPos(ScrollBarId bar, int position);
    [[nodiscard]] int ScrollPos(ScrollBarId bar) const;
    // Where the thumb is while it is dragged, in full: scroll messages carry only 16 bits of it.
    [[nodiscard]] int ScrollTrackPos(ScrollBarId bar) const;

    WindowHandle m_hWnd = nullptr;
    MessageParam m_wParam = 0; // first parameter of the message being handled
    MessageParam m_lParam = 0; // second parameter: packed pointer position, size, ...
};

// Registers a class of windows under a name; every class uses the shared window procedure.
// `opaque`: the windows paint every pixel themselves (no background is filled for them).
// `arrowCursor`: the pointer is the arrow over them; else they set it themselves (or show
// their parent's).
// Returns 1 on success or when already registered, 0 when there is no application object.
int RegisterWindowClass(const char *className, bool opaque, bool arrowCursor = false);

// Creates a window of a registered class and sends it the creation message, which binds it
// to its object: `creationParameter`, or the process-wide gauge for "Kesta_Gauge". Null when
// the class is unknown. A child window is owned by its parent.
WindowHandle CreateKestaWindow(const char *className, WINDOW *creationParameter,
                               WindowHandle parent, int x, int y, int width, int height);
void DestroyKestaWindow(WindowHandle window);

// The one window procedure.
Routed WindowProcedure(WindowHandle window, unsigned message, MessageParam first,
                       MessageParam second);

// Whether a key (kVkShift, kVkControl, kVkMenu) is held at the moment.
bool IsKeyHeld(int virtualKey);
