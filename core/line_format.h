// The labels that put line numbers in front of displayed, printed and copied lines.
#pragma once

#include "core/string.h"

#include <cstddef>
#include <cstdint>

// The label beside a line: the mark "+" when marked (else a blank), after the 1-based number
// when there is a line (lineIndex >= 0) and width is nonzero.
[[nodiscard]] STRING FormatLineLabel(bool marked, int width, std::int64_t lineIndex);

// One line with its zero-padded number, tabs expanded, from character position skip on.
// text may be null.
[[nodiscard]] STRING FormatNumberedLine(std::int64_t lineIndex, int width, int tabSize,
                                        const STRING *text, std::size_t skip);
