#include "gui/mainwindow.h"

#include "core/locale_settings.h"
#include "core/status_io.h"
#include "engine/baseitem.h"
#include "engine/comparison.h"
#include "engine/directoryobject.h"
#include "gui/dispmode.h"
#include "gui/dispwindow.h"
#include "gui/settings.h"
#include "toolkit/desktop.h"
#include "toolkit/devicecontext.h"
#include "toolkit/menu.h"
#include "toolkit/topwindow.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <iterator>

namespace {

using enum MenuEntryKind;

// The menu "KESTA". The view options are reached by position: the fifth pop-up, its fifth
// item (kOptionsMenuPosition, kViewMenuPosition).
constexpr MenuEntry kMenuTable[] = {
    {kPopup, "&File"},
    {kItem, "&Select Files/Directories...\tF3", kCmdSelectFiles},
    {kItem, "Save &Modifications...\tF2", kCmdSaveModifications},
    {kSeparator},
    {kItem, "Pr&int...", kCmdPrint},
    {kSeparator},
    {kItem, "E&xit\tAlt+X", kCmdExit},
    {kEnd},
    {kPopup, "&Edit"},
    {kItem, "&Copy\tCtrl+C", kCmdCopy},
    {kItem, "&Paste\tCtrl+V", kCmdPaste},
    {kItem, "C&lear\tDel", kCmdClear},
    {kItem, "&Undo", kCmdUndo},
    {kEnd},
    {kPopup, "&Search"},
    {kItem, "&Find...\tCtrl+F", kCmdFind},
    {kItem, "Find &Again", kCmdFindAgain},
    {kEnd},
    {kPopup, "&Compare"},
    {kItem, "&Directory Comparison\tEsc", kCmdBack},
    {kItem, "&Refresh", kCmdRefresh},
    {kItem, "&Close", kCmdClose},
    {kItem, "S&wap Sides", kCmdSwapSides},
    {kSeparator},
    {kItem, "&Next Files\tCtrl+PgDn", kCmdNextFiles},
    {kItem, "&Previous Files\tCtrl+PgUp", kCmdPreviousFiles},
    {kSeparator},
    {kItem, "&Next Difference\tTab", kCmdNextDifference},
    {kItem, "&Previous Difference\tBkSp", kCmdPreviousDifference},
    {kSeparator},
    {kItem, "&Binary Comparison\tCtrl+B", kCmdBinaryComparison},
    {kEnd},
    {kPopup, "&Options"},
    {kItem, "&Directory Comparison...", kCmdDirectoryOptions},
    {kItem, "&File Comparison...", kCmdFileOptions},
    {kItem, "F&onts...", kCmdFonts},
    {kPopup, "&Colors"},
    {kItem, "&Normal Foreground...", kCmdFirstColour},
    {kItem, "N&ormal Background...", kCmdFirstColour + 1},
    {kItem, "&Difference Foreground...", kCmdFirstColour + 2},
    {kItem, "D&ifference Background...", kCmdFirstColour + 3},
    {kItem, "&Inline Difference Foreground...", kCmdFirstColour + 4},
    {kItem, "In&line Difference Background...", kCmdFirstColour + 5},
    {kItem, "&Modified Foreground...", kCmdFirstColour + 6},
    {kItem, "Mo&dified Background...", kCmdLastColour},
    {kEnd},
    {kPopup, "&View"},
    {kItem, "&Left file\tF5", kCmdLeftFile},
    {kItem, "&Right file\tF6", kCmdRightFile},
    {kItem, "&Split screen\tF4", kCmdSplitScreen},
    {kItem, "&Center separator", kCmdCenterSeparator},
    {kSeparator},
    {kItem, "&Hide Matching Areas\tF7", kCmdHideMatching},
    {kItem, "&Line Numbers\tF8", kCmdLineNumbers},
    {kItem, "&Show Inline Differences", kCmdInlineDifferences},
    {kItem, "&Adjust Columns", kCmdAdjustColumns},
    {kSeparator},
    {kItem, "&Left Scroll\tLeft", kCmdLeftScroll},
    {kItem, "&Right Scroll\tRight", kCmdRightScroll},
    {kItem, "&Start of Line\tHome", kCmdStartOfLine},
    {kItem, "&End of Line\tEnd", kCmdEndOfLine},
    {kEnd},
    {kEnd},
    {kPopup, "&Help"},
    {kItem, "&Index\tF1", kCmdHelpIndex},
    {kItem, "&Search...", kCmdHelpSearch},
    {kItem, "&Description", kCmdHelpDescription},
    {kSeparator},
    {kItem, "&About...", kCmdAbout},
    {kEnd},
};

// The accelerator table "KESTA".
constexpr Accelerator kAccelerators[] = {
    {0, kVkDelete, kCmdClear},
    {0, kVkEnd, kCmdEndOfLine},
    {kAccelControl, kVkEnd, kCmdBottom},
    {0, kVkF1, kCmdHelpIndex},
    {0, kVkF2, kCmdSaveModifications},
    {0, kVkF7, kCmdHideMatching},
    {0, kVkF8, kCmdLineNumbers},
    {0, kVkHome, kCmdStartOfLine},
    {kAccelControl, kVkHome, kCmdTop},
    {kAccelControl, kVkInsert, kCmdCopy},
    {kAccelControl, kVkA + ('C' - 'A'), kCmdCopy},
    {kAccelShift, kVkInsert, kCmdPaste},
    {kAccelControl, kVkA + ('V' - 'A'), kCmdPaste},
    {kAccelControl, kVkA + ('F' - 'A'), kCmdFind},
    {kAccelAlt, kVkA + ('X' - 'A'), kCmdExit},
    {kAccelControl, kVkA + ('B' - 'A'), kCmdBinaryComparison},
};

// The keys the modes pass on, searched in order; a row with a modifier matches only while
// it is held, a row without matches either way.
struct KeyRow
{
    int key;
    bool control;
    unsigned message; // kMsgCommand or kMsgVScroll
    int code;         // command id or scroll code
};
constexpr KeyRow kKeyTable[] = {
    {kVkF3, false, kMsgCommand, kCmdSelectFiles},
    {kVkPrior, true, kMsgCommand, kCmdPreviousFiles},
    {kVkNext, true, kMsgCommand, kCmdNextFiles},
    {kVkPrior, false, kMsgVScroll, kSbPageUp},
    {kVkNext, false, kMsgVScroll, kSbPageDown},
    {kVkUp, false, kMsgVScroll, kSbLineUp},
    {kVkDown, false, kMsgVScroll, kSbLineDown},
    {kVkAdd, false, kMsgVScroll, kSbNextDifference},
    {kVkSubtract, false, kMsgVScroll, kSbPreviousDifference},
    {kVkTab, false, kMsgVScroll, kSbNextDifference},
    {kVkBack, false, kMsgVScroll, kSbPreviousDifference},
    {kVkF4, false, kMsgCommand, kCmdSplitScreen},
    {kVkF5, false, kMsgCommand, kCmdLeftFile},
    {kVkF6, false, kMsgCommand, kCmdRightFile},
    {kVkLeft, false, kMsgCommand, kCmdLeftScroll},
    {kVkRight, false, kMsgCommand, kCmdRightScroll},
};

// While the sides load, the window stays responsive: pending messages are handled between
// the steps (the window answers no input meanwhile, see m_busy). The engine asks often, so
// messages are handled at most every few milliseconds.
class PumpingStatus : public STATUS_IO
{
public:
    PumpingStatus() : STATUS_IO(1) {}
    void ShowMessage(const char * /*text*/) override { Pump(/*now=*/true); }
    std::int16_t CheckCancel() override
    {
        Pump(/*now=*/false);
        return 0;
    }
    std::int16_t ShowProgress(std::int64_t /*total*/, std::int64_t /*done*/) override
    {
        Pump(/*now=*/false);
        return 0;
    }

private:
    void Pump(bool now)
    {
        constexpr auto kInterval = std::chrono::milliseconds(30);
        const auto time = std::chrono::steady_clock::now();
        if (!now && time - m_last < kInterval)
            return;
        m_last = time;
        PumpMessages();
    }

