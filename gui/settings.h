// The desktop program's persistent options: one SETTINGS record that every part of kesta reads,
// with the four path histories of the Select Files/Directories dialog, kept in the section
// "KESTA" of kesta.ini.
#pragma once

#include "core/options.h"
#include "core/string.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class Profile;

inline constexpr const char *kSettingsSection = "KESTA";
inline constexpr const char *kProfileFileName = "kesta.ini";
inline constexpr int kHistoryEntries = 30;
// History entries are paths, which may be longer than other stored texts.
inline constexpr std::size_t kHistoryValueMax = 4096;

// Colours are 0x00BBGGRR.
using COLORREF = std::uint32_t;

// The parts of a logical font that are stored, with the rest of the record's defaults.
struct LogicalFont
{
    static constexpr std::size_t kFaceNameMax = 31;
    std::int32_t height = -12;
    std::int32_t width = 0;
    std::int32_t escapement = 0;
    std::int32_t orientation = 0;
    std::int32_t weight = 400;
    std::uint8_t italic = 0;
    std::uint8_t underline = 0;
    std::uint8_t strikeOut = 0;
    std::uint8_t charSet = 1; // the default character set
    STRING faceName;
};

// The last 30 texts of one dialog field, entry 1 the most recent, and the field's current value.
// Stored as "<name>Value" and "<name>Value1" to "<name>Value30".
class HISTORYLIST
{
public:
    explicit HISTORYLIST(std::string_view name) : m_name(name) {}

    [[nodiscard]] const STRING &Name() const { return m_name; }
    [[nodiscard]] const STRING &Current() const { return m_current; }
    void SetCurrent(std::string_view value) { m_current = value; }
    // Entries 1 to 30; any other number answers an empty text.
    [[nodiscard]] const STRING &Entry(int number) const;
    void SetEntry(int number, std::string_view value);

    // Puts the current value first: an entry equal to it moves to the front, otherwise the
    // oldest entry is dropped. An empty current value changes nothing.
    void RememberCurrent();

    void Load(const Profile &profile);
    // False when a value could not be stored (it holds a line end).
    [[nodiscard]] bool Save(Profile &profile) const;

private:
    STRING m_name;
    STRING m_current;
    std::array<STRING, kHistoryEntries> m_entries;
};

struct SETTINGS
{
    // Defaults; the left and right histories start at the working directory's "*.*", and the
    // profile file is kesta.ini there when it is a regular file, else the bare name.
    explicit SETTINGS(const std::string &workingDirectory);
    // The same with the process's current directory.
    SETTINGS();

    // Reads every stored field, leaving the value in place for each key that is missing (all of
    // them when the file is missing or unreadable), then reloads the locale formats. A tab size
    // outside 1 to 19, a negative margin or sub-directory level and an unknown sort mode are
    // not taken: the display and the comparison rely on them.
    void Load();
    // Writes every stored field into the profile file, keeping the file's other content. False
    // when the file could not be written (or a history value could not be stored).
    [[nodiscard]] bool Save();

    // Tab size, width, margin lines, sub-directory level, Options, SortMode and DirOptions, as the
    // engine reads them.
    CompareOptions compare;
    std::int16_t iFlag = 0;
    STRING version;

    COLORREF normForeground = 0x000000;
    COLORREF normBackground = 0xFFFFFF;
    COLORREF diffForeground = 0x000000;
    COLORREF diffBackground = 0x00FFFF;
    COLORREF inlineForeground = 0x0000FF;
    COLORREF inlineBackground = 0x00FFFF;
    COLORREF modifiedForeground = 0x000000;
    COLORREF modifiedBackground = 0xFFFF00;

    LogicalFont screenFont;
    std::int32_t zoomed = 0;
    // The desktop program puts the screen's size here before loading; these stand in until then.
    std::int32_t cxWidth = 1024;
    std::int32_t cyHeight = 768 - 75;
    std::int32_t xLeft = 0;
    std::int32_t yTop = 0;
    std::string profileFile;

    HISTORYLIST leftHistory{"Left"};
    HISTORYLIST rightHistory{"Right"};
    HISTORYLIST leftExclusionHistory{"LeftX"};
    HISTORYLIST rightExclusionHistory{"RightX"};

    LogicalFont printerFont;
    STRING driverName;
    STRING printerName;
    STRING portName;
    std::int32_t orientation = 0;
    std::int32_t paperSize = 0;
};

// "%d %d %d" of the red, green and blue parts; and back, each part masked to 8 bits, missing
// parts 0.
[[nodiscard]] std::string FormatColour(COLORREF colour);
[[nodiscard]] COLORREF ParseColour(std::string_view text);
