// Settings files of "[section]" lines and "key=value" lines. Section and key names compare
// without regard to ASCII case, values are read trimmed, a write replaces the key's line where it
// stands (or appends the key to its section, creating the section at the end), and every other
// line of the file (comments, unknown sections, blank lines) is kept as it was. Files are replaced
// whole through a temporary file and a rename, so a reader never sees half a file.
#pragma once

#include "core/string.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Longest value a read answers, in bytes (the rest is cut off).
inline constexpr std::size_t kProfileValueMax = 512;

// The decimal number at the start of a text as the C runtime's atoi reads it: blanks skipped, an
// optional sign, then digits; no digits give 0. Values beyond 32 bits are clamped.
[[nodiscard]] int TextToInt(std::string_view text);

// Where a profile name lives: a name with a directory part as given, a bare name in
// $XDG_CONFIG_HOME/kesta (~/.config/kesta when that is unset or not absolute).
[[nodiscard]] std::string ResolveProfilePath(const std::string &name);

// One profile file held in memory as its lines.
class Profile
{
public:
    Profile() = default;
    // Builds the lines from a file's text; '\n' and "\r\n" line ends are both understood.
    explicit Profile(std::string_view text);

    // Reads a file; nullopt when it cannot be read (missing, a folder, no permission).
    [[nodiscard]] static std::optional<Profile> Load(const std::string &path);
    // For a read-modify-write: an empty profile when nothing is at the path, nullopt when
    // something is there that cannot be read (a write would then destroy it).
    [[nodiscard]] static std::optional<Profile> LoadForUpdate(const std::string &path);
    // The file's text again, with the line ends it had ("\n" for a new file).
    [[nodiscard]] std::string Text() const;
    // Writes the text to a temporary file beside the path and renames it over the path (a link
    // is followed and its target replaced). Creates missing parent folders. False when anything
    // fails; the old file is then left as it was.
    [[nodiscard]] bool Save(const std::string &path) const;

    // The trimmed value of the first line of the key in the first section of that name, without
    // one pair of enclosing double quotes; nullopt when the key is not there.
    [[nodiscard]] std::optional<STRING> Get(std::string_view section, std::string_view key) const;
    [[nodiscard]] STRING GetString(std::string_view section, std::string_view key,
                                   std::string_view defaultValue,
                                   std::size_t maxLength = kProfileValueMax) const;
    [[nodiscard]] int GetInt(std::string_view section, std::string_view key,
                             int defaultValue) const;

    // Sets the key's value. A value with blanks at either end, or one that is itself enclosed in
    // double quotes, is written inside double quotes so that it reads back unchanged. False
    // (nothing written) when the value holds a line end or the names cannot be stored.
    [[nodiscard]] bool Set(std::string_view section, std::string_view key, std::string_view value);

private:
    [[nodiscard]] std::optional<std::size_t> FindKey(std::string_view section,
                                                     std::string_view key) const;

    std::vector<std::string> m_lines;
    bool m_crlf = false;
};

// The platform's private-profile calls over a named file (resolved by ResolveProfilePath). A
// missing or unreadable file reads as empty; each write rewrites the file.
[[nodiscard]] STRING GetPrivateProfileString(std::string_view section, std::string_view key,
                                             std::string_view defaultValue,
                                             const std::string &fileName);
[[nodiscard]] int GetPrivateProfileInt(std::string_view section, std::string_view key,
                                       int defaultValue, const std::string &fileName);
[[nodiscard]] bool WritePrivateProfileString(std::string_view section, std::string_view key,
                                             std::string_view value, const std::string &fileName);
