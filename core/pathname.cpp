#include "core/pathname.h"

#include "core/packed_time.h"

#include <cerrno>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// The parts of a path text, viewing into that text.
struct PathParts
{
    char driveLetter = 0;
    std::string_view directory;
    std::string_view name;
    std::string_view extension;
};

} // namespace

// The current directory is first asked for with this many characters, and the buffer grows by
// kCurrentDirectoryGrowth while the answer does not fit.
static constexpr std::size_t kCurrentDirectoryBuffer = 100;
static constexpr std::size_t kCurrentDirectoryGrowth = 40;

PathStyle NativePathStyle()
{
    return PathStyle::Posix;
}

char SeparatorOf(PathStyle style)
{
    return style == PathStyle::Windows ? '\\' : '/';
}

char NativeSeparator()
{
    return SeparatorOf(NativePathStyle());
}

static bool HasWildcard(std::string_view text)
{
    return text.find_first_of("*?") != std::string_view::npos;
}

static bool IsSeparator(char c, PathStyle style)
{
    return c == '/' || (style == PathStyle::Windows && c == '\\');
}

// Windows style: an optional drive "X:", then the directory up to the last '\' or, only when
// there is none, the last '/' (so in "a\b/c.txt" the name is "b/c"). POSIX style: the directory
// up to the last '/'. The extension runs from the last '.' of what is left: ".profile" is all
// extension, and "abc." has the extension ".".
static PathParts SplitPath(std::string_view text, PathStyle style)
{
    PathParts parts;
    std::string_view rest = text;
    if (style == PathStyle::Windows && rest.size() >= 2 && rest[0] != '\0' && rest[1] == ':') {
        parts.driveLetter = rest[0];
        rest.remove_prefix(2);
    }
    std::size_t separator = rest.rfind(SeparatorOf(style));
    if (separator == std::string_view::npos && style == PathStyle::Windows) {
        separator = rest.rfind('/');
    }
    if (separator != std::string_view::npos) {
        parts.directory = rest.substr(0, separator + 1);
        rest.remove_prefix(separator + 1);
    }
    const std::size_t point = rest.rfind('.');
    if (point != std::string_view::npos) {
        parts.extension = rest.substr(point);
        rest = rest.substr(0, point);
    }
    parts.name = rest;
    return parts;
}

static bool StatPath(const STRING &path, struct stat &info)
{
    return !path.empty() && stat(path.c_str(), &info) == 0;
}

static bool IsDirectoryPath(STRING path, PathStyle style)
{
    // A separator that is the whole root ("/", "\", "C:\") must stay: without it the text
    // would name the current directory instead.
    const std::size_t size = path.size();
    if (size > 1 && path[size - 1] == SeparatorOf(style)
        && !(style == PathStyle::Windows && path[size - 2] == ':')) {
        path.pop_back();
    }
    struct stat info;
    return StatPath(path, info) && S_ISDIR(info.st_mode);
}

static std::optional<STRING> CurrentDirectoryText()
{
    std::vector<char> buffer(kCurrentDirectoryBuffer);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) {
            return std::nullopt;
        }
        buffer.resize(buffer.size() + kCurrentDirectoryGrowth);
    }
    return STRING(buffer.data());
}

PATHNAME::PATHNAME(PathStyle style) : m_style(style) {}

PATHNAME::PATHNAME(std::string_view text, PathStyle style) : m_style(style)
{
    Parse(text);
}

PATHNAME::PATHNAME(std::string_view directory, std::string_view fileName, PathStyle style)
    : m_style(style)
{
    STRING whole(directory);
    whole += fileName;
    Parse(whole);
}

PATHNAME::PATHNAME(const PATHNAME &other)
    : m_style(other.m_style), m_whole(other.m_whole), m_driveLetter(other.m_driveLetter),
      m_directory(other.m_directory), m_name(other.m_name), m_extension(other.m_extension),
      m_kind(other.m_kind),
      m_snapshot(other.m_snapshot ? std::make_unique<FileSnapshot>(*other.m_snapshot) : nullptr)
{
}

PATHNAME &PATHNAME::operator=(const PATHNAME &other)
{
    if (this != &other) {
        PATHNAME copy(other);
        *this = std::move(copy);
    }
    return *this;
}

PATHNAME::~PATHNAME() = default;

std::string PATHNAME::Drive() const
{
    if (m_driveLetter == 0) {
        return {};
    }
    return std::string{m_driveLetter, ':'};
}

void PATHNAME::Parse(std::string_view text)
{
    // text may view into m_whole: the parts are copied out before the rebuild replaces it.
    const PathParts parts = SplitPath(text, m_style);
    m_driveLetter = parts.driveLetter;
    m_directory = parts.directory;
    m_name = parts.name;
    m_extension = parts.extension;
    Rebuild();
}

void PATHNAME::Reparse()
{
    Parse(m_whole);
}

