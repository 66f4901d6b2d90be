#include "support/zip_writer.h"

#include "support/test_support.h"

#include <gtest/gtest.h>
#include <zlib.h>

namespace testsupport {

static void Put16(std::string &out, std::uint32_t value)
{
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

static void Put32(std::string &out, std::uint32_t value)
{
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

std::uint32_t Crc32(const std::string &bytes)
{
    return static_cast<std::uint32_t>(crc32(crc32(0L, Z_NULL, 0),
                                            reinterpret_cast<const Bytef *>(bytes.data()),
                                            static_cast<uInt>(bytes.size())));
}

std::string Deflate(const std::string &bytes)
{
    z_stream stream{};
    EXPECT_EQ(deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY),
              Z_OK);
    std::string out(deflateBound(&stream, static_cast<uLong>(bytes.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

std::uint16_t DosDate(int year, int month, int day)
{
    return static_cast<std::uint16_t>((year - 1980) << 9 | month << 5 | day);
}

std::uint16_t DosTime(int hour, int minute, int second)
{
    return static_cast<std::uint16_t>(hour << 11 | minute << 5 | second / 2);
}

ZipMember &ZipWriter::AddEncoded(const std::string &name, std::uint16_t method,
                                 const std::string &compressed, const std::string &contents,
                                 std::uint16_t flags)
{
    ZipMember member;
    member.name = name;
    member.method = method;
    member.flags = flags;
    member.crc = Crc32(contents);
    member.compressedSize = static_cast<std::uint32_t>(compressed.size());
    member.uncompressedSize = static_cast<std::uint32_t>(contents.size());
    member.data = compressed;
    m_members.push_back(member);
    return m_members.back();
}

ZipMember &ZipWriter::AddStored(const std::string &name, const std::string &contents)
{
    return AddEncoded(name, 0, contents, contents);
}

ZipMember &ZipWriter::AddDeflated(const std::string &name, const std::string &contents)
{
    return AddEncoded(name, 8, Deflate(contents), contents);
}

ZipMember &ZipWriter::AddFolder(const std::string &name)
{
    return AddStored(name.ends_with('/') ? name : name + "/", "");
}

static constexpr std::uint32_t kLocalSignature = 0x04034b50;
static constexpr std::uint32_t kCentralSignature = 0x02014b50;
static constexpr std::uint32_t kEndSignature = 0x06054b50;
static constexpr std::uint16_t kVersion = 20;

static std::size_t LocalRecordSize(const ZipMember &member)
{
    return 30 + member.name.size() + member.extra.size() + member.data.size();
}

std::uint32_t ZipWriter::CentralOffset() const
{
    std::size_t offset = 0;
    for (const ZipMember &member : m_members)
        offset += LocalRecordSize(member);
    return static_cast<std::uint32_t>(offset);
}

std::string ZipWriter::Bytes() const
{
    std::string out;
    std::vector<std::uint32_t> localOffsets;
    for (const ZipMember &m : m_members) {
        localOffsets.push_back(static_cast<std::uint32_t>(out.size()));
        Put32(out, kLocalSignature);
        Put16(out, kVersion);
        Put16(out, m.flags);
        Put16(out, m.method);
        Put16(out, m.dosTime);
        Put16(out, m.dosDate);
        Put32(out, m.crc);
        Put32(out, m.compressedSize);
        Put32(out, m.uncompressedSize);
        Put16(out, static_cast<std::uint32_t>(m.name.size()));
        Put16(out, static_cast<std::uint32_t>(m.extra.size()));
        out += m.name;
        out += m.extra;
        out += m.data;
    }
    const auto central = static_cast<std::uint32_t>(out.size());
    for (std::size_t i = 0; i < m_members.size(); ++i) {
        const ZipMember &m = m_members[i];
        Put32(out, kCentralSignature);
        Put16(out, kVersion);
        Put16(out, kVersion);
        Put16(out, m.flags);
        Put16(out, m.method);
        Put16(out, m.dosTime);
        Put16(out, m.dosDate);
        Put32(out, m.crc);
        Put32(out, m.compressedSize);
        Put32(out, m.uncompressedSize);
        Put16(out, static_cast<std::uint32_t>(m.name.size()));
        Put16(out, static_cast<std::uint32_t>(m.extra.size()));
        Put16(out, static_cast<std::uint32_t>(m.comment.size()));
        Put16(out, 0); // disk number
        Put16(out, 0); // internal attributes
        Put32(out, 0); // external attributes
        Put32(out, localOffsets[i]);
        out += m.name;
        out += m.extra;
        out += m.comment;
    }
    const auto centralSize = static_cast<std::uint32_t>(out.size()) - central;
    Put32(out, kEndSignature);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, static_cast<std::uint32_t>(m_members.size()));
    Put16(out, static_cast<std::uint32_t>(m_members.size()));
    Put32(out, centralSize);
    Put32(out, central);
    Put16(out, static_cast<std::uint32_t>(m_comment.size()));
    out += m_comment;
    return out;
}

void ZipWriter::WriteTo(const std::string &path) const
{
    WriteFile(path, Bytes());
}

} // namespace testsupport
