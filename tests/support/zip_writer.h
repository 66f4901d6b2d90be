// A small zip archive writer for tests: stored and deflated members, members of any method
// with given compressed bytes, explicit folders, archive and member comments. Every field can
// be overridden afterwards, so tests can also build damaged archives.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

struct ZipMember
{
    std::string name; // with "/" between folders; a folder ends in "/"
    std::uint16_t method = 0;
    std::uint16_t flags = 0;
    std::uint16_t dosTime = 0;
    std::uint16_t dosDate = 0x21; // 1980-01-01
    std::uint32_t crc = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t uncompressedSize = 0;
    std::string data; // the bytes stored in the archive (compressed for other methods)
    std::string extra;
    std::string comment;
};

// The CRC-32 of bytes.
[[nodiscard]] std::uint32_t Crc32(const std::string &bytes);
// Raw deflate data (no zlib header) of bytes.
[[nodiscard]] std::string Deflate(const std::string &bytes);
// An MS-DOS date and time.
[[nodiscard]] std::uint16_t DosDate(int year, int month, int day);
[[nodiscard]] std::uint16_t DosTime(int hour, int minute, int second);

class ZipWriter
{
public:
    // Each adds a member with sizes and CRC-32 filled in from contents and answers it, so
    // that a test may change any field before Bytes().
    ZipMember &AddStored(const std::string &name, const std::string &contents);
    ZipMember &AddDeflated(const std::string &name, const std::string &contents);
    // compressed is stored as it is; sizes and CRC-32 come from contents.
    ZipMember &AddEncoded(const std::string &name, std::uint16_t method,
                          const std::string &compressed, const std::string &contents,
                          std::uint16_t flags = 0);
    // An explicit folder member; "/" is appended when missing.
    ZipMember &AddFolder(const std::string &name);

    void SetComment(const std::string &comment) { m_comment = comment; }
    [[nodiscard]] std::vector<ZipMember> &Members() { return m_members; }

    // The archive: local headers with data, the central directory, the end record.
    [[nodiscard]] std::string Bytes() const;
    // Where Bytes() puts the central directory.
    [[nodiscard]] std::uint32_t CentralOffset() const;
    // Writes Bytes() to path (creating its folders).
    void WriteTo(const std::string &path) const;

private:
    std::vector<ZipMember> m_members;
    std::string m_comment;
};

} // namespace testsupport
