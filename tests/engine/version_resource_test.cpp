// Reading version resources from hand-built 32-bit and 16-bit files, and from damaged ones that
// must give less, never a crash or a read outside the file. Linked libraries are read in the
// tests of the executable comparison.
#include "engine/version_resource.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes &b, std::size_t at, std::uint32_t v)
{
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(Bytes &b, std::size_t at, std::uint32_t v)
{
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}
// Appends by resizing first: g++ 12 at -O3 takes vector::insert's reallocating copy here for
// an out-of-bounds one (-Warray-bounds).
void AppendBytes(Bytes &b, const Bytes &more)
{
    const std::size_t at = b.size();
    b.resize(at + more.size());
    std::copy(more.begin(), more.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
}

void PadTo4(Bytes &b)
{
    b.resize((b.size() + 3) & ~std::size_t{3});
}

// One version block with its key, value and children, in the Unicode or the 16-bit layout.
Bytes Node(const std::string &key, const Bytes &value, const std::vector<Bytes> &children,
           bool wide)
{
    Bytes b(wide ? 6 : 4);
    for (char c : key + '\0') {
        b.push_back(static_cast<std::uint8_t>(c));
        if (wide)
            b.push_back(0);
    }
    PadTo4(b);
    AppendBytes(b, value);
    for (const Bytes &child : children) {
        PadTo4(b);
        AppendBytes(b, child);
    }
    Put16(b, 0, static_cast<std::uint32_t>(b.size()));
    Put16(b, 2, static_cast<std::uint32_t>(value.size()));
    return b;
}

// File version 1.2.3.4, product version 5.6.7.8, flags 0x21, a display driver for Win16,
// translated to German in code page 1252.
Bytes VersionBlock(bool wide)
{
    Bytes fixed(kFixedFileInfoSize);
    const std::uint32_t fields[] = {kFixedFileInfoSignature,
                                    0x10000,
                                    0x10002,
                                    0x30004,
                                    0x50006,
                                    0x70008,
                                    0x3F,
                                    0x21,
                                    0x10001,
                                    3,
                                    4,
                                    0,
                                    0};
    for (std::size_t i = 0; i < std::size(fields); ++i)
        Put32(fixed, i * 4, fields[i]);
    Bytes translation(4);
    Put32(translation, 0, 0x04E40407);
    const Bytes strings = Node("StringFileInfo", {}, {}, wide);
    const Bytes var = Node("VarFileInfo", {}, {Node("Translation", translation, {}, wide)}, wide);
    return Node("VS_VERSION_INFO", fixed, {strings, var}, wide);
}

// Where the hand-built PE file keeps what the damage table changes.
constexpr std::size_t kPeHeader = 0x40;
constexpr std::size_t kOptionalSize = 0x54;
constexpr std::size_t kMagic = 0x58;
constexpr std::size_t kDirectoryCount = 0xB4;
constexpr std::size_t kResourceRoot = 0xC8;
constexpr std::size_t kSectionRawPointer = 0x14C;
constexpr std::size_t kTypeCounts = 0x20C;
constexpr std::size_t kTypeTarget = 0x214;
constexpr std::size_t kNameTarget = 0x22C;
constexpr std::size_t kDataAddress = 0x248;
constexpr std::size_t kDataSize = 0x24C;
constexpr std::size_t kBlock = 0x258;

// A PE32 library with one section, ".rsrc" at address 0x1000 and file offset 0x200, holding
// the type, name and language directories, the data entry and the version block.
Bytes MinimalPe(const Bytes &block)
{
    Bytes b(kBlock);
    b[0] = 'M';
    b[1] = 'Z';
    Put32(b, 0x3C, kPeHeader);
    std::memcpy(&b[kPeHeader], "PE\0\0", 4);
    Put16(b, kPeHeader + 4, 0x14C);
    Put16(b, kPeHeader + 6, 1);
    Put16(b, kOptionalSize, 224);
    Put16(b, kMagic, 0x10B);
    Put32(b, kDirectoryCount, 16);
    const auto sectionSize = static_cast<std::uint32_t>(kBlock - 0x200 + block.size());
    Put32(b, kResourceRoot, 0x1000);
    Put32(b, kResourceRoot + 4, sectionSize);
    std::memcpy(&b[0x138], ".rsrc", 5);
    Put32(b, 0x138 + 8, sectionSize);
    Put32(b, 0x138 + 12, 0x1000);
    Put32(b, 0x138 + 16, sectionSize);
    Put32(b, kSectionRawPointer, 0x200);
    Put16(b, kTypeCounts + 2, 1);
    Put32(b, kTypeTarget - 4, 16);
    Put32(b, kTypeTarget, 0x80000018);
    Put16(b, 0x218 + 14, 1);
    Put32(b, kNameTarget - 4, 1);
    Put32(b, kNameTarget, 0x80000030);
    Put16(b, 0x230 + 14, 1);
    Put32(b, 0x240, 0x409);
    Put32(b, 0x244, 0x48);
    Put32(b, kDataAddress, 0x1000 + kBlock - 0x200);
    Put32(b, kDataSize, static_cast<std::uint32_t>(block.size()));
    AppendBytes(b, block);
    return b;
}

constexpr std::size_t kNeResourceTable = 0x80;
constexpr std::size_t kNeBlock = 0x100;

// A 16-bit file whose resource table (alignment shift 4) lists one version resource.
Bytes MinimalNe(const Bytes &block)
{
    Bytes b(kNeBlock);
    b[0] = 'M';
    b[1] = 'Z';
    Put32(b, 0x3C, 0x40);
    b[0x40] = 'N';
    b[0x41] = 'E';
    Put16(b, 0x40 + 0x24, kNeResourceTable - 0x40);
    Put16(b, 0x40 + 0x26, kNeResourceTable - 0x40 + 0x20);
    Put16(b, kNeResourceTable, 4);
    Put16(b, kNeResourceTable + 2, 0x8010);
    Put16(b, kNeResourceTable + 4, 1);
    Put16(b, kNeResourceTable + 10, kNeBlock >> 4);
    Put16(b, kNeResourceTable + 12, static_cast<std::uint32_t>((block.size() + 15) >> 4));
    Put16(b, kNeResourceTable + 16, 0x8001);
    AppendBytes(b, block);
    return b;
}

std::optional<VersionInfo> Read(const Bytes &bytes)
{
    MemoryByteSource source(bytes);
    return ReadVersionInfo(source);
}

void ExpectSampleFields(const std::optional<VersionInfo> &info)
{
    ASSERT_TRUE(info.has_value());
    ASSERT_TRUE(info->fixed.has_value());
    EXPECT_EQ(info->fixed->fileVersionMS, 0x10002u);
    EXPECT_EQ(info->fixed->productVersionLS, 0x70008u);
    EXPECT_EQ(info->fixed->fileFlags, 0x21u);
    EXPECT_EQ(info->fixed->fileOS, 0x10001u);
    EXPECT_EQ(info->fixed->fileSubtype, 4u);
    EXPECT_EQ(info->translation, 0x04E40407u);
}

TEST(VersionResource, HandBuiltFilesOfBothLayouts)
{
    ExpectSampleFields(Read(MinimalPe(VersionBlock(/*wide=*/true))));
    ExpectSampleFields(Read(MinimalNe(VersionBlock(/*wide=*/false))));
    // A 16-bit block inside a PE file is read too: the root's key tells the layout.
    ExpectSampleFields(Read(MinimalPe(VersionBlock(/*wide=*/false))));
}

struct Damage
{
    const char *what;
    bool sixteenBit; // damages the hand-built 16-bit file, else the PE file
    std::function<void(Bytes &)> apply;
    bool resource; // a version resource is found
    bool fixed;
    bool translation;
};

TEST(VersionResource, DamagedFilesGiveWhatWasReadBeforeTheFault)
{
    const Bytes block = VersionBlock(true);
    // The VarFileInfo block and its Translation child, found by their Unicode keys.
    auto blockOf = [&](const char *key) {
        Bytes wide;
        for (const char *c = key; *c != 0; ++c)
            wide.insert(wide.end(), {static_cast<std::uint8_t>(*c), 0});
        return kBlock
               + static_cast<std::size_t>(
                   std::search(block.begin(), block.end(), wide.begin(), wide.end())
                   - block.begin())
               - 6;
    };
    const std::size_t varAt = blockOf("VarFileInfo");
    const std::size_t translationAt = blockOf("Translation");
    const Damage table[] = {
        {"empty file", false, [](Bytes &b) { b.clear(); }, false, false, false},
        {"cut inside the MS-DOS header", false, [](Bytes &b) { b.resize(0x30); }, false, false,
         false},
        {"new header past the end", false, [](Bytes &b) { Put32(b, 0x3C, 0xFFFFFFF0); }, false,
         false, false},
        {"cut inside the file header", false, [](Bytes &b) { b.resize(kPeHeader + 10); }, false,
         false, false},
        {"optional header longer than the file", false,
         [](Bytes &b) { Put16(b, kOptionalSize, 0xFFFF); }, false, false, false},
        {"unknown optional header", false, [](Bytes &b) { Put16(b, kMagic, 0x107); }, false, false,
         false},
        {"no resource directory", false, [](Bytes &b) { Put32(b, kDirectoryCount, 2); }, false,
         false, false},
        {"resources in no section", false, [](Bytes &b) { Put32(b, kResourceRoot, 0x9000); }, false,
         false, false},
        {"section bytes past the end", false,
         [](Bytes &b) { Put32(b, kSectionRawPointer, 0x7FFFFFF0); }, false, false, false},
        {"absurd entry counts, entries cut by the section", false,
         [](Bytes &b) { Put32(b, kTypeCounts, 0xFFFFFFFF); }, true, true, true},
        {"type directory names itself", false, [](Bytes &b) { Put32(b, kTypeTarget, 0x80000000); },
         false, false, false},
        {"name directory leads back to the root", false,
         [](Bytes &b) { Put32(b, kNameTarget, 0x80000000); }, false, false, false},
        {"data entry for a directory", false, [](Bytes &b) { Put32(b, kNameTarget, 0x30); }, false,
         false, false},
        {"data past its section", false, [](Bytes &b) { Put32(b, kDataAddress, 0x10000); }, false,
         false, false},
        {"absurd data size is capped", false, [](Bytes &b) { Put32(b, kDataSize, 0xFFFFFFFF); },
         true, true, true},
        {"block longer than the data", false, [&](Bytes &b) { Put16(b, kBlock, 0xFFF0); }, true,
         true, true},
        {"fixed information longer than its block", false,
         [&](Bytes &b) { Put16(b, kBlock, 0x40); }, true, false, false},
        {"wrong signature", false, [&](Bytes &b) { Put32(b, kBlock + 40, 0xFEEF04BC); }, true,
         false, true},
        {"translation longer than its block", false,
         [&](Bytes &b) { Put16(b, translationAt + 2, 0x100); }, true, true, false},
        {"child of length 0", false, [&](Bytes &b) { Put16(b, varAt, 0); }, true, true, false},
        {"key without its end", false, [&](Bytes &b) { Put16(b, varAt, 8); }, true, true, false},

        {"resource table past the end", true, [](Bytes &b) { Put16(b, 0x64, 0x7000); }, false,
         false, false},
        {"no resources", true, [](Bytes &b) { Put16(b, 0x64, 0x60); }, false, false, false},
        {"absurd alignment shift", true, [](Bytes &b) { Put16(b, kNeResourceTable, 0xFFFF); },
         false, false, false},
        {"absurd resource count", true, [](Bytes &b) { Put16(b, kNeResourceTable + 4, 0xFFFF); },
         true, true, true},
        {"resource past the end", true, [](Bytes &b) { Put16(b, kNeResourceTable + 10, 0xFFFF); },
         false, false, false},
    };
    for (const Damage &damage : table) {
        SCOPED_TRACE(damage.what);
        Bytes bytes = damage.sixteenBit ? MinimalNe(VersionBlock(false)) : MinimalPe(block);
        damage.apply(bytes);
        const std::optional<VersionInfo> info = Read(bytes);
        ASSERT_EQ(info.has_value(), damage.resource);
        if (info) {
            EXPECT_EQ(info->fixed.has_value(), damage.fixed);
            EXPECT_EQ(info->translation.has_value(), damage.translation);
        }
    }
}

} // namespace
