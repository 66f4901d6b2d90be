#include "toolkit/window.h"

#include "toolkit/progresscontrol.h"
#include "toolkit/windevicecontext.h"
#include "toolkit/window_widget.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QPaintEvent>
#include <QResizeEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <map>
#include <string>

namespace {

struct WindowClass
{
    bool opaque = false;
    bool arrowCursor = false;
};

// Registered classes by name; one table per process, like the window system's.
std::map<std::string, WindowClass> &Classes()
{
    static std::map<std::string, WindowClass> classes;
    return classes;
}

// The object a widget is being created for, read when its creation message binds it.
WINDOW *g_creationParameter = nullptr;

// Key-up messages carry the previous-state and transition bits, key-down the auto-repeat bit.
constexpr MessageParam kKeyRepeatOnce = 1;
constexpr MessageParam kKeyWasDown = 1u << 30;
constexpr MessageParam kKeyReleased = 1u << 31;

} // namespace

static MessageParam KeyStateOf(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers)
{
    MessageParam state = 0;
    if (buttons & Qt::LeftButton)
        state |= kMkLButton;
    if (buttons & Qt::RightButton)
        state |= kMkRButton;
    if (buttons & Qt::MiddleButton)
        state |= kMkMButton;
    if (modifiers & Qt::ShiftModifier)
        state |= kMkShift;
    if (modifiers & Qt::ControlModifier)
        state |= kMkControl;
    return state;
}

static MessageParam PackedPosition(const QPointF &position)
{
    const QPoint p = position.toPoint();
    return MakeParam(p.x(), p.y());
}

int VirtualKeyOf(int qtKey, bool keypad)
{
    if (keypad) {
        if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
            return kVkNumpad0 + (qtKey - Qt::Key_0);
        switch (qtKey) {
        case Qt::Key_Plus:
            return kVkAdd;
        case Qt::Key_Minus:
            return kVkSubtract;
        case Qt::Key_Asterisk:
            return kVkMultiply;
        case Qt::Key_Slash:
            return kVkDivide;
        case Qt::Key_Period:
        case Qt::Key_Comma:
            return kVkDecimal;
        default:
            break; // Enter, arrows and the like of the keypad are the ordinary keys
        }
    }
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return kVk0 + (qtKey - Qt::Key_0);
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return kVkA + (qtKey - Qt::Key_A);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return kVkF1 + (qtKey - Qt::Key_F1);
    switch (qtKey) {
    case Qt::Key_Backspace:
        return kVkBack;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return kVkTab;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return kVkReturn;
    case Qt::Key_Shift:
        return kVkShift;
    case Qt::Key_Control:
        return kVkControl;
    case Qt::Key_Alt:
        return kVkMenu;
    case Qt::Key_Escape:
        return kVkEscape;
    case Qt::Key_Space:
        return kVkSpace;
    case Qt::Key_PageUp:
        return kVkPrior;
    case Qt::Key_PageDown:
        return kVkNext;
    case Qt::Key_End:
        return kVkEnd;
    case Qt::Key_Home:
        return kVkHome;
    case Qt::Key_Left:
        return kVkLeft;
    case Qt::Key_Up:
        return kVkUp;
    case Qt::Key_Right:
        return kVkRight;
    case Qt::Key_Down:
        return kVkDown;
    case Qt::Key_Insert:
        return kVkInsert;
    case Qt::Key_Delete:
        return kVkDelete;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        return kVkOemPlus;
    case Qt::Key_Minus:
    case Qt::Key_Underscore:
        return kVkOemMinus;
    case Qt::Key_Comma:
    case Qt::Key_Less:
        return kVkOemComma;
    case Qt::Key_Period:
    case Qt::Key_Greater:
        return kVkOemPeriod;
    default:
        return 0;
    }
}

WindowWidget::WindowWidget(const char *className, QWidget *parent)
    : QWidget(parent), m_className(className)
{
    // Pointer moves arrive without a button held, as the program's modes expect.
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
}

WindowWidget::~WindowWidget()
{
    if (m_slot != nullptr) {
        WindowProcedure(this, kMsgDestroy, 0, 0);
        if (m_slot->m_hWnd == this)
            m_slot->m_hWnd = nullptr;
        m_slot = nullptr;
    }
}

bool WindowWidget::Route(unsigned message, MessageParam first, MessageParam second)
{
    return WindowProcedure(this, message, first, second) == Routed::kDefault;
}

