// The comparison options of a text load: option bits and tab size, everything else default.
#pragma once

#include "core/options.h"

#include <cstdint>

namespace testsupport {

inline CompareOptions TextOptions(std::uint32_t bits = 0, std::int32_t tabSize = 4)
{
    CompareOptions options;
    options.optionBits = bits;
    options.tabSize = tabSize;
    return options;
}

} // namespace testsupport
