// The texts kestacon prints: its banner, usage and information texts, and the one-line messages
// it ends with when something fails.
#pragma once

#include "core/string.h"

#include <string_view>
#include <vector>

// "Error" or "Fatal", then " <path> 0" when a path belongs to it, then ": " and the message
// ("?" when there is none). No line end; control characters of path and message show as '?'.
[[nodiscard]] STRING ErrorLine(const char *kind, const char *path, const char *message);

inline constexpr const char *kErrorKind = "Error";
inline constexpr const char *kFatalKind = "Fatal";

// Message texts of the error lines.
inline constexpr const char *kNotFoundText = "not found";
inline constexpr const char *kPatternText = "a file cannot be compared with a wildcard pattern";
inline constexpr const char *kCannotExtractFormat = "cannot extract %s";
inline constexpr const char *kOutOfMemoryText = "out of memory";
// Followed by ": " and the system's reason when standard output fails a write.
inline constexpr const char *kCannotWriteOutputText = "cannot write the output";
// Shown, followed by the side's name and a space, while a side is loaded.
inline constexpr const char *kLoadingText = "Loading";
// While -gc reads the files of undecided pairs.
inline constexpr const char *kComparingContentsText = "Comparing contents";

// "kestacon <version>: ..." on one line.
[[nodiscard]] STRING Banner();
// The usage text, one entry per line, without the banner.
[[nodiscard]] std::vector<STRING> UsageLines();
// The information text, one entry per line, without the banner.
[[nodiscard]] std::vector<STRING> InformationLines(std::string_view osDescription);
