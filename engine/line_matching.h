// Line matching: pairs equal records of two DIFFITEMs so that the pairs never cross, then
// writes the aligned DIFFLIST.
#pragma once

#include "core/op_result.h"

#include <cstdint>

class DIFFITEM;
class DIFFLIST;
class STATUS_IO;

// Matches all of a against all of b and builds result (cleared first). levelLimit is 0 for
// files (no limit), 2 or 3 for the pieces of a line. 0 done, -1 cancelled through status.
[[nodiscard]] OpResult CompareItems(STATUS_IO *status, DIFFITEM &a, DIFFITEM &b, DIFFLIST &result,
                                    int levelLimit);

// Bit set in the answer of MatchRegion when matching was cancelled.
inline constexpr std::uint32_t kMatchCancelled = 0x8000;

// Matches a's records aFrom..aTo-1 with b's records bFrom..bTo-1 (a negative end stands for
// the record count). 0, or a value with kMatchCancelled set.
[[nodiscard]] std::uint32_t MatchRegion(DIFFITEM &a, DIFFITEM &b, std::int64_t aFrom,
                                        std::int64_t bFrom, std::int64_t aTo, std::int64_t bTo,
                                        int levelLimit, STATUS_IO *status);
