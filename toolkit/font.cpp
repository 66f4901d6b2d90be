#include "toolkit/font.h"

#include "toolkit/font_private.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <algorithm>
#include <cstdlib>

static bool IsFixedPitchFace(const QString &face)
{
    return face.compare(QStringLiteral("Lucida Console"), Qt::CaseInsensitive) == 0
           || face.compare(QStringLiteral("Fixedsys"), Qt::CaseInsensitive) == 0
           || face.compare(QStringLiteral("Courier New"), Qt::CaseInsensitive) == 0
           || face.compare(QStringLiteral("Courier"), Qt::CaseInsensitive) == 0;
}

FONT::FONT(const char *faceName, int height, int weight, bool italic)
    : m_faceName(faceName != nullptr ? faceName : ""), m_d(std::make_unique<FontPrivate>())
{
    const QString face = QString::fromUtf8(m_faceName.c_str());
    // Fonts can be looked up only with an application object; without one the default font
    // stands in (measuring then still works).
    if (QGuiApplication::instance() != nullptr) {
        if (!face.isEmpty() && QFontDatabase::families().contains(face, Qt::CaseInsensitive))
            m_d->font = QFont(face);
        else
            m_d->font = QFontDatabase::systemFont(
                IsFixedPitchFace(face) ? QFontDatabase::FixedFont : QFontDatabase::GeneralFont);
    }
    // A negative height, as font dialogs give it, is the same size as the positive one.
    if (height != 0)
        m_d->font.setPixelSize(std::abs(height));
    if (weight > 0)
        m_d->font.setWeight(static_cast<QFont::Weight>(std::clamp(weight, 100, 900)));
    m_d->font.setItalic(italic);
}

FONT::~FONT() = default;

int FONT::Height() const
{
    return QFontMetrics(m_d->font).height();
}

int FONT::ExternalLeading() const
{
    return QFontMetrics(m_d->font).leading();
}

int FONT::AverageCharWidth() const
{
    return QFontMetrics(m_d->font).averageCharWidth();
}

int FONT::TextWidth(const char *text) const
{
    return QFontMetrics(m_d->font).horizontalAdvance(
        QString::fromUtf8(text != nullptr ? text : ""));
}
