#include "core/locale_settings.h"

#include <clocale>
#include <cstdio>
#include <langinfo.h>
#include <sys/utsname.h>

// Packed dates count years from this one.
static constexpr int kPackedYearBase = 1920;
// Two-digit years are shown up to this year; from it on the year reads "??".
static constexpr int kTwoDigitYearLimit = 2050;

LOCALE_SETTINGS &LocaleSettings()
{
    static LOCALE_SETTINGS settings;
    return settings;
}

static char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Skips the glibc flags, a field width and the E or O modifier that may stand between '%' and
// the conversion letter; answers the index of the letter (or the end).
static std::size_t ConversionLetterAt(std::string_view format, std::size_t i)
{
    while (i < format.size()
           && (format[i] == '-' || format[i] == '_' || format[i] == '0' || format[i] == '^'
               || format[i] == '#' || (format[i] >= '1' && format[i] <= '9'))) {
        ++i;
    }
    if (i < format.size() && (format[i] == 'E' || format[i] == 'O')) {
        ++i;
    }
    return i;
}

static void AppendDatePattern(std::string &pattern, std::string_view format)
{
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 == format.size()) {
            pattern += format[i];
            continue;
        }
        i = ConversionLetterAt(format, i + 1);
        if (i == format.size()) {
            break;
        }
        switch (format[i]) {
        case 'd':
            pattern += "dd";
            break;
        case 'e':
            pattern += "d";
            break;
        case 'm':
            pattern += "MM";
            break;
        case 'Y':
            pattern += "yyyy";
            break;
        case 'y':
            pattern += "yy";
            break;
        case 'D':
            AppendDatePattern(pattern, "%m/%d/%y");
            break;
        case 'F':
            AppendDatePattern(pattern, "%Y-%m-%d");
            break;
        case '%':
            pattern += '%';
            break;
        default:
            // Names of months and weekdays and the like have no pattern letter.
            break;
        }
    }
}

// Spells out the composite time conversions, so that their hour field and separator count.
static std::string ExpandTimeFormat(std::string_view format)
{
    std::string expanded;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size()) {
            switch (format[i + 1]) {
            case 'r':
                expanded += "%I:%M:%S %p";
                ++i;
                continue;
            case 'T':
                expanded += "%H:%M:%S";
                ++i;
                continue;
            case 'R':
                expanded += "%H:%M";
                ++i;
                continue;
            default:
                break;
            }
        }
        expanded += format[i];
    }
    return expanded;
}

LOCALE_SETTINGS LocaleSettingsFromFormats(std::string_view dateFormat, std::string_view timeFormat,
                                          std::string_view amText, std::string_view pmText)
{
    LOCALE_SETTINGS settings;

    std::string pattern;
    AppendDatePattern(pattern, dateFormat);
    if (!pattern.empty()) {
        settings.shortDate = pattern;
    }

    std::string time = ExpandTimeFormat(timeFormat);
    bool separatorFound = false;
    for (std::size_t i = 0; i < time.size(); ++i) {
        if (time[i] != '%' || i + 1 == time.size()) {
            if (!separatorFound) {
                separatorFound = true;
                // Only one byte is kept: a byte of a multibyte character alone would show as
                // garbage, so such a locale keeps the default.
                if (static_cast<unsigned char>(time[i]) < 0x80) {
                    settings.timeSeparator = time[i];
                }
            }
            continue;
        }
        i = ConversionLetterAt(time, i + 1);
        if (i == time.size()) {
            break;
        }
        switch (time[i]) {
        case 'H':
            settings.time24 = 1;
            settings.leadingZero = 1;
            break;
        case 'k':
            settings.time24 = 1;
            settings.leadingZero = 0;
            break;
        case 'I':
            settings.time24 = 0;
            settings.leadingZero = 1;
            break;
        case 'l':
            settings.time24 = 0;
            settings.leadingZero = 0;
            break;
        default:
            break;
        }
    }

    settings.amDesignator = amText;
    settings.pmDesignator = pmText;
    return settings;
}

// The C and POSIX locales (and their UTF-8 variants) carry no date preferences of a user.
static bool IsPlainCLocale(std::string_view name)
{
    return name == "C" || name == "POSIX" || name.starts_with("C.");
}