    std::chrono::steady_clock::time_point m_last{};
};

// The check for files changed on disk must not run again while its own question is up.
bool g_focusCheckBusy = false;

} // namespace

static bool IsInputMessage(unsigned message)
{
    switch (message) {
    case kMsgKeyDown:
    case kMsgKeyUp:
    case kMsgCommand:
    case kMsgHScroll:
    case kMsgVScroll:
    case kMsgMouseMove:
    case kMsgLButtonDown:
    case kMsgLButtonUp:
    case kMsgLButtonDblClk:
    case kMsgRButtonDown:
    case kMsgRButtonUp:
    case kMsgRButtonDblClk:
    case kMsgMouseWheel:
    case kMsgDropFiles:
    case kMsgClose:
    case kMsgSetFocus:
    case kMsgKillFocus:
        return true;
    default:
        return false;
    }
}

class MAINWINDOW::BusyScope
{
public:
    explicit BusyScope(MAINWINDOW &window) : m_window(window) { m_window.BeginBusy(); }
    ~BusyScope() { m_window.EndBusy(); }
    BusyScope(const BusyScope &) = delete;
    BusyScope &operator=(const BusyScope &) = delete;

private:
    MAINWINDOW &m_window;
};

void MAINWINDOW::BeginBusy()
{
    if (m_busy++ == 0)
        SetCursorShape(m_hWnd, CursorShape::kWait);
}

