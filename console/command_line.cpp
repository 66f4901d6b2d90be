#include "console/command_line.h"

#include "core/option_letters.h"

#include <cstring>
#include <optional>

static constexpr std::int32_t kMinTabSize = 1;
static constexpr std::int32_t kMaxTabSize = 19;
static constexpr std::int32_t kMinOutputWidth = 20;
static constexpr std::int32_t kMinMarginLines = 0;
static constexpr std::int32_t kParseError = -1;

// Letters that switch one option bit: '-' after the letter clears it, '+' or nothing sets it.
struct ToggleLetter
{
    char letter;
    std::uint32_t bit;
};
static constexpr ToggleLetter kToggleLetters[] = {
    {'A', kOptShowAll},    {'B', kOptIgnoreTrailingBlanks}, {'C', kOptIgnoreCase},
    {'F', kOptFoldLines},  {'N', kOptLineNumbers},          {'S', kOptIgnoreSpaces},
    {'X', kOptExpandTabs},
};

// Case folding without the locale: option letters are ASCII whatever the user's language.
static char AsciiUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

static bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The leading decimal number of an option value ("8", "-3", "12x" gives 12), or nothing when
// the value does not start with one or it does not fit 32 bits.
static std::optional<std::int32_t> LeadingNumber(const char *text)
{
    if (text == nullptr) {
        return std::nullopt;
    }
    bool negative = false;
    if (*text == '-' || *text == '+') {
        negative = *text == '-';
        ++text;
    }
    if (!IsDigit(*text)) {
        return std::nullopt;
    }
    constexpr std::int64_t kLimit = std::int64_t{1} << 31;
    std::int64_t value = 0;
    for (; IsDigit(*text); ++text) {
        value = value * 10 + (*text - '0');
        if (value > kLimit) {
            return std::nullopt;
        }
    }
    value = negative ? -value : value;
    if (value >= kLimit) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

// Directory options from letters, each optionally followed by '-' (clear) or '+' (set);
// characters that name no directory option are passed over. 'c' (content) is the console's
// own: it is not a directory option the settings keep.
static void ApplyDirectoryLetters(const char *value, std::uint16_t &dirOptions,
                                  bool &compareContents)
{
    while (value != nullptr && *value != '\0') {
        const char letter = *value++;
        const std::uint16_t bits = DirOptionBitsForLetter(letter);
        const bool clear = *value == '-';
        if (clear || *value == '+') {
            ++value;
        }
        if (AsciiUpper(letter) == 'C') {
            compareContents = !clear;
        } else if (clear) {
            dirOptions = static_cast<std::uint16_t>(dirOptions & ~bits);
        } else {
            dirOptions = static_cast<std::uint16_t>(dirOptions | bits);
        }
    }
}

// Sort mode from the first letter of the value; other letters leave it.
static void ApplySortLetter(const char *value, std::int32_t &sortMode)
{
    if (value == nullptr) {
        return;
    }
    if (const std::optional<std::int32_t> mode = SortModeForLetter(*value)) {
        sortMode = *mode;
    }
}

static void ApplyNumber(char letter, const char *value, CompareOptions &compare)
{
    const std::optional<std::int32_t> number = LeadingNumber(value);
    if (!number) {
        return;
    }
    switch (letter) {
    case 'M':
        if (*number >= kMinMarginLines) {
            compare.marginLines = *number;
        }
        break;
    case 'T':
        if (*number >= kMinTabSize && *number <= kMaxTabSize) {
            compare.tabSize = *number;
        }
        break;
    case 'W':
        if (*number >= kMinOutputWidth) {
            compare.outputWidth = *number;
        }
        break;
    default:
        break;
    }
}

// The letters of one option argument (without its '-'). The value of G, M, O, T or W is the rest
// of the argument or else the next argument unless that begins with '-' (taking it advances
// nextArgument). False on a letter without meaning.
static bool ParseLetters(const char *letters, ConsoleOptions &options)
{
    CompareOptions &compare = options.compare;
    const char *p = letters;
    while (*p != '\0') {
        const char letter = AsciiUpper(*p++);
        bool known = false;
        for (const ToggleLetter &toggle : kToggleLetters) {
            if (toggle.letter == letter) {
                known = true;
                const bool clear = *p == '-';
                if (clear || *p == '+') {
                    ++p;
                }
                compare.optionBits = clear ? (compare.optionBits & ~toggle.bit)
                                           : (compare.optionBits | toggle.bit);
            }
        }
        if (known) {
            continue;
        }
        if (letter == 'I') {
            const bool clear = *p == '-';
            if (clear || *p == '+') {
                ++p;
            }
            options.informationRequest = clear ? 0 : 1;
            continue;
        }
        if (letter != 'G' && letter != 'M' && letter != 'O' && letter != 'T' && letter != 'W') {
            return false;
        }
        const char *value = nullptr;
        if (*p != '\0') {
            value = p;
            p += std::strlen(p);
        } else if (options.nextArgument < options.argumentCount
                   && options.arguments[options.nextArgument] != nullptr
                   && options.arguments[options.nextArgument][0] != '-') {
            value = options.arguments[options.nextArgument++];
        }
        options.optionValue = value;
        if (letter == 'G') {
            ApplyDirectoryLetters(value, compare.dirOptions, options.compareContents);
        } else if (letter == 'O') {
            ApplySortLetter(value, compare.sortMode);
        } else {
            ApplyNumber(letter, value, compare);
        }
    }
    return true;
}

ConsoleOptions ParseCommandLine(int argc, const char *const *argv)
{
    ConsoleOptions options;
    options.argumentCount = argc > 0 ? argc : 0;
    options.arguments = argv;
    while (options.nextArgument < options.argumentCount) {
        const char *argument = argv[options.nextArgument];
        // The first argument that is not an option is the left side. A lone "-" is a name too:
        // it holds no letter.
        if (argument == nullptr || argument[0] != '-' || argument[1] == '\0') {
            break;
        }
        ++options.nextArgument;
        if (std::strcmp(argument, "--") == 0) {
            break;
        }
        if (std::strcmp(argument, "--help") == 0) {
            options.longRequest = LongRequest::Help;
            break;
        }
        if (std::strcmp(argument, "--version") == 0) {
            options.longRequest = LongRequest::Version;
            break;
        }
        if (!ParseLetters(argument + 1, options)) {
            options.compare.parseStatus = kParseError;
            --options.nextArgument;
            break;
        }
    }
    return options;
}

const char *ConsoleOptions::LeftSide() const
{
    return nextArgument < argumentCount ? arguments[nextArgument] : nullptr;
}

const char *ConsoleOptions::RightSide() const
{
    return nextArgument + 1 < argumentCount && arguments[nextArgument] != nullptr
               ? arguments[nextArgument + 1]
               : nullptr;
}
