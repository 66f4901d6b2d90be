#include "tests/toolkit/toolkit_test_application.h"
#include "toolkit/devicecontext.h"
#include "toolkit/window.h"
#include "toolkit/window_widget.h"

#include <QDropEvent>
#include <QImage>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <gtest/gtest.h>
#include <map>
#include <vector>

namespace {

struct Seen
{
    unsigned message;
    MessageParam first;
    MessageParam second;
};

// Records every message and answers as told.
class RecordingWindow : public WINDOW
{
public:
    int MessageHandler(unsigned message) override
    {
        seen.push_back({message, m_wParam, m_lParam});
        const auto answer = answers.find(message);
        return answer != answers.end() ? answer->second : 1;
    }
    int Command() override
    {
        ++commands;
        return commandAnswer;
    }
    int MouseMove() override
    {
        ++mouseMoves;
        return mouseMoveAnswer;
    }
    void Paint(DEVICECONTEXT &dc) override
    {
        ++paints;
        dc.FillRect(dc.m_clip, 0x0000FF);
    }

    [[nodiscard]] const Seen &Last() const { return seen.back(); }

    std::vector<Seen> seen;
    std::map<unsigned, int> answers;
    int commands = 0;
    int commandAnswer = 1;
    int mouseMoves = 0;
    int mouseMoveAnswer = 1;
    int paints = 0;
};

class WindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TestApplication();
        ASSERT_EQ(RegisterWindowClass("TestWindow", /*opaque=*/true), 1);
        handle = CreateKestaWindow("TestWindow", &window, nullptr, 0, 0, 40, 30);
        ASSERT_NE(handle, nullptr);
    }

    void Send(QEvent &event) { QCoreApplication::sendEvent(handle, &event); }

    RecordingWindow window;
    WindowHandle handle = nullptr;
};

} // namespace

TEST_F(WindowTest, CreationBindsTheObjectAndDispatchesTheCreationMessage)
{
    EXPECT_EQ(window.m_hWnd, handle);
    ASSERT_FALSE(window.seen.empty());
    EXPECT_EQ(window.seen.front().message, kMsgCreate);
    EXPECT_EQ(CreateKestaWindow("NoSuchClass", &window, nullptr, 0, 0, 1, 1), nullptr);
}

TEST(WindowBinding, MessageBeforeCreationGoesToDefaultHandling)
{
    TestApplication();
    WindowWidget unbound("TestWindow", nullptr);
    EXPECT_EQ(WindowProcedure(&unbound, kMsgMouseMove, 0, 0), Routed::kDefault);
    EXPECT_EQ(unbound.m_slot, nullptr);
}

TEST_F(WindowTest, UnhandledCommandAndMouseMoveGetASecondChance)
{
    struct Case
    {
        unsigned message;
        int handlerAnswer;
        int operationAnswer;
        Routed expected;
        int operationCalls;
    };
    const Case cases[] = {
        {kMsgCommand, 0, 0, Routed::kHandled, 0},   {kMsgCommand, 1, 0, Routed::kHandled, 1},
        {kMsgCommand, 1, 1, Routed::kDefault, 1},   {kMsgMouseMove, 1, 0, Routed::kHandled, 1},
        {kMsgMouseMove, 1, 1, Routed::kDefault, 1}, {kMsgKeyDown, 1, 0, Routed::kDefault, 0},
        {kMsgKeyDown, 0, 0, Routed::kHandled, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.message << " " << c.handlerAnswer << " " << c.operationAnswer);
        window.answers[c.message] = c.handlerAnswer;
        window.commandAnswer = window.mouseMoveAnswer = c.operationAnswer;
        window.commands = window.mouseMoves = 0;
        EXPECT_EQ(WindowProcedure(handle, c.message, 7, 9), c.expected);
        EXPECT_EQ(window.commands + window.mouseMoves, c.operationCalls);
        // Parameters are in the object before any handler runs.
        EXPECT_EQ(window.m_wParam, 7u);
        EXPECT_EQ(window.m_lParam, 9u);
    }
}

TEST_F(WindowTest, PaintDrawsThroughTheObjectOnlyWhenTheHandlerLeavesIt)
{
    const QImage painted = handle->grab().toImage();
    EXPECT_EQ(window.paints, 1);
    EXPECT_EQ(painted.pixelColor(20, 15), QColor(255, 0, 0));

    window.answers[kMsgPaint] = 0;
    (void)handle->grab();
    EXPECT_EQ(window.paints, 1);
}