void MAINWINDOW::EndBusy()
{
    if (--m_busy > 0)
        return;
    SetCursorShape(m_hWnd, CursorShape::kArrow);
    if (m_closePending) {
        m_closePending = false;
        PostMessage(kMsgClose, 0, 0);
    }
}

int RegisterMainWindowClass()
{
    return RegisterWindowClass(kMainWindowClass, /*opaque=*/true);
}

MAINWINDOW::MAINWINDOW(SETTINGS &settings) : m_settings(settings) {}

MAINWINDOW::~MAINWINDOW()
{
    m_modes.Clear();
    m_display.reset();
    while (!m_stack.empty())
        m_stack.pop_back();
    if (m_hWnd != nullptr)
        DeleteTopLevelWindow(m_hWnd);
}

bool MAINWINDOW::Create()
{
    m_caption = kMainCaption;
    m_searchText.clear();
    m_searchDown = true;
    m_matchCase = false;
    ResetStack();

    m_creating = true;
    if (RegisterMainWindowClass() == 0
        || CreateTopLevelWindow(kMainWindowClass, this, m_settings.xLeft, m_settings.yTop,
                                m_settings.cxWidth, m_settings.cyHeight)
               == nullptr) {
        m_creating = false;
        return false;
    }
    SetTopLevelCaption(m_hWnd, m_caption.c_str());
    m_menu = MENU::FromTable(kMenuTable);
    SetWindowMenu(*this, *m_menu);
    SetWindowAccelerators(*this, kAccelerators);
    UpdateCheckMarks();

    m_display = std::make_unique<DISPWINDOW>(&Top(), *this, m_settings);
    SetCursorKind(kCursorArrow);
    AcceptDroppedFiles(true);
    m_creating = false;

    ShowTopLevelWindow(m_hWnd, m_settings.zoomed != 0);
    m_display->Resize(ClientWidth(), ClientHeight());
    Invalidate();
    return true;
}

void MAINWINDOW::SendCommand(int id)
{
    SendMessage(kMsgCommand, MakeParam(id, 0), 0);
}