bool WindowWidget::event(QEvent *e)
{
    bool runDefault = true;
    switch (e->type()) {
    case QEvent::MouseMove: {
        auto *me = static_cast<QMouseEvent *>(e);
        runDefault = Route(kMsgMouseMove, KeyStateOf(me->buttons(), me->modifiers()),
                           PackedPosition(me->position()));
        break;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick: {
        auto *me = static_cast<QMouseEvent *>(e);
        const bool left = me->button() == Qt::LeftButton;
        if (!left && me->button() != Qt::RightButton)
            break;
        unsigned message = left ? kMsgLButtonDown : kMsgRButtonDown;
        if (e->type() == QEvent::MouseButtonRelease)
            message = left ? kMsgLButtonUp : kMsgRButtonUp;
        else if (e->type() == QEvent::MouseButtonDblClick)
            message = left ? kMsgLButtonDblClk : kMsgRButtonDblClk;
        runDefault = Route(message, KeyStateOf(me->buttons(), me->modifiers()),
                           PackedPosition(me->position()));
        break;
    }
    case QEvent::Wheel: {
        auto *we = static_cast<QWheelEvent *>(e);
        // Key state in the low word, the delta (120 a notch, forward positive) in the high
        // word; the position is on the screen.
        const MessageParam first = MakeParam(
            static_cast<int>(KeyStateOf(we->buttons(), we->modifiers())), we->angleDelta().y());
        runDefault = Route(kMsgMouseWheel, first, PackedPosition(we->globalPosition()));
        break;
    }
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        auto *ke = static_cast<QKeyEvent *>(e);
        const int key = VirtualKeyOf(ke->key(), (ke->modifiers() & Qt::KeypadModifier) != 0);
        if (key == 0)
            break;
        if (e->type() == QEvent::KeyPress)
            runDefault = Route(kMsgKeyDown, static_cast<MessageParam>(key),
                               kKeyRepeatOnce | (ke->isAutoRepeat() ? kKeyWasDown : 0));
        else
            runDefault = Route(kMsgKeyUp, static_cast<MessageParam>(key),
                               kKeyRepeatOnce | kKeyWasDown | kKeyReleased);
        break;
    }
    case QEvent::Resize: {
        MessageParam kind = kSizeRestored;
        if (isMinimized())
            kind = kSizeMinimized;
        else if (isMaximized())
            kind = kSizeMaximized;
        LayOutBars();
        m_reportedClient = ClientSizeFor(static_cast<QResizeEvent *>(e)->size());
        runDefault
            = Route(kMsgSize, kind, MakeParam(m_reportedClient.width(), m_reportedClient.height()));
        break;
    }
    case QEvent::Move: {
        auto *me = static_cast<QMoveEvent *>(e);
        runDefault = Route(kMsgMove, 0, MakeParam(me->pos().x(), me->pos().y()));
        break;
    }
    case QEvent::FocusIn:
        runDefault = Route(kMsgSetFocus, 0, 0);
        break;
    case QEvent::FocusOut:
        runDefault = Route(kMsgKillFocus, 0, 0);
        break;
    case QEvent::Close:
        if (!Route(kMsgClose, 0, 0)) {
            // The handler decides whether and when the window goes.
            e->ignore();
            return true;
        }
        break;
    case QEvent::DragEnter: {
        auto *de = static_cast<QDragEnterEvent *>(e);
        if (de->mimeData()->hasUrls())
            de->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto *de = static_cast<QDropEvent *>(e);
        m_droppedFiles.clear();
        for (const QUrl &url : de->mimeData()->urls())
            if (url.isLocalFile())
                m_droppedFiles.push_back(url.toLocalFile().toUtf8().toStdString());
        if (m_droppedFiles.empty())
            break;
        de->acceptProposedAction();
        runDefault = Route(kMsgDropFiles, static_cast<MessageParam>(m_droppedFiles.size()),
                           PackedPosition(de->position()));
        break;
    }
    case QEvent::Paint:
        m_paintRect = static_cast<QPaintEvent *>(e)->rect();
        runDefault = Route(kMsgPaint, 0, 0);
        m_paintRect.reset();
        if (!runDefault)
            return true;
        break;
    default:
        break;
    }
    if (!runDefault) {
        e->accept();
        return true;
    }
    return QWidget::event(e);
}

QScrollBar &WindowWidget::Bar(ScrollBarId id)
{
    QScrollBar *&bar = m_bars[static_cast<int>(id)];
    if (bar == nullptr) {
        bar = new QScrollBar(id == ScrollBarId::kVertical ? Qt::Vertical : Qt::Horizontal, this);
        bar->hide();
        // Pointer and keys on the bar must not take the focus from the window itself.
        bar->setFocusPolicy(Qt::NoFocus);
        QObject::connect(bar, &QAbstractSlider::actionTriggered, this,
                         [this, id](int action) { BarAction(id, action); });
        QObject::connect(bar, &QAbstractSlider::sliderReleased, this, [this, id] {
            const QScrollBar *released = m_bars[static_cast<int>(id)];
            const unsigned message = id == ScrollBarId::kVertical ? kMsgVScroll : kMsgHScroll;
            Route(message, MakeParam(kSbThumbPosition, released->sliderPosition()), 0);
            Route(message, MakeParam(kSbEndScroll, 0), 0);
        });
    }
    return *bar;
}

