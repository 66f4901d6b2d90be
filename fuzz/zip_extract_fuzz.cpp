// Member extraction from arbitrary bytes: the input is the archive, and every member named in
// its central directory (up to a limit) is extracted into a scratch file. A member that comes
// out must have exactly its stored size; one that fails must leave no file.
#include "core/string.h"
#include "engine/unzipfile.h"
#include "engine/zipfile.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

static constexpr std::size_t kMostMembers = 16;

// One scratch folder for the whole run, removed at its end. A plain array: it must outlive the
// exit handler that removes the folder.
static char g_folder[] = "/tmp/kesta-zip-extract-XXXXXX";

static void RemoveFolder()
{
    unlink((std::string(g_folder) + "/a.zip").c_str());
    unlink((std::string(g_folder) + "/member").c_str());
    rmdir(g_folder);
}

static std::string Folder()
{
    static const bool made = [] {
        if (mkdtemp(g_folder) == nullptr)
            std::abort();
        std::atexit(RemoveFolder);
        return true;
    }();
    (void)made;
    return std::string(g_folder) + "/";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string archive = Folder() + "a.zip";
    const std::string member = Folder() + "member";
    std::FILE *file = std::fopen(archive.c_str(), "wb");
    if (file == nullptr)
        std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size)
        std::abort();
    std::fclose(file);

    std::vector<STRING> names;
    std::vector<std::uint32_t> sizes;
    {
        ZIPFILE zip(archive);
        if (zip.Open() != kOk)
            std::abort();
        STRING name;
        if (zip.FindCentralDirectory()) {
            while (names.size() < kMostMembers && zip.NextRecord(name)) {
                names.push_back(name);
                sizes.push_back(zip.UncompressedSize());
            }
        }
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        UNZIPFILE unzip(archive);
        const int result = unzip.Extract(nullptr, names[i], member);
        struct stat info
        {
        };
        const bool exists = stat(member.c_str(), &info) == 0;
        // The first record of a name is the one extracted, so only its size can be checked.
        bool first = true;
        for (std::size_t j = 0; j < i; ++j)
            first = first && names[j] != names[i];
        if (result == 0 && (!exists || (first && info.st_size != sizes[i])))
            std::abort();
        if (result != 0 && (exists || unzip.ErrorText().empty()))
            std::abort();
        unlink(member.c_str());
    }
    return 0;
}
