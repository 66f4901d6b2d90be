// kesta's one top-level window. It owns the stack of open comparisons (the comparison the user
// chose at the bottom, a pair opened from one of its rows on top), the display that draws the
// top one and the interaction modes, and turns menu commands, accelerators, the keys the
// modes pass on, dropped files, focus changes and moves into work on that stack and on the
// settings.
#pragma once

#include "core/op_result.h"
#include "gui/winmode.h"
#include "toolkit/window.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class COMPARISON;
class DISPWINDOW;
class MENU;
struct SETTINGS;

inline constexpr const char *kMainWindowClass = "KESTA";
inline constexpr const char *kMainCaption = "Kesta";
inline constexpr const char *kErrorCaption = "Error";
inline constexpr const char *kFileModifiedText = "File has been modified\n\nRefresh display?";
inline constexpr const char *kFileGoneText = "File no longer available!";

// The settings-change message of the desktop (locale formats may have changed).
inline constexpr unsigned kMsgSettingChange = 26;

inline constexpr int kVkF2 = kVkF1 + 1;
inline constexpr int kVkF3 = kVkF1 + 2;
inline constexpr int kVkF4 = kVkF1 + 3;
inline constexpr int kVkF5 = kVkF1 + 4;
inline constexpr int kVkF6 = kVkF1 + 5;
inline constexpr int kVkF7 = kVkF1 + 6;
inline constexpr int kVkF8 = kVkF1 + 7;

// Command ids of the menu, the accelerators and the key table.
inline constexpr int kCmdExit = 101;
inline constexpr int kCmdSelectFiles = 103;
inline constexpr int kCmdSaveModifications = 104;
inline constexpr int kCmdSwapSides = 105;
inline constexpr int kCmdBack = 106; // "Directory Comparison": back to the list
inline constexpr int kCmdClose = 109;
inline constexpr int kCmdRefresh = 110;
inline constexpr int kCmdNextFiles = 111;
inline constexpr int kCmdPreviousFiles = 112;
inline constexpr int kCmdCopy = 113;
inline constexpr int kCmdPaste = 114;
inline constexpr int kCmdClear = 115;
inline constexpr int kCmdUndo = 116;
inline constexpr int kCmdCompareAgain = 117;
inline constexpr int kCmdPrint = 118;
inline constexpr int kCmdDirectoryOptions = 121;
inline constexpr int kCmdFileOptions = 122;
inline constexpr int kCmdFonts = 123;
inline constexpr int kCmdFind = 126;
inline constexpr int kCmdFindAgain = 127;
inline constexpr int kCmdBinaryComparison = 129;
inline constexpr int kCmdFirstColour = 131; // to 138
inline constexpr int kCmdLastColour = 138;
inline constexpr int kCmdLeftFile = 141;
inline constexpr int kCmdRightFile = 142;
inline constexpr int kCmdSplitScreen = 143;
inline constexpr int kCmdCenterSeparator = 144;
inline constexpr int kCmdHideMatching = 145;
inline constexpr int kCmdTop = 146;
inline constexpr int kCmdBottom = 147;
inline constexpr int kCmdAdjustColumns = 148;
inline constexpr int kCmdNextDifference = 150;
inline constexpr int kCmdPreviousDifference = 151;
inline constexpr int kCmdLeftScroll = 152;
inline constexpr int kCmdRightScroll = 153;
inline constexpr int kCmdStartOfLine = 154;
inline constexpr int kCmdEndOfLine = 155;
inline constexpr int kCmdLineNumbers = 168;
inline constexpr int kCmdInlineDifferences = 169;
inline constexpr int kCmdHelpDescription = 202;
inline constexpr int kCmdHelpIndex = 211;
inline constexpr int kCmdHelpSearch = 212;
inline constexpr int kCmdAbout = 219;

// Where the view options sit in the menu: the fifth pop-up ("Options"), its fifth item.
inline constexpr int kOptionsMenuPosition = 4;
inline constexpr int kViewMenuPosition = 4;

// Cursor kinds the modes ask for.
inline constexpr int kCursorArrow = 0;
inline constexpr int kCursorSizeWestEast = 1;
inline constexpr int kCursorSizeNorthSouth = 2;
inline constexpr int kCursorText = 3;
inline constexpr int kCursorDrag = 4;
inline constexpr int kCursorNoDrop = 5;
inline constexpr int kCursorWait = 6;

// Registers the class of the main window; 1 on success (or when registered before).
int RegisterMainWindowClass();

