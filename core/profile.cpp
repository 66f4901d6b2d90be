#include "core/profile.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

static constexpr const char *kProfileFolderName = "kesta";
static constexpr mode_t kNewFolderMode = 0700;
static constexpr mode_t kNewFileMode = 0600;

static bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

static std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

static char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

static bool EqualNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

// The section name of a "[name]" line (a missing ']' closes it at the end), or nullopt.
static std::optional<std::string_view> SectionOf(std::string_view line)
{
    line = Trim(line);
    if (line.empty() || line.front() != '[') {
        return std::nullopt;
    }
    line.remove_prefix(1);
    const std::size_t close = line.find(']');
    return Trim(line.substr(0, close));
}

// The key of a "key=value" line; comment lines (';' first) and lines without '=' have none.
static std::optional<std::string_view> KeyOf(std::string_view line)
{
    const std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '[') {
        return std::nullopt;
    }
    const std::size_t equals = trimmed.find('=');
    if (equals == std::string_view::npos) {
        return std::nullopt;
    }
    return Trim(trimmed.substr(0, equals));
}

static bool HoldsLineEnd(std::string_view text)
{
    return text.find_first_of("\r\n") != std::string_view::npos;
}

int TextToInt(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    constexpr std::int64_t kLimit = std::int64_t{INT_MAX} + 1;
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > kLimit) {
            value = kLimit;
        }
    }
    value = negative ? -value : value;
    if (value > INT_MAX) {
        return INT_MAX;
    }
    return static_cast<int>(value);
}

std::string ResolveProfilePath(const std::string &name)
{
    if (name.find('/') != std::string::npos) {
        return name;
    }
    std::string base;
    const char *configHome = std::getenv("XDG_CONFIG_HOME");
    const char *home = std::getenv("HOME");
    if (configHome != nullptr && configHome[0] == '/') {
        base = configHome;
    } else if (home != nullptr && home[0] != '\0') {
        base = std::string(home) + "/.config";
    } else {
        return name; // nowhere better than the current folder
    }
    return base + "/" + kProfileFolderName + "/" + name;
}

Profile::Profile(std::string_view text)
{
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        const bool lastLine = end == std::string_view::npos;
        if (lastLine) {
            end = text.size();
        }
        std::string_view line = text.substr(start, end - start);
        // Stray CRs at a line's end are part of the line end, so that writing back is stable.
        if (!line.empty() && line.back() == '\r' && m_lines.empty() && !lastLine) {
            m_crlf = true;
        }
        while (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        m_lines.emplace_back(line);
        start = end + 1;
    }
}

std::optional<Profile> Profile::Load(const std::string &path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat info
    {
    };
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return std::nullopt;
    }
    std::string text;
    char buffer[16384];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            close(fd);
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(got));
    }
    close(fd);
    return Profile(text);
}

std::optional<Profile> Profile::LoadForUpdate(const std::string &path)
{
    struct stat info
    {
    };
    if (lstat(path.c_str(), &info) != 0 && errno == ENOENT) {
        return Profile();
    }
    return Load(path);
}

std::string Profile::Text() const
{
    const char *lineEnd = m_crlf ? "\r\n" : "\n";
    std::string text;
    for (const std::string &line : m_lines) {
        text += line;
        text += lineEnd;
    }
    return text;
}

static bool MakeFolders(const std::string &folder)
{
    struct stat info
    {
    };
    if (folder.empty() || stat(folder.c_str(), &info) == 0) {
        return true;
    }
    const std::size_t slash = folder.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeFolders(folder.substr(0, slash))) {
        return false;
    }
    return mkdir(folder.c_str(), kNewFolderMode) == 0 || errno == EEXIST;
}