int MAINWINDOW::MessageHandler(unsigned message)
{
    const MessageParam first = m_wParam;
    const MessageParam second = m_lParam;
    if (m_busy > 0 && IsInputMessage(message)) {
        if (message == kMsgClose)
            m_closePending = true;
        return 0;
    }
    if (message != kMsgPaint && message != kMsgDestroy && message != kMsgCreate) {
        if (m_modes.Dispatch(*this, message, first, second) != kModeNotHandled)
            return 0;
    }
    switch (message) {
    case kMsgCreate:
    case kMsgKeyUp:
    case kMsgLButtonDown:
    case kMsgLButtonUp:
    case kMsgLButtonDblClk:
        return 0;
    case kMsgDestroy:
        // A profile that cannot be written keeps the old settings; nothing else is lost.
        (void)m_settings.Save();
        PostQuitMessage(0);
        return 0;
    case kMsgMove:
        Moved(second);
        return 0;
    case kMsgSize:
        return Sized(first, second);
    case kMsgSetFocus:
        FocusCheck();
        return 0;
    case kMsgKillFocus:
        if (!g_focusCheckBusy) {
            // What the files look like now is what the next focus check compares with.
            for (ITEM *side : {&Top().Left(), &Top().Right()})
                if (side->Object() != nullptr)
                    side->Object()->Close();
        }
        return 0;
    case kMsgClose:
        if (SavePrompt() != kIdCancel)
            DestroyTopLevelWindow(m_hWnd);
        return 0;
    case kMsgSettingChange:
        LoadLocaleSettings();
        if (m_display)
            m_display->InvalidateTextCache();
        Invalidate();
        return 0;
    case kMsgHScroll:
    case kMsgVScroll:
        if (m_display) {
            if (message == kMsgVScroll)
                m_display->VerticalScroll(LowWord(first), HighWord(first));
            else {
                m_display->HorizontalScroll(LowWord(first), HighWord(first));
                Invalidate();
            }
        }
        return 0;
    case kMsgRButtonDblClk:
        SendCommand(kCmdBack);
        return 0;
    case kMsgMouseWheel: {
        // One notch forward (120) scrolls up one line; less than a notch nothing.
        constexpr int kWheelNotch = -120;
        const int lines = SignedHighWord(first) / kWheelNotch;
        if (m_display && lines != 0)
            m_display->ScrollByLines(lines, false);
        return 0;
    }
    case kMsgDropFiles:
        DropFiles(first, second);
        return 0;
    default:
        return 1;
    }
}

void MAINWINDOW::Paint(DEVICECONTEXT &dc)
{
    // While the sides load, their rows are not to be read: only the background shows.
    if (m_display && m_busy == 0)
        m_display->Paint(dc);
    else
        dc.FillRect(dc.m_clip, m_settings.normBackground);
    if (m_closeAfterPaint) {
        m_closeAfterPaint = false;
        PostMessage(kMsgClose, 0, 0);
    }
}

int MAINWINDOW::Command()
{
    const int id = LowWord(m_wParam);
    switch (id) {
    case kCmdExit:
        PostMessage(kMsgClose, 0, 0);
        break;
    case kCmdSelectFiles:
        // The Select Files/Directories dialog comes with the dialogs.
        return 0;
    case kCmdSwapSides:
        SwapSides();
        break;
    case kCmdBack:
        if (SavePrompt() != kIdCancel)
            Back();
        break;
    case kCmdClose:
        m_modes.Clear();
        ResetStack();
        if (m_display) {
            m_display->SetComparison(&Top());
            m_display->SetRowCount(-1);
            m_display->SetHorizontalOffset(0);
            m_display->LayOut();
        }
        break;
    case kCmdRefresh:
        if (SavePrompt() != kIdCancel)
            Refresh();
        break;
    case kCmdNextFiles:
    case kCmdPreviousFiles:
        if (SavePrompt() != kIdCancel)
            WalkFiles(id == kCmdNextFiles);
        break;
    case kCmdCompareAgain:
        CompareAgain();
        break;
    case kCmdLeftFile:
        SetSingleSideView(kSideLeft);
        break;
    case kCmdRightFile:
        SetSingleSideView(kSideRight);
        break;
    case kCmdSplitScreen:
        SetSingleSideView(kSideNone);
        break;
    case kCmdCenterSeparator:
        if (m_display) {
            if (m_display->Separator() != m_display->Width() / 2) {
                m_display->SetSeparator(m_display->Width() / 2);
                Invalidate();
            }
            SendMessage(kMsgHScroll, MakeParam(kSbLineStart, 0), 0);
        }
        break;
    case kCmdHideMatching:
        ToggleOption(kOptShowAll);
        break;
    case kCmdTop:
        SendMessage(kMsgVScroll, MakeParam(kSbTop, 0), 0);
        break;
    case kCmdBottom:
        SendMessage(kMsgVScroll, MakeParam(kSbBottom, 0), 0);
        break;
    case kCmdAdjustColumns:
        Top().ResetColumns();
        if (m_display)
            m_display->InvalidateTextCache();
        break;
    case kCmdNextDifference:
    case kCmdPreviousDifference:
        SendMessage(kMsgVScroll, MakeParam(id, 0), 0);
        break;
    case kCmdLeftScroll:
    case kCmdRightScroll:
    case kCmdStartOfLine:
    case kCmdEndOfLine:
        SendMessage(kMsgHScroll, MakeParam(id, 0), 0);
        break;
    case kCmdLineNumbers:
        ToggleOption(kOptLineNumbers);
        break;
    case kCmdBinaryComparison:
        BinaryComparison();
        break;
    case kCmdInlineDifferences:
        ToggleOption(kOptInlineDifferences);
        break;
    default:
        // Editing, the dialogs, printing, colours, fonts, help and the binary comparison
        // come later; until then their commands do nothing.
        return 0;
    }
    Invalidate();
    return 0;
}

