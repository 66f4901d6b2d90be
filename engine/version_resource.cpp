#include "engine/version_resource.h"

#include "core/basefile.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

namespace {

using Bytes = std::vector<std::uint8_t>;

// The MS-DOS header that every such file starts with, and where it says the new header is.
constexpr std::uint16_t kDosSignature = 0x5A4D; // "MZ"
constexpr std::uint64_t kNewHeaderPointerOffset = 0x3C;

// 32- and 64-bit files.
constexpr std::uint32_t kPeSignature = 0x00004550; // "PE\0\0"
constexpr std::size_t kCoffHeaderSize = 20;
constexpr std::size_t kCoffSectionCountOffset = 2;
constexpr std::size_t kCoffOptionalSizeOffset = 16;
constexpr std::uint16_t kPe32Magic = 0x10B;
constexpr std::uint16_t kPe32PlusMagic = 0x20B;
constexpr std::size_t kPe32DirectoryCountOffset = 92;
constexpr std::size_t kPe32PlusDirectoryCountOffset = 108;
constexpr std::size_t kDataDirectorySize = 8;
constexpr std::uint32_t kResourceDirectoryIndex = 2;
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::size_t kSectionVirtualSizeOffset = 8;
constexpr std::size_t kSectionAddressOffset = 12;
constexpr std::size_t kSectionRawSizeOffset = 16;
constexpr std::size_t kSectionRawPointerOffset = 20;

// The resource tree of a PE file: type, name, language, then the data entry.
constexpr std::size_t kResourceDirectorySize = 16;
constexpr std::size_t kResourceNamedCountOffset = 12;
constexpr std::size_t kResourceIdCountOffset = 14;
constexpr std::size_t kResourceEntrySize = 8;
constexpr std::size_t kResourceDataEntrySize = 16;
constexpr std::uint32_t kResourceHighBit = 0x80000000; // named entry, or subdirectory
constexpr std::uint32_t kVersionResourceType = 16;     // RT_VERSION
constexpr std::uint32_t kVersionResourceId = 1;        // VS_VERSION_INFO
constexpr int kResourceLevels = 3;

// 16-bit files.
constexpr std::uint16_t kNeSignature = 0x454E; // "NE"
constexpr std::size_t kNeHeaderSize = 0x40;
constexpr std::size_t kNeResourceTableOffset = 0x24;
constexpr std::size_t kNeResidentNamesOffset = 0x26;
constexpr std::size_t kNeTypeInfoSize = 8;
constexpr std::size_t kNeNameInfoSize = 12;
constexpr std::uint16_t kNeIntegerId = 0x8000;
constexpr std::uint16_t kNeVersionType = kNeIntegerId | kVersionResourceType;
constexpr std::uint16_t kNeVersionId = kNeIntegerId | kVersionResourceId;
constexpr std::size_t kNeResourceTableLimit = 0x10000; // its offsets are 16-bit
// Resource offsets are 16-bit values shifted left by this count; more than this would place
// every resource beyond any file.
constexpr std::uint16_t kNeLargestAlignShift = 24;

// Version blocks.
constexpr std::string_view kRootKey = "VS_VERSION_INFO";
constexpr std::string_view kVarFileInfoKey = "VarFileInfo";
constexpr std::string_view kTranslationKey = "Translation";
constexpr std::uint16_t kTextValue = 1; // wType of a Unicode block whose value is text

} // namespace

