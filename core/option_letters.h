// The letters both programs' command lines use for directory options and sort modes.
#pragma once

#include <cstdint>
#include <optional>

// u ignore subdirectories, i ignore single files, t ignore date and time, s ignore size, in
// either case; 0 for any other letter.
[[nodiscard]] std::uint16_t DirOptionBitsForLetter(char letter);

// d or t date, e extension, n name, s size, in either case; nullopt for any other letter.
[[nodiscard]] std::optional<std::int32_t> SortModeForLetter(char letter);
