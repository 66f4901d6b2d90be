// kesta's command line: the text the desktop hands over split into arguments, and the options
// at its front applied to the settings. Options begin with '-' ("-t8", "-an", "-b-"); "--" or a
// lone "-" ends them; the next two arguments are the left and the right side.
#pragma once

#include "core/string.h"

#include <string>
#include <string_view>
#include <vector>

struct SETTINGS;

// The fixed first argument.
inline constexpr const char *kProgramArgument = "Kesta";

// Splits a command line (without the program name) the way the platform's runtime does:
// blanks and tabs separate arguments outside double quotes; n backslashes before a double
// quote give n/2 backslashes, and the quote toggles quoting when n is even and is a literal
// quote when n is odd; other backslashes are kept; inside quotes "" is a literal quote that
// also ends the quoting. The first element is always "Kesta".
[[nodiscard]] std::vector<std::string> SplitCommandLine(std::string_view text);

struct KestaCommandLine
{
    int nextArgument = 1;              // the first argument after the options
    const char *optionValue = nullptr; // value of the last option that took one, or null
    STRING left;                       // empty when not given
    STRING right;
};

// Applies the options at the front of the arguments (arguments[0] is the program) to the
// settings and takes the two arguments after them as the sides, unchanged. A letter without
// meaning ends the options; its argument is used up. The result points into arguments.
[[nodiscard]] KestaCommandLine ApplyCommandLine(const std::vector<std::string> &arguments,
                                                SETTINGS &settings);

// A side as given on the command line made a full path against the current directory ("." and
// ".." resolved, a pattern kept); an empty name stays empty.
[[nodiscard]] STRING FullSidePath(std::string_view name);
