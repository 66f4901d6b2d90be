#include "toolkit/devicecontext.h"

#include "toolkit/devicecontext_private.h"
#include "toolkit/font_private.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPalette>
#include <algorithm>
#include <cstdlib>
#include <cstring>

// A caption that cannot be measured is taken as this many pixels a character.
static constexpr int kFallbackCharWidth = 5;
static constexpr int kArrowWidth = 8;

QColor ToQColor(COLORREF colour)
{
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

COLORREF FromQColor(const QColor &colour)
{
    return static_cast<COLORREF>(colour.red()) | (static_cast<COLORREF>(colour.green()) << 8)
           | (static_cast<COLORREF>(colour.blue()) << 16);
}

COLORREF SysColor(SystemColour colour)
{
    const QPalette palette
        = QApplication::instance() != nullptr ? QApplication::palette() : QPalette();
    switch (colour) {
    case SystemColour::kButtonFace:
        return FromQColor(palette.color(QPalette::Active, QPalette::Button));
    case SystemColour::kButtonHighlight:
        return FromQColor(palette.color(QPalette::Active, QPalette::Light));
    case SystemColour::kButtonShadow:
        return FromQColor(palette.color(QPalette::Active, QPalette::Dark));
    case SystemColour::kWindowText:
        return FromQColor(palette.color(QPalette::Active, QPalette::WindowText));
    case SystemColour::kWindow:
        return FromQColor(palette.color(QPalette::Active, QPalette::Base));
    case SystemColour::kActiveCaption:
    case SystemColour::kHighlight:
        return FromQColor(palette.color(QPalette::Active, QPalette::Highlight));
    case SystemColour::kCaptionText:
    case SystemColour::kHighlightText:
        return FromQColor(palette.color(QPalette::Active, QPalette::HighlightedText));
    case SystemColour::kInactiveCaption:
        return 0x808080; // a neutral grey: themes have no inactive caption
    }
    return 0;
}

static QColor PenColour(PenKind pen)
{
    switch (pen) {
    case PenKind::kHighlight:
        return ToQColor(SysColor(SystemColour::kButtonHighlight));
    case PenKind::kShadow:
        return ToQColor(SysColor(SystemColour::kButtonShadow));
    case PenKind::kText:
        return ToQColor(SysColor(SystemColour::kWindowText));
    case PenKind::kFace:
        return ToQColor(SysColor(SystemColour::kButtonFace));
    }
    return {};
}

// At most `limit` UTF-8 characters of a text, never cutting a character in two.
static QString LimitedText(const char *text, std::size_t limit)
{
    if (text == nullptr)
        return {};
    const std::size_t length = std::strlen(text);
    std::size_t bytes = 0;
    std::size_t characters = 0;
    while (bytes < length) {
        if ((static_cast<unsigned char>(text[bytes]) & 0xC0) != 0x80) {
            if (characters == limit)
                break;
            ++characters;
        }
        ++bytes;
    }
    return QString::fromUtf8(text, static_cast<qsizetype>(bytes));
}

DEVICECONTEXT::DEVICECONTEXT(std::unique_ptr<DeviceContextPrivate> d) : m_d(std::move(d)) {}

DEVICECONTEXT::~DEVICECONTEXT()
{
    if (m_d->painter && m_d->painter->isActive())
        m_d->painter->end();
}

COLORREF DEVICECONTEXT::SetBkColor(COLORREF colour)
{
    return std::exchange(m_bkColor, colour);
}

COLORREF DEVICECONTEXT::SetTextColor(COLORREF colour)
{
    return std::exchange(m_textColor, colour);
}

int DEVICECONTEXT::SetTextAlign(int align)
{
    return std::exchange(m_textAlign, align);
}

void DEVICECONTEXT::SelectFont(const FONT *font)
{
    m_d->font = font;
}

void DEVICECONTEXT::SelectPen(PenKind pen)
{
    auto &made = m_d->pens[static_cast<std::size_t>(pen)];
    if (!made)
        made = PenColour(pen);
    m_d->pen = pen;
}

void DEVICECONTEXT::MoveTo(int x, int y)
{
    m_x = x;
    m_y = y;
}

void DEVICECONTEXT::LineTo(int x, int y)
{
    QPainter *painter = m_d->painter.get();
    auto &pen = m_d->pens[static_cast<std::size_t>(m_d->pen)];
    if (!pen)
        pen = PenColour(m_d->pen);
    if (painter != nullptr) {
        // Walk the line and set every pixel but the end point, so that lines drawn end to
        // end do not paint their joints twice.
        const int dx = std::abs(x - m_x);
        const int dy = -std::abs(y - m_y);
        const int sx = m_x < x ? 1 : -1;
        const int sy = m_y < y ? 1 : -1;
        int error = dx + dy;
        int px = m_x;
        int py = m_y;
        while (px != x || py != y) {
            painter->fillRect(px, py, 1, 1, *pen);
            const int twice = 2 * error;
            if (twice >= dy) {
                error += dy;
                px += sx;
            }
            if (twice <= dx) {
                error += dx;
                py += sy;
            }
        }
    }
    m_x = x;
    m_y = y;
}

void DEVICECONTEXT::FillRect(const Rect &r, COLORREF colour)
{
    if (m_d->painter && r.right > r.left && r.bottom > r.top)
        m_d->painter->fillRect(r.left, r.top, r.right - r.left, r.bottom - r.top, ToQColor(colour));
}

void DEVICECONTEXT::FrameRect(const Rect &r, COLORREF colour)
{
    if (r.right <= r.left || r.bottom <= r.top)
        return;
    FillRect({r.left, r.top, r.right, r.top + 1}, colour);
    FillRect({r.left, r.bottom - 1, r.right, r.bottom}, colour);
    FillRect({r.left, r.top, r.left + 1, r.bottom}, colour);
    FillRect({r.right - 1, r.top, r.right, r.bottom}, colour);
}

void DEVICECONTEXT::TextOut(int x, int y, const Rect &clip, const char *text)
{
    QPainter *painter = m_d->painter.get();
    if (painter == nullptr || clip.right <= clip.left || clip.bottom <= clip.top)
        return;
    FillRect(clip, m_bkColor);
    const QString shown = LimitedText(text, kMaxTextOut);
    if (shown.isEmpty())
        return;
    painter->save();
    painter->setClipRect(clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top);
    if (m_d->font != nullptr)
        painter->setFont(m_d->font->Private().font);
    painter->setPen(ToQColor(m_textColor));
    const QFontMetrics metrics = painter->fontMetrics();
    const int left = m_textAlign == kTextAlignRight ? x - metrics.horizontalAdvance(shown) : x;
    // The point names the text's top; the painter places text by its baseline.
    painter->drawText(left, y + metrics.ascent(), shown);
    painter->restore();
}

int DEVICECONTEXT::TextWidth(const char *text) const
{
    if (m_d->font != nullptr)
        return m_d->font->TextWidth(text);
    if (m_d->painter)
        return m_d->painter->fontMetrics().horizontalAdvance(LimitedText(text, kMaxTextOut));
    return -1;
}

void DEVICECONTEXT::DrawHeaderButtons(int left, int top, int right, int bottom,
                                      const std::vector<HeaderButton> &buttons, int firstColumn,
                                      const FONT *font)
{
    SelectFont(font);
    // The button under the first shown column, and how far into it the view starts.
    std::size_t first = buttons.size();
    int offset = 0;
    int start = 0;
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        if (buttons[i].defaultWidth <= 0)
            continue;
        if (buttons[i].width <= 0 || firstColumn < start + buttons[i].width) {
            first = i;
            offset = std::max(0, firstColumn - start);
            break;
        }
        start += buttons[i].width;
    }
    int x = left;
    bool isFirst = true;
    for (std::size_t i = first; i < buttons.size() && x <= right; ++i) {
        const HeaderButton &button = buttons[i];
        if (button.defaultWidth <= 0)
            continue;
        int buttonRight = isFirst
                              ? left + m_charWidth / 2 + (button.width - offset) * m_charWidth - 1
                              : x + button.width * m_charWidth - 1;
        const bool last = button.width <= 0 || buttonRight >= right - 1;
        if (last)
            buttonRight = right;
        if (button.state & kButtonRightAligned)
            SetTextAlign(kTextAlignRight);
        DrawHeaderButton({x, top, buttonRight, bottom}, button.caption.c_str(), button.state);
        SetTextAlign(kTextAlignLeft);
        if (last)
            break;
        x = buttonRight + 1;
        isFirst = false;
    }
}

