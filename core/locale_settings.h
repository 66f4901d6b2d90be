// The user's date and time formats and the operating-system description.
#pragma once

#include "core/string.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

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

// The date and time in the user's format, without seconds; null when the date's day is 0.
[[nodiscard]] std::unique_ptr<STRING> FormatDateTime(std::uint32_t date, std::uint32_t time);

// "Linux version 6.1 x86_64 (Build 12)" from uname(); nullopt when uname fails.
[[nodiscard]] std::optional<STRING> OsDescription();
