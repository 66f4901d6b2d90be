#include "engine/directoryobject.h"

#include "core/basefile.h"
#include "core/locale_settings.h"
#include "core/packed_time.h"
#include "core/status_io.h"
#include "core/utf8.h"
#include "engine/difflist.h"
#include "engine/wildcard.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <cwctype>
#include <dirent.h>
#include <fcntl.h>
#include <langinfo.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <zlib.h>

namespace {

struct ColumnInit
{
    std::int32_t width;
    std::int32_t widest;
    const char *caption;
    std::uint16_t flags;
};

// Name, Ext (joined to the name), Folder, Size (right-aligned), Date, terminator.
constexpr ColumnInit kInitialColumns[DIRECTORYOBJECT::kColumns + 1] = {
    {9, 8, "Name", kColumnShown},   {4, 3, "Ext", kColumnShown | kColumnJoined},
    {1, 1, "Folder", kColumnShown}, {4, 4, "Size", kColumnShown | kColumnRightAlign},
    {15, 14, "Date", kColumnShown}, {kColumnEndWidth, 2, "", 0},
};

constexpr const char *kFolderSizeText = "<DIR>";
constexpr std::int32_t kMinimumTextWidth = 40;
// Steps of a listing comparison beyond the current one: pairing, comparing, finishing.
constexpr int kCompareSteps = 4;

// Groups of the second pairing sort.
constexpr int kGroupUnpairedLeft = 0;
constexpr int kGroupPaired = 1;
constexpr int kGroupUnpairedRight = 2;

// Where an invalid byte sorts when folding: above every code point, by its value.
constexpr char32_t kInvalidByteBase = 0x110000;

std::uint64_t g_nextGeneration = 1;

} // namespace

// ---------------------------------------------------------------------------------------------
// Entries and their order

std::string_view DirEntry::Extension() const
{
    const auto point = name.rfind('.');
    if (point == std::string::npos)
        return {};
    return std::string_view(name).substr(point);
}

std::string_view DirEntry::Folder() const
{
    return parent != nullptr ? std::string_view(parent->relativePath) : std::string_view();
}

void SetFolderRelativePath(DirEntry &entry)
{
    std::string path(entry.Folder());
    path += entry.name;
    path += NativeSeparator();
    entry.relativePath = std::move(path);
}

// Other letters than ASCII fold only where the user's locale says text is UTF-8; ASCII always.
static bool LocaleIsUtf8()
{
    const char *codeset = nl_langinfo(CODESET);
    return codeset != nullptr && std::strcmp(codeset, "UTF-8") == 0;
}

static char32_t AsciiUpper(unsigned char c)
{
    return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c;
}

static char32_t FoldedCharacter(const Utf8Char &character, bool foldWide)
{
    if (!character.valid)
        return kInvalidByteBase + character.codePoint;
    const char32_t c = character.codePoint;
    if (c < 0x80)
        return AsciiUpper(static_cast<unsigned char>(c));
    if (foldWide)
        return static_cast<char32_t>(std::towupper(static_cast<wint_t>(c)));
    return c;
}

static int CompareWithoutCase(std::string_view a, std::string_view b)
{
    std::size_t i = 0;
    std::size_t j = 0;
    // Names are mostly ASCII: fold byte by byte until something else turns up.
    while (i < a.size() && j < b.size()) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[j]);
        if (ca >= 0x80 || cb >= 0x80)
            break;
        const char32_t fa = AsciiUpper(ca);
        const char32_t fb = AsciiUpper(cb);
        if (fa != fb)
            return fa < fb ? -1 : 1;
        ++i;
        ++j;
    }
    const bool foldWide = i < a.size() && j < b.size() && LocaleIsUtf8();
    while (i < a.size() && j < b.size()) {
        const Utf8Char ca = DecodeUtf8(a, i);
        const Utf8Char cb = DecodeUtf8(b, j);
        const char32_t fa = FoldedCharacter(ca, foldWide);
        const char32_t fb = FoldedCharacter(cb, foldWide);
        if (fa != fb)
            return fa < fb ? -1 : 1;
        i += ca.length;
        j += cb.length;
    }
    if (i < a.size())
        return 1;
    return j < b.size() ? -1 : 0;
}

// Names, extensions and folders sort without regard to case, then by bytes among those equal
// that way, so the order is total and stable across runs.
static int CompareText(std::string_view a, std::string_view b)
{
    const int folded = CompareWithoutCase(a, b);
    return folded != 0 ? folded : CompareStrings(a, b);
}

static int PairingGroup(const DirEntry &entry)
{
    if (entry.counterpart != nullptr)
        return kGroupPaired;
    return entry.side == 0 ? kGroupUnpairedLeft : kGroupUnpairedRight;
}

