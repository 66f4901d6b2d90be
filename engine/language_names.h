// Names of Windows language identifiers, worded as the Windows language-name function gives
// them in English ("English (United States)" for 0x0409), so that a version resource's
// translation reads the same on every platform.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// A language identifier holds the primary language in its low 10 bits and the sublanguage in
// the high 6 bits.
inline constexpr std::uint16_t kPrimaryLanguageMask = 0x03FF;

// The name of languageId. An identifier whose sublanguage is not known takes the name of its
// primary language alone; none when the primary language is not known either.
[[nodiscard]] std::optional<std::string_view> LanguageName(std::uint16_t languageId);
