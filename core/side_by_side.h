// Two pieces of work at the same time: one on the caller's thread, one on a thread started for
// it. Each piece must touch nothing the other one touches.
#pragma once

#include <functional>

// Runs beside on a second thread while here runs on this one, and returns when both are done.
// When no thread can be started, beside runs after here, on this thread.
void RunSideBySide(const std::function<void()> &beside, const std::function<void()> &here);
