#include "core/temp_directory.h"

#include "core/pathname.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace {

// Owns the folder for the life of the process; its destructor runs at normal program end.
class PrivateFolder
{
public:
    PrivateFolder() = default;
    PrivateFolder(const PrivateFolder &) = delete;
    PrivateFolder &operator=(const PrivateFolder &) = delete;
    ~PrivateFolder()
    {
        if (m_path.empty())
            return;
        std::error_code ignored;
        std::filesystem::remove_all(std::filesystem::path(m_path), ignored);
    }

    const STRING &Path()
    {
        if (m_path.empty())
            Make();
        return m_path;
    }

private:
    void Make()
    {
        const char *base = std::getenv("TMPDIR");
        STRING pattern = (base != nullptr && *base != '\0') ? base : "/tmp";
        if (pattern.back() != NativeSeparator())
            pattern += NativeSeparator();
        pattern += "kesta-XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (mkdtemp(buffer.data()) == nullptr)
            return;
        m_path = buffer.data();
        m_path += NativeSeparator();
    }

    STRING m_path;
};

PrivateFolder &Folder()
{
    static PrivateFolder folder;
    return folder;
}

} // namespace

const STRING &PrivateTempDirectory()
{
    return Folder().Path();
}

bool CreateFileExclusively(std::string_view path)
{
    const STRING text(path);
    // Owner-only: the copies may hold anything the archive held.
    const int descriptor = open(text.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (descriptor < 0)
        return false;
    close(descriptor);
    return true;
}

bool DeleteFileAt(std::string_view path)
{
    const STRING text(path);
    return unlink(text.c_str()) == 0 || errno == ENOENT;
}