template <typename T> static int Ascending(T a, T b)
{
    return a < b ? -1 : (a > b ? 1 : 0);
}

enum class Criterion
{
    FoldersFirst,
    Name,
    Extension,
    Folder,
    Newest, // date, then time
    NewestDate,
    NewestTime,
    Largest,
    NameBytes,
    FolderBytes,
    Group,
};

static int CompareBy(Criterion criterion, const DirEntry &a, const DirEntry &b)
{
    switch (criterion) {
    case Criterion::FoldersFirst:
        return Ascending(a.IsFolder() ? 0 : 1, b.IsFolder() ? 0 : 1);
    case Criterion::Name:
        return CompareText(a.name, b.name);
    case Criterion::Extension:
        return CompareText(a.Extension(), b.Extension());
    case Criterion::Folder:
        return CompareText(a.Folder(), b.Folder());
    case Criterion::Newest: {
        const int byDate = Ascending(b.date, a.date);
        return byDate != 0 ? byDate : Ascending(b.time, a.time);
    }
    case Criterion::NewestDate:
        return Ascending(b.date, a.date);
    case Criterion::NewestTime:
        return Ascending(b.time, a.time);
    case Criterion::Largest:
        return Ascending(b.size, a.size);
    case Criterion::NameBytes:
        return CompareStrings(a.name, b.name);
    case Criterion::FolderBytes:
        if (a.parent == b.parent)
            return 0;
        return CompareStrings(a.Folder(), b.Folder());
    case Criterion::Group:
        return Ascending(PairingGroup(a), PairingGroup(b));
    }
    return 0;
}

// The criteria of a sort key one after the other, up to the first that tells a and b apart;
// spelled out per key so that each sort compares without looking up its criteria.
template <Criterion... criteria> static int CompareByAll(const DirEntry &a, const DirEntry &b)
{
    int order = 0;
    (void)(... || ((order = CompareBy(criteria, a, b)) != 0));
    return order;
}

int DIRECTORYOBJECT::CompareEntries(const DirEntry &a, const DirEntry &b, int key)
{
    using C = Criterion;
    switch (key) {
    case kSortExtension:
        return CompareByAll<C::FoldersFirst, C::Extension, C::Name, C::Folder, C::Newest,
                            C::Largest>(a, b);
    case kSortDate:
        return CompareByAll<C::FoldersFirst, C::NewestDate, C::NewestTime, C::Name, C::Extension,
                            C::Folder, C::Largest>(a, b);
    case kSortSize:
        return CompareByAll<C::FoldersFirst, C::Largest, C::Name, C::Extension, C::Folder,
                            C::Newest>(a, b);
    case kSortFolder:
        return CompareByAll<C::Folder, C::FoldersFirst, C::Name, C::Extension, C::Newest,
                            C::Largest>(a, b);
    case kSortKeyPairing:
        return CompareByAll<C::FoldersFirst, C::NameBytes, C::FolderBytes>(a, b);
    case kSortKeySecondPairing:
        return CompareByAll<C::Group, C::FoldersFirst, C::Name, C::Folder>(a, b);
    default: // kSortName and any key unknown
        return CompareByAll<C::FoldersFirst, C::Name, C::Extension, C::Folder, C::Newest,
                            C::Largest>(a, b);
    }
}

// Order of the case-blind merge: kind, then name and folder without regard to case. The
// folder takes part so that a name never pairs with one in another folder.
static int CompareForMerge(const DirEntry &a, const DirEntry &b)
{
    const int kind = CompareBy(Criterion::FoldersFirst, a, b);
    if (kind != 0)
        return kind;
    const int name = CompareWithoutCase(a.name, b.name);
    return name != 0 ? name : CompareWithoutCase(a.Folder(), b.Folder());
}

int DIRECTORYOBJECT::EntriesEqual(const DirEntry &a, const DirEntry &b, bool ignoreDate,
                                  bool ignoreTime, bool ignoreSize, bool ignoreCase)
{
    if (!ignoreDate && a.date != b.date)
        return 0;
    if (!ignoreTime && a.time != b.time)
        return 0;
    if (!ignoreCase && a.name != b.name)
        return 0;
    if (ignoreSize)
        return 1;
    if (a.size != b.size)
        return 0;
    if (a.size == 0)
        return 1;
    if (a.checksumKnown && b.checksumKnown)
        return a.checksum == b.checksum ? 1 : 0;
    return 2;
}

// ---------------------------------------------------------------------------------------------
// Construction and enumeration

bool DIRECTORYOBJECT::Peer::Current() const
{
    const auto token = generation.lock();
    return object != nullptr && token && *token == seen;
}

