#include "engine/comparison.h"
#include "gui/dispwindow.h"
#include "gui/mainwindow.h"
#include "gui/settings.h"
#include "support/test_support.h"
#include "tests/toolkit/toolkit_test_application.h"
#include "toolkit/desktop.h"
#include "toolkit/menu.h"
#include "toolkit/topwindow.h"
#include "toolkit/window_widget.h"

#include <QKeyEvent>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <utime.h>
#include <vector>

using testsupport::DeepFolder;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

// Lines "line 1" to "line n", with the numbers in `changed` written differently.
std::string NumberedLines(int count, const std::vector<int> &changed = {})
{
    std::string text;
    for (int n = 1; n <= count; ++n) {
        const bool differs = std::find(changed.begin(), changed.end(), n) != changed.end();
        text += (differs ? "changed " : "line ") + std::to_string(n) + "\n";
    }
    return text;
}

// The same modification time for every file, so that only sizes tell them apart.
void Touch(const std::string &path)
{
    constexpr time_t kWhen = 1'600'000'000;
    const utimbuf times{kWhen, kWhen};
    ASSERT_EQ(utime(path.c_str(), &times), 0) << path;
}

class MainWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TestApplication();
        char here[4096];
        ASSERT_NE(getcwd(here, sizeof here), nullptr);
        m_oldDirectory = here;
        // The profile lands in the configuration folder: kesta.ini is not in the work folder.
        setenv("XDG_CONFIG_HOME", (m_dir / "config").c_str(), 1);
        ASSERT_EQ(chdir(m_dir.Path().c_str()), 0);
        SetMessageBoxHook([this](const std::string &text, const std::string &caption, unsigned) {
            boxes.push_back(text);
            boxCaptions.push_back(caption);
            return boxAnswer;
        });
        settings = std::make_unique<SETTINGS>();
        settings->cxWidth = 800;
        settings->cyHeight = 500;
        settings->compare.sortMode = 1; // by name
        window = std::make_unique<MAINWINDOW>(*settings);
        ASSERT_TRUE(window->Create());
    }

    void TearDown() override
    {
        window.reset();
        SetMessageBoxHook(nullptr);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ASSERT_EQ(chdir(m_oldDirectory.c_str()), 0);
    }

    std::string Path(const std::string &name) const { return m_dir / name; }

    void Compare(const std::string &left, const std::string &right)
    {
        window->SetSide(kSideLeft, left, "");
        window->SetSide(kSideRight, right, "");
        ASSERT_EQ(window->Refresh(), 0);
    }

    void Key(int key) { window->SendMessage(kMsgKeyDown, static_cast<MessageParam>(key), 1); }
    void Command(int id) { window->SendCommand(id); }
    [[nodiscard]] MENU *ViewMenu() const
    {
        return window->Menu()->SubMenu(kOptionsMenuPosition)->SubMenu(kViewMenuPosition);
    }
    [[nodiscard]] std::int64_t TopRow() const { return window->Top().TopRow(); }

    // Two trees by name: a.txt and c.txt differ in size, b.txt and d.txt are the same.
    void MakeTrees()
    {
        for (const char *side : {"left", "right"}) {
            const bool right = std::string(side) == "right";
            WriteFile(Path(std::string(side) + "/a.txt"), right ? "a\nchanged\n" : "a\n");
            WriteFile(Path(std::string(side) + "/b.txt"), "b\n");
            WriteFile(Path(std::string(side) + "/c.txt"), right ? "c\nchanged\n" : "c\n");
            WriteFile(Path(std::string(side) + "/d.txt"), "d\n");
            for (const char *name : {"a.txt", "b.txt", "c.txt", "d.txt"})
                Touch(Path(std::string(side) + "/" + name));
        }
    }

    // The row of the list whose left entry is named name.
    std::int64_t RowNamed(const std::string &name) const
    {
        COMPARISON &list = window->Top();
        for (std::int64_t row = 0; row < list.Result().Count(); ++row) {
            const auto text = list.Left().Object()->RelativeName(list.Result().Entry(row)->left);
            if (text && *text == name)
                return row;
        }
        return -1;
    }

    TempDir m_dir;
    std::string m_oldDirectory;
    std::unique_ptr<SETTINGS> settings;
    std::unique_ptr<MAINWINDOW> window;
    std::vector<std::string> boxes;
    std::vector<std::string> boxCaptions;
    int boxAnswer = kIdOk;
};

