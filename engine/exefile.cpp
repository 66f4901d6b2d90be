#include "engine/exefile.h"

#include "core/file_snapshot.h"
#include "core/locale_settings.h"
#include "core/utf8.h"
#include "engine/language_names.h"
#include "engine/line_hash.h"
#include "engine/version_resource.h"

#include <array>
#include <cstdint>
#include <string>

namespace {

struct Named
{
    std::uint32_t value;
    const char *name;
};

constexpr std::array kOperatingSystems{
    Named{0x00001, "Win16"},     Named{0x00002, "PM-16"},         Named{0x00003, "PM-32"},
    Named{0x00004, "Win32"},     Named{0x10000, "DOS"},           Named{0x10001, "DOS-Win16"},
    Named{0x10004, "DOS-Win32"}, Named{0x20000, "OS/2-16"},       Named{0x20002, "OS/2-16 PM-16"},
    Named{0x30000, "OS/2-32"},   Named{0x30003, "OS/2-32 PM-32"}, Named{0x40000, "NT"},
    Named{0x40004, "NT-Win32"},
};

constexpr std::uint32_t kTypeDriver = 3;
constexpr std::uint32_t kTypeFont = 4;

constexpr std::array kFileTypes{
    Named{1, "App"},          Named{2, "DLL"}, Named{kTypeDriver, "Driver"},
    Named{kTypeFont, "Font"}, Named{5, "VxD"}, Named{7, "Lib"},
};

// Indexed by subtype - 1.
constexpr std::array kDriverSubtypes{
    "Printer drv", "Keyboard drv", "Language drv", "Display drv", "Mouse drv",
    "Network drv", "System drv",   "Installable",  "Sound drv",   "Comm drv",
};
constexpr std::array kFontSubtypes{"Raster font", "Vector font", "TrueType font"};

// Each flag shows its name in its own field; a flag that is not set leaves its field empty,
// so the blanks between the fields stay.
constexpr std::array kFileFlags{
    Named{0x01, "Debug"},        Named{0x02, "PreRelease"},   Named{0x04, "Patched"},
    Named{0x08, "PrivateBuild"}, Named{0x10, "InfoInferred"}, Named{0x20, "SpecialBuild"},
};
constexpr std::uint32_t kKnownFlagBits = 0xFF;

constexpr std::size_t kLongestLanguageName = 255;

} // namespace

template <std::size_t N>
static const char *NameOf(const std::array<Named, N> &names, std::uint32_t value)
{
    for (const Named &entry : names) {
        if (entry.value == value)
            return entry.name;
    }
    return "Unknown";
}

// "high.low.high.low" of the most and the least significant double word, as unsigned words.
static STRING VersionText(const char *label, std::uint32_t mostSignificant,
                          std::uint32_t leastSignificant)
{
    return STRING(label) + " " + std::to_string(mostSignificant >> 16) + "."
           + std::to_string(mostSignificant & 0xFFFF) + "." + std::to_string(leastSignificant >> 16)
           + "." + std::to_string(leastSignificant & 0xFFFF);
}

static STRING FlagsText(std::uint32_t flags)
{
    STRING text = "FILEFLAGS";
    for (const Named &flag : kFileFlags) {
        text += ' ';
        if ((flags & flag.value) != 0)
            text += flag.name;
    }
    text += ' ';
    if ((flags & ~kKnownFlagBits) != 0)
        text += "Unknown";
    return text;
}

static const char *SubtypeName(std::uint32_t type, std::uint32_t subtype)
{
    if (type == kTypeDriver && subtype >= 1 && subtype <= kDriverSubtypes.size())
        return kDriverSubtypes[subtype - 1];
    if (type == kTypeFont && subtype >= 1 && subtype <= kFontSubtypes.size())
        return kFontSubtypes[subtype - 1];
    return nullptr;
}

std::vector<STRING> VersionLines(const VersionInfo &info)
{
    std::vector<STRING> lines;
    if (!info.fixed)
        return lines;
    const FixedFileInfo &fixed = *info.fixed;
    lines.push_back(VersionText("FILEVERSION", fixed.fileVersionMS, fixed.fileVersionLS));
    lines.push_back(VersionText("PRODUCTVERSION", fixed.productVersionMS, fixed.productVersionLS));
    // The flags count as stored, whatever the mask says.
    if (fixed.fileFlags != 0)
        lines.push_back(FlagsText(fixed.fileFlags));
    lines.push_back(STRING("FILEOS ") + NameOf(kOperatingSystems, fixed.fileOS));
    lines.push_back(STRING("FILETYPE ") + NameOf(kFileTypes, fixed.fileType));
    if (const char *subtype = SubtypeName(fixed.fileType, fixed.fileSubtype))
        lines.push_back(STRING("FILESUBTYPE ") + subtype);
    if (info.translation) {
        const auto language = static_cast<std::uint16_t>(*info.translation & 0xFFFF);
        if (std::optional<std::string_view> name = LanguageName(language))
            lines.push_back("LANGUAGE " + STRING(name->substr(0, kLongestLanguageName)));
    }
    return lines;
}

EXEFILE::EXEFILE() = default;

// The lines go with the object; the DIFFFILE part closes the file.
EXEFILE::~EXEFILE() = default;

OpResult EXEFILE::Reopen()
{
    return m_file.ChangedOnDisk();
}

std::unique_ptr<STRING> EXEFILE::RecordText(std::int64_t k)
{
    if (k < 0 || k >= RecordCount() || static_cast<std::uint64_t>(k) >= m_lines.size())
        return nullptr;
    return std::make_unique<STRING>(m_lines[static_cast<std::size_t>(k)]);
}

std::int32_t EXEFILE::Load(std::string_view path, const CompareOptions &options,
                           STATUS_IO * /*status*/)
{
    ClearRecords();
    m_lines.clear();
    m_lineEndKinds = 0;
    m_options = options.optionBits;
    m_tabSize = options.tabSize;
    m_column[0].caption.clear();

    if (m_file.IsOpen())
        (void)m_file.Close();
    m_file.Parse(path);
    m_file.TakeSnapshot();
    const FileSnapshot *snapshot = m_file.HeldSnapshot();
    if (snapshot == nullptr || (snapshot->attributes & kAttrDirectory) != 0)
        return -1;
    // A file that cannot be read is a failure, not a file without version information.
    if (m_file.Open() != kOk)
        return -1;
    FileByteSource source(m_file, snapshot->size);
    std::optional<VersionInfo> info = ReadVersionInfo(source);
    (void)m_file.Close();

    if (info)
        AddLines(VersionLines(*info), options);
    WriteCaption();
    return 0;
}

// One record per line, hashed as a text line with the same options would be; a record has
// no place in the file, so its offset is 0.
void EXEFILE::AddLines(std::vector<STRING> lines, const CompareOptions &options)
{
    LineHasher hasher(options.optionBits, options.tabSize);
    for (STRING &line : lines) {
        if (line.empty())
            continue;
        if (m_lines.size() >= kMaxVersionLines)
            break;
        const LineHash hash = hasher.HashLine(line);
        const std::size_t width = DisplayWidth(line);
        AddRecord(hash.h16, hash.h32, 0,
                  width < UINT32_MAX ? static_cast<std::uint32_t>(width) : UINT32_MAX);
        m_lines.push_back(std::move(line));
    }
}