DIRECTORYOBJECT::Peer DIRECTORYOBJECT::PeerOf(DIRECTORYOBJECT &other)
{
    return Peer{&other, other.m_generation, *other.m_generation};
}

DIRECTORYOBJECT::DIRECTORYOBJECT(const CompareOptions &options)
    : m_options(options), m_generation(std::make_shared<std::uint64_t>(g_nextGeneration++))
{
    InitColumns();
}

DIRECTORYOBJECT::~DIRECTORYOBJECT() = default;

void DIRECTORYOBJECT::InitColumns()
{
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        m_columns[i].width = kInitialColumns[i].width;
        m_columns[i].widest = kInitialColumns[i].widest;
        m_columns[i].caption = kInitialColumns[i].caption;
        m_columns[i].flags = kInitialColumns[i].flags;
    }
    ShowFolderColumnByOptions();
}

// The folder column has nothing to show when subfolders are not looked into; a content width
// of 0 hides it.
void DIRECTORYOBJECT::ShowFolderColumnByOptions()
{
    ColumnDescriptor &folder = m_columns[kColumnFolder];
    if ((m_options.dirOptions & kDirLookInSubfolders) == 0)
        folder.widest = 0;
    else if (folder.widest == 0)
        folder.widest = kInitialColumns[kColumnFolder].widest;
}

void DIRECTORYOBJECT::Clear()
{
    m_entries.clear();
    m_array.clear();
    m_arrayBuilt = false;
    m_leftRows.clear();
    m_rightRows.clear();
    m_link = {};
    m_partner = {};
    m_recordSource = RecordSource::Enumeration;
    *m_generation = g_nextGeneration++;
}

void DIRECTORYOBJECT::AddEntry(std::unique_ptr<DirEntry> entry)
{
    m_entries.push_back(std::move(entry));
    *m_generation = g_nextGeneration++;
}

std::int32_t DIRECTORYOBJECT::ListingDepth() const
{
    return (m_options.dirOptions & kDirLookInSubfolders) != 0 ? m_options.subDirLevel : 0;
}

namespace {

// What the walk keeps of a name it read: only what an entry or the descent needs, since a
// folder of many entries holds all of them at once.
struct FoundName
{
    std::string name;
    std::uint64_t size = 0;
    std::time_t modified = 0;
    dev_t device = 0;
    ino_t inode = 0;
    bool folder = false;
};

// One walk over a directory tree. Keeps the folders on the current descent path so that a
// symbolic link back up the tree is listed but never entered.
class Enumerator
{
public:
    Enumerator(DIRECTORYOBJECT &listing, std::string_view pattern, std::string_view exclusions,
               STATUS_IO *status)
        : m_listing(listing), m_pattern(pattern), m_exclusions(exclusions), m_status(status)
    {
    }

    // Lists directory (a path text without trailing separator; empty for the root) into the
    // listing under parent; 0, or -1 when a directory cannot be read or the user stops.
    int Run(const std::string &directory, int depth)
    {
        // A changed TZ counts for this walk; every entry is then packed under the same zone.
        tzset();
        struct stat top;
        if (stat(OpenName(directory).c_str(), &top) == 0)
            m_descent.emplace_back(top.st_dev, top.st_ino);
        return Enumerate(nullptr, directory, depth);
    }

private:
    static std::string OpenName(const std::string &directory)
    {
        return directory.empty() ? std::string(1, NativeSeparator()) : directory;
    }

    bool OnDescentPath(const FoundName &folder) const
    {
        return std::find(m_descent.begin(), m_descent.end(),
                         std::make_pair(folder.device, folder.inode))
               != m_descent.end();
    }

    // 0, or the system's error number when the directory cannot be read (a directory that
    // vanished lists nothing).
    static int ReadNames(const std::string &directory, std::vector<FoundName> &found)
    {
        DIR *handle = opendir(OpenName(directory).c_str());
        if (handle == nullptr)
            return errno == ENOENT ? 0 : errno;
        int result = 0;
        for (;;) {
            errno = 0;
            const dirent *item = readdir(handle);
            if (item == nullptr) {
                result = errno;
                break;
            }
            const char *name = item->d_name;
            if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
                continue;
            // Relative to the open directory: the kernel does not walk the whole path again.
            struct stat info;
            bool folder = false;
            if (fstatat(dirfd(handle), name, &info, 0) == 0)
                folder = S_ISDIR(info.st_mode);
            else if (fstatat(dirfd(handle), name, &info, AT_SYMLINK_NOFOLLOW) != 0)
                continue; // gone since it was read
            FoundName entry;
            entry.name = name;
            entry.size = static_cast<std::uint64_t>(info.st_size);
            entry.modified = info.st_mtime;
            entry.device = info.st_dev;
            entry.inode = info.st_ino;
            entry.folder = folder;
            found.push_back(std::move(entry));
        }
        closedir(handle);
        // The file system's own order is arbitrary; a listing should read the same every time.
        std::sort(found.begin(), found.end(), [](const FoundName &a, const FoundName &b) {
            return CompareStrings(a.name, b.name) < 0;
        });
        return result;
    }