static std::uint16_t Le16(const std::uint8_t *p)
{
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

static std::uint32_t Le32(const std::uint8_t *p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8
           | static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

bool MemoryByteSource::ReadAt(std::uint64_t offset, void *destination, std::size_t n)
{
    if (offset > m_bytes.size() || n > m_bytes.size() - offset)
        return false;
    if (n != 0)
        std::memcpy(destination, m_bytes.data() + offset, n);
    return true;
}

bool FileByteSource::ReadAt(std::uint64_t offset, void *destination, std::size_t n)
{
    if (offset > m_size || n > m_size - offset)
        return false;
    if (n == 0)
        return true;
    return m_file.ReadExactlyAt(static_cast<std::int64_t>(offset), destination, n) == kOk;
}

// n bytes at offset, or none when the file does not hold them all.
static std::optional<Bytes> ReadBytes(ByteSource &source, std::uint64_t offset, std::size_t n)
{
    if (offset > source.Size() || n > source.Size() - offset)
        return std::nullopt;
    Bytes bytes(n);
    if (!source.ReadAt(offset, bytes.data(), n))
        return std::nullopt;
    return bytes;
}

// Up to n bytes at offset: as many as the file holds there.
static std::optional<Bytes> ReadAvailable(ByteSource &source, std::uint64_t offset, std::uint64_t n)
{
    if (offset >= source.Size())
        return std::nullopt;
    return ReadBytes(source, offset, static_cast<std::size_t>(std::min(n, source.Size() - offset)));
}

namespace {

struct Section
{
    std::uint32_t address;
    std::uint32_t virtualSize;
    std::uint32_t rawSize;
    std::uint32_t rawPointer;
};

// Reads a PE file's resource tree through the sections that map its addresses to the file.
class PeResources
{
public:
    PeResources(ByteSource &source, std::vector<Section> sections, std::uint32_t root)
        : m_source(source), m_sections(std::move(sections)), m_root(root)
    {
    }

    [[nodiscard]] std::optional<Bytes> VersionResource();

private:
    // Up to n bytes at a relative virtual address, as far as its section has them in the file.
    [[nodiscard]] std::optional<Bytes> ReadAtAddress(std::uint64_t address, std::uint64_t n);
    // The entry of the directory at offset (from the tree's root) chosen for level; its target.
    [[nodiscard]] std::optional<std::uint32_t> ChooseEntry(std::uint32_t directory, int level);

    ByteSource &m_source;
    std::vector<Section> m_sections;
    std::uint32_t m_root;
};

} // namespace

std::optional<Bytes> PeResources::ReadAtAddress(std::uint64_t address, std::uint64_t n)
{
    for (const Section &section : m_sections) {
        const std::uint64_t extent
            = section.virtualSize != 0 ? section.virtualSize : section.rawSize;
        if (address < section.address || address - section.address >= extent)
            continue;
        const std::uint64_t delta = address - section.address;
        // Beyond the section's bytes in the file the loader fills zeros; nothing to read here.
        if (delta >= section.rawSize)
            return std::nullopt;
        return ReadAvailable(m_source, section.rawPointer + delta,
                             std::min(n, std::uint64_t{section.rawSize} - delta));
    }
    return std::nullopt;
}

// Level 0 takes the version type, level 1 the version block's own number or else the first
// name, level 2 the first language. The answer is the entry's target, high bit included.
std::optional<std::uint32_t> PeResources::ChooseEntry(std::uint32_t directory, int level)
{
    const std::uint64_t at = std::uint64_t{m_root} + directory;
    std::optional<Bytes> header = ReadAtAddress(at, kResourceDirectorySize);
    if (!header || header->size() < kResourceDirectorySize)
        return std::nullopt;
    const std::uint64_t count = std::uint64_t{Le16(header->data() + kResourceNamedCountOffset)}
                                + Le16(header->data() + kResourceIdCountOffset);
    if (count == 0)
        return std::nullopt;
    // Entries cut off by the end of the section or file simply are not there.
    std::optional<Bytes> entries
        = ReadAtAddress(at + kResourceDirectorySize, count * kResourceEntrySize);
    if (!entries)
        return std::nullopt;
    const std::size_t present = entries->size() / kResourceEntrySize;
    if (present == 0)
        return std::nullopt;

    auto target = [&](std::size_t i) { return Le32(entries->data() + i * kResourceEntrySize + 4); };
    auto idOf = [&](std::size_t i) -> std::optional<std::uint32_t> {
        const std::uint32_t name = Le32(entries->data() + i * kResourceEntrySize);
        if ((name & kResourceHighBit) != 0)
            return std::nullopt;
        return name;
    };
    const std::uint32_t wanted = level == 0 ? kVersionResourceType : kVersionResourceId;
    for (std::size_t i = 0; i < present && level < 2; ++i) {
        if (idOf(i) == wanted)
            return target(i);
    }
    if (level == 0)
        return std::nullopt;
    return target(0);
}

std::optional<Bytes> PeResources::VersionResource()
{
    // Three levels and one entry taken on each: a directory that names itself, or an earlier
    // one, is read at most three times and then fails for want of a data entry.
    std::uint32_t directory = 0;
    for (int level = 0; level < kResourceLevels; ++level) {
        std::optional<std::uint32_t> target = ChooseEntry(directory, level);
        if (!target)
            return std::nullopt;
        const bool isDirectory = (*target & kResourceHighBit) != 0;
        if (isDirectory != (level + 1 < kResourceLevels))
            return std::nullopt;
        directory = *target & ~kResourceHighBit;
    }
    std::optional<Bytes> dataEntry
        = ReadAtAddress(std::uint64_t{m_root} + directory, kResourceDataEntrySize);
    if (!dataEntry || dataEntry->size() < kResourceDataEntrySize)
        return std::nullopt;
    const std::uint32_t address = Le32(dataEntry->data());
    const std::uint32_t size = Le32(dataEntry->data() + 4);
    if (size == 0)
        return std::nullopt;
    return ReadAtAddress(address, std::min<std::uint64_t>(size, kMaxVersionResourceSize));
}

static std::optional<Bytes> ReadPeVersionResource(ByteSource &source, std::uint64_t peHeader)
{
    std::optional<Bytes> coff = ReadBytes(source, peHeader + 4, kCoffHeaderSize);
    if (!coff)
        return std::nullopt;
    const std::uint16_t sectionCount = Le16(coff->data() + kCoffSectionCountOffset);
    const std::uint16_t optionalSize = Le16(coff->data() + kCoffOptionalSizeOffset);
    const std::uint64_t optionalAt = peHeader + 4 + kCoffHeaderSize;
    std::optional<Bytes> optional = ReadBytes(source, optionalAt, optionalSize);
    if (!optional || optionalSize < 2)
        return std::nullopt;

    const std::uint16_t magic = Le16(optional->data());
    std::size_t countOffset = 0;
    if (magic == kPe32Magic)
        countOffset = kPe32DirectoryCountOffset;
    else if (magic == kPe32PlusMagic)
        countOffset = kPe32PlusDirectoryCountOffset;
    else
        return std::nullopt;
    const std::size_t directoryAt = countOffset + 4 + kResourceDirectoryIndex * kDataDirectorySize;
    if (optional->size() < directoryAt + kDataDirectorySize
        || Le32(optional->data() + countOffset) <= kResourceDirectoryIndex)
        return std::nullopt;
    const std::uint32_t resourceRoot = Le32(optional->data() + directoryAt);
    if (resourceRoot == 0)
        return std::nullopt;

    // Section headers past the end of the file are left out.
    const std::uint64_t tableAt = optionalAt + optionalSize;
    std::optional<Bytes> table
        = ReadAvailable(source, tableAt, std::uint64_t{sectionCount} * kSectionHeaderSize);
    if (!table)
        return std::nullopt;
    std::vector<Section> sections;
    for (std::size_t at = 0; at + kSectionHeaderSize <= table->size(); at += kSectionHeaderSize) {
        const std::uint8_t *p = table->data() + at;
        sections.push_back(
            Section{Le32(p + kSectionAddressOffset), Le32(p + kSectionVirtualSizeOffset),
                    Le32(p + kSectionRawSizeOffset), Le32(p + kSectionRawPointerOffset)});
    }
    return PeResources(source, std::move(sections), resourceRoot).VersionResource();
}

static std::optional<Bytes> ReadNeVersionResource(ByteSource &source, std::uint64_t neHeader)
{
    std::optional<Bytes> header = ReadBytes(source, neHeader, kNeHeaderSize);
    if (!header)
        return std::nullopt;
    const std::uint16_t tableOffset = Le16(header->data() + kNeResourceTableOffset);
    const std::uint16_t namesOffset = Le16(header->data() + kNeResidentNamesOffset);
    if (tableOffset == namesOffset)
        return std::nullopt; // no resources at all
    // The table ends where the resident names begin, when they follow it.
    const std::uint64_t tableLength
        = namesOffset > tableOffset ? namesOffset - tableOffset : kNeResourceTableLimit;
    std::optional<Bytes> table = ReadAvailable(source, neHeader + tableOffset, tableLength);
    if (!table || table->size() < 2)
        return std::nullopt;
    const std::uint16_t shift = Le16(table->data());
    if (shift > kNeLargestAlignShift)
        return std::nullopt;

    const std::uint8_t *found = nullptr;
    std::size_t at = 2;
    while (found == nullptr && at + kNeTypeInfoSize <= table->size()) {
        const std::uint16_t type = Le16(table->data() + at);
        if (type == 0)
            break;
        const std::size_t count = Le16(table->data() + at + 2);
        at += kNeTypeInfoSize;
        const std::size_t present = std::min(count, (table->size() - at) / kNeNameInfoSize);
        if (type == kNeVersionType) {
            for (std::size_t i = 0; i < present; ++i) {
                const std::uint8_t *name = table->data() + at + i * kNeNameInfoSize;
                if (found == nullptr || Le16(name + 6) == kNeVersionId)
                    found = name;
                if (Le16(name + 6) == kNeVersionId)
                    break;
            }
            if (found == nullptr)
                break;
        }
        at += count * kNeNameInfoSize;
    }
    if (found == nullptr)
        return std::nullopt;
    // Offset and length count alignment units; a length in bytes would only read on further,
    // and the block's own length decides where it ends.
    const std::uint64_t offset = std::uint64_t{Le16(found)} << shift;
    const std::uint64_t length = std::uint64_t{Le16(found + 2)} << shift;
    if (length == 0)
        return std::nullopt;
    return ReadAvailable(source, offset, std::min<std::uint64_t>(length, kMaxVersionResourceSize));
}

std::optional<Bytes> ReadVersionResource(ByteSource &source)
{
    std::optional<Bytes> dos = ReadBytes(source, 0, kNewHeaderPointerOffset + 4);
    if (!dos || Le16(dos->data()) != kDosSignature)
        return std::nullopt;
    const std::uint64_t newHeader = Le32(dos->data() + kNewHeaderPointerOffset);
    std::optional<Bytes> signature = ReadBytes(source, newHeader, 4);
    if (!signature)
        return std::nullopt;
    if (Le32(signature->data()) == kPeSignature)
        return ReadPeVersionResource(source, newHeader);
    if (Le16(signature->data()) == kNeSignature)
        return ReadNeVersionResource(source, newHeader);
    return std::nullopt;
}

namespace {

// One block of a version resource: header, key, value, then its children up to its end.
struct VersionBlock
{
    std::size_t end = 0;  // where this block and its children end, never beyond its parent
    std::size_t next = 0; // where the next sibling starts
    std::string key;      // ASCII; other characters read as '?'
    std::size_t valueAt = 0;
    std::size_t valueSize = 0; // in bytes
    std::size_t childrenAt = 0;
};

} // namespace

static std::size_t AlignTo4(std::size_t offset)
{
    return (offset + 3) & ~std::size_t{3};
}

// The block at offset within [offset, limit) of data; wide is the Unicode layout (with a type
// word and 16-bit key characters). None when the header or the key does not fit.
static std::optional<VersionBlock> ReadBlock(std::span<const std::uint8_t> data, std::size_t offset,
                                             std::size_t limit, bool wide)
{
    const std::size_t headerSize = wide ? 6 : 4;
    if (offset > limit || limit - offset < headerSize)
        return std::nullopt;
    const std::uint8_t *p = data.data() + offset;
    const std::size_t length = Le16(p);
    if (length < headerSize)
        return std::nullopt;
    VersionBlock block;
    // A block claiming more than its parent holds ends with the parent.
    block.end = offset + std::min(length, limit - offset);
    block.next = AlignTo4(offset + length);
    const std::size_t valueLength = Le16(p + 2);
    const bool textValue = wide && Le16(p + 4) == kTextValue;

    std::size_t at = offset + headerSize;
    const std::size_t charSize = wide ? 2 : 1;
    for (;; at += charSize) {
        if (at + charSize > block.end)
            return std::nullopt; // the key runs off the block
        const unsigned c = wide ? Le16(data.data() + at) : data[at];
        if (c == 0)
            break;
        block.key += c < 0x80 ? static_cast<char>(c) : '?';
    }
    block.valueAt = AlignTo4(at + charSize);
    // Unicode text values count characters; everything else counts bytes.
    block.valueSize = textValue ? valueLength * 2 : valueLength;
    block.childrenAt = AlignTo4(block.valueAt + block.valueSize);
    return block;
}

static bool KeyEquals(std::string_view key, std::string_view wanted)
{
    return key.size() == wanted.size()
           && std::equal(key.begin(), key.end(), wanted.begin(), [](char a, char b) {
                  auto lower
                      = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
                  return lower(a) == lower(b);
              });
}

// The first child of parent whose key is wanted; each step moves forward by at least a
// header, so a damaged length cannot loop.
static std::optional<VersionBlock> FindChild(std::span<const std::uint8_t> data,
                                             const VersionBlock &parent, std::string_view wanted,
                                             bool wide)
{
    std::size_t at = parent.childrenAt;
    while (at < parent.end) {
        std::optional<VersionBlock> child = ReadBlock(data, at, parent.end, wide);
        if (!child)
            return std::nullopt;
        if (KeyEquals(child->key, wanted))
            return child;
        at = child->next;
    }
    return std::nullopt;
}

static bool ValueFits(const VersionBlock &block)
{
    return block.valueAt <= block.end && block.valueSize <= block.end - block.valueAt;
}

VersionInfo ParseVersionBlock(std::span<const std::uint8_t> block)
{
    VersionInfo info;
    // A 16-bit block has its key right after two length words; a Unicode block has a type
    // word there and a 16-bit key after it.
    const bool wide = !(block.size() >= 4 + kRootKey.size() + 1
                        && std::memcmp(block.data() + 4, kRootKey.data(), kRootKey.size()) == 0
                        && block[4 + kRootKey.size()] == 0);
    std::optional<VersionBlock> root = ReadBlock(block, 0, block.size(), wide);
    if (!root)
        return info;

    if (ValueFits(*root) && root->valueSize >= kFixedFileInfoSize) {
        const std::uint8_t *p = block.data() + root->valueAt;
        FixedFileInfo fixed;
        std::uint32_t *fields[]
            = {&fixed.signature,     &fixed.structVersion,    &fixed.fileVersionMS,
               &fixed.fileVersionLS, &fixed.productVersionMS, &fixed.productVersionLS,
               &fixed.fileFlagsMask, &fixed.fileFlags,        &fixed.fileOS,
               &fixed.fileType,      &fixed.fileSubtype,      &fixed.fileDateMS,
               &fixed.fileDateLS};
        for (std::uint32_t *field : fields) {
            *field = Le32(p);
            p += 4;
        }
        if (fixed.signature == kFixedFileInfoSignature)
            info.fixed = fixed;
    }

    std::optional<VersionBlock> files = FindChild(block, *root, kVarFileInfoKey, wide);
    if (!files)
        return info;
    std::optional<VersionBlock> translation = FindChild(block, *files, kTranslationKey, wide);
    if (!translation || !ValueFits(*translation) || translation->valueSize < 2)
        return info;
    const std::uint8_t *p = block.data() + translation->valueAt;
    std::uint32_t entry = Le16(p);
    if (translation->valueSize >= 4)
        entry |= std::uint32_t{Le16(p + 2)} << 16;
    info.translation = entry;
    return info;
}

std::optional<VersionInfo> ReadVersionInfo(ByteSource &source)
{
    std::optional<Bytes> block = ReadVersionResource(source);
    if (!block)
        return std::nullopt;
    return ParseVersionBlock(*block);
}
