#include "toolkit/progresscontrol.h"

#include "toolkit/devicecontext.h"

static constexpr int kFullGauge = 100;

PROGRESSCONTROL &TheGauge()
{
    static PROGRESSCONTROL gauge;
    return gauge;
}

int RegisterGaugeClass()
{
    return RegisterWindowClass(kGaugeClassName, /*opaque=*/false, /*arrowCursor=*/true);
}

int PROGRESSCONTROL::MessageHandler(unsigned message)
{
    if (message != kGaugeMessage)
        return 1;
    // Taken as unsigned, a negative percentage is huge and fills the bar like 150 does.
    m_percent = m_wParam <= static_cast<MessageParam>(kFullGauge) ? static_cast<int>(m_wParam)
                                                                  : kFullGauge;
    Invalidate(/*now=*/true);
    return 0;
}

void PROGRESSCONTROL::Paint(DEVICECONTEXT &dc)
{
    Rect r{0, 0, ClientWidth(), ClientHeight()};
    dc.FrameRect(r, 0x000000);
    r = {r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
    if (r.right <= r.left)
        return;
    const unsigned span = static_cast<unsigned>(r.right - r.left);
    const int x = r.left + static_cast<int>(span * static_cast<unsigned>(m_percent) / kFullGauge);
    if (r.right > x) {
        dc.SetBkColor(SysColor(SystemColour::kCaptionText));
        dc.TextOut(x, r.top, {x, r.top, r.right, r.bottom}, "");
    }
    if (x > r.left) {
        dc.SetBkColor(SysColor(SystemColour::kActiveCaption));
        dc.TextOut(r.left, r.top, {r.left, r.top, x, r.bottom}, "");
    }
}