    DirEntry *Append(const DirEntry *parent, const FoundName &found)
    {
        auto entry = std::make_unique<DirEntry>();
        entry->attributes = found.folder ? kAttrDirectory : 0;
        PackLocalTimeInSetZone(found.modified, entry->date, entry->time);
        // A folder has no size of its own, so two folders never differ by one.
        entry->size = found.folder ? 0 : found.size;
        entry->name = found.name;
        entry->parent = parent;
        if (found.folder)
            SetFolderRelativePath(*entry);
        DirEntry *added = entry.get();
        m_listing.AddEntry(std::move(entry));
        return added;
    }

    bool StopRequested() { return m_status != nullptr && m_status->ShowProgress(1, 1) != 0; }

    // Files first, then folders, each folder's contents right after it.
    int Enumerate(const DirEntry *parent, const std::string &directory, int depth)
    {
        std::vector<FoundName> found;
        if (const int error = ReadNames(directory, found); error != 0) {
            m_listing.SetReadFailure(OpenName(directory), error);
            return -1;
        }
        for (const FoundName &item : found) {
            if (item.folder || !WildcardMatch(m_pattern, item.name)
                || IsExcluded(m_exclusions, item.name))
                continue;
            Append(parent, item);
            if (StopRequested())
                return -1;
        }
        for (const FoundName &item : found) {
            if (!item.folder || IsExcluded(m_exclusions, item.name))
                continue;
            const DirEntry *folder = Append(parent, item);
            if (StopRequested())
                return -1;
            if (depth <= 0 || OnDescentPath(item))
                continue;
            m_descent.emplace_back(item.device, item.inode);
            const int result
                = Enumerate(folder, directory + NativeSeparator() + item.name, depth - 1);
            m_descent.pop_back();
            if (result < 0)
                return -1;
        }
        return 0;
    }

    DIRECTORYOBJECT &m_listing;
    std::string_view m_pattern;
    std::string_view m_exclusions;
    STATUS_IO *m_status;
    std::vector<std::pair<dev_t, ino_t>> m_descent;
};

} // namespace

std::int64_t DIRECTORYOBJECT::Read(const PATHNAME &path, std::string_view exclusions,
                                   STATUS_IO *status)
{
    Clear();
    m_path = path;
    m_archive = false;
    SetReadFailure({}, 0);
    ShowFolderColumnByOptions();

    // Built in one expression: assigning "*" afterwards trips a false -Wrestrict in g++ 12 -O3.
    const std::string pattern = path.Name().empty() && path.Extension().empty()
                                    ? std::string("*")
                                    : path.Name() + path.Extension();
    // A path without a directory part names the current directory.
    std::string directory
        = path.Directory().empty() ? std::string(".") : path.DirectoryTextWithoutSeparator();

    Enumerator enumerator(*this, pattern, exclusions, status);
    if (enumerator.Run(directory, ListingDepth()) < 0)
        return -1;
    return static_cast<std::int64_t>(m_entries.size());
}

// ---------------------------------------------------------------------------------------------
// Pairing, sorting and comparing

bool DIRECTORYOBJECT::ArrayNeedsRebuild(const DIRECTORYOBJECT *right, bool ignoreCase) const
{
    if (!m_arrayBuilt || m_arrayIgnoreCase != ignoreCase)
        return true;
    const std::size_t needed = m_entries.size() + (right != nullptr ? right->m_entries.size() : 0);
    if (m_arrayCapacity < needed)
        return true;
    // The array holds pointers into both listings: it must not outlive a new reading of
    // either, nor serve another right side.
    if (m_arrayGeneration != *m_generation)
        return true;
    if (right == nullptr)
        return m_partner.object != nullptr;
    return m_partner.object != right || !m_partner.Current();
}