class MAINWINDOW : public WINDOW
{
public:
    explicit MAINWINDOW(SETTINGS &settings);
    ~MAINWINDOW() override;

    // Makes the window with its menu, accelerators and display, an empty comparison as the
    // only one, and shows it. False when the window cannot be made.
    bool Create();

    int MessageHandler(unsigned message) override;
    int Command() override;
    int MouseMove() override { return 1; }
    void Paint(DEVICECONTEXT &dc) override;

    // Sends a command message through the window procedure.
    void SendCommand(int id);

    // Points a side (kSideLeft or kSideRight) of the top comparison at a path with exclusion
    // patterns; the side's path history takes it as its current value, first in the list.
    void SetSide(int side, std::string_view path, std::string_view exclusions);
    // Loads and compares the top comparison anew. 0, or -1 when it failed and went back.
    int Refresh();
    // Drops the top comparison and shows the one below it; nothing at the bottom.
    void Back();
    // Opens a row of the top comparison on top of it: 0 done, 1 no such row, 2 it cannot be
    // opened (the reason was shown), -1 opened but it could not be compared.
    int OpenEntry(std::int64_t row);
    // Replaces the top with the next (or previous) differing pair of the list below it:
    // 0 done, 1 nothing to open.
    int WalkFiles(bool forward);
    // Asks to save modified sides before they are discarded: 0 nothing to ask, else the
    // answer (kIdYes, kIdNo, kIdCancel).
    int SavePrompt();
    // The keys the modes pass on; true when the key was used.
    bool KeyHandling(int key, bool controlHeld);
    // Clears the modes, makes the idle display mode the only one and redraws the rows.
    void RebuildDisplay();
    void SetCursorKind(int kind);
    // The hint of the modes: kept by the display and shown in the status line (null: none).
    void ShowStatus(const char *text);

    [[nodiscard]] COMPARISON &Top() const { return *m_stack.back(); }
    [[nodiscard]] std::size_t StackDepth() const { return m_stack.size(); }
    [[nodiscard]] DISPWINDOW *Display() const { return m_display.get(); }
    [[nodiscard]] MODESTACK &Modes() { return m_modes; }
    [[nodiscard]] SETTINGS &Settings() const { return m_settings; }
    [[nodiscard]] MENU *Menu() const { return m_menu.get(); }
    [[nodiscard]] const std::string &Caption() const { return m_caption; }
    [[nodiscard]] int CursorKind() const { return m_cursorKind; }
    // Whether either side of a comparison lists entries (a directory, a pattern or an
    // archive) rather than being one file.
    [[nodiscard]] static bool IsContainer(COMPARISON &comparison);

    // Closes the window once it has painted for the first time (the program's smoke test).
    void CloseAfterFirstPaint() { m_closeAfterPaint = true; }

private:
    // Marks a long operation that pumps messages: input waits, the wait cursor shows, and a
    // close asked for meanwhile is carried out when the last one ends.
    class BusyScope;
    void BeginBusy();
    void EndBusy();

    // Replaces the whole stack by one new empty comparison.
    void ResetStack();
    // Makes the top comparison the display's, refreshing it when it was never compared.
    void ShowTop();
    void FocusCheck();
    void DropFiles(MessageParam count, MessageParam point);
    void Moved(MessageParam corner);
    int Sized(MessageParam kind, MessageParam size);
    void ToggleOption(std::uint32_t bit);
    void UpdateCheckMarks();
    void SetSingleSideView(std::uint16_t view);
    void SwapSides();
    int CompareAgain();
    // Marks every listed pair whose contents differ; -1 when cancelled.
    int BinaryComparison();

    SETTINGS &m_settings;
    std::string m_caption;
    int m_cursorKind = kCursorArrow;
    std::vector<std::unique_ptr<COMPARISON>> m_stack; // bottom first
    std::unique_ptr<DISPWINDOW> m_display;
    MODESTACK m_modes;
    std::unique_ptr<MENU> m_menu;
    std::string m_searchText;
    bool m_searchDown = true;
    bool m_matchCase = false;
    bool m_creating = false;
    // A long operation is running and pumps messages: input and closing wait for it.
    int m_busy = 0;
    bool m_closePending = false;
    bool m_closeAfterPaint = false;
    // The comparison whose vanished or changed file the user was last told about, and what
    // was found: the focus that comes back as the message box closes, and every later one,
    // asks no more about the same finding. A refresh or a new comparison forgets it.
    const COMPARISON *m_toldComparison = nullptr;
    OpResult m_toldAnswer = kOk;
};
