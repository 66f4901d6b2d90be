#include "gui/settings.h"

#include "core/locale_settings.h"
#include "core/profile.h"

#include <cerrno>
#include <cstdio>
#include <optional>
#include <sys/stat.h>
#include <type_traits>
#include <unistd.h>
#include <utility>
#include <vector>

static constexpr std::int32_t kDefaultMarginLines = 3;
static constexpr std::uint32_t kDefaultOptions = 0x164;
static constexpr std::int32_t kPrinterFontHeight = 8;
static constexpr const char *kScreenFace = "Lucida Console";
static constexpr const char *kPrinterFace = "Fixedsys";
static constexpr const char *kAllFilesPattern = "*.*";
static constexpr COLORREF kColourPartMask = 0xFF;
static constexpr std::int32_t kMinTabSize = 1;
static constexpr std::int32_t kMaxTabSize = 19;

const STRING &HISTORYLIST::Entry(int number) const
{
    static const STRING kNone;
    return number >= 1 && number <= kHistoryEntries ? m_entries[number - 1] : kNone;
}

void HISTORYLIST::SetEntry(int number, std::string_view value)
{
    if (number >= 1 && number <= kHistoryEntries) {
        m_entries[number - 1] = value;
    }
}

void HISTORYLIST::RememberCurrent()
{
    if (m_current.empty()) {
        return;
    }
    int match = kHistoryEntries; // no match: the oldest entry makes room
    for (int i = 0; i < kHistoryEntries; ++i) {
        if (CompareStrings(m_entries[i], m_current) == 0) {
            match = i;
            break;
        }
    }
    if (match == kHistoryEntries) {
        m_entries[kHistoryEntries - 1] = m_current;
        match = kHistoryEntries - 1;
    }
    for (int i = match; i > 0; --i) {
        std::swap(m_entries[i], m_entries[i - 1]);
    }
}

static std::string ValueKey(const STRING &name)
{
    return name + "Value";
}

static std::string EntryKey(const STRING &name, int number)
{
    return name + "Value" + std::to_string(number);
}

void HISTORYLIST::Load(const Profile &profile)
{
    m_current = profile.GetString(kSettingsSection, ValueKey(m_name), m_current, kHistoryValueMax);
    for (int i = 0; i < kHistoryEntries; ++i) {
        m_entries[i] = profile.GetString(kSettingsSection, EntryKey(m_name, i + 1), m_entries[i],
                                         kHistoryValueMax);
    }
}

bool HISTORYLIST::Save(Profile &profile) const
{
    bool saved = profile.Set(kSettingsSection, ValueKey(m_name), m_current);
    for (int i = 0; i < kHistoryEntries; ++i) {
        saved = profile.Set(kSettingsSection, EntryKey(m_name, i + 1), m_entries[i]) && saved;
    }
    return saved;
}

std::string FormatColour(COLORREF colour)
{
    char text[48];
    std::snprintf(text, sizeof text, "%d %d %d", static_cast<int>(colour & kColourPartMask),
                  static_cast<int>((colour >> 8) & kColourPartMask),
                  static_cast<int>((colour >> 16) & kColourPartMask));
    return text;
}

COLORREF ParseColour(std::string_view text)
{
    COLORREF parts[3] = {0, 0, 0};
    for (COLORREF &part : parts) {
        while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
            text.remove_prefix(1);
        }
        if (text.empty()) {
            break;
        }
        part = static_cast<COLORREF>(TextToInt(text)) & kColourPartMask;
        // Past the number just read, to the blank before the next one.
        std::size_t end = 0;
        while (end < text.size() && text[end] != ' ' && text[end] != '\t') {
            ++end;
        }
        text.remove_prefix(end);
    }
    return parts[0] | (parts[1] << 8) | (parts[2] << 16);
}

static std::string CurrentDirectory()
{
    std::vector<char> buffer(4096);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) {
            return std::string();
        }
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

SETTINGS::SETTINGS() : SETTINGS(CurrentDirectory()) {}

SETTINGS::SETTINGS(const std::string &workingDirectory)
{
    compare.marginLines = kDefaultMarginLines;
    compare.optionBits = kDefaultOptions;
    if (std::optional<STRING> description = OsDescription()) {
        version = std::move(*description);
    }
    screenFont.faceName = kScreenFace;
    printerFont.height = kPrinterFontHeight;
    printerFont.faceName = kPrinterFace;

    std::string folder = workingDirectory;
    if (!folder.empty() && folder.back() != '/') {
        folder += '/';
    }
    leftHistory.SetCurrent(folder + kAllFilesPattern);
    rightHistory.SetCurrent(folder + kAllFilesPattern);

    // A folder (or anything else) named kesta.ini is not a profile.
    const std::string local = folder + kProfileFileName;
    struct stat info
    {
    };
    profileFile = !folder.empty() && stat(local.c_str(), &info) == 0 && S_ISREG(info.st_mode)
                      ? local
                      : kProfileFileName;
}

static void LoadFont(const Profile &profile, const char *prefix, LogicalFont &font)
{
    const std::string p = prefix;
    font.faceName = profile.GetString(kSettingsSection, p + "FaceName", font.faceName,
                                      LogicalFont::kFaceNameMax);
    font.weight = profile.GetInt(kSettingsSection, p + "FaceWeight", font.weight);
    font.height = profile.GetInt(kSettingsSection, p + "FaceHeight", font.height);
    font.italic = static_cast<std::uint8_t>(
        profile.GetInt(kSettingsSection, p + "FaceItalic", font.italic));
}

