// The version resource of a Windows executable or library, read from the file itself: the
// resource tables of 32- and 64-bit (PE32, PE32+) and 16-bit (NE) files lead to the version
// block, whose root holds the fixed file information and whose "VarFileInfo" child lists the
// translations. Files come from anywhere, so every offset, count and length is checked against
// what is really there: damage yields less information, never a read outside the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

class BASEFILE;

inline constexpr std::uint32_t kFixedFileInfoSignature = 0xFEEF04BD;
// Block lengths are 16-bit, so no version block is longer than this.
inline constexpr std::size_t kMaxVersionResourceSize = 0xFFFF;

// The root block's value, field for field.
struct FixedFileInfo
{
    std::uint32_t signature = 0;
    std::uint32_t structVersion = 0;
    std::uint32_t fileVersionMS = 0;
    std::uint32_t fileVersionLS = 0;
    std::uint32_t productVersionMS = 0;
    std::uint32_t productVersionLS = 0;
    std::uint32_t fileFlagsMask = 0;
    std::uint32_t fileFlags = 0;
    std::uint32_t fileOS = 0;
    std::uint32_t fileType = 0;
    std::uint32_t fileSubtype = 0;
    std::uint32_t fileDateMS = 0;
    std::uint32_t fileDateLS = 0;
};
inline constexpr std::size_t kFixedFileInfoSize = 13 * 4;

struct VersionInfo
{
    // None when the root block holds no fixed file information with the right signature.
    std::optional<FixedFileInfo> fixed;
    // The first entry of "\VarFileInfo\Translation": the language identifier in the low 16
    // bits, the code page in the high 16 bits (0 when the entry holds only a language).
    std::optional<std::uint32_t> translation;
};

// Positioned reads from a file or from bytes in memory.
class ByteSource
{
public:
    virtual ~ByteSource() = default;
    [[nodiscard]] virtual std::uint64_t Size() const = 0;
    // True only when all n bytes at offset were read.
    [[nodiscard]] virtual bool ReadAt(std::uint64_t offset, void *destination, std::size_t n) = 0;
};

class MemoryByteSource : public ByteSource
{
public:
    explicit MemoryByteSource(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}
    [[nodiscard]] std::uint64_t Size() const override { return m_bytes.size(); }
    [[nodiscard]] bool ReadAt(std::uint64_t offset, void *destination, std::size_t n) override;

private:
    std::span<const std::uint8_t> m_bytes;
};

// An open file of the given size (the size taken when it was looked at, so that a file growing
// meanwhile is read no further).
class FileByteSource : public ByteSource
{
public:
    FileByteSource(BASEFILE &file, std::uint64_t size) : m_file(file), m_size(size) {}
    [[nodiscard]] std::uint64_t Size() const override { return m_size; }
    [[nodiscard]] bool ReadAt(std::uint64_t offset, void *destination, std::size_t n) override;

private:
    BASEFILE &m_file;
    std::uint64_t m_size;
};

// The bytes of the version resource (at most kMaxVersionResourceSize, fewer when the file ends
// first), or none when the file is no PE or NE file, has no version resource or its tables
// are damaged on the way to it.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> ReadVersionResource(ByteSource &source);

// The fixed file information and the first translation of a version block, in the Unicode
// layout of 32-bit files or the narrow one of 16-bit files (told apart by the root's key).
[[nodiscard]] VersionInfo ParseVersionBlock(std::span<const std::uint8_t> block);

// Both: none when there is no version resource.
[[nodiscard]] std::optional<VersionInfo> ReadVersionInfo(ByteSource &source);
