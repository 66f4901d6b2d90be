#include "toolkit/application.h"

#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <cstdlib>

struct APPLICATION::Impl
{
    Impl(int &argc, char **argv) : application(argc, argv) {}
    QApplication application;
};

// Two panes, the right one with a marked line: the same picture as the desktop file's icon.
static QIcon ProgramIcon()
{
    constexpr int kSize = 32;
    QPixmap picture(kSize, kSize);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setPen(QColor(0x30, 0x30, 0x30));
    painter.setBrush(Qt::white);
    painter.drawRect(2, 4, 12, 24);
    painter.drawRect(18, 4, 12, 24);
    painter.fillRect(19, 14, 11, 5, QColor(0xFF, 0xFF, 0x00));
    for (const int y : {8, 11, 22, 25}) {
        painter.drawLine(4, y, 12, y);
        painter.drawLine(20, y, 28, y);
    }
    painter.drawLine(4, 16, 12, 16);
    return QIcon(picture);
}

APPLICATION::APPLICATION(int &argc, char **argv, const char *name)
    : m_impl(std::make_unique<Impl>(argc, argv))
{
    QApplication::setApplicationName(QString::fromUtf8(name));
    QApplication::setWindowIcon(ProgramIcon());
    // The program ends when its main window says so, not when a window closes.
    QApplication::setQuitOnLastWindowClosed(false);
}

APPLICATION::~APPLICATION() = default;

ScreenSize PrimaryScreenSize()
{
    if (QApplication::instance() == nullptr)
        return {};
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return {};
    const QSize size = screen->size();
    return {size.width(), size.height()};
}

const char *MissingDisplay()
{
    const auto set = [](const char *name) {
        const char *value = std::getenv(name);
        return value != nullptr && *value != '\0';
    };
    if (set("QT_QPA_PLATFORM") || set("DISPLAY") || set("WAYLAND_DISPLAY"))
        return nullptr;
    return "no display to open a window on (DISPLAY and WAYLAND_DISPLAY are not set)";
}
