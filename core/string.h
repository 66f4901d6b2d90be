// The engine's one text type. A standard string serves: an empty string stands for both the
// empty and the absent text, which every reader treats alike. Operations that may answer "no
// text at all" return std::unique_ptr<STRING> (null) or std::optional.
#pragma once

#include <string>
#include <string_view>

using STRING = std::string;

// Replaces each TAB by spaces up to the next multiple of tabWidth, counting output columns from
// 0. A text without TAB is returned unchanged. Columns count display width (a UTF-8 sequence is
// one character of its wcwidth; an invalid byte is one column); for ASCII this is one byte. A
// width below 1 counts as 1.
[[nodiscard]] STRING ExpandTabs(std::string_view text, int tabWidth);

// Byte-wise comparison as unsigned characters: -1, 0 or +1.
[[nodiscard]] int CompareStrings(std::string_view a, std::string_view b);

// In-place upper-casing of ASCII letters (the C locale's toupper).
void UpperCaseInPlace(STRING &text);
