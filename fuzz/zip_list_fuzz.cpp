// Archive listings from arbitrary bytes: the input is the archive. It is listed whole, then
// again under the first folder found with the first entry's name as exclusion and depth 0;
// every entry must hang off a folder listed before it.
#include "core/options.h"
#include "core/string.h"
#include "engine/directoryobject.h"
#include "engine/zipfile.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

// One scratch file for the whole run, removed at its end. A plain array: it must outlive the
// exit handler that removes the file.
static char g_archive[] = "/tmp/kesta-zip-list-XXXXXX";

static void RemoveArchive()
{
    unlink(g_archive);
}

static std::string ArchivePath()
{
    static const bool made = [] {
        const int descriptor = mkstemp(g_archive);
        if (descriptor < 0)
            std::abort();
        close(descriptor);
        std::atexit(RemoveArchive);
        return true;
    }();
    (void)made;
    return g_archive;
}

static std::int64_t List(DIRECTORYOBJECT &listing, const std::string &prefix,
                         const std::string &exclusions, int depth)
{
    listing.Clear();
    ZIPFILE zip(ArchivePath());
    if (zip.Open() != kOk)
        std::abort();
    const std::int64_t added = zip.ListMembers(prefix, nullptr, listing, exclusions, depth);
    if (added != static_cast<std::int64_t>(listing.Entries().size()) || zip.CentralPosition() != -1)
        std::abort();
    return added;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::FILE *file = std::fopen(ArchivePath().c_str(), "wb");
    if (file == nullptr)
        std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size)
        std::abort();
    std::fclose(file);

    const CompareOptions options;
    DIRECTORYOBJECT listing(options);
    List(listing, "", "", 99);
    std::string prefix;
    std::string exclusion;
    for (const auto &entry : listing.Entries()) {
        if (entry->parent != nullptr && !entry->parent->IsFolder())
            std::abort();
        if (entry->IsFolder() && prefix.empty())
            prefix = entry->relativePath;
        if (exclusion.empty())
            exclusion = entry->name;
    }
    List(listing, prefix, exclusion, 0);
    for (const auto &entry : listing.Entries()) {
        // Depth 0: nothing below the top.
        if (entry->parent != nullptr)
            std::abort();
    }
    return 0;
}