QSize WindowWidget::ClientSizeFor(QSize whole) const
{
    int w = whole.width();
    int h = whole.height();
    const QScrollBar *vertical = ExistingBar(ScrollBarId::kVertical);
    const QScrollBar *horizontal = ExistingBar(ScrollBarId::kHorizontal);
    if (vertical != nullptr && !vertical->isHidden())
        w -= vertical->sizeHint().width();
    if (horizontal != nullptr && !horizontal->isHidden())
        h -= horizontal->sizeHint().height();
    return {std::max(w, 0), std::max(h, 0)};
}

void WindowWidget::LayOutBars()
{
    const QSize client = ClientSize();
    if (QScrollBar *vertical = m_bars[static_cast<int>(ScrollBarId::kVertical)])
        vertical->setGeometry(client.width(), 0, width() - client.width(), client.height());
    if (QScrollBar *horizontal = m_bars[static_cast<int>(ScrollBarId::kHorizontal)])
        horizontal->setGeometry(0, client.height(), client.width(), height() - client.height());
}

void WindowWidget::SizeChanged(QSize client)
{
    if (client == m_reportedClient)
        return;
    m_reportedClient = client;
    MessageParam kind = kSizeRestored;
    if (isMaximized())
        kind = kSizeMaximized;
    Route(kMsgSize, kind, MakeParam(client.width(), client.height()));
}

void WindowWidget::BarAction(ScrollBarId id, int action)
{
    QScrollBar *bar = m_bars[static_cast<int>(id)];
    if (m_resettingBar || bar == nullptr)
        return;
    int code = -1;
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
        code = kSbLineUp;
        break;
    case QAbstractSlider::SliderSingleStepAdd:
        code = kSbLineDown;
        break;
    case QAbstractSlider::SliderPageStepSub:
        code = kSbPageUp;
        break;
    case QAbstractSlider::SliderPageStepAdd:
        code = kSbPageDown;
        break;
    case QAbstractSlider::SliderToMinimum:
        code = kSbTop;
        break;
    case QAbstractSlider::SliderToMaximum:
        code = kSbBottom;
        break;
    case QAbstractSlider::SliderMove:
        code = kSbThumbTrack;
        break;
    default:
        return;
    }
    // The window moves the bar itself (SetScrollPos); only a dragged thumb follows the
    // pointer, so every other action is undone before the bar applies it.
    Route(id == ScrollBarId::kVertical ? kMsgVScroll : kMsgHScroll,
          MakeParam(code, bar->sliderPosition()), 0);
    if (code != kSbThumbTrack) {
        m_resettingBar = true;
        bar->setSliderPosition(bar->value());
        m_resettingBar = false;
    }
}

WINDOW::~WINDOW()
{
    WindowWidget *window = m_hWnd;
    if (window == nullptr)
        return;
    m_hWnd = nullptr;
    if (window->m_slot == this)
        window->m_slot = nullptr;
    if (window->parentWidget() == nullptr)
        delete window;
}

int WINDOW::MessageHandler(unsigned /*message*/)
{
    return 1;
}

int WINDOW::Command()
{
    return 1;
}

int WINDOW::MouseMove()
{
    return 1;
}

void WINDOW::Paint(DEVICECONTEXT & /*dc*/) {}

bool WINDOW::SendMessage(unsigned message, MessageParam first, MessageParam second)
{
    if (m_hWnd == nullptr)
        return false;
    WindowProcedure(m_hWnd, message, first, second);
    return true;
}

bool WINDOW::PostMessage(unsigned message, MessageParam first, MessageParam second)
{
    if (m_hWnd == nullptr)
        return false;
    // Queued on the widget: a message for a window destroyed meanwhile is dropped with it.
    WindowWidget *window = m_hWnd;
    QMetaObject::invokeMethod(
        window,
        [window, message, first, second] { WindowProcedure(window, message, first, second); },
        Qt::QueuedConnection);
    return true;
}

void WINDOW::SetCaption(const char *caption)
{
    if (m_hWnd != nullptr)
        m_hWnd->setWindowTitle(QString::fromUtf8(caption != nullptr ? caption : ""));
}

void WINDOW::AcceptDroppedFiles(bool accept)
{
    if (m_hWnd != nullptr)
        m_hWnd->setAcceptDrops(accept);
}

const std::vector<std::string> &WINDOW::DroppedFiles() const
{
    static const std::vector<std::string> kNone;
    return m_hWnd != nullptr ? m_hWnd->m_droppedFiles : kNone;
}