TEST_F(WindowTest, MouseEventsCarryKeyStateAndPackedPosition)
{
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 7), QPointF(5, 7), Qt::LeftButton,
                      Qt::LeftButton, Qt::ShiftModifier);
    Send(press);
    EXPECT_EQ(window.Last().message, kMsgLButtonDown);
    EXPECT_EQ(window.Last().first, kMkLButton | kMkShift);
    EXPECT_EQ(window.Last().second, MakeParam(5, 7));

    // A captured pointer left of the window keeps its sign in the low word.
    QMouseEvent move(QEvent::MouseMove, QPointF(-3, 4), QPointF(-3, 4), Qt::NoButton,
                     Qt::RightButton, Qt::ControlModifier);
    Send(move);
    EXPECT_EQ(window.Last().message, kMsgMouseMove);
    EXPECT_EQ(window.Last().first, kMkRButton | kMkControl);
    EXPECT_EQ(SignedLowWord(window.Last().second), -3);
    EXPECT_EQ(SignedHighWord(window.Last().second), 4);

    const struct
    {
        QEvent::Type type;
        Qt::MouseButton button;
        unsigned message;
    } buttons[] = {
        {QEvent::MouseButtonRelease, Qt::LeftButton, kMsgLButtonUp},
        {QEvent::MouseButtonDblClick, Qt::LeftButton, kMsgLButtonDblClk},
        {QEvent::MouseButtonPress, Qt::RightButton, kMsgRButtonDown},
        {QEvent::MouseButtonRelease, Qt::RightButton, kMsgRButtonUp},
        {QEvent::MouseButtonDblClick, Qt::RightButton, kMsgRButtonDblClk},
    };
    for (const auto &b : buttons) {
        QMouseEvent event(b.type, QPointF(1, 2), QPointF(1, 2), b.button, Qt::NoButton,
                          Qt::NoModifier);
        Send(event);
        EXPECT_EQ(window.Last().message, b.message);
    }

    // The middle button has no message of its own.
    const std::size_t before = window.seen.size();
    QMouseEvent middle(QEvent::MouseButtonPress, QPointF(1, 2), QPointF(1, 2), Qt::MiddleButton,
                       Qt::MiddleButton, Qt::NoModifier);
    Send(middle);
    EXPECT_EQ(window.seen.size(), before);
}

TEST_F(WindowTest, WheelCarriesSignedDeltaInTheHighWord)
{
    QWheelEvent wheel(QPointF(3, 4), QPointF(30, 40), QPoint(), QPoint(0, -240), Qt::NoButton,
                      Qt::ControlModifier, Qt::NoScrollPhase, false);
    Send(wheel);
    EXPECT_EQ(window.Last().message, kMsgMouseWheel);
    EXPECT_EQ(SignedHighWord(window.Last().first), -240);
    EXPECT_EQ(LowWord(window.Last().first), static_cast<int>(kMkControl));
    EXPECT_EQ(window.Last().second, MakeParam(30, 40));
}

TEST_F(WindowTest, KeysBecomeVirtualKeyCodes)
{
    const struct
    {
        int key;
        Qt::KeyboardModifiers modifiers;
        MessageParam code;
    } keys[] = {
        {Qt::Key_F3, Qt::NoModifier, 114},        {Qt::Key_PageUp, Qt::ControlModifier, 33},
        {Qt::Key_PageDown, Qt::NoModifier, 34},   {Qt::Key_Up, Qt::NoModifier, 38},
        {Qt::Key_Down, Qt::NoModifier, 40},       {Qt::Key_Left, Qt::NoModifier, 37},
        {Qt::Key_Right, Qt::NoModifier, 39},      {Qt::Key_Plus, Qt::KeypadModifier, 107},
        {Qt::Key_Minus, Qt::KeypadModifier, 109}, {Qt::Key_Plus, Qt::NoModifier, 187},
        {Qt::Key_Tab, Qt::NoModifier, 9},         {Qt::Key_Backspace, Qt::NoModifier, 8},
        {Qt::Key_Return, Qt::NoModifier, 13},     {Qt::Key_Enter, Qt::KeypadModifier, 13},
        {Qt::Key_Escape, Qt::NoModifier, 27},     {Qt::Key_F6, Qt::NoModifier, 117},
        {Qt::Key_C, Qt::ControlModifier, 67},     {Qt::Key_Shift, Qt::ShiftModifier, 16},
    };
    for (const auto &k : keys) {
        SCOPED_TRACE(k.key);
        QKeyEvent down(QEvent::KeyPress, k.key, k.modifiers);
        Send(down);
        EXPECT_EQ(window.Last().message, kMsgKeyDown);
        EXPECT_EQ(window.Last().first, k.code);
        QKeyEvent up(QEvent::KeyRelease, k.key, k.modifiers);
        Send(up);
        EXPECT_EQ(window.Last().message, kMsgKeyUp);
        EXPECT_EQ(window.Last().first, k.code);
    }

    const std::size_t before = window.seen.size();
    QKeyEvent unknown(QEvent::KeyPress, Qt::Key_LaunchMail, Qt::NoModifier);
    Send(unknown);
    EXPECT_EQ(window.seen.size(), before);
}