void MAINWINDOW::ResetStack()
{
    m_toldComparison = nullptr;
    m_stack.clear();
    m_stack.push_back(std::make_unique<COMPARISON>(m_settings.compare, this));
}

void MAINWINDOW::SetSide(int side, std::string_view path, std::string_view exclusions)
{
    const bool left = side != kSideRight;
    ITEM &item = left ? Top().Left() : Top().Right();
    item.SetPath(path);
    item.SetExclusions(exclusions);
    (left ? Top().LeftPath() : Top().RightPath()).Parse(path);
    HISTORYLIST &history = left ? m_settings.leftHistory : m_settings.rightHistory;
    history.SetCurrent(path);
    history.RememberCurrent();
}

// What the box says when a comparison could not be run. A side that cannot be read names what
// could not be read (the side, or a folder in its tree) and why; a side that is gone, a cancel
// or a failed comparison: the file is no longer available.
static STRING RunFailureText(const COMPARISON &comparison)
{
    for (const ITEM *side : {&comparison.Left(), &comparison.Right()}) {
        if (!side->LoadFailed())
            continue;
        if (side->LoadError() == 0 || side->LoadError() == ENOENT)
            break;
        return side->ErrorPath() + ": " + side->ErrorText();
    }
    return kFileGoneText;
}

int MAINWINDOW::Refresh()
{
    COMPARISON &top = Top();
    m_toldComparison = nullptr;
    OpResult result = kOk;
    {
        BusyScope busy(*this);
        if (m_display) {
            m_display->SetRowCount(0);
            m_display->SetHorizontalOffset(0);
        }
        top.SetCurrentRow(-1);
        top.SetMark(-1, -1);
        PumpingStatus status;
        result = top.Run(&status);
    }
    if (result != kOk) {
        // Rows of a side that did not load must not be shown against what is left of it.
        top.Result().Clear();
        MessageBox(m_hWnd, RunFailureText(top).c_str(), m_caption.c_str(),
                   kMbIconExclamation | kMbOk);
        SendCommand(kCmdBack);
    }
    RebuildDisplay();
    return result != kOk ? -1 : 0;
}

void MAINWINDOW::RebuildDisplay()
{
    m_modes.Clear();
    m_modes.Push(std::make_unique<DISPMODE>(*this));
    // A hint about the rows shown before is stale now.
    ShowStatus(nullptr);
    if (m_display) {
        m_display->SetComparison(&Top());
        m_display->Rebuild();
    }
    Invalidate();
}

void MAINWINDOW::ShowTop()
{
    COMPARISON &top = Top();
    if (m_display)
        m_display->SetComparison(&top);
    if (top.Left().Object() == nullptr || top.Right().Object() == nullptr) {
        Refresh();
        return;
    }
    // The row the user came back from stays in sight.
    const std::int64_t current = top.CurrentRow();
    if (current >= 0 && m_display) {
        std::int64_t shownBefore = 0;
        for (std::int64_t row = top.TopRow(); row < current; ++row)
            if (m_display->RowIsShown(row))
                ++shownBefore;
        if (current < top.TopRow() || shownBefore >= m_display->LinesPerPage())
            top.SetTopRow(current);
    }
    RebuildDisplay();
}

