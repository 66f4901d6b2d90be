// A drawing surface for one window: while the window paints, its screen; outside painting a
// scratch surface of the client area's size, good for measuring text (a window's screen is
// drawn only while it paints).
#pragma once

#include "toolkit/devicecontext.h"

class WINDOW;

class WINDEVICECONTEXT : public DEVICECONTEXT
{
public:
    explicit WINDEVICECONTEXT(WINDOW &window);
    ~WINDEVICECONTEXT() override;

    [[nodiscard]] bool Painting() const { return m_painting; }

private:
    WINDOW &m_window;
    bool m_painting = false;
};
