// The frame side of top-level windows, for the toolkit's own sources.
#pragma once

#include "toolkit/window.h"

class QMenuBar;

// Puts the bar at the top of the window's frame; false when the window has no frame.
bool SetFrameMenuBar(WindowHandle window, QMenuBar *bar);