TEST_F(WindowTest, ResizeSendsTheClientSize)
{
    QResizeEvent resize(QSize(640, 480), QSize(40, 30));
    Send(resize);
    EXPECT_EQ(window.Last().message, kMsgSize);
    EXPECT_EQ(window.Last().first, kSizeRestored);
    EXPECT_EQ(window.Last().second, MakeParam(640, 480));
}

TEST_F(WindowTest, DestroyingTheWindowTellsAndUnbindsTheObject)
{
    DestroyKestaWindow(handle);
    EXPECT_EQ(window.Last().message, kMsgDestroy);
    EXPECT_EQ(window.m_hWnd, nullptr);
    EXPECT_FALSE(window.SendMessage(kMsgCommand, 1, 0));
}

TEST_F(WindowTest, ScrollBarsTakeClientRoomAndReportActionsWithoutMovingThemselves)
{
    window.SetScrollRange(ScrollBarId::kVertical, 0, 100);
    EXPECT_LT(window.ClientWidth(), 40);
    EXPECT_EQ(window.ClientHeight(), 30);
    EXPECT_EQ(window.Last().message, kMsgSize);
    EXPECT_EQ(window.Last().second, MakeParam(window.ClientWidth(), 30));

    window.SetScrollPos(ScrollBarId::kVertical, 10);
    auto *bar = handle->findChild<QScrollBar *>();
    ASSERT_NE(bar, nullptr);
    const struct
    {
        QAbstractSlider::SliderAction action;
        int code;
    } actions[] = {
        {QAbstractSlider::SliderSingleStepAdd, kSbLineDown},
        {QAbstractSlider::SliderSingleStepSub, kSbLineUp},
        {QAbstractSlider::SliderPageStepAdd, kSbPageDown},
        {QAbstractSlider::SliderPageStepSub, kSbPageUp},
        {QAbstractSlider::SliderToMinimum, kSbTop},
        {QAbstractSlider::SliderToMaximum, kSbBottom},
    };
    for (const auto &a : actions) {
        SCOPED_TRACE(a.code);
        bar->triggerAction(a.action);
        EXPECT_EQ(window.Last().message, kMsgVScroll);
        EXPECT_EQ(LowWord(window.Last().first), a.code);
        EXPECT_EQ(window.ScrollPos(ScrollBarId::kVertical), 10);
    }

    // The window moves the bar when it handles the message.
    window.answers[kMsgVScroll] = 0;
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    window.SetScrollPos(ScrollBarId::kVertical, 11);
    EXPECT_EQ(window.ScrollPos(ScrollBarId::kVertical), 11);

    // An empty range hides the bar and gives the room back.
    window.SetScrollRange(ScrollBarId::kVertical, 0, 0);
    EXPECT_EQ(window.ClientWidth(), 40);
    EXPECT_EQ(window.Last().second, MakeParam(40, 30));
}

TEST_F(WindowTest, PostedMessageArrivesFromTheLoopAndDropsBringFileNames)
{
    ASSERT_TRUE(window.PostMessage(kMsgCommand, 110, 0));
    EXPECT_NE(window.Last().message, kMsgCommand);
    QCoreApplication::processEvents();
    EXPECT_EQ(window.Last().message, kMsgCommand);
    EXPECT_EQ(window.Last().first, 110u);

    window.AcceptDroppedFiles(true);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/left one.txt")),
                  QUrl(QStringLiteral("https://example.invalid/x")),
                  QUrl::fromLocalFile(QStringLiteral("/tmp/right.txt"))});
    QDropEvent drop(QPointF(12, 3), Qt::CopyAction, &data, Qt::NoButton, Qt::NoModifier);
    // Straight to the widget: the application passes drops on only while a drag runs.
    static_cast<QObject *>(handle)->event(&drop);
    EXPECT_EQ(window.Last().message, kMsgDropFiles);
    EXPECT_EQ(window.Last().second, MakeParam(12, 3));
    EXPECT_EQ(window.DroppedFiles(),
              (std::vector<std::string>{"/tmp/left one.txt", "/tmp/right.txt"}));
}