TEST_F(MainWindowTest, MenuHoldsEveryCommandAndTheViewCheckMarksFollowTheOptions)
{
    const std::vector<int> ids = window->Menu()->CommandIds();
    for (int id : {101, 103, 104, 105, 106, 109, 110, 111, 112, 113, 114, 115, 116, 118, 121, 122,
                   123, 126, 127, 129, 131, 132, 133, 134, 135, 136, 137, 138, 141, 142, 143, 144,
                   145, 148, 150, 151, 152, 153, 154, 155, 168, 169, 202, 211, 212, 219})
        EXPECT_NE(std::find(ids.begin(), ids.end(), id), ids.end()) << id;
    EXPECT_EQ(window->Menu()->ItemText(kOptionsMenuPosition), "&Options");
    EXPECT_EQ(TopLevelCaption(window->m_hWnd), kMainCaption);

    // Defaults: matching areas shown, no line numbers, inline differences on.
    MENU *view = ViewMenu();
    EXPECT_FALSE(view->IsItemChecked(kCmdHideMatching));
    EXPECT_FALSE(view->IsItemChecked(kCmdLineNumbers));
    EXPECT_TRUE(view->IsItemChecked(kCmdInlineDifferences));

    Command(kCmdHideMatching);
    Command(kCmdInlineDifferences);
    EXPECT_EQ(settings->compare.optionBits & (kOptShowAll | kOptInlineDifferences), 0u);
    EXPECT_TRUE(view->IsItemChecked(kCmdHideMatching));
    EXPECT_FALSE(view->IsItemChecked(kCmdInlineDifferences));

    // F8 is an accelerator: a real key press on the window arrives as the command.
    QKeyEvent press(QEvent::KeyPress, Qt::Key_F8, Qt::NoModifier);
    QApplication::sendEvent(window->m_hWnd, &press);
    EXPECT_NE(settings->compare.optionBits & kOptLineNumbers, 0u);
    EXPECT_TRUE(view->IsItemChecked(kCmdLineNumbers));

    // Choosing from the menu works the same way.
    ASSERT_TRUE(window->Menu()->Choose(kCmdLineNumbers));
    EXPECT_EQ(settings->compare.optionBits & kOptLineNumbers, 0u);
}

TEST_F(MainWindowTest, KeysWalkDifferencesScrollAndChooseTheShownSides)
{
    std::vector<int> changed = {60, 120};
    WriteFile(Path("one.txt"), NumberedLines(200));
    WriteFile(Path("two.txt"), NumberedLines(200, changed));
    Compare(Path("one.txt"), Path("two.txt"));
    ASSERT_EQ(window->Top().Result().Count(), 200);

    // Tab goes to the next difference area, Backspace back to the one before.
    Key(kVkTab);
    const std::int64_t first = TopRow();
    EXPECT_GT(first, 0);
    EXPECT_LE(first, 59);
    Key(kVkTab);
    const std::int64_t second = TopRow();
    EXPECT_GT(second, first);
    EXPECT_LE(second, 119);
    Key(kVkBack);
    EXPECT_EQ(TopRow(), first);

    // The arrows scroll when no line is current.
    Key(kVkDown);
    EXPECT_EQ(TopRow(), first + 1);
    Key(kVkUp);
    EXPECT_EQ(TopRow(), first);

    // F5 and F6 show one side, F4 both.
    Key(kVkF5);
    EXPECT_EQ(window->Top().SingleSideView(), kSideLeft);
    Key(kVkF6);
    EXPECT_EQ(window->Top().SingleSideView(), kSideRight);
    Key(kVkF4);
    EXPECT_EQ(window->Top().SingleSideView(), kSideNone);

    // A key without a meaning is not used; Ctrl+Page Down is Next Files, which needs a list.
    EXPECT_FALSE(window->KeyHandling(kVkA, false));
    EXPECT_TRUE(window->KeyHandling(kVkNext, /*controlHeld=*/true));
    EXPECT_EQ(window->StackDepth(), 1u);
}

TEST_F(MainWindowTest, WheelScrollsWholeNotchesUpward)
{
    WriteFile(Path("one.txt"), NumberedLines(200));
    WriteFile(Path("two.txt"), NumberedLines(200, {100}));
    Compare(Path("one.txt"), Path("two.txt"));
    window->Top().SetTopRow(10);
    window->SendMessage(kMsgMouseWheel, MakeParam(0, 240), MakeParam(100, 100));
    EXPECT_EQ(TopRow(), 8);
    window->SendMessage(kMsgMouseWheel, MakeParam(0, 60), MakeParam(100, 100));
    EXPECT_EQ(TopRow(), 8);
    window->SendMessage(kMsgMouseWheel, MakeParam(0, -120), MakeParam(100, 100));
    EXPECT_EQ(TopRow(), 9);
}

