#include "toolkit/topwindow.h"

#include "toolkit/topwindow_private.h"
#include "toolkit/window_widget.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPointer>
#include <QStyle>
#include <QVBoxLayout>

namespace {

// The decorated top-level widget around a program window. It hands the window what happens
// to the whole: closing, moving, being maximised or minimised.
class FrameWidget : public QWidget
{
public:
    FrameWidget()
    {
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        m_status = new QLabel(this);
        m_status->setTextFormat(Qt::PlainText);
        m_status->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        m_status->setContentsMargins(4, 0, 4, 0);
        // A long text is cut, never widens the window.
        m_status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        m_status->setMinimumHeight(m_status->sizeHint().height());
        layout->addWidget(m_status);
    }
    [[nodiscard]] QLabel *Status() const { return m_status; }

    void Hold(WindowWidget *client)
    {
        m_client = client;
        client->setParent(this);
        static_cast<QVBoxLayout *>(layout())->insertWidget(0, client, 1);
        setFocusProxy(client);
    }
    [[nodiscard]] WindowWidget *Client() const { return m_client; }
    void SetMenuBar(QMenuBar *bar)
    {
        bar->setParent(this);
        static_cast<QVBoxLayout *>(layout())->setMenuBar(bar);
        m_menuBar = bar;
    }
    [[nodiscard]] QMenuBar *MenuBar() const { return m_menuBar; }
    // The desktop frames a shown window when it likes: the first time its decorations are
    // known, the frame shrinks so that decorations included it has the size asked for.
    void FitOuterSize()
    {
        if (m_fitted || !isVisible() || isMaximized() || isMinimized())
            return;
        const QSize decorations = frameGeometry().size() - geometry().size();
        if (decorations.width() <= 0 && decorations.height() <= 0)
            return;
        m_fitted = true;
        resize(m_outerSize - decorations);
    }
    QSize m_outerSize; // asked for, decorations included
    bool m_fitted = false;

protected:
    bool event(QEvent *e) override
    {
        switch (e->type()) {
        case QEvent::Close:
            // Asked later, from the message loop: the window may destroy this frame.
            e->ignore();
            if (m_client != nullptr) {
                QPointer<WindowWidget> client = m_client.data();
                QMetaObject::invokeMethod(
                    client,
                    [client] {
                        if (client)
                            WindowProcedure(client, kMsgClose, 0, 0);
                    },
                    Qt::QueuedConnection);
            }
            return true;
        case QEvent::Move:
            FitOuterSize();
            if (m_client != nullptr) {
                const QPoint corner = m_client->mapToGlobal(QPoint(0, 0));
                WindowProcedure(m_client, kMsgMove, 0, MakeParam(corner.x(), corner.y()));
            }
            break;
        case QEvent::Resize:
            FitOuterSize();
            break;
        case QEvent::WindowStateChange:
            if (m_client != nullptr) {
                MessageParam kind = kSizeRestored;
                if (isMinimized())
                    kind = kSizeMinimized;
                else if (isMaximized())
                    kind = kSizeMaximized;
                const QSize client = m_client->ClientSize();
                WindowProcedure(m_client, kMsgSize, kind,
                                MakeParam(client.width(), client.height()));
            }
            break;
        default:
            break;
        }
        return QWidget::event(e);
    }

private:
    QPointer<WindowWidget> m_client;
    QPointer<QMenuBar> m_menuBar;
    QLabel *m_status = nullptr;
};

} // namespace

static FrameWidget *FrameOf(WindowHandle window)
{
    if (window == nullptr)
        return nullptr;
    return dynamic_cast<FrameWidget *>(window->parentWidget());
}

