#include "toolkit/memorydevicecontext.h"

#include "toolkit/devicecontext_private.h"

#include <algorithm>

static std::unique_ptr<DeviceContextPrivate> WhiteSurface(int width, int height)
{
    auto d = std::make_unique<DeviceContextPrivate>();
    d->image = QImage(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32);
    d->image.fill(Qt::white);
    d->painter = std::make_unique<QPainter>(&d->image);
    return d;
}

MEMORYDEVICECONTEXT::MEMORYDEVICECONTEXT(int width, int height)
    : DEVICECONTEXT(WhiteSurface(width, height))
{
    m_clip = {0, 0, width, height};
}

MEMORYDEVICECONTEXT::~MEMORYDEVICECONTEXT() = default;

COLORREF MEMORYDEVICECONTEXT::Pixel(int x, int y) const
{
    if (!m_d->image.valid(x, y))
        return 0;
    return FromQColor(QColor(m_d->image.pixel(x, y)));
}

bool MEMORYDEVICECONTEXT::SavePng(const char *path) const
{
    return m_d->image.save(QString::fromUtf8(path), "PNG");
}
