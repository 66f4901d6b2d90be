#include "engine/zipfile.h"

#include "core/packed_time.h"
#include "core/pathname.h"
#include "core/status_io.h"
#include "engine/directoryobject.h"
#include "engine/item.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <unistd.h>
#include <unordered_map>
#include <vector>

// The end record is looked for in the last 128 bytes first (an archive without a comment ends
// with it), then further back in blocks that overlap by the signature's length so that a
// signature across two blocks is still seen.
static constexpr std::int64_t kFirstSearchBlock = 128;
static constexpr std::int64_t kSearchBlock = 4092;
static constexpr std::int64_t kSearchOverlap = 4;
// A file this short cannot hold an end record's signature.
static constexpr std::int64_t kShortestArchive = 3;

static constexpr std::uint8_t kEndSignature[4] = {'P', 'K', 5, 6};
static constexpr std::uint32_t kCentralSignature = 0x02014b50;

// Field offsets of the end record, the central-directory record and the local header.
static constexpr std::size_t kEndCentralOffset = 16;
static constexpr std::size_t kCentralFlags = 8;
static constexpr std::size_t kCentralMethod = 10;
static constexpr std::size_t kCentralTime = 12;
static constexpr std::size_t kCentralDate = 14;
static constexpr std::size_t kCentralCrc = 16;
static constexpr std::size_t kCentralCompressed = 20;
static constexpr std::size_t kCentralUncompressed = 24;
static constexpr std::size_t kCentralNameLength = 28;
static constexpr std::size_t kCentralExtraLength = 30;
static constexpr std::size_t kCentralCommentLength = 32;
static constexpr std::size_t kCentralLocalOffset = 42;
static constexpr std::size_t kLocalNameLength = 26;
static constexpr std::size_t kLocalExtraLength = 28;

static constexpr std::uint16_t kFolderAttribute = 0x10;