TEST_F(MainWindowTest, MovesAndSizesAreRememberedOnlyForANormalWindow)
{
    window->SendMessage(kMsgMove, 0, MakeParam(40, 30));
    const FrameMetrics metrics = MetricsOf(window->m_hWnd);
    EXPECT_EQ(settings->xLeft, 40 - metrics.frameWidth);
    EXPECT_EQ(settings->yTop,
              30 - metrics.frameHeight - metrics.menuHeight - metrics.captionHeight);

    window->SendMessage(kMsgSize, kSizeRestored, MakeParam(700, 400));
    EXPECT_EQ(settings->zoomed, 0);
    EXPECT_EQ(settings->cxWidth, 700 + 2 * metrics.frameWidth);
    EXPECT_EQ(window->Display()->Width(), 700);

    window->m_hWnd->window()->showMaximized();
    window->SendMessage(kMsgMove, 0, MakeParam(0, 0));
    EXPECT_EQ(settings->xLeft, 40 - metrics.frameWidth);
    window->SendMessage(kMsgSize, kSizeMaximized, MakeParam(900, 600));
    EXPECT_EQ(settings->zoomed, 1);
    EXPECT_EQ(settings->cxWidth, 700 + 2 * metrics.frameWidth);
}

// The size remembered is the frame's own, also when showing the rows brings the scroll bars
// (each bar's size message comes while the one before is still being handled): a window
// opened again from it has the same size instead of growing each time.
TEST_F(MainWindowTest, RememberedSizeIsTheFramesSizeOnceRowsAreShown)
{
    WriteFile(Path("a.txt"), NumberedLines(200));
    WriteFile(Path("b.txt"), NumberedLines(200, {5}));
    for (int opening = 0; opening < 2; ++opening) {
        if (opening > 0) {
            window.reset();
            window = std::make_unique<MAINWINDOW>(*settings);
            ASSERT_TRUE(window->Create());
        }
        Compare(Path("a.txt"), Path("b.txt"));
        QApplication::processEvents();
        const QRect frame = window->m_hWnd->window()->frameGeometry();
        EXPECT_EQ(settings->cxWidth, frame.width()) << "opening " << opening;
        EXPECT_EQ(settings->cyHeight, frame.height()) << "opening " << opening;
    }
}

TEST_F(MainWindowTest, CloseSavesTheSettingsAndEndsTheWindow)
{
    Command(kCmdLineNumbers);
    window->SendMessage(kMsgClose, 0, 0);
    EXPECT_EQ(window->m_hWnd, nullptr);
    const std::string profile = ReadFile(m_dir / "config/kesta/kesta.ini");
    EXPECT_NE(profile.find("Options=358"), std::string::npos) << profile;
}

TEST_F(MainWindowTest, DroppedFilesReplaceTheSideUnderThePointerOrBothSides)
{
    for (const char *name : {"l.txt", "r.txt", "x.txt", "y.txt", "z.txt"})
        WriteFile(Path(name), std::string(name) + "\n");
    Compare(Path("l.txt"), Path("r.txt"));
    const int separator = window->Display()->Separator();
    ASSERT_GT(separator, 10);

    auto drop = [&](std::vector<std::string> names, int x) {
        window->m_hWnd->m_droppedFiles.clear();
        for (const std::string &name : names)
            window->m_hWnd->m_droppedFiles.push_back(Path(name));
        window->SendMessage(kMsgDropFiles, static_cast<MessageParam>(names.size()),
                            MakeParam(x, 100));
    };
    drop({"x.txt"}, separator);
    EXPECT_EQ(window->Top().Left().Text(), Path("x.txt"));
    EXPECT_EQ(window->Top().Right().Text(), Path("r.txt"));
    EXPECT_GT(window->Top().Result().Count(), 0);

    drop({"y.txt"}, separator + 1);
    EXPECT_EQ(window->Top().Left().Text(), Path("x.txt"));
    EXPECT_EQ(window->Top().Right().Text(), Path("y.txt"));

    // In the left-only view a drop anywhere replaces the left side.
    window->Top().SetSingleSideView(kSideLeft);
    drop({"z.txt"}, window->Display()->Width() - 5);
    EXPECT_EQ(window->Top().Left().Text(), Path("z.txt"));

    drop({"l.txt", "r.txt", "z.txt"}, 5);
    EXPECT_EQ(window->Top().Left().Text(), Path("l.txt"));
    EXPECT_EQ(window->Top().Right().Text(), Path("r.txt"));
    // Drops leave the histories alone.
    EXPECT_EQ(settings->leftHistory.Entry(1), Path("l.txt"));
    EXPECT_EQ(settings->leftHistory.Entry(2), "");
}

