#include "console/messages.h"

#ifndef KESTA_VERSION
#define KESTA_VERSION "0"
#endif

// Paths come from the file system and may hold any byte but NUL: a control character (C0,
// DEL, or C1 written as UTF-8) would break the line or act on the terminal, so each shows as
// one '?'.
static void AppendShown(STRING &line, std::string_view text)
{
    constexpr unsigned char kFirstPrintable = 0x20;
    constexpr unsigned char kDelete = 0x7F;
    constexpr unsigned char kC1Lead = 0xC2;
    constexpr unsigned char kC1First = 0x80;
    constexpr unsigned char kC1Last = 0x9F;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < kFirstPrintable || byte == kDelete) {
            line += '?';
        } else if (byte == kC1Lead && i + 1 < text.size()
                   && static_cast<unsigned char>(text[i + 1]) >= kC1First
                   && static_cast<unsigned char>(text[i + 1]) <= kC1Last) {
            line += '?';
            ++i;
        } else {
            line += text[i];
        }
    }
}

STRING ErrorLine(const char *kind, const char *path, const char *message)
{
    STRING line = kind;
    if (path != nullptr) {
        line += ' ';
        AppendShown(line, path);
        line += " 0";
    }
    line += ": ";
    AppendShown(line, (message != nullptr && *message != '\0') ? message : "?");
    return line;
}

STRING Banner()
{
    return STRING("kestacon ") + KESTA_VERSION + ": compares two files or two directory trees";
}

// Kept to 79 columns, and long enough that a terminal of 24 lines pages it.
std::vector<STRING> UsageLines()
{
    return {
        "",
        "Usage: kestacon [options] left [right]",
        "",
        "  Compares left with right side by side. A single file x.txt is compared with",
        "  its backup x.BAK. Options come first and begin with '-'; letters may be upper",
        "  or lower case and share one argument (-ab); '+' after a letter sets it, '-'",
        "  clears it; a value follows its letter (-t8) or comes as the next argument",
        "  (-t 8). '--' ends the options.",
        "",
        "  -a          show all rows, equal ones too                        (off)",
        "  -b          ignore trailing blanks                               (off)",
        "  -c          ignore letter case                                   (off)",
        "  -f          fold long lines onto continuation rows               (off)",
        "  -g letters  directory options, each letter with '-' to clear it: (t u)",
        "              c compare the contents of files the other tests",
        "              leave equal, i ignore single files, s ignore size,",
        "              t ignore date and time, u ignore subdirectories",
        "  -i          show information about this program",
        "  -m n        margin lines around each difference, 0 or more       (1)",
        "  -n          number the lines                                     (off)",
        "  -o letter   sort directory rows: d or t date, e extension,       (d)",
        "              n name, s size",
        "  -s          ignore spaces                                        (off)",
        "  -t n        tab size, 1 to 19                                    (4)",
        "  -w n        output width, 20 or more                             (79)",
        "  -x          expand tabs before comparing                         (off)",
        "  --help      show this text",
        "  --version   show the version",
        "",
        "Exit status: 0 after a report, with or without differences; 1 after a failure",
        "(also when the report cannot be written). Failure lines go to standard error",
        "too when standard output is not a terminal.",
        "On a terminal the report is paged: Space shows one more line, q, Esc or Ctrl-C",
        "stops, any other key shows the next page. Any key cancels a comparison.",
    };
}

std::vector<STRING> InformationLines(std::string_view osDescription)
{
    std::vector<STRING> lines = {
        "",
        "kestacon compares two text files line by line, or two directory trees entry",
        "by entry, and prints the two sides next to each other with the differences",
        "marked. Run it without arguments for the list of options.",
        "",
        STRING("Version: ") + KESTA_VERSION,
    };
    lines.push_back("System:  "
                    + (osDescription.empty() ? STRING("unknown") : STRING(osDescription)));
    return lines;
}