void DIRECTORYOBJECT::PairWithoutCase()
{
    // The array's order only breaks ties of the sort that follows the pairing, and only an
    // archive can hold two entries of the same kind, name and folder: two folders never tie,
    // so their arrays need not be put in pairing order first.
    const bool entriesUnique
        = !m_archive && m_partner.object != nullptr && !m_partner.object->m_archive;
    if (!entriesUnique)
        std::stable_sort(m_array.begin(), m_array.end(), [](const DirEntry *a, const DirEntry *b) {
            return CompareEntries(*a, *b, kSortKeySecondPairing) < 0;
        });
    std::vector<DirEntry *> left;
    std::vector<DirEntry *> right;
    for (DirEntry *entry : m_array) {
        const int group = PairingGroup(*entry);
        if (group == kGroupUnpairedLeft)
            left.push_back(entry);
        else if (group == kGroupUnpairedRight)
            right.push_back(entry);
    }
    // Names equal without regard to case keep the second pairing order among themselves.
    const auto mergeOrder = [](const DirEntry *a, const DirEntry *b) {
        const int order = CompareForMerge(*a, *b);
        return order != 0 ? order < 0 : CompareEntries(*a, *b, kSortKeySecondPairing) < 0;
    };
    std::stable_sort(left.begin(), left.end(), mergeOrder);
    std::stable_sort(right.begin(), right.end(), mergeOrder);

    // A left folder against a right file advances the left run, a left file against a right
    // folder keeps the right entry unpaired: folders sort first in both runs.
    std::size_t i = 0;
    std::size_t j = 0;
    bool linked = false;
    while (i < left.size() && j < right.size()) {
        const int order = CompareForMerge(*left[i], *right[j]);
        if (order < 0) {
            ++i;
        } else if (order > 0) {
            ++j;
        } else {
            left[i]->counterpart = right[j];
            right[j]->counterpart = left[i];
            linked = true;
            ++i;
            ++j;
        }
    }
    if (linked)
        std::erase_if(m_array, [](const DirEntry *entry) {
            return entry->side == 1 && entry->counterpart != nullptr;
        });
}

void DIRECTORYOBJECT::PairAndSort(int sortMode, DIRECTORYOBJECT *right, bool ignoreCase,
                                  bool sortByRight)
{
    m_recordSource = RecordSource::Array;
    const std::size_t rightCount = right != nullptr ? right->m_entries.size() : 0;
    if (m_entries.empty() && rightCount == 0) {
        m_array.clear();
        return;
    }

    if (ArrayNeedsRebuild(right, ignoreCase)) {
        m_array.clear();
        m_array.reserve(m_entries.size() + rightCount);
        for (const auto &entry : m_entries) {
            entry->counterpart = nullptr;
            entry->side = 0;
            m_array.push_back(entry.get());
        }
        m_partner = {};
        if (right != nullptr) {
            m_partner = PeerOf(*right);
            const auto pairingOrder = [](const DirEntry *a, const DirEntry *b) {
                return CompareEntries(*a, *b, kSortKeyPairing) < 0;
            };
            std::stable_sort(m_array.begin(), m_array.end(), pairingOrder);
            const auto leftEnd = static_cast<std::ptrdiff_t>(m_array.size());
            for (const auto &entry : right->m_entries) {
                DirEntry *r = entry.get();
                r->side = 1;
                // A counterpart from an earlier pairing may point into a listing read anew.
                r->counterpart = nullptr;
                const auto hit
                    = std::lower_bound(m_array.begin(), m_array.begin() + leftEnd, r, pairingOrder);
                if (hit != m_array.begin() + leftEnd
                    && CompareEntries(**hit, *r, kSortKeyPairing) == 0
                    && (*hit)->counterpart == nullptr) {
                    (*hit)->counterpart = r;
                    r->counterpart = *hit;
                } else {
                    m_array.push_back(r);
                }
            }
            const bool leftUnpaired
                = std::any_of(m_array.begin(), m_array.begin() + leftEnd,
                              [](const DirEntry *e) { return e->counterpart == nullptr; });
            if (ignoreCase && leftUnpaired)
                PairWithoutCase();
        }
        m_arrayBuilt = true;
        m_arrayIgnoreCase = ignoreCase;
        m_arrayCapacity = m_entries.size() + rightCount;
        m_arrayGeneration = *m_generation;
    }

    m_sortMode = sortMode;
    std::stable_sort(m_array.begin(), m_array.end(),
                     [sortMode, sortByRight](const DirEntry *a, const DirEntry *b) {
                         if (sortByRight) {
                             a = a->counterpart != nullptr ? a->counterpart : a;
                             b = b->counterpart != nullptr ? b->counterpart : b;
                         }
                         return CompareEntries(*a, *b, sortMode) < 0;
                     });
}

