// Top-level windows: the frame the desktop decorates (caption, border, menu bar) around a
// window of the program's own, and what the program asks of that frame: its caption, its
// state, the size of its parts, and its destruction.
#pragma once

#include "toolkit/window.h"

// Makes a window of a registered class inside a new top-level frame, binds it to `object`
// (the creation message arrives first) and leaves it hidden. x, y, width and height are the
// frame's outer position and size, decorations included. Closing the frame reaches the
// window as a close message; moving it as a move message with the client area's top left
// corner on the screen. Null when the class is unknown.
WindowHandle CreateTopLevelWindow(const char *className, WINDOW *object, int x, int y, int width,
                                  int height);

// Shows the frame, maximised or not. Once the desktop has decorated it, the frame is made as
// large as it was asked to be, decorations included.
void ShowTopLevelWindow(WindowHandle window, bool maximized);

// Sends the window its destroy message, unbinds its object and removes the frame from the
// screen; the window system's objects go once the message loop runs again.
void DestroyTopLevelWindow(WindowHandle window);
// Deletes the frame at once without any message (for an object that goes first).
void DeleteTopLevelWindow(WindowHandle window);

void SetTopLevelCaption(WindowHandle window, const char *caption);
// The status line below the window's client area: one line of plain text (null: empty).
void SetTopLevelStatusText(WindowHandle window, const char *text);
[[nodiscard]] std::string TopLevelStatusText(WindowHandle window);
[[nodiscard]] std::string TopLevelCaption(WindowHandle window);
[[nodiscard]] bool IsWindowMaximized(WindowHandle window);
[[nodiscard]] bool IsWindowMinimized(WindowHandle window);
// Puts the keyboard focus on the window (and its frame in front).
void ActivateWindow(WindowHandle window);

// Sizes of the parts around a top-level window's client area, in pixels; 0 for what the
// desktop does not draw.
struct FrameMetrics
{
    int frameWidth = 0;    // border left and right
    int frameHeight = 0;   // border top and bottom
    int captionHeight = 0; // title bar
    int menuHeight = 0;    // menu bar
    int statusHeight = 0;  // status line below the client area
    int verticalScrollBarWidth = 0;
    int horizontalScrollBarHeight = 0;
};
[[nodiscard]] FrameMetrics MetricsOf(WindowHandle window);
