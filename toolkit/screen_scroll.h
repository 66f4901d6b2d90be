// Partial repaints of a window: moving part of its client image, and asking for one rectangle
// to be painted again. Both take effect when the window paints next.
#pragma once

#include "toolkit/devicecontext.h"

class WINDOW;

// Moves the image inside `area` by dy pixels (down when positive); the strip the move uncovers
// is repainted. Nothing happens to a window that is not on screen.
void ScrollWindowImage(WINDOW &window, const Rect &area, int dy);
// Requests a repaint of one rectangle of the client area.
void InvalidateWindowRect(WINDOW &window, const Rect &r);