static bool WriteAll(int fd, const std::string &text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

bool Profile::Save(const std::string &path) const
{
    if (path.empty()) {
        return false;
    }
    // A link is followed so that the link itself survives the rename.
    std::string target = path;
    if (char *resolved = realpath(path.c_str(), nullptr)) {
        target = resolved;
        std::free(resolved);
    }
    const std::size_t slash = target.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeFolders(target.substr(0, slash))) {
        return false;
    }
    mode_t mode = kNewFileMode;
    struct stat existing
    {
    };
    if (stat(target.c_str(), &existing) == 0) {
        if (!S_ISREG(existing.st_mode)) {
            return false;
        }
        mode = existing.st_mode & 07777;
    }
    std::string temporary = target + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) {
        return false;
    }
    const bool written = WriteAll(fd, Text()) && fchmod(fd, mode) == 0 && fsync(fd) == 0;
    const bool closed = close(fd) == 0;
    if (!written || !closed || rename(temporary.c_str(), target.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

std::optional<std::size_t> Profile::FindKey(std::string_view section, std::string_view key) const
{
    bool inSection = false;
    bool sectionSeen = false;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        if (const std::optional<std::string_view> name = SectionOf(m_lines[i])) {
            if (inSection) {
                break; // only the first section of the name counts
            }
            inSection = !sectionSeen && EqualNoCase(*name, section);
            sectionSeen = sectionSeen || inSection;
            continue;
        }
        if (inSection) {
            const std::optional<std::string_view> lineKey = KeyOf(m_lines[i]);
            if (lineKey && EqualNoCase(*lineKey, key)) {
                return i;
            }
        }
    }
    return std::nullopt;
}

std::optional<STRING> Profile::Get(std::string_view section, std::string_view key) const
{
    const std::optional<std::size_t> index = FindKey(section, key);
    if (!index) {
        return std::nullopt;
    }
    const std::string &line = m_lines[*index];
    std::string_view value = Trim(std::string_view(line).substr(line.find('=') + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        value = value.substr(1, value.size() - 2);
    }
    return STRING(value);
}

STRING Profile::GetString(std::string_view section, std::string_view key,
                          std::string_view defaultValue, std::size_t maxLength) const
{
    const std::optional<STRING> value = Get(section, key);
    STRING result = value ? *value : STRING(defaultValue);
    if (result.size() > maxLength) {
        result.resize(maxLength);
    }
    return result;
}

int Profile::GetInt(std::string_view section, std::string_view key, int defaultValue) const
{
    const std::optional<STRING> value = Get(section, key);
    return value ? TextToInt(*value) : defaultValue;
}

bool Profile::Set(std::string_view section, std::string_view key, std::string_view value)
{
    const bool badSection = section.empty() || Trim(section) != section || HoldsLineEnd(section)
                            || section.find(']') != std::string_view::npos;
    const bool badKey = key.empty() || Trim(key) != key || HoldsLineEnd(key)
                        || key.find('=') != std::string_view::npos || key.front() == ';'
                        || key.front() == '[';
    if (badSection || badKey || HoldsLineEnd(value)) {
        return false;
    }
    const bool quote = (!value.empty() && (IsBlank(value.front()) || IsBlank(value.back())))
                       || (value.size() >= 2 && value.front() == '"' && value.back() == '"');
    std::string line = std::string(key) + "=";
    line += quote ? "\"" + std::string(value) + "\"" : std::string(value);

    if (const std::optional<std::size_t> index = FindKey(section, key)) {
        m_lines[*index] = std::move(line);
        return true;
    }
    // Append after the last non-blank line of the first section of the name.
    std::optional<std::size_t> lastOfSection;
    bool inSection = false;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        if (const std::optional<std::string_view> name = SectionOf(m_lines[i])) {
            if (inSection) {
                break;
            }
            inSection = EqualNoCase(*name, section);
            if (inSection) {
                lastOfSection = i;
            }
            continue;
        }
        if (inSection && !Trim(m_lines[i]).empty()) {
            lastOfSection = i;
        }
    }
    if (lastOfSection) {
        m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(*lastOfSection + 1),
                       std::move(line));
        return true;
    }
    if (!m_lines.empty() && !Trim(m_lines.back()).empty()) {
        m_lines.emplace_back();
    }
    m_lines.push_back("[" + std::string(section) + "]");
    m_lines.push_back(std::move(line));
    return true;
}

STRING GetPrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view defaultValue, const std::string &fileName)
{
    const std::optional<Profile> profile = Profile::Load(ResolveProfilePath(fileName));
    return profile ? profile->GetString(section, key, defaultValue) : STRING(defaultValue);
}

int GetPrivateProfileInt(std::string_view section, std::string_view key, int defaultValue,
                         const std::string &fileName)
{
    const std::optional<Profile> profile = Profile::Load(ResolveProfilePath(fileName));
    return profile ? profile->GetInt(section, key, defaultValue) : defaultValue;
}

bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::string &fileName)
{
    const std::string path = ResolveProfilePath(fileName);
    std::optional<Profile> profile = Profile::LoadForUpdate(path);
    return profile && profile->Set(section, key, value) && profile->Save(path);
}
