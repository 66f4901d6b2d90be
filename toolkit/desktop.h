// Small services of the desktop the program's windows use: message boxes, the beep, timers,
// the clipboard's text, pointer capture and cursor shapes.
#pragma once

#include "toolkit/window.h"

#include <functional>
#include <optional>
#include <string>

// Message box buttons, icons and modality (combine one of each).
inline constexpr unsigned kMbOk = 0x00;
inline constexpr unsigned kMbOkCancel = 0x01;
inline constexpr unsigned kMbYesNoCancel = 0x03;
inline constexpr unsigned kMbYesNo = 0x04;
inline constexpr unsigned kMbIconHand = 0x10;
inline constexpr unsigned kMbIconQuestion = 0x20;
inline constexpr unsigned kMbIconExclamation = 0x30;
inline constexpr unsigned kMbIconAsterisk = 0x40;
inline constexpr unsigned kMbSystemModal = 0x1000;

// Answers of a message box.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

// Shows a modal message box over `owner` (may be null) and answers the button chosen;
// closing the box answers Cancel, or OK (No) when it has no Cancel button.
int MessageBox(WindowHandle owner, const char *text, const char *caption, unsigned style);

// While set, message boxes are not shown: the hook sees them and answers for the user.
using MessageBoxHook
    = std::function<int(const std::string &text, const std::string &caption, unsigned style)>;
void SetMessageBoxHook(MessageBoxHook hook);

void MessageBeep();
// While set, the beep is not sounded: the hook hears it instead.
using BeepHook = std::function<void()>;
void SetBeepHook(BeepHook hook);

// Runs the message loop until PostQuitMessage; answers the code it was given.
int RunMessageLoop();
void PostQuitMessage(int code);
// Handles the messages pending now, without waiting, so that long work stays responsive.
void PumpMessages();

// Timer messages carry the timer's id as their first parameter. Setting an id again restarts
// that timer; a window's timers end with it.
inline constexpr unsigned kMsgTimer = 275;
bool SetTimer(WindowHandle window, unsigned id, int milliseconds);
void KillTimer(WindowHandle window, unsigned id);

// The clipboard's text as UTF-8 (empty when it holds none); false when nothing was stored.
bool SetClipboardText(const std::string &text);
[[nodiscard]] std::string ClipboardText();

// Pointer messages keep coming to the window while captured, wherever the pointer goes.
void SetCapture(WindowHandle window);
void ReleaseCapture(WindowHandle window);

enum class CursorShape
{
    kArrow,
    kSizeWestEast,
    kSizeNorthSouth,
    kIBeam,
    kDrag,
    kWait,
};
void SetCursorShape(WindowHandle window, CursorShape shape);