void DEVICECONTEXT::DrawHeaderButton(const Rect &r, const char *caption, unsigned state)
{
    const bool pressed = (state & (kButtonHighlighted | kButtonPressed)) != 0;
    // Edges: outer on the rectangle's border, inner one pixel inside.
    if (!pressed) {
        SelectPen(PenKind::kHighlight);
        MoveTo(r.left, r.bottom);
        LineTo(r.left, r.top);
        LineTo(r.right, r.top);
        SelectPen(PenKind::kShadow);
        MoveTo(r.left + 1, r.bottom - 1);
        LineTo(r.right - 1, r.bottom - 1);
        LineTo(r.right - 1, r.top);
        SelectPen(PenKind::kText);
        MoveTo(r.left, r.bottom);
        LineTo(r.right, r.bottom);
        LineTo(r.right, r.top - 1);
    } else {
        SelectPen(PenKind::kText);
        MoveTo(r.left, r.bottom);
        LineTo(r.left, r.top);
        LineTo(r.right, r.top);
        SelectPen(PenKind::kShadow);
        MoveTo(r.left + 1, r.bottom - 1);
        LineTo(r.left + 1, r.top + 1);
        LineTo(r.right - 1, r.top + 1);
        SelectPen(PenKind::kFace);
        MoveTo(r.left + 1, r.bottom - 1);
        LineTo(r.right - 1, r.bottom - 1);
        LineTo(r.right - 1, r.top + 1);
        SelectPen(PenKind::kHighlight);
        MoveTo(r.left, r.bottom);
        LineTo(r.right, r.bottom);
        LineTo(r.right, r.top - 1);
    }
    const Rect inside{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
    const int shift = pressed ? 2 : 0;
    SetBkColor(SysColor((state & kButtonHighlighted) ? SystemColour::kButtonHighlight
                                                     : SystemColour::kButtonFace));
    SetTextColor(SysColor(SystemColour::kWindowText));
    const bool rightAligned = (state & kButtonRightAligned) != 0;
    const int textX = (rightAligned ? inside.right - 3 : inside.left + 2) + shift;
    TextOut(textX, inside.top + 1 + shift, inside, caption);

    const bool down = (state & kButtonArrowDown) != 0;
    if (!down && (state & kButtonArrowUp) == 0)
        return;
    int captionWidth = TextWidth(caption);
    if (captionWidth < 0)
        captionWidth = kFallbackCharWidth * static_cast<int>(std::strlen(caption));
    int f = 0;
    if (rightAligned) {
        f = std::max(inside.right - captionWidth - 17, inside.left + 3);
    } else {
        f = inside.left + captionWidth + 10;
        if (f > inside.right - 10)
            f = inside.right - 10 < inside.left + 5 ? inside.left + 5 : inside.right - 10;
    }
    const int t = inside.top;
    if (down) {
        SelectPen(PenKind::kShadow);
        MoveTo(f, t + 4);
        LineTo(f + kArrowWidth, t + 4);
        SelectPen(PenKind::kHighlight);
        MoveTo(f + 7, t + 5);
        LineTo(f + 3, t + 11);
        SelectPen(PenKind::kShadow);
        MoveTo(f, t + 5);
        LineTo(f + 4, t + 11);
    } else {
        SelectPen(PenKind::kHighlight);
        MoveTo(f, t + 10);
        LineTo(f + kArrowWidth, t + 10);
        MoveTo(f + 7, t + 9);
        LineTo(f + 3, t + 3);
        SelectPen(PenKind::kShadow);
        MoveTo(f, t + 9);
        LineTo(f + 4, t + 3);
    }
}

void DEVICECONTEXT::DrawSunkenPanel(const Rect &r, const char *text, const FONT *font)
{
    SelectPen(PenKind::kShadow);
    MoveTo(r.left, r.bottom);
    LineTo(r.left, r.top);
    LineTo(r.right + 1, r.top);
    SelectPen(PenKind::kHighlight);
    MoveTo(r.left + 1, r.bottom);
    LineTo(r.right, r.bottom);
    LineTo(r.right, r.top);
    SelectFont(font);
    TextOut(r.left + 4, r.top + 3, {r.left + 1, r.top + 1, r.right, r.bottom}, text);
}

void DEVICECONTEXT::DrawImage(const Rect &r, const std::uint8_t *rgba, int width, int height)
{
    QPainter *painter = m_d->painter.get();
    if (painter == nullptr || rgba == nullptr || width <= 0 || height <= 0 || r.right <= r.left
        || r.bottom <= r.top)
        return;
    const QImage picture(rgba, width, height, static_cast<qsizetype>(width) * 4,
                         QImage::Format_RGBA8888);
    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->drawImage(QRect(r.left, r.top, r.right - r.left, r.bottom - r.top), picture);
    painter->restore();
}

int DEVICECONTEXT::PixelsPerInchY() const
{
    constexpr int kUsualResolution = 96;
    const QPaintDevice *device = m_d->painter ? m_d->painter->device() : nullptr;
    return device != nullptr && device->logicalDpiY() > 0 ? device->logicalDpiY()
                                                          : kUsualResolution;
}
