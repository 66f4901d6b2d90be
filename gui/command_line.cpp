#include "gui/command_line.h"

#include "core/option_letters.h"
#include "core/pathname.h"
#include "core/profile.h"
#include "gui/settings.h"

#include <cstdint>
#include <optional>

static constexpr std::int32_t kMinTabSize = 1;
static constexpr std::int32_t kMaxTabSize = 19;
static constexpr std::int32_t kMinWidth = 20;
static constexpr std::int32_t kMinMarginLines = 0;
static constexpr char kOptionChar = '-';

std::vector<std::string> SplitCommandLine(std::string_view text)
{
    std::vector<std::string> arguments = {kProgramArgument};
    std::size_t i = 0;
    for (;;) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
            ++i;
        }
        if (i >= text.size()) {
            break;
        }
        std::string argument;
        bool quoted = false;
        while (i < text.size()) {
            const char c = text[i];
            if (!quoted && (c == ' ' || c == '\t')) {
                break;
            }
            if (c == '\\') {
                std::size_t run = 0;
                while (i < text.size() && text[i] == '\\') {
                    ++run;
                    ++i;
                }
                if (i < text.size() && text[i] == '"') {
                    argument.append(run / 2, '\\');
                    if (run % 2 == 1) {
                        argument += '"';
                        ++i;
                    }
                    // An even run leaves the quote to toggle the quoting below.
                } else {
                    argument.append(run, '\\');
                }
                continue;
            }
            if (c == '"') {
                if (quoted && i + 1 < text.size() && text[i + 1] == '"') {
                    argument += '"';
                    quoted = false;
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
                continue;
            }
            argument += c;
            ++i;
        }
        arguments.push_back(std::move(argument));
    }
    return arguments;
}

static char AsciiUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// The bit a letter switches in Options, or 0.
static std::uint32_t ToggleBit(char letter)
{
    switch (letter) {
    case 'A':
        return kOptShowAll;
    case 'B':
        return kOptIgnoreTrailingBlanks;
    case 'C':
        return kOptIgnoreCase;
    case 'N':
        return kOptLineNumbers;
    case 'S':
        return kOptIgnoreSpaces;
    case 'X':
        return kOptExpandTabs;
    default:
        return 0;
    }
}

static bool TakesValue(char letter)
{
    return letter == 'G' || letter == 'M' || letter == 'O' || letter == 'T' || letter == 'W';
}

static void ApplyValue(char letter, const char *value, SETTINGS &settings)
{
    CompareOptions &compare = settings.compare;
    if (value == nullptr) {
        return; // no value at all changes nothing
    }
    const int number = TextToInt(value);
    switch (letter) {
    case 'G': {
        const std::uint16_t bits = DirOptionBitsForLetter(value[0]);
        if (value[0] != '\0' && value[1] == '-') {
            compare.dirOptions = static_cast<std::uint16_t>(compare.dirOptions & ~bits);
        } else {
            compare.dirOptions = static_cast<std::uint16_t>(compare.dirOptions | bits);
        }
        break;
    }
    case 'M':
        if (number >= kMinMarginLines) {
            compare.marginLines = number;
        }
        break;
    case 'O':
        if (const std::optional<std::int32_t> mode = SortModeForLetter(value[0])) {
            compare.sortMode = *mode;
        }
        break;
    case 'T':
        if (number >= kMinTabSize && number <= kMaxTabSize) {
            compare.tabSize = number;
        }
        break;
    case 'W':
        if (number >= kMinWidth) {
            compare.outputWidth = number;
        }
        break;
    default:
        break;
    }
}

// The letters of one option argument (without its '-'); false when a letter has no meaning,
// which ends the options.
static bool ApplyLetters(const char *p, const std::vector<std::string> &arguments,
                         KestaCommandLine &line, SETTINGS &settings)
{
    const int count = static_cast<int>(arguments.size());
    while (*p != '\0') {
        const char letter = AsciiUpper(*p++);
        const std::uint32_t bit = ToggleBit(letter);
        if (bit != 0 || letter == 'F' || letter == 'I') {
            const bool clear = *p == '-';
            if (clear || *p == '+') {
                ++p;
            }
            // F and I only ever set.
            if (letter == 'F') {
                settings.compare.optionBits |= kOptFoldLines;
            } else if (letter == 'I') {
                settings.iFlag = 1;
            } else if (clear) {
                settings.compare.optionBits &= ~bit;
            } else {
                settings.compare.optionBits |= bit;
            }
            continue;
        }
        if (!TakesValue(letter)) {
            return false;
        }
        const char *value = nullptr;
        if (*p != '\0') {
            value = p;
            p += std::string_view(p).size();
        } else if (line.nextArgument < count
                   && (arguments[line.nextArgument].empty()
                       || arguments[line.nextArgument][0] != kOptionChar)) {
            value = arguments[line.nextArgument++].c_str();
        }
        line.optionValue = value;
        ApplyValue(letter, value, settings);
    }
    return true;
}

KestaCommandLine ApplyCommandLine(const std::vector<std::string> &arguments, SETTINGS &settings)
{
    KestaCommandLine line;
    const int count = static_cast<int>(arguments.size());
    while (line.nextArgument < count) {
        const std::string &argument = arguments[line.nextArgument];
        if (argument.empty() || argument[0] != kOptionChar) {
            break;
        }
        ++line.nextArgument;
        if (argument == "-" || argument == "--") {
            break;
        }
        if (!ApplyLetters(argument.c_str() + 1, arguments, line, settings)) {
            break;
        }
    }
    if (line.nextArgument < count) {
        line.left = arguments[line.nextArgument];
    }
    if (line.nextArgument + 1 < count) {
        line.right = arguments[line.nextArgument + 1];
    }
    return line;
}

STRING FullSidePath(std::string_view name)
{
    if (name.empty()) {
        return STRING();
    }
    PATHNAME path(name);
    path.FullPath();
    return path.Text();
}