OpResult DIRECTORYOBJECT::CompareListings(const CompareOptions &options, DIFFLIST &list,
                                          DIRECTORYOBJECT &left, DIRECTORYOBJECT &right,
                                          STATUS_IO *status)
{
    const std::uint16_t dirOptions = options.dirOptions;
    list.Clear();
    left.m_link = {};
    right.m_link = PeerOf(left);

    if (status != nullptr) {
        status->SetStepCount(status->CurrentStep() + kCompareSteps);
        status->ShowMessage("pairing the entries of both sides");
    }
    left.PairAndSort(options.sortMode, &right, (dirOptions & kDirIgnoreCase) != 0,
                     (dirOptions & kDirSortRightSide) != 0);
    if (status != nullptr)
        status->ShowMessage("comparing the paired entries");

    left.m_leftRows.clear();
    left.m_rightRows.clear();
    left.m_recordSource = RecordSource::Placed;
    right.m_recordSource = RecordSource::Placed;

    const auto total = static_cast<std::int64_t>(left.m_array.size());
    // Room for every row at once: grown step by step, the arrays would pass through copies
    // up to twice their size, and a large listing would peak there.
    left.m_leftRows.reserve(left.m_entries.size());
    left.m_rightRows.reserve(right.m_entries.size());
    list.Entries().reserve(left.m_array.size());
    for (std::int64_t i = 0; i < total; ++i) {
        DirEntry *element = left.m_array[static_cast<std::size_t>(i)];
        DirEntry *l = element->side == 1 ? nullptr : element;
        DirEntry *r = element->side == 1 ? element : element->counterpart;
        if ((dirOptions & kDirIgnoreSingleFiles) != 0 && (l == nullptr || r == nullptr))
            continue;
        if ((dirOptions & kDirIgnoreSubdirectories) != 0 && element->IsFolder())
            continue;
        bool differs = true;
        if (l != nullptr && r != nullptr) {
            const int equal = EntriesEqual(
                *l, *r, (dirOptions & kDirIgnoreDate) != 0, (dirOptions & kDirIgnoreTime) != 0,
                (dirOptions & kDirIgnoreSize) != 0, (dirOptions & kDirIgnoreCase) != 0);
            differs = equal == 0;
        }
        std::int32_t leftPosition = -1;
        std::int32_t rightPosition = -1;
        if (l != nullptr) {
            leftPosition = static_cast<std::int32_t>(left.m_leftRows.size());
            left.m_leftRows.push_back(l);
        }
        if (r != nullptr) {
            rightPosition = static_cast<std::int32_t>(left.m_rightRows.size());
            left.m_rightRows.push_back(r);
        }
        list.SetState(differs ? 1 : 0);
        list.AddEntry(leftPosition, rightPosition);
        if (status != nullptr && status->ShowProgress(total, i + 1) != 0)
            return kErrorOrCancel;
    }

    if (status != nullptr) {
        status->FinishStep();
        if (status->ShowProgress(1, 1) != 0)
            return kErrorOrCancel;
    }
    if (list.WidestLine() < static_cast<std::uint32_t>(kMinimumTextWidth))
        list.SetWidestLine(kMinimumTextWidth);
    return kOk;
}

std::string DIRECTORYOBJECT::PathOf(const DirEntry &entry) const
{
    std::string path = m_path.DirectoryText();
    path += entry.Folder();
    path += entry.name;
    return path;
}

namespace {

// One of the two files whose contents are compared.
class ContentReader
{
public:
    ContentReader() = default;
    ContentReader(const ContentReader &) = delete;
    ContentReader &operator=(const ContentReader &) = delete;
    ~ContentReader()
    {
        if (m_descriptor >= 0)
            close(m_descriptor);
    }

