// The user's date and time formats and the operating-system description.
#pragma once

#include "core/string.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct LOCALE_SETTINGS
{
    int time24 = 1; // exactly 1: 24-hour clock; anything else: 12-hour
    char timeSeparator = ':';
    std::string amDesignator; // after hours 0..11 in 12-hour mode
    std::string pmDesignator; // after hours 12..23 in 12-hour mode
    int leadingZero = 0;      // nonzero: hours always two digits
    std::string shortDate = "dd.MM.yyyy";
};

// The process-wide settings.
[[nodiscard]] LOCALE_SETTINGS &LocaleSettings();

// Fills the process-wide settings from the LC_TIME locale (in the C locale the defaults hold).
void LoadLocaleSettings();

// The settings a locale's date format, time format and AM and PM texts (strftime style, as
// nl_langinfo gives them) stand for. Date conversions become pattern letters (%d dd, %e d,
// %m MM, %Y yyyy, %y yy; %D and %F are spelled out; other conversions are left out), every other
// character is kept. %I, %l or %r in the time format mean a 12-hour clock; %H and %I mean
// two-digit hours, %k and %l not; the first literal character of the time format is the
// separator. A format that says nothing about a setting leaves its default.
[[nodiscard]] LOCALE_SETTINGS LocaleSettingsFromFormats(std::string_view dateFormat,
                                                        std::string_view timeFormat,
                                                        std::string_view amText,
                                                        std::string_view pmText);

// The date and time in the user's format, without seconds; null when the date's day is 0.
[[nodiscard]] std::unique_ptr<STRING> FormatDateTime(std::uint32_t date, std::uint32_t time);

// "Linux version 6.1 x86_64 (Build 12)" from uname(); nullopt when uname fails.
[[nodiscard]] std::optional<STRING> OsDescription();
