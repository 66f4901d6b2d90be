// Small integer answers shared by every layer: 0 success, 1 failure or end, -1 error or
// cancel, 2 changed on disk.
#pragma once

#include <cstdint>

using OpResult = std::int16_t;
inline constexpr OpResult kOk = 0;
inline constexpr OpResult kEndOrFailure = 1;
inline constexpr OpResult kErrorOrCancel = -1;
inline constexpr OpResult kChangedOnDisk = 2;