TEST_F(MainWindowTest, OpenNextAndBackWalkTheDirectoryList)
{
    MakeTrees();
    Compare(Path("left"), Path("right"));
    ASSERT_EQ(window->Top().Result().Count(), 4);
    const std::int64_t rowA = RowNamed("a.txt");
    const std::int64_t rowC = RowNamed("c.txt");
    ASSERT_GE(rowA, 0);
    ASSERT_GE(rowC, 0);

    // Esc at the bottom of the stack changes nothing.
    Key(kVkEscape);
    EXPECT_EQ(window->StackDepth(), 1u);
    EXPECT_EQ(window->Top().Result().Count(), 4);

    ASSERT_EQ(window->OpenEntry(rowA), 0);
    EXPECT_EQ(window->StackDepth(), 2u);
    EXPECT_EQ(window->Top().Right().Text(), Path("right/a.txt"));

    // Ctrl+Page Down skips the equal b.txt; after c.txt there is nothing more.
    EXPECT_TRUE(window->KeyHandling(kVkNext, /*controlHeld=*/true));
    EXPECT_EQ(window->StackDepth(), 2u);
    EXPECT_EQ(window->Top().Right().Text(), Path("right/c.txt"));
    Command(kCmdNextFiles);
    EXPECT_EQ(window->Top().Right().Text(), Path("right/c.txt"));
    Command(kCmdPreviousFiles);
    EXPECT_EQ(window->Top().Right().Text(), Path("right/a.txt"));

    // Esc goes back to the list with the opened row current.
    Key(kVkEscape);
    EXPECT_EQ(window->StackDepth(), 1u);
    EXPECT_EQ(window->Top().CurrentRow(), rowA);
    EXPECT_TRUE(boxes.empty());

    // A row beyond the list opens nothing.
    EXPECT_EQ(window->OpenEntry(99), 1);
    EXPECT_EQ(window->StackDepth(), 1u);
}

TEST_F(MainWindowTest, VanishedOrChangedFilesAreReportedAndTheViewGoesBack)
{
    MakeTrees();
    Compare(Path("left"), Path("right"));
    ASSERT_EQ(window->OpenEntry(RowNamed("a.txt")), 0);

    // Refresh of a side that is gone: the message, then back to the list.
    ASSERT_EQ(unlink(Path("right/a.txt").c_str()), 0);
    Command(kCmdRefresh);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], kFileGoneText);
    EXPECT_EQ(boxCaptions[0], kMainCaption);
    EXPECT_EQ(window->StackDepth(), 1u);

    // A file changed while the window had no focus: No goes back, Yes compares again.
    ASSERT_EQ(window->OpenEntry(RowNamed("c.txt")), 0);
    window->SendMessage(kMsgKillFocus, 0, 0);
    WriteFile(Path("left/c.txt"), "c\nnow longer\n");
    boxAnswer = kIdYes;
    window->SendMessage(kMsgSetFocus, 0, 0);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1], kFileModifiedText);
    EXPECT_EQ(window->StackDepth(), 2u);

    window->SendMessage(kMsgKillFocus, 0, 0);
    WriteFile(Path("left/c.txt"), "c\nlonger still\n");
    boxAnswer = kIdNo;
    window->SendMessage(kMsgSetFocus, 0, 0);
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(window->StackDepth(), 1u);

    // Nothing changed: no question.
    window->SendMessage(kMsgKillFocus, 0, 0);
    window->SendMessage(kMsgSetFocus, 0, 0);
    EXPECT_EQ(boxes.size(), 3u);
}

TEST_F(MainWindowTest, ASideThatCannotBeReadIsNamedWithTheReason)
{
    MakeTrees();
    Compare(Path("left"), Path("right"));

    // A row whose file went away since the list was made: which one, and why.
    ASSERT_EQ(unlink(Path("right/b.txt").c_str()), 0);
    EXPECT_EQ(window->OpenEntry(RowNamed("b.txt")), 2);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], Path("right/b.txt") + ": No such file or directory");

    // A folder in the right tree whose path is longer than the system allows.
    const DeepFolder deep(Path("right/deep"));
    Command(kCmdRefresh);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].rfind(Path("right/deep/"), 0), 0u) << boxes[1];
    EXPECT_TRUE(boxes[1].ends_with(": File name too long")) << boxes[1];
}