void MAINWINDOW::Back()
{
    if (m_stack.size() <= 1)
        return;
    m_modes.Clear();
    m_stack.pop_back();
    ShowTop();
}

bool MAINWINDOW::IsContainer(COMPARISON &comparison)
{
    for (ITEM *side : {&comparison.Left(), &comparison.Right()})
        if (side->IsContainer() || side->IsArchive())
            return true;
    return false;
}

int MAINWINDOW::OpenEntry(std::int64_t row)
{
    COMPARISON &top = Top();
    if (row < 0 || row >= top.Result().Count())
        return 1;
    std::unique_ptr<COMPARISON> opened;
    {
        BusyScope busy(*this);
        PumpingStatus status;
        opened = top.OpenRow(row, &status);
    }
    if (!opened) {
        MessageBox(m_hWnd, top.ErrorText().c_str(), kErrorCaption, kMbIconExclamation | kMbOk);
        return 2;
    }
    m_stack.push_back(std::move(opened));
    if (m_display)
        m_display->SetComparison(&Top());
    // A pair that cannot be compared has gone back already.
    if (Refresh() != 0)
        return -1;
    if (m_display && IsContainer(Top()))
        m_display->SetCurrentLine(0, kSideBoth);
    return 0;
}

int MAINWINDOW::WalkFiles(bool forward)
{
    if (m_stack.size() < 2)
        return 1;
    COMPARISON &parent = *m_stack[m_stack.size() - 2];
    if (parent.Left().Object() == nullptr || parent.Right().Object() == nullptr
        || !IsContainer(parent))
        return 1;
    const std::int64_t current = parent.CurrentRow();
    if (!forward && current < 0)
        return 1;
    const std::int64_t count = parent.Result().Count();
    const std::int64_t step = forward ? 1 : -1;
    std::int64_t row = forward ? (current >= 0 ? current + 1 : 0) : current - 1;
    for (; row >= 0 && row < count; row += step) {
        const DiffEntry &entry = *parent.Result().Entry(row);
        if (entry.left >= 0 && entry.right >= 0
            && (entry.flags & (kEntryDiffers | kEntryShown)) != 0)
            break;
    }
    if (row < 0 || row >= count)
        return 1;
    std::unique_ptr<COMPARISON> opened;
    {
        BusyScope busy(*this);
        PumpingStatus status;
        opened = parent.OpenRow(row, &status);
    }
    if (!opened)
        return 1;
    m_modes.Clear();
    m_stack.back() = std::move(opened);
    if (m_display)
        m_display->SetComparison(&Top());
    Refresh();
    return 0;
}

int MAINWINDOW::SavePrompt()
{
    // Nothing can be modified before editing exists, so there is nothing to ask.
    return 0;
}

bool MAINWINDOW::KeyHandling(int key, bool controlHeld)
{
    for (const KeyRow &row : kKeyTable) {
        if (row.key != key || (row.control && !controlHeld))
            continue;
        SendMessage(row.message, MakeParam(row.code, 0), 0);
        return true;
    }
    return false;
}

void MAINWINDOW::SetCursorKind(int kind)
{
    m_cursorKind = kind;
    CursorShape shape = CursorShape::kArrow;
    switch (kind) {
    case kCursorSizeWestEast:
        shape = CursorShape::kSizeWestEast;
        break;
    case kCursorSizeNorthSouth:
        shape = CursorShape::kSizeNorthSouth;
        break;
    case kCursorText:
        shape = CursorShape::kIBeam;
        break;
    case kCursorDrag:
        shape = CursorShape::kDrag;
        break;
    case kCursorWait:
        shape = CursorShape::kWait;
        break;
    default:
        break; // the arrow, also for "no drop" until the toolkit has that shape
    }
    SetCursorShape(m_hWnd, shape);
}