void PATHNAME::Rebuild()
{
    m_kind = kKindNothing;
    m_whole = Drive();
    m_whole += m_directory;
    m_whole += m_name;
    m_whole += m_extension;
}

void PATHNAME::SetDirectory(std::string_view directoryText)
{
    if (directoryText.empty()) {
        m_driveLetter = 0;
        m_directory.clear();
        Rebuild();
        return;
    }
    STRING text(directoryText);
    if (text.back() != SeparatorOf(m_style)) {
        text += SeparatorOf(m_style);
    }
    const PathParts parts = SplitPath(text, m_style);
    m_driveLetter = parts.driveLetter;
    m_directory = parts.directory;
    Rebuild();
}

void PATHNAME::SetDirectoryPart(std::string_view text)
{
    m_directory = SplitPath(text, m_style).directory;
    Rebuild();
}

void PATHNAME::SetFileName(std::string_view text)
{
    const PathParts parts = SplitPath(text, m_style);
    m_name = parts.name;
    m_extension = parts.extension;
    Rebuild();
}

void PATHNAME::SetExtension(std::string_view text)
{
    m_extension = SplitPath(text, m_style).extension;
    Rebuild();
}

STRING PATHNAME::DirectoryText() const
{
    return Drive() + m_directory;
}

STRING PATHNAME::DirectoryTextWithoutSeparator() const
{
    STRING text = DirectoryText();
    // "C:\" becomes "C:" as it always has; the POSIX root keeps its "/", since an empty text
    // would stand for the current directory.
    const bool posixRoot = m_style == PathStyle::Posix && text == "/";
    if (!text.empty() && text.back() == SeparatorOf(m_style) && !posixRoot) {
        text.pop_back();
    }
    return text;
}

bool PATHNAME::CurrentDirectory()
{
    const std::optional<STRING> current = CurrentDirectoryText();
    if (!current) {
        return false;
    }
    SetDirectory(*current);
    return true;
}

int PATHNAME::ChangeToDirectory() const
{
    return chdir(DirectoryText().c_str()) == 0 ? 0 : 1;
}

bool PATHNAME::IsExistingFile() const
{
    STRING path = m_whole;
    if (!path.empty() && path.back() == SeparatorOf(m_style)) {
        path.pop_back();
    }
    struct stat info;
    return StatPath(path, info) && !S_ISDIR(info.st_mode);
}

bool PATHNAME::IsExistingDirectory() const
{
    return IsDirectoryPath(m_whole, m_style);
}

bool PATHNAME::ExtensionHasWildcard() const
{
    return HasWildcard(m_extension);
}

bool PATHNAME::ExtensionEquals(const char *text) const
{
    if (text == nullptr || m_extension.empty()) {
        return false;
    }
    STRING mine = m_extension;
    STRING theirs = text;
    UpperCaseInPlace(mine);
    UpperCaseInPlace(theirs);
    return mine == theirs;
}

std::int32_t PATHNAME::Classify()
{
    const bool wildcard = HasWildcard(m_name) || HasWildcard(m_extension);
    if (!wildcard && IsExistingFile()) {
        m_kind = kKindFile;
        return m_kind;
    }
    const char separator = SeparatorOf(m_style);
    if (m_directory.empty()) {
        // A bare name is taken relative to the current directory.
        m_directory = STRING(".") + separator;
        Rebuild();
    }
    const STRING folder = wildcard ? DirectoryText() : m_whole;
    if (!IsDirectoryPath(folder, m_style)) {
        m_kind = kKindNothing;
        return m_kind;
    }
    if (wildcard) {
        m_kind = kKindPattern;
        return m_kind;
    }
    if (m_whole.back() != separator) {
        // The name moves into the directory part.
        m_whole += separator;
        Reparse();
    }
    m_kind = kKindDirectory;
    return m_kind;
}

// The kind, classified first while it is still 0.
static std::int32_t ClassifiedKind(PATHNAME &path)
{
    return path.Kind() == kKindNothing ? path.Classify() : path.Kind();
}

bool PATHNAME::IsFile()
{
    return ClassifiedKind(*this) == kKindFile;
}

bool PATHNAME::IsDirectory()
{
    return ClassifiedKind(*this) == kKindDirectory;
}

bool PATHNAME::IsPattern()
{
    return ClassifiedKind(*this) == kKindPattern;
}

bool PATHNAME::NamesNothing()
{
    return ClassifiedKind(*this) == kKindNothing;
}

static bool HasArchiveExtension(const PATHNAME &path)
{
    return path.ExtensionEquals(".ZIP") || path.ExtensionEquals(".JAR");
}

bool PATHNAME::IsArchive()
{
    return IsFile() && HasArchiveExtension(*this);
}

bool PATHNAME::IsContainer()
{
    if (m_whole.empty()) {
        return false;
    }
    return ClassifiedKind(*this) != kKindFile || HasArchiveExtension(*this);
}