// At the bottom of the stack going back keeps the comparison: the focus that returns as the
// message box closes must not bring the same question straight back.
TEST_F(MainWindowTest, TheBottomComparisonTellsOfAVanishedOrChangedFileOnce)
{
    WriteFile(Path("a.txt"), NumberedLines(3));
    WriteFile(Path("b.txt"), NumberedLines(3, {2}));
    Compare(Path("a.txt"), Path("b.txt"));
    const auto focusRoundTrip = [this] {
        window->SendMessage(kMsgKillFocus, 0, 0);
        window->SendMessage(kMsgSetFocus, 0, 0);
    };

    ASSERT_EQ(unlink(Path("a.txt").c_str()), 0);
    focusRoundTrip();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], kFileGoneText);
    focusRoundTrip();
    focusRoundTrip();
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_EQ(window->StackDepth(), 1u);

    // Back again and compared anew, the file can be reported once more.
    WriteFile(Path("a.txt"), NumberedLines(3));
    ASSERT_EQ(window->Refresh(), 0);
    focusRoundTrip();
    EXPECT_EQ(boxes.size(), 1u);
    WriteFile(Path("b.txt"), NumberedLines(4));
    boxAnswer = kIdNo;
    focusRoundTrip();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1], kFileModifiedText);
    focusRoundTrip();
    EXPECT_EQ(boxes.size(), 2u);
    // The change now gone too: that is news.
    ASSERT_EQ(unlink(Path("b.txt").c_str()), 0);
    focusRoundTrip();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[2], kFileGoneText);
}

TEST_F(MainWindowTest, CloseCommandEmptiesTheStackAndTheModes)
{
    MakeTrees();
    Compare(Path("left"), Path("right"));
    ASSERT_EQ(window->OpenEntry(RowNamed("a.txt")), 0);
    Command(kCmdClose);
    EXPECT_EQ(window->StackDepth(), 1u);
    EXPECT_EQ(window->Top().Left().Object(), nullptr);
    EXPECT_EQ(window->Display()->RowCount(), -1);
    // With nothing shown, keys and clicks do nothing and the empty mode takes them.
    Key(kVkDown);
    window->SendMessage(kMsgLButtonDown, 0, MakeParam(10, 100));
    EXPECT_EQ(window->Modes().Depth(), 1);
}

} // namespace

namespace {

TEST_F(MainWindowTest, SwapSidesNeedsRowsAndExchangesTheHistories)
{
    Command(kCmdSwapSides);
    EXPECT_EQ(settings->leftHistory.Entry(1), "");

    WriteFile(Path("one.txt"), "a\n");
    WriteFile(Path("two.txt"), "b\n");
    Compare(Path("one.txt"), Path("two.txt"));
    Command(kCmdSwapSides);
    EXPECT_EQ(window->Top().Left().Text(), Path("two.txt"));
    EXPECT_EQ(window->Top().Right().Text(), Path("one.txt"));
    EXPECT_EQ(settings->leftHistory.Entry(1), Path("two.txt"));
    EXPECT_EQ(settings->rightHistory.Entry(1), Path("one.txt"));
    // Each list keeps its own name, so the exchange is what gets stored.
    EXPECT_EQ(settings->leftHistory.Name(), "Left");
}

TEST_F(MainWindowTest, BinaryComparisonMarksPairsThatDifferOnlyInContents)
{
    MakeTrees();
    WriteFile(Path("right/b.txt"), "B\n"); // same size and time as the left one
    Touch(Path("right/b.txt"));
    settings->compare.optionBits &= ~kOptShowAll; // no comparing of contents while painting
    Compare(Path("left"), Path("right"));
    const std::int64_t rowB = RowNamed("b.txt");
    const std::int64_t rowD = RowNamed("d.txt");
    ASSERT_EQ(window->Top().Result().Entry(rowB)->flags & kEntryDiffers, 0);

    QKeyEvent ctrlB(QEvent::KeyPress, Qt::Key_B, Qt::ControlModifier);
    QApplication::sendEvent(window->m_hWnd, &ctrlB);
    EXPECT_NE(window->Top().Result().Entry(rowB)->flags & kEntryDiffers, 0);
    EXPECT_EQ(window->Top().Result().Entry(rowD)->flags & kEntryDiffers, 0);
    EXPECT_NE(window->Top().Result().Entry(RowNamed("a.txt"))->flags & kEntryDiffers, 0);
}

TEST_F(MainWindowTest, HidingMatchingAreasBacksUpFromAnEmptyTail)
{
    WriteFile(Path("one.txt"), NumberedLines(100));
    WriteFile(Path("two.txt"), NumberedLines(100, {20}));
    Compare(Path("one.txt"), Path("two.txt"));
    window->Top().SetTopRow(90);
    Command(kCmdHideMatching);
    // Line 20 differs: with three lines of context the last row shown is row 22.
    EXPECT_EQ(TopRow(), 22);
}

} // namespace
