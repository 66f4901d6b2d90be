#include "core/temp_directory.h"

#include "core/pathname.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/syscall.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace {

// The folder's path as plain data, for removal from a signal handler (no allocation there).
char g_folderForSignals[4096] = {};

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
        g_folderForSignals[0] = '\0';
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
        if (m_path.size() < sizeof g_folderForSignals)
            std::memcpy(g_folderForSignals, m_path.c_str(), m_path.size() + 1);
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

// The folder holds only files (copies are named from a member's last path component), so one
// pass over its entries with raw system calls empties it; then it is removed.
void RemovePrivateTempDirectoryFromSignal()
{
    if (g_folderForSignals[0] == '\0')
        return;
    const int folder = open(g_folderForSignals, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        alignas(8) static char entries[8192];
        for (;;) {
            const long got = syscall(SYS_getdents64, folder, entries, sizeof entries);
            if (got <= 0)
                break;
            for (long at = 0; at < got;) {
                // struct linux_dirent64: inode (8), offset (8), record length (2), type (1),
                // then the NUL-terminated name.
                unsigned short length = 0;
                std::memcpy(&length, entries + at + 16, sizeof length);
                const char *name = entries + at + 19;
                if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0)
                    (void)unlinkat(folder, name, 0);
                if (length == 0)
                    break;
                at += length;
            }
        }
        close(folder);
    }
    (void)rmdir(g_folderForSignals);
    g_folderForSignals[0] = '\0';
}