static std::uint16_t Read16(const std::uint8_t *bytes)
{
    return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

static std::uint32_t Read32(const std::uint8_t *bytes)
{
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8
           | static_cast<std::uint32_t>(bytes[2]) << 16
           | static_cast<std::uint32_t>(bytes[3]) << 24;
}

ZIPFILE::ZIPFILE() = default;

ZIPFILE::ZIPFILE(std::string_view path) : BASEFILE(path) {}

ZIPFILE::~ZIPFILE() = default;

OpResult ZIPFILE::AfterOpen(int mode)
{
    m_centralPosition = 0;
    return BASEFILE::AfterOpen(mode);
}

// The offset of the last end-record signature in block (which starts at blockStart) whose
// whole record lies inside the file, or -1.
static std::int64_t LastSignatureIn(const std::vector<std::uint8_t> &block, std::int64_t blockStart,
                                    std::int64_t fileSize)
{
    const auto length = static_cast<std::int64_t>(block.size());
    for (std::int64_t i = length - static_cast<std::int64_t>(sizeof kEndSignature); i >= 0; --i) {
        if (std::memcmp(block.data() + i, kEndSignature, sizeof kEndSignature) != 0)
            continue;
        // A signature in the last bytes cannot start a whole record: it is part of a comment.
        if (blockStart + i + static_cast<std::int64_t>(ZIPFILE::kEndRecordSize) <= fileSize)
            return i;
    }
    return -1;
}

bool ZIPFILE::FindCentralDirectory()
{
    m_centralPosition = -1;
    if (!IsOpen())
        return false;
    const off_t end = CurrentFileIo().seek(Descriptor(), 0, SEEK_END);
    if (end < 0)
        return false;
    m_position = end;
    m_fileSize = end;
    if (m_fileSize <= kShortestArchive)
        return false;

    std::vector<std::uint8_t> block;
    std::int64_t blockEnd = m_fileSize;
    std::int64_t blockSize = kFirstSearchBlock;
    for (;;) {
        const std::int64_t blockStart = std::max<std::int64_t>(0, blockEnd - blockSize);
        block.resize(static_cast<std::size_t>(blockEnd - blockStart));
        if (ReadExactlyAt(blockStart, block.data(), block.size()) != kOk)
            return false;
        const std::int64_t found = LastSignatureIn(block, blockStart, m_fileSize);
        if (found >= 0) {
            std::uint8_t record[kEndRecordSize];
            const auto at = static_cast<std::size_t>(found);
            if (at + kEndRecordSize <= block.size()) {
                std::memcpy(record, block.data() + at, kEndRecordSize);
            } else if (ReadExactlyAt(blockStart + found, record, kEndRecordSize) != kOk) {
                return false;
            }
            m_centralPosition = Read32(record + kEndCentralOffset);
            return true;
        }
        if (blockStart == 0)
            return false;
        blockEnd = blockStart + kSearchOverlap;
        blockSize = kSearchBlock;
    }
}

bool ZIPFILE::NextRecord(STRING &name)
{
    name.clear();
    if (m_centralPosition < 0)
        return false;
    if (ReadExactlyAt(m_centralPosition, m_central.data(), m_central.size()) != kOk
        || Read32(m_central.data()) != kCentralSignature) {
        m_centralPosition = -1;
        return false;
    }
    const std::uint16_t nameLength = Read16(m_central.data() + kCentralNameLength);
    const std::uint16_t extraLength = Read16(m_central.data() + kCentralExtraLength);
    const std::uint16_t commentLength = Read16(m_central.data() + kCentralCommentLength);
    name.resize(nameLength);
    if (nameLength > 0
        && ReadExactlyAt(m_centralPosition + static_cast<std::int64_t>(kCentralRecordSize),
                         name.data(), nameLength)
               != kOk) {
        name.clear();
        m_centralPosition = -1;
        return false;
    }
    std::replace(name.begin(), name.end(), '/', NativeSeparator());
    // Always forward, so the walk ends at the end of the file whatever the records say.
    m_centralPosition
        += static_cast<std::int64_t>(kCentralRecordSize) + nameLength + extraLength + commentLength;
    return true;
}

bool ZIPFILE::ReadLocalHeader()
{
    return ReadExactlyAt(LocalHeaderOffset(), m_local.data(), m_local.size()) == kOk;
}

std::int64_t ZIPFILE::DataOffset() const
{
    return static_cast<std::int64_t>(LocalHeaderOffset())
           + static_cast<std::int64_t>(kLocalHeaderSize) + Read16(m_local.data() + kLocalNameLength)
           + Read16(m_local.data() + kLocalExtraLength);
}

std::uint16_t ZIPFILE::GeneralFlags() const
{
    return Read16(m_central.data() + kCentralFlags);
}

std::uint16_t ZIPFILE::Method() const
{
    return Read16(m_central.data() + kCentralMethod);
}

std::uint16_t ZIPFILE::DosTime() const
{
    return Read16(m_central.data() + kCentralTime);
}

std::uint16_t ZIPFILE::DosDate() const
{
    return Read16(m_central.data() + kCentralDate);
}

std::uint32_t ZIPFILE::StoredCrc() const
{
    return Read32(m_central.data() + kCentralCrc);
}

std::uint32_t ZIPFILE::CompressedSize() const
{
    return Read32(m_central.data() + kCentralCompressed);
}

std::uint32_t ZIPFILE::UncompressedSize() const
{
    return Read32(m_central.data() + kCentralUncompressed);
}

std::uint32_t ZIPFILE::LocalHeaderOffset() const
{
    return Read32(m_central.data() + kCentralLocalOffset);
}

std::int64_t ZIPFILE::ListMembers(std::string_view prefix, STATUS_IO *status,
                                  DIRECTORYOBJECT &listing, std::string_view exclusions,
                                  std::int32_t depth)
{
    std::int64_t added = 0;
    if (!FindCentralDirectory())
        return 0;
    const char separator = NativeSeparator();
    // Folder entries made so far, by relative path: a folder met again in a later member's
    // path becomes that member's parent instead of being listed twice.
    std::unordered_map<std::string, DirEntry *> folders;

    STRING name;
    while (NextRecord(name)) {
        const std::size_t lastSeparator = name.rfind(separator);
        if (!prefix.empty()) {
            const std::string_view folder
                = lastSeparator == STRING::npos
                      ? std::string_view()
                      : std::string_view(name).substr(0, lastSeparator + 1);
            if (folder.empty() || !folder.starts_with(prefix))
                continue;
        }
        const std::string_view relative = std::string_view(name).substr(prefix.size());
        std::uint32_t date = 0;
        std::uint32_t time = 0;
        PackDosDateTime(DosDate(), DosTime(), date, time);

        DirEntry *parent = nullptr;
        std::size_t start = 0;
        for (std::int32_t level = 0; start < relative.size() && level <= depth; ++level) {
            const std::size_t end = relative.find(separator, start);
            const bool isFolder = end != std::string_view::npos;
            const std::string_view component
                = relative.substr(start, isFolder ? end - start : std::string_view::npos);
            if (!exclusions.empty() && component == exclusions)
                break;
            const bool isMember = !isFolder || end + 1 == relative.size();
            if (isFolder) {
                std::string path(parent != nullptr ? parent->relativePath : std::string());
                path += component;
                path += separator;
                if (auto known = folders.find(path); known != folders.end()) {
                    parent = known->second;
                    if (isMember && parent->date == 0) {
                        parent->date = date;
                        parent->time = time;
                    }
                    start = end + 1;
                    continue;
                }
            }
            auto entry = std::make_unique<DirEntry>();
            entry->name = component;
            entry->parent = parent;
            entry->checksum = StoredCrc();
            entry->checksumKnown = true;
            if (isFolder)
                entry->attributes = kFolderAttribute;
            if (isMember) {
                entry->date = date;
                entry->time = time;
                entry->size = UncompressedSize();
            }
            DirEntry *made = entry.get();
            if (isFolder) {
                SetFolderRelativePath(*entry);
                folders.emplace(entry->relativePath, made);
            }
            listing.AddEntry(std::move(entry));
            ++added;
            if (!isFolder)
                break;
            parent = made;
            start = end + 1;
        }
        if (status != nullptr && status->ShowProgress(1, 1) != 0)
            break;
    }
    m_centralPosition = -1;
    return added;
}

void ListZipArchive(DIRECTORYOBJECT &listing, const ITEM &archive, STATUS_IO *status)
{
    ZIPFILE zip(archive.Text());
    if (zip.Open() != kOk)
        return;
    (void)zip.ListMembers(archive.MemberPath(), status, listing, archive.Exclusions(),
                          listing.ListingDepth());
}
