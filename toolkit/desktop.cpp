#include "toolkit/desktop.h"

#include "toolkit/window_widget.h"

#include <QApplication>
#include <QClipboard>
#include <QMessageBox>
#include <QTimer>

static MessageBoxHook &Hook()
{
    static MessageBoxHook hook;
    return hook;
}

void SetMessageBoxHook(MessageBoxHook hook)
{
    Hook() = std::move(hook);
}

int MessageBox(WindowHandle owner, const char *text, const char *caption, unsigned style)
{
    const std::string shownText = text != nullptr ? text : "";
    const std::string shownCaption = caption != nullptr ? caption : "";
    if (Hook())
        return Hook()(shownText, shownCaption, style);
    if (QApplication::instance() == nullptr)
        return kIdCancel;

    constexpr unsigned kButtonMask = 0x0F;
    constexpr unsigned kIconMask = 0xF0;
    QMessageBox box(owner);
    box.setWindowTitle(QString::fromUtf8(shownCaption.c_str()));
    box.setText(QString::fromUtf8(shownText.c_str()));
    switch (style & kIconMask) {
    case kMbIconHand:
        box.setIcon(QMessageBox::Critical);
        break;
    case kMbIconQuestion:
        box.setIcon(QMessageBox::Question);
        break;
    case kMbIconExclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case kMbIconAsterisk:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        break;
    }
    int onClose = kIdOk;
    switch (style & kButtonMask) {
    case kMbOkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        onClose = kIdCancel;
        break;
    case kMbYesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        onClose = kIdCancel;
        break;
    case kMbYesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        onClose = kIdNo;
        break;
    default:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    }
    if (style & kMbSystemModal)
        box.setWindowModality(Qt::ApplicationModal);
    switch (box.exec()) {
    case QMessageBox::Ok:
        return kIdOk;
    case QMessageBox::Cancel:
        return kIdCancel;
    case QMessageBox::Yes:
        return kIdYes;
    case QMessageBox::No:
        return kIdNo;
    default:
        return onClose;
    }
}

static BeepHook &TheBeepHook()
{
    static BeepHook hook;
    return hook;
}

void SetBeepHook(BeepHook hook)
{
    TheBeepHook() = std::move(hook);
}

void MessageBeep()
{
    if (TheBeepHook()) {
        TheBeepHook()();
        return;
    }
    if (QApplication::instance() != nullptr)
        QApplication::beep();
}

int RunMessageLoop()
{
    return QApplication::instance() != nullptr ? QApplication::exec() : 0;
}

void PostQuitMessage(int code)
{
    // Queued, as a posted message: what is pending is handled first.
    if (QApplication::instance() != nullptr)
        QMetaObject::invokeMethod(
            QApplication::instance(), [code] { QApplication::exit(code); }, Qt::QueuedConnection);
}

void PumpMessages()
{
    if (QApplication::instance() != nullptr)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

// A window's timers are its children, found by the id kept in their name.
static QString TimerName(unsigned id)
{
    return QStringLiteral("kesta-timer-%1").arg(id);
}

bool SetTimer(WindowHandle window, unsigned id, int milliseconds)
{
    if (window == nullptr)
        return false;
    auto *timer = window->findChild<QTimer *>(TimerName(id), Qt::FindDirectChildrenOnly);
    if (timer == nullptr) {
        timer = new QTimer(window);
        timer->setObjectName(TimerName(id));
        QObject::connect(timer, &QTimer::timeout, window,
                         [window, id] { WindowProcedure(window, kMsgTimer, id, 0); });
    }
    timer->start(milliseconds);
    return true;
}

void KillTimer(WindowHandle window, unsigned id)
{
    if (window == nullptr)
        return;
    delete window->findChild<QTimer *>(TimerName(id), Qt::FindDirectChildrenOnly);
}

bool SetClipboardText(const std::string &text)
{
    if (QApplication::instance() == nullptr)
        return false;
    QApplication::clipboard()->setText(
        QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    return true;
}

std::string ClipboardText()
{
    if (QApplication::instance() == nullptr)
        return {};
    return QApplication::clipboard()->text().toUtf8().toStdString();
}

void SetCapture(WindowHandle window)
{
    if (window != nullptr)
        window->grabMouse();
}

void ReleaseCapture(WindowHandle window)
{
    if (window != nullptr)
        window->releaseMouse();
}

void SetCursorShape(WindowHandle window, CursorShape shape)
{
    if (window == nullptr)
        return;
    Qt::CursorShape qtShape = Qt::ArrowCursor;
    switch (shape) {
    case CursorShape::kArrow:
        break;
    case CursorShape::kSizeWestEast:
        qtShape = Qt::SizeHorCursor;
        break;
    case CursorShape::kSizeNorthSouth:
        qtShape = Qt::SizeVerCursor;
        break;
    case CursorShape::kIBeam:
        qtShape = Qt::IBeamCursor;
        break;
    case CursorShape::kDrag:
        qtShape = Qt::DragMoveCursor;
        break;
    case CursorShape::kWait:
        qtShape = Qt::WaitCursor;
        break;
    }
    window->setCursor(QCursor(qtShape));
}