WindowHandle CreateTopLevelWindow(const char *className, WINDOW *object, int x, int y, int width,
                                  int height)
{
    auto *frame = new FrameWidget;
    WindowHandle window = CreateKestaWindow(className, object, nullptr, 0, 0, width, height);
    if (window == nullptr) {
        delete frame;
        return nullptr;
    }
    frame->Hold(window);
    // Decorations are unknown until the desktop has shown the frame: the client takes the
    // whole size now and the frame keeps its outer corner where it was asked.
    frame->m_outerSize = QSize(width, height);
    frame->resize(width, height);
    frame->move(x, y);
    return window;
}

void ShowTopLevelWindow(WindowHandle window, bool maximized)
{
    FrameWidget *frame = FrameOf(window);
    if (frame == nullptr)
        return;
    if (maximized)
        frame->showMaximized();
    else
        frame->show();
    window->setFocus(Qt::ActiveWindowFocusReason);
    frame->FitOuterSize();
}

static void Unbind(WindowHandle window)
{
    if (window->m_slot != nullptr) {
        if (window->m_slot->m_hWnd == window)
            window->m_slot->m_hWnd = nullptr;
        window->m_slot = nullptr;
    }
}

void DestroyTopLevelWindow(WindowHandle window)
{
    if (window == nullptr)
        return;
    WindowProcedure(window, kMsgDestroy, 0, 0);
    Unbind(window);
    if (FrameWidget *frame = FrameOf(window)) {
        frame->hide();
        frame->deleteLater();
    } else {
        window->hide();
        window->deleteLater();
    }
}

void DeleteTopLevelWindow(WindowHandle window)
{
    if (window == nullptr)
        return;
    Unbind(window);
    if (FrameWidget *frame = FrameOf(window))
        delete frame;
    else
        delete window;
}

bool SetFrameMenuBar(WindowHandle window, QMenuBar *bar)
{
    FrameWidget *frame = FrameOf(window);
    if (frame == nullptr || bar == nullptr)
        return false;
    frame->SetMenuBar(bar);
    return true;
}

void SetTopLevelCaption(WindowHandle window, const char *caption)
{
    if (window != nullptr)
        window->window()->setWindowTitle(QString::fromUtf8(caption != nullptr ? caption : ""));
}

std::string TopLevelCaption(WindowHandle window)
{
    if (window == nullptr)
        return {};
    return window->window()->windowTitle().toUtf8().toStdString();
}

void SetTopLevelStatusText(WindowHandle window, const char *text)
{
    if (FrameWidget *frame = FrameOf(window))
        frame->Status()->setText(QString::fromUtf8(text != nullptr ? text : ""));
}

std::string TopLevelStatusText(WindowHandle window)
{
    FrameWidget *frame = FrameOf(window);
    return frame != nullptr ? frame->Status()->text().toUtf8().toStdString() : std::string();
}

bool IsWindowMaximized(WindowHandle window)
{
    return window != nullptr && window->window()->isMaximized();
}

bool IsWindowMinimized(WindowHandle window)
{
    return window != nullptr && window->window()->isMinimized();
}

void ActivateWindow(WindowHandle window)
{
    if (window == nullptr)
        return;
    window->window()->activateWindow();
    window->setFocus(Qt::OtherFocusReason);
}

FrameMetrics MetricsOf(WindowHandle window)
{
    FrameMetrics metrics;
    if (QApplication::instance() != nullptr) {
        const int extent = QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        metrics.verticalScrollBarWidth = extent;
        metrics.horizontalScrollBarHeight = extent;
    }
    FrameWidget *frame = FrameOf(window);
    if (frame == nullptr)
        return metrics;
    const QRect outer = frame->frameGeometry();
    const QRect inner = frame->geometry();
    metrics.frameWidth = std::max(0, (outer.width() - inner.width()) / 2);
    metrics.frameHeight = metrics.frameWidth;
    metrics.captionHeight = std::max(0, outer.height() - inner.height() - metrics.frameHeight * 2);
    if (const QMenuBar *bar = frame->MenuBar(); bar != nullptr && !bar->isHidden())
        metrics.menuHeight = bar->height();
    metrics.statusHeight = frame->Status()->isHidden() ? 0 : frame->Status()->height();
    return metrics;
}
