// The one-line messages kestacon ends with when something fails.
#pragma once

#include "core/string.h"

// "Error" or "Fatal", then " <path> 0" when a path belongs to it, then ": " and the message
// ("?" when there is none). No line end.
[[nodiscard]] STRING ErrorLine(const char *kind, const char *path, const char *message);
