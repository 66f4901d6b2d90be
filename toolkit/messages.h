// The message numbers, parameter packing, key codes and scroll codes that the windows of the
// program exchange. Window-system events are turned into these, so the program's handlers
// (and tests driving them) speak one language whatever draws the windows.
#pragma once

#include <cstdint>

using MessageParam = std::uint32_t;

inline constexpr unsigned kMsgCreate = 1;
inline constexpr unsigned kMsgDestroy = 2;
inline constexpr unsigned kMsgMove = 3;
inline constexpr unsigned kMsgSize = 5;
inline constexpr unsigned kMsgSetFocus = 7;
inline constexpr unsigned kMsgKillFocus = 8;
inline constexpr unsigned kMsgPaint = 15;
inline constexpr unsigned kMsgClose = 16;
inline constexpr unsigned kMsgKeyDown = 256;
inline constexpr unsigned kMsgKeyUp = 257;
inline constexpr unsigned kMsgCommand = 273;
inline constexpr unsigned kMsgHScroll = 276;
inline constexpr unsigned kMsgVScroll = 277;
inline constexpr unsigned kMsgMouseMove = 512;
inline constexpr unsigned kMsgLButtonDown = 513;
inline constexpr unsigned kMsgLButtonUp = 514;
inline constexpr unsigned kMsgLButtonDblClk = 515;
inline constexpr unsigned kMsgRButtonDown = 516;
inline constexpr unsigned kMsgRButtonUp = 517;
inline constexpr unsigned kMsgRButtonDblClk = 518;
inline constexpr unsigned kMsgMouseWheel = 522;
inline constexpr unsigned kMsgDropFiles = 563;
inline constexpr unsigned kMsgUser = 1024; // the first number free for the program's own use

// Size message first parameter.
inline constexpr MessageParam kSizeRestored = 0;
inline constexpr MessageParam kSizeMinimized = 1;
inline constexpr MessageParam kSizeMaximized = 2;

// Key state bits carried by mouse messages (low word of the first parameter).
inline constexpr MessageParam kMkLButton = 0x01;
inline constexpr MessageParam kMkRButton = 0x02;
inline constexpr MessageParam kMkShift = 0x04;
inline constexpr MessageParam kMkControl = 0x08;
inline constexpr MessageParam kMkMButton = 0x10;

// Scroll codes of the scroll messages (low word of the first parameter; the thumb position
// rides in the high word).
inline constexpr int kSbLineUp = 0;
inline constexpr int kSbLineDown = 1;
inline constexpr int kSbPageUp = 2;
inline constexpr int kSbPageDown = 3;
inline constexpr int kSbThumbPosition = 4;
inline constexpr int kSbThumbTrack = 5;
inline constexpr int kSbTop = 6;
inline constexpr int kSbBottom = 7;
inline constexpr int kSbEndScroll = 8;

// Virtual key codes of key messages (first parameter).
inline constexpr int kVkBack = 8;
inline constexpr int kVkTab = 9;
inline constexpr int kVkReturn = 13;
inline constexpr int kVkShift = 16;
inline constexpr int kVkControl = 17;
inline constexpr int kVkMenu = 18; // Alt
inline constexpr int kVkEscape = 27;
inline constexpr int kVkSpace = 32;
inline constexpr int kVkPrior = 33; // Page Up
inline constexpr int kVkNext = 34;  // Page Down
inline constexpr int kVkEnd = 35;
inline constexpr int kVkHome = 36;
inline constexpr int kVkLeft = 37;
inline constexpr int kVkUp = 38;
inline constexpr int kVkRight = 39;
inline constexpr int kVkDown = 40;
inline constexpr int kVkInsert = 45;
inline constexpr int kVkDelete = 46;
inline constexpr int kVk0 = 48; // '0' to '9' are 48 to 57, 'A' to 'Z' 65 to 90
inline constexpr int kVkA = 65;
inline constexpr int kVkNumpad0 = 96;
inline constexpr int kVkMultiply = 106;
inline constexpr int kVkAdd = 107;
inline constexpr int kVkSubtract = 109;
inline constexpr int kVkDecimal = 110;
inline constexpr int kVkDivide = 111;
inline constexpr int kVkF1 = 112; // F1 to F24 are 112 to 135
inline constexpr int kVkOemPlus = 187;
inline constexpr int kVkOemComma = 188;
inline constexpr int kVkOemMinus = 189;
inline constexpr int kVkOemPeriod = 190;

// Two 16-bit halves in one parameter, as pointer positions, sizes and scroll codes travel.
constexpr MessageParam MakeParam(int low, int high)
{
    return (static_cast<MessageParam>(low) & 0xFFFFu)
           | ((static_cast<MessageParam>(high) & 0xFFFFu) << 16);
}
constexpr int LowWord(MessageParam p)
{
    return static_cast<int>(p & 0xFFFFu);
}
constexpr int HighWord(MessageParam p)
{
    return static_cast<int>(p >> 16);
}
// Pointer coordinates are signed: a captured pointer left of or above the window is negative.
constexpr int SignedLowWord(MessageParam p)
{
    return static_cast<std::int16_t>(p & 0xFFFFu);
}
constexpr int SignedHighWord(MessageParam p)
{
    return static_cast<std::int16_t>(p >> 16);
}
