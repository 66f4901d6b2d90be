// The only mode while no comparison is shown: F3 asks for the sides, and keys, scroll bars and
// mouse buttons do nothing.
#pragma once

#include "gui/winmode.h"

class EMPTYWINDOW : public WINMODE
{
public:
    using WINMODE::WINMODE;
    int MessageHandler(unsigned message) override;
};
