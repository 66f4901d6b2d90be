#include "engine/comparison.h"
#include "gui/dispmode.h"
#include "gui/dispwindow.h"
#include "gui/mainwindow.h"
#include "gui/settings.h"
#include "support/test_support.h"
#include "tests/toolkit/toolkit_test_application.h"
#include "toolkit/desktop.h"
#include "toolkit/menu.h"
#include "toolkit/topwindow.h"

#include <gtest/gtest.h>
#include <string>
#include <utime.h>

using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

// A gesture: takes button-up as its end, passes keys on, and can clear the whole stack.
class GestureMode : public WINMODE
{
public:
    GestureMode(MAINWINDOW &owner, int &alive) : WINMODE(owner), m_alive(alive) { ++m_alive; }
    ~GestureMode() override { --m_alive; }
    int MessageHandler(unsigned message) override
    {
        ++messages;
        if (message == kMsgLButtonUp)
            return kModeFinished;
        if (message == kMsgRButtonUp) {
            // Showing another comparison clears the modes while this handler runs.
            m_owner.RebuildDisplay();
            return kModeHandled;
        }
        return WINMODE::MessageHandler(message);
    }
    int messages = 0;

private:
    int &m_alive;
};

class ModeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TestApplication();
        SetMessageBoxHook([](const std::string &, const std::string &, unsigned) { return 1; });
        settings.cxWidth = 800;
        settings.cyHeight = 500;
        settings.compare.sortMode = 1;
        ASSERT_TRUE(window.Create());
    }
    void TearDown() override { SetMessageBoxHook(nullptr); }

    void Compare(const std::string &left, const std::string &right)
    {
        window.SetSide(kSideLeft, left, "");
        window.SetSide(kSideRight, right, "");
        ASSERT_EQ(window.Refresh(), 0);
        // As the first paint does.
        window.Display()->FillVisibleLines(false);
    }
    // The packed position of the middle of a visible line on a side.
    MessageParam OnLine(int line, int side) const
    {
        const DISPWINDOW &display = *window.Display();
        const int x = side == kSideLeft ? display.Separator() / 2
                                        : (display.Separator() + display.Width()) / 2;
        return MakeParam(x, display.TextTop() + line * display.LineHeight()
                                + display.LineHeight() / 2);
    }
    void Click(unsigned message, MessageParam at, MessageParam keys = 0)
    {
        window.SendMessage(message, keys, at);
    }
    void Key(int key) { window.SendMessage(kMsgKeyDown, static_cast<MessageParam>(key), 1); }
    void MakeTrees()
    {
        for (const std::string side : {"left", "right"}) {
            WriteFile(dir / (side + "/a.txt"), side == "right" ? "a\nb\n" : "a\n");
            WriteFile(dir / (side + "/b.txt"), "b\n");
            for (const char *name : {"a.txt", "b.txt"}) {
                const utimbuf times{1'600'000'000, 1'600'000'000};
                utime((dir / (side + "/" + name)).c_str(), &times);
            }
        }
    }

    TempDir dir;
    SETTINGS settings{dir.Path()};
    MAINWINDOW window{settings};
};

TEST_F(ModeTest, GesturesEndThemselvesAndSurviveTheStackBeingCleared)
{
    WriteFile(dir / "one.txt", "a\nb\n");
    WriteFile(dir / "two.txt", "a\nc\n");
    Compare(dir / "one.txt", dir / "two.txt");
    ASSERT_EQ(window.Modes().Depth(), 1);
    int alive = 0;
    auto gesture = std::make_unique<GestureMode>(window, alive);
    GestureMode *pushed = gesture.get();
    window.Modes().Push(std::move(gesture));

    // Keys the gesture passes on go down the stack and on to the window.
    Key(kVkA);
    EXPECT_EQ(pushed->messages, 1);
    EXPECT_EQ(window.Modes().Depth(), 2);
    Click(kMsgLButtonUp, OnLine(0, kSideLeft));
    EXPECT_EQ(alive, 0);
    EXPECT_EQ(window.Modes().Depth(), 1);

    window.Modes().Push(std::make_unique<GestureMode>(window, alive));
    Click(kMsgRButtonUp, OnLine(0, kSideLeft));
    EXPECT_EQ(alive, 0);
    EXPECT_EQ(window.Modes().Depth(), 1);
    EXPECT_NE(dynamic_cast<DISPMODE *>(window.Modes().Top()), nullptr);
}