void MAINWINDOW::ShowStatus(const char *text)
{
    if (m_display)
        m_display->SetStatusText(text);
    SetTopLevelStatusText(m_hWnd, text);
}

void MAINWINDOW::FocusCheck()
{
    if (g_focusCheckBusy)
        return;
    g_focusCheckBusy = true;
    const OpResult answer = Top().ChangedOnDisk();
    if (answer == kOk) {
        m_toldComparison = nullptr;
    } else if (&Top() != m_toldComparison || answer != m_toldAnswer) {
        if (answer == kChangedOnDisk) {
            const int choice = MessageBox(m_hWnd, kFileModifiedText, m_caption.c_str(),
                                          kMbSystemModal | kMbIconExclamation | kMbYesNo);
            if (choice == kIdYes)
                Refresh();
            else
                Back();
        } else {
            MessageBox(m_hWnd, kFileGoneText, m_caption.c_str(),
                       kMbSystemModal | kMbIconExclamation | kMbOk);
            Back();
        }
        // What is shown now may still answer the same (No at the bottom of the stack, a side
        // that is gone): remember it, so that the question does not come straight back.
        m_toldAnswer = Top().ChangedOnDisk();
        m_toldComparison = m_toldAnswer != kOk ? &Top() : nullptr;
    }
    g_focusCheckBusy = false;
}

void MAINWINDOW::DropFiles(MessageParam count, MessageParam point)
{
    const std::vector<std::string> &dropped = DroppedFiles();
    const std::size_t taken = std::min<std::size_t>({count, dropped.size(), 2});
    if (taken == 0)
        return;
    std::string left = Top().Left().Text();
    std::string right = Top().Right().Text();
    if (taken == 1) {
        const int side = m_display ? m_display->SideAt(SignedLowWord(point)) : kSideLeft;
        (side == kSideRight ? right : left) = dropped[0];
    } else {
        left = dropped[0];
        right = dropped[1];
    }
    m_modes.Clear();
    ResetStack();
    // A drop leaves the histories as they are.
    COMPARISON &top = Top();
    top.Left().SetPath(left);
    top.Left().SetExclusions(m_settings.leftExclusionHistory.Current());
    top.LeftPath().Parse(left);
    top.Right().SetPath(right);
    top.Right().SetExclusions(m_settings.rightExclusionHistory.Current());
    top.RightPath().Parse(right);
    if (m_display)
        m_display->SetComparison(&top);
    SendCommand(kCmdRefresh);
}

void MAINWINDOW::Moved(MessageParam corner)
{
    if (IsWindowMaximized(m_hWnd) || IsWindowMinimized(m_hWnd))
        return;
    const FrameMetrics metrics = MetricsOf(m_hWnd);
    m_settings.xLeft = SignedLowWord(corner) - metrics.frameWidth;
    m_settings.yTop
        = SignedHighWord(corner) - metrics.frameHeight - metrics.menuHeight - metrics.captionHeight;
}

int MAINWINDOW::Sized(MessageParam kind, MessageParam size)
{
    if (m_creating || size == 0)
        return 0;
    if (kind == kSizeMinimized || IsWindowMinimized(m_hWnd))
        return 1;
    const int width = LowWord(size);
    const int height = HighWord(size);
    const bool maximized = kind == kSizeMaximized || IsWindowMaximized(m_hWnd);
    m_settings.zoomed = maximized ? 1 : 0;
    if (!maximized) {
        const FrameMetrics metrics = MetricsOf(m_hWnd);
        const bool rows = m_display && m_display->RowCount() > 0;
        m_settings.cxWidth
            = width + 2 * metrics.frameWidth + (rows ? metrics.verticalScrollBarWidth : 0);
        m_settings.cyHeight = height + 2 * metrics.frameHeight + metrics.menuHeight
                              + metrics.statusHeight + metrics.captionHeight
                              + (rows ? metrics.horizontalScrollBarHeight : 0);
    }
    // Last: laying out may show or hide a scroll bar, whose own size message (handled inside
    // this call) holds the newer size and must not be overwritten by this older one.
    if (m_display)
        m_display->Resize(width, height);
    return 0;
}

