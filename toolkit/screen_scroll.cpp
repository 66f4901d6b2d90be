#include "toolkit/screen_scroll.h"

#include "toolkit/window.h"
#include "toolkit/window_widget.h"

#include <cstdlib>

void ScrollWindowImage(WINDOW &window, const Rect &area, int dy)
{
    WindowWidget *widget = window.m_hWnd;
    if (widget == nullptr || area.right <= area.left || area.bottom <= area.top)
        return;
    const QRect rect(area.left, area.top, area.right - area.left, area.bottom - area.top);
    if (std::abs(dy) >= rect.height())
        widget->update(rect);
    else if (dy != 0)
        widget->scroll(0, dy, rect);
}

void InvalidateWindowRect(WINDOW &window, const Rect &r)
{
    WindowWidget *widget = window.m_hWnd;
    if (widget != nullptr && r.right > r.left && r.bottom > r.top)
        widget->update(r.left, r.top, r.right - r.left, r.bottom - r.top);
}