void PATHNAME::SameExtensionPattern(PATHNAME &other) const
{
    if (HasWildcard(m_name) || HasWildcard(m_extension)) {
        other = *this;
        return;
    }
    const STRING extension = m_extension; // other may be this very path
    other.m_driveLetter = m_driveLetter;
    other.m_directory = m_directory;
    other.Rebuild();
    if (other.Classify() != kKindPattern) {
        other.SetFileName("*" + extension);
    }
}

int PATHNAME::FindFreeNumberedExtension()
{
    // The digit right after the point counts fastest: .000 .100 ... .900 .010 ... .999.
    static constexpr std::size_t kDigits = 3;
    STRING candidate = ".000";
    for (;;) {
        SetExtension(candidate);
        // Any entry takes the name, not only a file: a folder or a dangling link of that name
        // could not be written as a new file.
        struct stat info;
        if (lstat(m_whole.c_str(), &info) != 0) {
            return 0;
        }
        std::size_t digit = 1;
        while (digit <= kDigits && candidate[digit] == '9') {
            candidate[digit] = '0';
            ++digit;
        }
        if (digit > kDigits) {
            return -1; // every candidate exists; the path keeps ".999"
        }
        ++candidate[digit];
    }
}

// The entry's own name: the last component, also when the path ends in a separator.
static STRING EntryName(const PATHNAME &path)
{
    if (!path.Name().empty() || !path.Extension().empty()) {
        return path.Name() + path.Extension();
    }
    const PATHNAME folder(path.DirectoryTextWithoutSeparator(), path.Style());
    STRING name = folder.Name() + folder.Extension();
    return name.empty() ? path.DirectoryText() : name;
}

std::unique_ptr<FileSnapshot> PATHNAME::Snapshot() const
{
    struct stat info;
    // A dangling symbolic link is still an entry: it is described by the link itself.
    if (m_whole.empty()
        || (stat(m_whole.c_str(), &info) != 0 && lstat(m_whole.c_str(), &info) != 0)) {
        return nullptr;
    }
    auto snapshot = std::make_unique<FileSnapshot>();
    const bool directory = S_ISDIR(info.st_mode);
    snapshot->attributes = directory ? kAttrDirectory : 0;
    PackLocalTime(info.st_mtime, snapshot->date, snapshot->time);
    // A folder's own size is a detail of the file system; folders are listed as size 0.
    snapshot->size = directory ? 0 : static_cast<std::uint64_t>(info.st_size);
    snapshot->name = EntryName(*this);
    return snapshot;
}

void PATHNAME::TakeSnapshot()
{
    m_snapshot = Snapshot();
}

void PATHNAME::SetHeldSnapshot(std::unique_ptr<FileSnapshot> snapshot)
{
    m_snapshot = std::move(snapshot);
}

std::int16_t PATHNAME::ChangedOnDisk() const
{
    if (!m_snapshot) {
        return -1;
    }
    const std::unique_ptr<FileSnapshot> now = Snapshot();
    if (!now) {
        return 1;
    }
    const bool same = now->time == m_snapshot->time && now->date == m_snapshot->date
                      && now->size == m_snapshot->size;
    return same ? 0 : 2;
}

void PATHNAME::FullPath()
{
    if (m_whole.empty()) {
        return;
    }
    const char separator = SeparatorOf(m_style);
    STRING text = m_whole;
    STRING drive = Drive();
    if (!drive.empty()) {
        text.erase(0, drive.size());
    }
    if (text.empty() || !IsSeparator(text.front(), m_style)) {
        if (!drive.empty()) {
            return; // "C:name": that drive's own current directory is not known here
        }
        const std::optional<STRING> current = CurrentDirectoryText();
        if (!current || current->empty()) {
            return;
        }
        text = *current + separator + text;
        if (m_style == PathStyle::Windows && text.size() >= 2 && text[1] == ':') {
            drive = text.substr(0, 2);
            text.erase(0, 2);
        }
    }

    // "." and ".." are removed by the text alone, not by asking the file system; ".." at the
    // root stays at the root. Everything else, a trailing pattern included, is kept.
    const bool trailingSeparator = IsSeparator(text.back(), m_style);
    std::vector<std::string_view> components;
    const std::string_view rest = text;
    for (std::size_t start = 0; start <= rest.size();) {
        std::size_t end = start;
        while (end < rest.size() && !IsSeparator(rest[end], m_style)) {
            ++end;
        }
        const std::string_view component = rest.substr(start, end - start);
        if (component == "..") {
            if (!components.empty()) {
                components.pop_back();
            }
        } else if (!component.empty() && component != ".") {
            components.push_back(component);
        }
        start = end + 1;
    }

    STRING full = drive + separator;
    for (std::size_t i = 0; i < components.size(); ++i) {
        if (i > 0) {
            full += separator;
        }
        full += components[i];
    }
    if (trailingSeparator && !components.empty()) {
        full += separator;
    }
    Parse(full);
}
