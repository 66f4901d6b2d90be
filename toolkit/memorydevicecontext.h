// A drawing surface in memory, filled white at the start; its pixels can be read back.
#pragma once

#include "toolkit/devicecontext.h"

class MEMORYDEVICECONTEXT : public DEVICECONTEXT
{
public:
    MEMORYDEVICECONTEXT(int width, int height);
    ~MEMORYDEVICECONTEXT() override;

    // 0x00BBGGRR of a pixel; drawing still under way is included.
    [[nodiscard]] COLORREF Pixel(int x, int y) const;
    // Writes the surface as a PNG file (for looking at a drawing); false on failure.
    bool SavePng(const char *path) const;
};