void MAINWINDOW::ToggleOption(std::uint32_t bit)
{
    m_settings.compare.optionBits ^= bit;
    UpdateCheckMarks();
    if (!m_display)
        return;
    if (bit == kOptLineNumbers) {
        m_display->ComputeLineNumberWidth();
        m_display->LayOut();
    } else if (bit == kOptShowAll && (m_settings.compare.optionBits & kOptShowAll) == 0) {
        // With nothing shown at or after the top, the view backs up to the last shown row.
        COMPARISON &top = Top();
        const std::int64_t count = top.Result().Count();
        std::int64_t row = top.TopRow();
        while (row < count && !m_display->RowIsShown(row))
            ++row;
        if (row >= count) {
            for (row = std::min(top.TopRow(), count) - 1; row >= 0; --row)
                if (m_display->RowIsShown(row)) {
                    top.SetTopRow(row);
                    break;
                }
        }
        m_display->LayOut();
    }
}

void MAINWINDOW::UpdateCheckMarks()
{
    MENU *options = m_menu ? m_menu->SubMenu(kOptionsMenuPosition) : nullptr;
    MENU *view = options != nullptr ? options->SubMenu(kViewMenuPosition) : nullptr;
    if (view == nullptr)
        return;
    const std::uint32_t bits = m_settings.compare.optionBits;
    view->CheckItem(kCmdLineNumbers, (bits & kOptLineNumbers) != 0);
    view->CheckItem(kCmdHideMatching, (bits & kOptShowAll) == 0);
    view->CheckItem(kCmdInlineDifferences, (bits & kOptInlineDifferences) != 0);
}

void MAINWINDOW::SetSingleSideView(std::uint16_t view)
{
    if (Top().SingleSideView() != view)
        Top().SetSingleSideView(view);
}

// Exchanges what two histories hold; their names stay, so each is still stored under its own.
static void SwapHistories(HISTORYLIST &a, HISTORYLIST &b)
{
    const STRING current = a.Current();
    a.SetCurrent(b.Current());
    b.SetCurrent(current);
    for (int entry = 1; entry <= kHistoryEntries; ++entry) {
        const STRING kept = a.Entry(entry);
        a.SetEntry(entry, b.Entry(entry));
        b.SetEntry(entry, kept);
    }
}

void MAINWINDOW::SwapSides()
{
    if (!m_display || m_display->RowCount() <= 0)
        return;
    SwapHistories(m_settings.leftHistory, m_settings.rightHistory);
    SwapHistories(m_settings.leftExclusionHistory, m_settings.rightExclusionHistory);
    Top().SwapSides();
    Refresh();
}

int MAINWINDOW::CompareAgain()
{
    if (m_display) {
        m_display->SetRowCount(0);
        m_display->SetHorizontalOffset(0);
    }
    OpResult result = kOk;
    {
        BusyScope busy(*this);
        result = Top().ReCompare();
    }
    RebuildDisplay();
    return result != kOk ? -1 : 0;
}

int MAINWINDOW::BinaryComparison()
{
    COMPARISON &top = Top();
    auto *left = dynamic_cast<DIRECTORYOBJECT *>(top.Left().Object());
    const BASEITEM *right = top.Right().Object();
    if (left == nullptr || right == nullptr || !left->IsListing() || !right->IsListing())
        return 0;
    BusyScope busy(*this);
    PumpingStatus status;
    DIFFLIST &rows = top.Result();
    const std::int64_t count = rows.Count();
    for (std::int64_t row = 0; row < count; ++row) {
        DiffEntry &entry = *rows.Entry(row);
        // A pair already marked keeps its mark; an entry on one side only needs no reading.
        if (entry.left >= 0 && entry.right >= 0 && (entry.flags & kEntryDiffers) == 0
            && left->RowDiffers(entry.left, entry.right, m_settings.compare) != 0)
            entry.flags |= kEntryDiffers;
        if (status.ShowProgress(count, row + 1) != 0 || status.CheckCancel() != 0)
            return -1;
    }
    if (m_display)
        m_display->InvalidateTextCache();
    return 0;
}
