#include "toolkit/windevicecontext.h"

#include "toolkit/devicecontext_private.h"
#include "toolkit/window.h"
#include "toolkit/window_widget.h"

#include <algorithm>

static std::unique_ptr<DeviceContextPrivate> SurfaceFor(WINDOW &window, bool &painting)
{
    auto d = std::make_unique<DeviceContextPrivate>();
    WindowWidget *widget = window.m_hWnd;
    painting = widget != nullptr && widget->m_paintRect.has_value();
    if (painting) {
        d->painter = std::make_unique<QPainter>(widget);
    } else {
        const int width = widget != nullptr ? std::max(widget->width(), 1) : 1;
        const int height = widget != nullptr ? std::max(widget->height(), 1) : 1;
        d->image = QImage(width, height, QImage::Format_RGB32);
        d->painter = std::make_unique<QPainter>(&d->image);
        if (widget != nullptr)
            d->painter->setFont(widget->font());
    }
    return d;
}

WINDEVICECONTEXT::WINDEVICECONTEXT(WINDOW &window)
    : DEVICECONTEXT(SurfaceFor(window, m_painting)), m_window(window)
{
    if (m_painting) {
        const QRect area = *m_window.m_hWnd->m_paintRect;
        m_clip = {area.left(), area.top(), area.right() + 1, area.bottom() + 1};
    } else {
        m_clip = {0, 0, m_window.ClientWidth(), m_window.ClientHeight()};
    }
}

WINDEVICECONTEXT::~WINDEVICECONTEXT() = default;