void WINDOW::Invalidate(bool now)
{
    if (m_hWnd == nullptr)
        return;
    if (now)
        m_hWnd->repaint();
    else
        m_hWnd->update();
}

void WINDOW::Show(bool maximized)
{
    if (m_hWnd == nullptr)
        return;
    if (maximized)
        m_hWnd->showMaximized();
    else
        m_hWnd->show();
}

int WINDOW::ClientWidth() const
{
    return m_hWnd != nullptr ? m_hWnd->ClientSize().width() : 0;
}

int WINDOW::ClientHeight() const
{
    return m_hWnd != nullptr ? m_hWnd->ClientSize().height() : 0;
}

void WINDOW::SetScrollRange(ScrollBarId bar, int minimum, int maximum)
{
    if (m_hWnd == nullptr)
        return;
    QScrollBar &shown = m_hWnd->Bar(bar);
    shown.setRange(minimum, std::max(minimum, maximum));
    shown.setVisible(maximum > minimum);
    m_hWnd->LayOutBars();
    m_hWnd->SizeChanged(m_hWnd->ClientSize());
}

void WINDOW::SetScrollPos(ScrollBarId bar, int position)
{
    if (m_hWnd != nullptr)
        m_hWnd->Bar(bar).setValue(position);
}

int WINDOW::ScrollPos(ScrollBarId bar) const
{
    if (m_hWnd == nullptr)
        return 0;
    const QScrollBar *existing = m_hWnd->ExistingBar(bar);
    return existing != nullptr ? existing->value() : 0;
}

int WINDOW::ScrollTrackPos(ScrollBarId bar) const
{
    if (m_hWnd == nullptr)
        return 0;
    const QScrollBar *existing = m_hWnd->ExistingBar(bar);
    return existing != nullptr ? existing->sliderPosition() : 0;
}

int RegisterWindowClass(const char *className, bool opaque, bool arrowCursor)
{
    if (QApplication::instance() == nullptr || className == nullptr)
        return 0;
    Classes().try_emplace(className, WindowClass{opaque, arrowCursor});
    return 1;
}

WindowHandle CreateKestaWindow(const char *className, WINDOW *creationParameter,
                               WindowHandle parent, int x, int y, int width, int height)
{
    const auto found = Classes().find(className);
    if (found == Classes().end())
        return nullptr;
    auto *window = new WindowWidget(className, parent);
    if (found->second.opaque)
        window->setAttribute(Qt::WA_OpaquePaintEvent);
    else
        window->setAutoFillBackground(true);
    if (found->second.arrowCursor)
        window->setCursor(Qt::ArrowCursor);
    window->setGeometry(x, y, width, height);
    WINDOW *const outer = g_creationParameter;
    g_creationParameter = creationParameter;
    WindowProcedure(window, kMsgCreate, 0, 0);
    g_creationParameter = outer;
    return window;
}

void DestroyKestaWindow(WindowHandle window)
{
    delete window;
}

Routed WindowProcedure(WindowHandle window, unsigned message, MessageParam first,
                       MessageParam second)
{
    if (window == nullptr)
        return Routed::kDefault;
    if (window->m_slot == nullptr) {
        if (message != kMsgCreate)
            return Routed::kDefault;
        // The class name is read as the window system keeps it: at most 30 characters.
        constexpr std::size_t kMaxClassName = 30;
        const std::string className = window->ClassName().substr(0, kMaxClassName);
        WINDOW *object = className == kGaugeClassName ? &TheGauge() : g_creationParameter;
        if (object == nullptr)
            return Routed::kDefault;
        object->m_hWnd = window;
        window->m_slot = object;
    }
    WINDOW *object = window->m_slot;
    object->m_wParam = first;
    object->m_lParam = second;
    if (object->MessageHandler(message) == 0)
        return Routed::kHandled;
    switch (message) {
    case kMsgPaint:
        if (window->m_paintRect) {
            WINDEVICECONTEXT dc(*object);
            object->Paint(dc);
        } else {
            // A window's screen is drawn only while it paints: ask for that.
            window->update();
        }
        return Routed::kHandled;
    case kMsgCommand:
        return object->Command() == 0 ? Routed::kHandled : Routed::kDefault;
    case kMsgMouseMove:
        return object->MouseMove() == 0 ? Routed::kHandled : Routed::kDefault;
    default:
        return Routed::kDefault;
    }
}

bool IsKeyHeld(int virtualKey)
{
    if (QApplication::instance() == nullptr)
        return false;
    const Qt::KeyboardModifiers held = QGuiApplication::queryKeyboardModifiers();
    switch (virtualKey) {
    case kVkShift:
        return (held & Qt::ShiftModifier) != 0;
    case kVkControl:
        return (held & Qt::ControlModifier) != 0;
    case kVkMenu:
        return (held & Qt::AltModifier) != 0;
    default:
        return false;
    }
}