    // Only regular files are read: opening a pipe or a device could block or never end, so
    // the file is opened without waiting and dropped unless regular.
    bool Open(const std::string &path)
    {
        m_descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        struct stat info;
        if (m_descriptor < 0 || fstat(m_descriptor, &info) != 0 || !S_ISREG(info.st_mode))
            return false;
        m_size = static_cast<std::uint64_t>(info.st_size);
        return true;
    }
    [[nodiscard]] std::uint64_t Size() const { return m_size; }
    void ReadSequentially() const
    {
        (void)posix_fadvise(m_descriptor, 0, 0, POSIX_FADV_SEQUENTIAL);
    }
    // Fills buffer with up to count bytes, fewer only at the end of the file; -1 on an error.
    std::int64_t Read(unsigned char *buffer, std::size_t count)
    {
        std::size_t got = 0;
        while (got < count) {
            const ssize_t n = read(m_descriptor, buffer + got, count - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return -1;
            if (n == 0)
                break;
            got += static_cast<std::size_t>(n);
        }
        return static_cast<std::int64_t>(got);
    }

private:
    int m_descriptor = -1;
    std::uint64_t m_size = 0;
};

// Files larger than this are announced to the system as read from start to end.
constexpr std::uint64_t kSequentialReadFrom = 256 * 1024;

} // namespace

int DIRECTORYOBJECT::CompareFileContents(const std::string &leftPath, const std::string &rightPath,
                                         std::uint32_t &crc)
{
    ContentReader left;
    ContentReader right;
    if (!left.Open(leftPath) || !right.Open(rightPath))
        return kContentsUnreadable;
    // Sizes that changed since the listing was read and differ now: the contents differ.
    if (left.Size() != right.Size())
        return kContentsDiffer;
    if (left.Size() > kSequentialReadFrom) {
        left.ReadSequentially();
        right.ReadSequentially();
    }
    if (m_contentBuffer.empty())
        m_contentBuffer.resize(2 * kContentBlock);
    unsigned char *const mine = m_contentBuffer.data();
    unsigned char *const theirs = mine + kContentBlock;
    uLong sum = crc32(0L, Z_NULL, 0);
    std::uint64_t leftToRead = left.Size();
    // Both are read to the size seen when opened; a file that shrank meanwhile ends early.
    while (leftToRead > 0) {
        const auto want
            = static_cast<std::size_t>(std::min<std::uint64_t>(leftToRead, kContentBlock));
        const std::int64_t got = left.Read(mine, want);
        const std::int64_t otherGot = right.Read(theirs, want);
        if (got < 0 || otherGot < 0)
            return kContentsUnreadable;
        if (got != otherGot || std::memcmp(mine, theirs, static_cast<std::size_t>(got)) != 0)
            return kContentsDiffer;
        sum = crc32(sum, mine, static_cast<uInt>(got));
        if (got < static_cast<std::int64_t>(want))
            break;
        leftToRead -= static_cast<std::uint64_t>(got);
    }
    crc = static_cast<std::uint32_t>(sum);
    return kContentsSame;
}

bool DIRECTORYOBJECT::EnsureChecksum(DirEntry &entry, const DIRECTORYOBJECT &owner)
{
    if (owner.m_archive || entry.checksumKnown)
        return true;
    const std::string path = owner.PathOf(entry);
    // Only regular files are read: opening a pipe or a device could block or never end.
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    BASEFILE file(path);
    if (file.ComputeCrc() != kOk)
        return false;
    entry.checksum = file.Crc();
    entry.checksumKnown = true;
    return true;
}

int DIRECTORYOBJECT::RowDiffers(std::int64_t leftRecord, std::int64_t rightRecord,
                                const CompareOptions &options)
{
    // Asked of the right listing: the left one holds the rows of both.
    if (m_link.Current())
        return m_link.object->RowDiffers(leftRecord, rightRecord, options);
    if (!m_partner.Current())
        return 1;
    DIRECTORYOBJECT &right = *m_partner.object;
    DirEntry *l = Record(leftRecord);
    DirEntry *r = nullptr;
    if (m_recordSource == RecordSource::Placed) {
        if (rightRecord >= 0 && rightRecord < static_cast<std::int64_t>(m_rightRows.size()))
            r = m_rightRows[static_cast<std::size_t>(rightRecord)];
    } else {
        r = right.Record(rightRecord);
    }
    if (l == nullptr || r == nullptr)
        return 1;

    const std::uint16_t dirOptions = options.dirOptions;
    const int equal = EntriesEqual(
        *l, *r, (dirOptions & kDirIgnoreDate) != 0, (dirOptions & kDirIgnoreTime) != 0,
        (dirOptions & kDirIgnoreSize) != 0, (dirOptions & kDirIgnoreCase) != 0);
    if (equal != 2)
        return equal == 1 ? 0 : 1;
    if (!m_archive && !right.m_archive && !l->checksumKnown && !r->checksumKnown) {
        // Two files on disk of the same size: their bytes are compared directly, up to the
        // first block that differs. Two CRCs could match for different contents. Files found
        // equal keep the CRC of their contents, so the answer is not read again.
        std::uint32_t crc = 0;
        if (CompareFileContents(PathOf(*l), right.PathOf(*r), crc) != kContentsSame)
            return 1;
        l->checksum = crc;
        r->checksum = crc;
        l->checksumKnown = true;
        r->checksumKnown = true;
        return 0;
    }
    const bool leftKnown = EnsureChecksum(*l, *this);
    const bool rightKnown = EnsureChecksum(*r, right);
    return leftKnown && rightKnown && l->checksum == r->checksum ? 0 : 1;
}

// ---------------------------------------------------------------------------------------------
// Records and columns

const DirEntry *DIRECTORYOBJECT::Record(std::int64_t k) const
{
    if (k < 0)
        return nullptr;
    const auto index = static_cast<std::size_t>(k);
    switch (m_recordSource) {
    case RecordSource::Enumeration:
        return index < m_entries.size() ? m_entries[index].get() : nullptr;
    case RecordSource::Array:
        return index < m_array.size() ? m_array[index] : nullptr;
    case RecordSource::Placed:
        if (m_link.object != nullptr) {
            if (!m_link.Current())
                return nullptr;
            const auto &rows = m_link.object->m_rightRows;
            return index < rows.size() ? rows[index] : nullptr;
        }
        return index < m_leftRows.size() ? m_leftRows[index] : nullptr;
    }
    return nullptr;
}

DirEntry *DIRECTORYOBJECT::Record(std::int64_t k)
{
    return const_cast<DirEntry *>(std::as_const(*this).Record(k));
}

std::int64_t DIRECTORYOBJECT::RecordCount() const
{
    return static_cast<std::int64_t>(m_entries.size());
}

OpResult DIRECTORYOBJECT::Reopen()
{
    return m_archive ? m_path.ChangedOnDisk() : kOk;
}

std::unique_ptr<STRING> DIRECTORYOBJECT::ColumnText(int column, std::int64_t k)
{
    const DirEntry *entry = Record(k);
    if (entry == nullptr)
        return nullptr;
    switch (column) {
    case kColumnName: {
        const std::string_view name = entry->name;
        return std::make_unique<STRING>(name.substr(0, name.size() - entry->Extension().size()));
    }
    case kColumnExt:
        return std::make_unique<STRING>(entry->Extension());
    case kColumnFolder:
        if (entry->parent == nullptr)
            return nullptr;
        return std::make_unique<STRING>(entry->Folder());
    case kColumnSize: {
        if (entry->IsFolder())
            return std::make_unique<STRING>(kFolderSizeText);
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(entry->size));
        return std::make_unique<STRING>(buffer);
    }
    case kColumnDate:
        return FormatDateTime(entry->date, entry->time);
    default:
        return nullptr;
    }
}