static bool SaveFont(Profile &profile, const char *prefix, const LogicalFont &font)
{
    const std::string p = prefix;
    bool saved = profile.Set(kSettingsSection, p + "FaceName", font.faceName);
    saved = profile.Set(kSettingsSection, p + "FaceWeight", std::to_string(font.weight)) && saved;
    saved = profile.Set(kSettingsSection, p + "FaceHeight", std::to_string(font.height)) && saved;
    return profile.Set(kSettingsSection, p + "FaceItalic", std::to_string(font.italic)) && saved;
}

namespace {

struct ColourKey
{
    const char *key;
    COLORREF SETTINGS::*field;
};

} // namespace

static constexpr ColourKey kColourKeys[] = {
    {"NormForeground", &SETTINGS::normForeground},
    {"NormBackground", &SETTINGS::normBackground},
    {"DiffForeground", &SETTINGS::diffForeground},
    {"DiffBackground", &SETTINGS::diffBackground},
    {"InlineForeground", &SETTINGS::inlineForeground},
    {"InlineBackground", &SETTINGS::inlineBackground},
    {"ModifiedForeground", &SETTINGS::modifiedForeground},
    {"ModifiedBackground", &SETTINGS::modifiedBackground},
};

void SETTINGS::Load()
{
    const std::optional<Profile> loaded = Profile::Load(ResolveProfilePath(profileFile));
    if (loaded) {
        const Profile &profile = *loaded;
        const auto readInt = [&profile](const char *key, auto &field) {
            field = static_cast<std::remove_reference_t<decltype(field)>>(
                profile.GetInt(kSettingsSection, key, static_cast<int>(field)));
        };
        // A value that the display or the comparison cannot work with keeps the one in place.
        const auto readChecked = [&profile](const char *key, std::int32_t &field, auto accepted) {
            const int value = profile.GetInt(kSettingsSection, key, field);
            if (accepted(value)) {
                field = value;
            }
        };
        readInt("Options", compare.optionBits);
        readChecked("Tabsize", compare.tabSize,
                    [](int value) { return value >= kMinTabSize && value <= kMaxTabSize; });
        readChecked("SortMode", compare.sortMode,
                    [](int value) { return value >= kSortName && value <= kSortFolder; });
        readChecked("MarginLines", compare.marginLines, [](int value) { return value >= 0; });
        readChecked("SubDirLevel", compare.subDirLevel, [](int value) { return value >= 0; });
        // Stored sign-extended: 16 bits whatever the text says.
        compare.dirOptions = static_cast<std::uint16_t>(profile.GetInt(
            kSettingsSection, "DirOptions", static_cast<std::int16_t>(compare.dirOptions)));
        readInt("Zoomed", zoomed);
        readInt("xLeft", xLeft);
        readInt("yTop", yTop);
        readInt("cxWidth", cxWidth);
        readInt("cyHeight", cyHeight);
        leftHistory.Load(profile);
        rightHistory.Load(profile);
        leftExclusionHistory.Load(profile);
        rightExclusionHistory.Load(profile);
        printerName = profile.GetString(kSettingsSection, "PrinterName", printerName);
        driverName = profile.GetString(kSettingsSection, "DriverName", driverName);
        portName = profile.GetString(kSettingsSection, "PortName", portName);
        readInt("Orientation", orientation);
        readInt("PaperSize", paperSize);
        for (const ColourKey &colour : kColourKeys) {
            if (const std::optional<STRING> text = profile.Get(kSettingsSection, colour.key)) {
                this->*colour.field = ParseColour(*text);
            }
        }
        LoadFont(profile, "", screenFont);
        LoadFont(profile, "Prn", printerFont);
    }
    LoadLocaleSettings();
}

bool SETTINGS::Save()
{
    const std::string path = ResolveProfilePath(profileFile);
    std::optional<Profile> loaded = Profile::LoadForUpdate(path);
    if (!loaded) {
        return false;
    }
    Profile &profile = *loaded;
    bool saved = true;
    const auto writeInt = [&profile, &saved](const char *key, std::int64_t value) {
        saved = profile.Set(kSettingsSection, key, std::to_string(value)) && saved;
    };
    const auto writeText = [&profile, &saved](const char *key, std::string_view value) {
        saved = profile.Set(kSettingsSection, key, value) && saved;
    };
    // Options is a bit set: written as the signed 32-bit number it reads back as.
    writeInt("Options", static_cast<std::int32_t>(compare.optionBits));
    writeInt("Tabsize", compare.tabSize);
    writeInt("SortMode", compare.sortMode);
    writeInt("MarginLines", compare.marginLines);
    writeInt("SubDirLevel", compare.subDirLevel);
    writeInt("DirOptions", static_cast<std::int16_t>(compare.dirOptions));
    saved = leftHistory.Save(profile) && saved;
    saved = rightHistory.Save(profile) && saved;
    saved = leftExclusionHistory.Save(profile) && saved;
    saved = rightExclusionHistory.Save(profile) && saved;
    writeInt("Zoomed", zoomed);
    writeInt("xLeft", xLeft);
    writeInt("yTop", yTop);
    writeInt("cxWidth", cxWidth);
    writeInt("cyHeight", cyHeight);
    writeText("PrinterName", printerName);
    writeText("DriverName", driverName);
    writeText("PortName", portName);
    writeInt("Orientation", orientation);
    writeInt("PaperSize", paperSize);
    for (const ColourKey &colour : kColourKeys) {
        writeText(colour.key, FormatColour(this->*colour.field));
    }
    saved = SaveFont(profile, "", screenFont) && saved;
    saved = SaveFont(profile, "Prn", printerFont) && saved;
    writeText("Version", version);
    return profile.Save(path) && saved;
}