TEST_F(ModeTest, RowCodesFollowTheDisplayGeometry)
{
    WriteFile(dir / "one.txt", "a\nb\n");
    Compare(dir / "one.txt", dir / "one.txt");
    const DISPWINDOW &display = *window.Display();
    DISPMODE mode(window);
    struct Case
    {
        MessageParam position;
        int row;
    } cases[] = {
        {MakeParam(5, display.TextTop()), 0},
        {MakeParam(5, display.TextTop() + 2 * display.LineHeight() + 1), 2},
        {MakeParam(5, display.TextBottom()), kRowStatus},
        {MakeParam(5, display.HeaderBoundary() + 1), kRowHeader},
        {MakeParam(5, 1), kRowFileName},
        {1, kRowNoPosition}, // a key message's parameter
    };
    for (const Case &c : cases) {
        mode.TakeMessage(0, c.position);
        EXPECT_EQ(mode.RowCode(), c.row) << HighWord(c.position);
    }
    mode.TakeMessage(0, MakeParam(-3, display.TextTop() + 1));
    EXPECT_EQ(mode.X(), -3);
    EXPECT_EQ(mode.Y(), 1);
}

TEST_F(ModeTest, ClicksInAListTakeBothSidesAndOpenRows)
{
    MakeTrees();
    Compare(dir / "left", dir / "right");
    COMPARISON &list = window.Top();
    Click(kMsgLButtonDown, OnLine(1, kSideRight));
    EXPECT_EQ(list.CurrentRow(), 1);
    EXPECT_EQ(list.SelectedSides(), kSideBoth);
    Click(kMsgLButtonDown, OnLine(0, kSideRight), kMkShift);
    EXPECT_EQ(list.CurrentRow(), 0);
    EXPECT_EQ(list.SelectedSides(), kSideRight);

    // Double click opens the row, Esc goes back, Enter opens the current row.
    Click(kMsgLButtonDblClk, OnLine(0, kSideLeft));
    ASSERT_EQ(window.StackDepth(), 2u);
    Key(kVkEscape);
    ASSERT_EQ(window.StackDepth(), 1u);
    window.Display()->FillVisibleLines(false);
    Key(kVkReturn);
    EXPECT_EQ(window.StackDepth(), 2u);
}

TEST_F(ModeTest, DoubleClickInAFilePairTogglesMatchingAreasKeepingTheLine)
{
    std::string left;
    std::string right;
    for (int n = 1; n <= 40; ++n) {
        left += "line " + std::to_string(n) + "\n";
        right += (n == 30 ? "other " : "line ") + std::to_string(n) + "\n";
    }
    WriteFile(dir / "one.txt", left);
    WriteFile(dir / "two.txt", right);
    Compare(dir / "one.txt", dir / "two.txt");
    MENU *view = window.Menu()->SubMenu(kOptionsMenuPosition)->SubMenu(kViewMenuPosition);

    // A click takes only the side clicked in a file pair.
    Click(kMsgLButtonDown, OnLine(2, kSideRight));
    EXPECT_EQ(window.Top().SelectedSides(), kSideRight);

    // Line 30 differs; with matching areas hidden rows 26 to 32 remain. Row 28 is clicked on
    // the fifth line of the screen and stays current through both toggles.
    window.Display()->ScrollByLines(24, false);
    ASSERT_EQ(window.Display()->VisibleLineToRecord(4), 28);
    Click(kMsgLButtonDblClk, OnLine(4, kSideLeft));
    EXPECT_EQ(settings.compare.optionBits & kOptShowAll, 0u);
    EXPECT_TRUE(view->IsItemChecked(kCmdHideMatching));
    EXPECT_EQ(window.Top().CurrentRow(), 28);
    EXPECT_EQ(window.Top().SelectedSides(), kSideLeft);
    window.Display()->FillVisibleLines(false);
    EXPECT_EQ(window.Display()->RecordToVisibleLine(28), 2); // only two shown rows above it

    // Enter on the current line toggles back, keeping it on its screen line.
    Key(kVkReturn);
    EXPECT_NE(settings.compare.optionBits & kOptShowAll, 0u);
    EXPECT_FALSE(view->IsItemChecked(kCmdHideMatching));
    EXPECT_EQ(window.Top().CurrentRow(), 28);
    window.Display()->FillVisibleLines(false);
    EXPECT_EQ(window.Display()->RecordToVisibleLine(28), 2);
}

TEST_F(ModeTest, PointerHintsShowInTheStatusLine)
{
    WriteFile(dir / "one.txt", "first\n      indented\n");
    WriteFile(dir / "two.txt", "first\n      other\n");
    Compare(dir / "one.txt", dir / "two.txt");
    const DISPWINDOW &display = *window.Display();
    window.SendMessage(kMsgMouseMove, 0, OnLine(1, kSideRight));
    EXPECT_EQ(TopLevelStatusText(window.m_hWnd), "other");
    EXPECT_EQ(display.StatusText(), "other");
    window.SendMessage(kMsgMouseMove, 0, MakeParam(display.Separator() + 4, OnLine(0, 0) >> 16));
    EXPECT_EQ(TopLevelStatusText(window.m_hWnd), "click to move separator");
    EXPECT_EQ(window.CursorKind(), kCursorSizeWestEast);
    window.SendMessage(kMsgMouseMove, 0, MakeParam(10, display.TextBottom() + 1));
    EXPECT_EQ(TopLevelStatusText(window.m_hWnd), "");
    EXPECT_EQ(window.CursorKind(), kCursorArrow);
}

} // namespace