std::unique_ptr<STRING> DIRECTORYOBJECT::RelativeName(std::int64_t k)
{
    const DirEntry *entry = Record(k);
    if (entry == nullptr)
        return nullptr;
    auto text = std::make_unique<STRING>(entry->Folder());
    *text += entry->name;
    if (entry->IsFolder())
        *text += NativeSeparator();
    return text;
}

void DIRECTORYOBJECT::ResetColumnWidths()
{
    for (int i = 0; i < kColumns; ++i) {
        ColumnDescriptor &column = m_columns[static_cast<std::size_t>(i)];
        if (column.widest > 1) {
            column.width = kInitialColumns[i].width;
            column.widest = kInitialColumns[i].widest;
            column.flags &= static_cast<std::uint16_t>(~kColumnUserSized);
        }
    }
}

bool DIRECTORYOBJECT::WidenColumns()
{
    bool changed = false;
    for (int i = 0; i < kColumns; ++i) {
        ColumnDescriptor &column = m_columns[static_cast<std::size_t>(i)];
        if (column.widest != 0 && (column.flags & kColumnUserSized) == 0
            && column.width < column.widest + 1) {
            column.width = column.widest + 1;
            changed = true;
        }
    }
    return changed;
}

void DIRECTORYOBJECT::FreezeColumnWidths()
{
    for (int i = 0; i < kColumns; ++i)
        m_columns[static_cast<std::size_t>(i)].flags |= kColumnUserSized;
}

// The column a sort mode orders by, or -1 for none.
static int SortColumnOf(int sortMode)
{
    switch (sortMode) {
    case kSortName:
    case kSortKeyPairing:
    case kSortKeySecondPairing:
        return DIRECTORYOBJECT::kColumnName;
    case kSortExtension:
        return DIRECTORYOBJECT::kColumnExt;
    case kSortDate:
        return DIRECTORYOBJECT::kColumnDate;
    case kSortSize:
        return DIRECTORYOBJECT::kColumnSize;
    case kSortFolder:
        return DIRECTORYOBJECT::kColumnFolder;
    default:
        return -1;
    }
}

std::span<ColumnDescriptor> DIRECTORYOBJECT::ColumnDescriptors(int column, int sortMode)
{
    const int sortColumn = SortColumnOf(sortMode);
    for (int i = 0; i < kColumns && sortMode != kKeepSortMark; ++i) {
        auto &flags = m_columns[static_cast<std::size_t>(i)].flags;
        if (i == sortColumn)
            flags |= kColumnSortKey;
        else
            flags &= static_cast<std::uint16_t>(~kColumnSortKey);
    }
    const auto first
        = static_cast<std::size_t>(column < 0 || column > kColumns ? kColumns : column);
    return std::span<ColumnDescriptor>(m_columns).subspan(first);
}