void LoadLocaleSettings()
{
    LOCALE_SETTINGS settings;
    // Only the formats are wanted here; the process's own LC_TIME stays as it was.
    const char *previous = std::setlocale(LC_TIME, nullptr);
    std::string saved = previous != nullptr ? previous : "C";
    const char *name = std::setlocale(LC_TIME, "");
    if (name != nullptr && !IsPlainCLocale(name)) {
        settings = LocaleSettingsFromFormats(nl_langinfo(D_FMT), nl_langinfo(T_FMT),
                                             nl_langinfo(AM_STR), nl_langinfo(PM_STR));
    }
    std::setlocale(LC_TIME, saved.c_str());
    LocaleSettings() = std::move(settings);
}

static void AppendTwoDigits(std::string &text, int value)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02d", value);
    text += buffer;
}

static void AppendYear(std::string &text, int year, bool fourDigits)
{
    char buffer[16];
    if (fourDigits) {
        std::snprintf(buffer, sizeof buffer, "%04d", year);
    } else if (year >= kTwoDigitYearLimit) {
        std::snprintf(buffer, sizeof buffer, "??");
    } else {
        std::snprintf(buffer, sizeof buffer, "%02d", year >= 2000 ? year - 2000 : year - 1900);
    }
    text += buffer;
}

std::unique_ptr<STRING> FormatDateTime(std::uint32_t date, std::uint32_t time)
{
    int day = static_cast<int>(date & 0xFF);
    if (day == 0) {
        return nullptr; // no date: the time is not shown either
    }
    int month = static_cast<int>((date >> 8) & 0xFF);
    int year = static_cast<int>((date >> 16) & 0xFF) + kPackedYearBase;
    int hour = static_cast<int>((time >> 24) & 0xFF);
    int minute = static_cast<int>((time >> 16) & 0xFF);

    const LOCALE_SETTINGS &settings = LocaleSettings();
    const std::string &pattern = settings.shortDate;
    auto text = std::make_unique<STRING>();
    bool dayWritten = false;
    bool monthWritten = false;
    bool yearWritten = false;
    auto letterAt = [&](std::size_t i) { return i < pattern.size() ? LowerAscii(pattern[i]) : 0; };

    // Each field is written at its first occurrence only; later ones are consumed silently.
    for (std::size_t i = 0; i < pattern.size();) {
        char letter = letterAt(i);
        if (letter == 'd' || letter == 'm') {
            bool &written = letter == 'd' ? dayWritten : monthWritten;
            if (!written) {
                AppendTwoDigits(*text, letter == 'd' ? day : month);
                written = true;
            }
            i += letterAt(i + 1) == letter ? 2 : 1;
        } else if (letter == 'y') {
            if (letterAt(i + 1) != 'y') {
                ++i; // a lone y stands for nothing
                continue;
            }
            bool fourDigits = letterAt(i + 2) == 'y' && letterAt(i + 3) == 'y';
            if (!yearWritten) {
                AppendYear(*text, year, fourDigits);
                yearWritten = true;
            }
            i += fourDigits ? 4 : 2;
        } else {
            *text += pattern[i];
            ++i;
        }
    }
    *text += ' ';

    char buffer[32];
    const char *format = settings.leadingZero != 0 ? "%02d%c%02d" : "%2d%c%02d";
    if (settings.time24 == 1) {
        std::snprintf(buffer, sizeof buffer, format, hour, settings.timeSeparator, minute);
        *text += buffer;
    } else {
        // Midnight and noon show as hour 0.
        bool morning = hour < 12;
        std::snprintf(buffer, sizeof buffer, format, morning ? hour : hour - 12,
                      settings.timeSeparator, minute);
        *text += buffer;
        *text += ' ';
        *text += morning ? settings.amDesignator : settings.pmDesignator;
    }
    return text;
}

// The leading decimal number of text from i on (0 when there is none); i moves past it and past
// one following point.
static int NextReleaseNumber(std::string_view text, std::size_t &i)
{
    int value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        if (value < 100000000) {
            value = value * 10 + (text[i] - '0');
        }
        ++i;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
    }
    return value;
}

std::optional<STRING> OsDescription()
{
    struct utsname names
    {
    };
    if (uname(&names) != 0) {
        return std::nullopt;
    }
    std::string_view release = names.release;
    std::size_t i = 0;
    int major = NextReleaseNumber(release, i);
    int minor = NextReleaseNumber(release, i);
    int build = NextReleaseNumber(release, i);
    char buffer[sizeof names.sysname + sizeof names.machine + 64];
    std::snprintf(buffer, sizeof buffer, "%s version %d.%d %s (Build %d)", names.sysname, major,
                  minor, names.machine, build & 0xFFFF);
    return STRING(buffer);
}
