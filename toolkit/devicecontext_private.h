// The window system's side of a drawing surface. Private to the toolkit.
#pragma once

#include "toolkit/devicecontext.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <array>
#include <memory>
#include <optional>

struct DeviceContextPrivate
{
    QImage image; // the surface when drawing goes to memory
    std::unique_ptr<QPainter> painter;
    const FONT *font = nullptr;                // selected font; null: the painter's own
    std::array<std::optional<QColor>, 4> pens; // made on first use
    PenKind pen = PenKind::kText;
};

QColor ToQColor(COLORREF colour);
COLORREF FromQColor(const QColor &colour);
