// The gauge of the status dialogs: a framed bar filled to a percentage. One object serves
// every gauge window of the process; only one status dialog is on screen at a time.
#pragma once

#include "toolkit/window.h"

inline constexpr unsigned kGaugeMessage = kMsgUser; // first parameter: the percentage
inline constexpr const char *kGaugeClassName = "Kesta_Gauge";

class PROGRESSCONTROL : public WINDOW
{
public:
    int MessageHandler(unsigned message) override;
    int Command() override { return 1; }
    int MouseMove() override { return 1; }
    void Paint(DEVICECONTEXT &dc) override;

    int m_percent = 0;
};

// The process-wide gauge object.
PROGRESSCONTROL &TheGauge();

// Registers the gauge's window class once per process: 1 on success or when registered
// before, 0 on failure.
int RegisterGaugeClass();
