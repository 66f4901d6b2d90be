// Extracting archive members: stored and deflated members byte for byte, the error texts,
// the check against the stored size and CRC-32, damaged archives, and the temporary copies
// that sides make of members.
#include "core/basefile.h"
#include "core/status_io.h"
#include "core/temp_directory.h"
#include "engine/item.h"
#include "engine/unzipfile.h"
#include "engine/zip_legacy_encoders.h"
#include "support/test_support.h"
#include "support/zip_writer.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;
using testsupport::ZipWriter;

namespace {

bool Exists(const std::string &path)
{
    return std::filesystem::exists(path);
}

std::string RandomBytes(std::size_t count)
{
    std::mt19937 random(42);
    std::string bytes(count, '\0');
    for (char &byte : bytes)
        byte = static_cast<char>(random() & 0xFF);
    return bytes;
}

class Extraction : public ::testing::Test
{
protected:
    // Extracts member of the archive bytes into out.txt; answers the result and keeps the
    // error text.
    int Extract(const std::string &bytes, const std::string &member, STATUS_IO *status = nullptr)
    {
        WriteFile(m_dir / "a.zip", bytes);
        UNZIPFILE unzip(m_dir / "a.zip");
        const int result = unzip.Extract(status, member, Out());
        m_errorText = unzip.ErrorText();
        return result;
    }
    std::string Out() const { return m_dir / "out.txt"; }

    TempDir m_dir;
    std::string m_errorText;
};

TEST_F(Extraction, StoredAndDeflatedMembersComeOutByteForByte)
{
    std::string text;
    for (int i = 0; i < 2000; ++i)
        text += "line " + std::to_string(i % 37) + "\n";
    const std::vector<std::string> contents
        = {"", "x", text, std::string(100000, '\0'), RandomBytes(200 * 1024)};
    ZipWriter zip;
    for (std::size_t i = 0; i < contents.size(); ++i) {
        zip.AddStored("stored/" + std::to_string(i), contents[i]);
        zip.AddDeflated("deflated/" + std::to_string(i), contents[i]);
    }
    const std::string bytes = zip.Bytes();
    for (const char *method : {"stored/", "deflated/"}) {
        for (std::size_t i = 0; i < contents.size(); ++i) {
            SCOPED_TRACE(method + std::to_string(i));
            // Whatever was at the destination goes.
            WriteFile(Out(), std::string(300000, '?'));
            ASSERT_EQ(Extract(bytes, method + std::to_string(i)), 0) << m_errorText;
            EXPECT_EQ(m_errorText, "");
            EXPECT_TRUE(ReadFile(Out()) == contents[i]);
        }
    }
}

TEST_F(Extraction, OlderMethodsGetTheirFactorAndFlags)
{
    std::string text;
    for (int i = 0; i < 3000; ++i)
        text += "row " + std::to_string(i % 50) + " of the older methods\n";
    ZipWriter zip;
    zip.AddEncoded("1", 1, testencoders::Shrink(text), text);
    for (int factor = 1; factor <= 4; ++factor)
        zip.AddEncoded(std::to_string(1 + factor), static_cast<std::uint16_t>(1 + factor),
                       testencoders::Reduce(text, factor, 8), text);
    for (const std::uint16_t flags : {0, 2, 4, 6})
        zip.AddEncoded("6." + std::to_string(flags), 6,
                       testencoders::Implode(text, (flags & 2) != 0, (flags & 4) != 0), text,
                       flags);
    const std::string bytes = zip.Bytes();
    for (const auto &member : zip.Members()) {
        SCOPED_TRACE(member.name);
        ASSERT_EQ(Extract(bytes, member.name), 0) << m_errorText;
        EXPECT_TRUE(ReadFile(Out()) == text);
    }
}

TEST_F(Extraction, MemberIsFoundByItsWholeName)
{
    ZipWriter zip;
    zip.AddStored("a/b/c.txt", "c\n");
    zip.AddStored("C.txt", "C\n");
    ASSERT_EQ(Extract(zip.Bytes(), "a/b/c.txt"), 0);
    EXPECT_EQ(ReadFile(Out()), "c\n");
    std::filesystem::remove(Out());

    for (const char *missing : {"c.txt", "a/B/c.txt", "a/b/", "a/b/c.txt ", ""}) {
        SCOPED_TRACE(missing);
        EXPECT_EQ(Extract(zip.Bytes(), missing), 1);
        EXPECT_EQ(m_errorText, "Error");
        EXPECT_FALSE(Exists(Out()));
    }
    EXPECT_EQ(Extract("not an archive at all", "c.txt"), 1);
    EXPECT_EQ(m_errorText, "Error");
    UNZIPFILE missingArchive(m_dir / "missing.zip");
    EXPECT_EQ(missingArchive.Extract(nullptr, "c.txt", Out()), 1);
    EXPECT_EQ(missingArchive.ErrorText(), "Error");
}

TEST_F(Extraction, DestinationThatCannotBeCreated)
{
    ZipWriter zip;
    zip.AddStored("c.txt", "c");
    WriteFile(m_dir / "a.zip", zip.Bytes());
    UNZIPFILE unzip(m_dir / "a.zip");
    const std::string destination = m_dir / "no/such/folder/c.txt";
    EXPECT_EQ(unzip.Extract(nullptr, "c.txt", destination), 1);
    EXPECT_EQ(unzip.ErrorText(), "error creating file: " + destination);
}

TEST_F(Extraction, DamagedMembersFailAndLeaveNoFile)
{
    const std::string contents = RandomBytes(50000);
    const std::string deflated = testsupport::Deflate(contents);

    struct Case
    {
        const char *what;
        std::function<void(testsupport::ZipMember &)> damage;
        const char *text;
    };
    const std::vector<Case> cases = {
        {"method 9", [](auto &m) { m.method = 9; }, "Unknown compression method"},
        {"method 7", [](auto &m) { m.method = 7; }, "Unknown compression method"},
        {"stored CRC-32 differs", [](auto &m) { m.crc ^= 1; }, "Error during extraction"},
        {"longer than said", [](auto &m) { m.uncompressedSize -= 1; }, "Error during extraction"},
        {"shorter than said", [](auto &m) { m.uncompressedSize += 1; }, "Error during extraction"},
        {"declared 4 GiB", [](auto &m) { m.uncompressedSize = m.compressedSize = 0xFFFFFFFF; },
         "Error during extraction"},
        {"data cut short",
         [](auto &m) {
             m.data.resize(m.data.size() / 2);
             m.compressedSize = static_cast<std::uint32_t>(m.data.size());
         },
         "Error during extraction"},
        {"stored, compressed size past the end",
         [&contents](auto &m) {
             m.method = 0;
             m.data = contents;
             m.compressedSize = m.uncompressedSize + 1000000;
         },
         "Error during extraction"},
        {"corrupt deflate data", [](auto &m) { m.data[m.data.size() / 3] ^= 0x55; },
         "Error during extraction"},
        {"deflate data that never ends",
         [](auto &m) {
             m.data.resize(m.data.size() - 10);
             m.compressedSize = static_cast<std::uint32_t>(m.data.size());
         },
         "Error during extraction"},
        {"no deflate block at all", [](auto &m) { m.data = "\xFF\xFF\xFF"; },
         "Error during extraction"},
        {"older method with foreign data", [](auto &m) { m.method = 6; },
         "Error during extraction"},
    };
    for (const Case &entry : cases) {
        SCOPED_TRACE(entry.what);
        ZipWriter zip;
        zip.AddStored("first", "1");
        testsupport::ZipMember &member = zip.AddEncoded("m", 8, deflated, contents);
        entry.damage(member);
        WriteFile(Out(), "left over");
        EXPECT_EQ(Extract(zip.Bytes(), "m"), 1);
        EXPECT_EQ(m_errorText, entry.text);
        EXPECT_FALSE(Exists(Out()));
    }
}

TEST_F(Extraction, LocalHeaderOrDataPastTheEnd)
{
    ZipWriter zip;
    zip.AddStored("m", "m");
    const std::string good = zip.Bytes();
    std::string farHeader = good;
    farHeader.replace(zip.CentralOffset() + 42, 4, "\xF0\xFF\xFF\x7F");
    EXPECT_EQ(Extract(farHeader, "m"), 1);
    EXPECT_EQ(m_errorText, "Error");
    EXPECT_FALSE(Exists(Out()));

    // The local header's own extra length puts the data past the end of the file.
    std::string farData = good;
    farData.replace(28, 2, "\xFF\xFF");
    EXPECT_EQ(Extract(farData, "m"), 1);
    EXPECT_EQ(m_errorText, "Error during extraction");
    EXPECT_FALSE(Exists(Out()));
}

// Counts the sizes of reads and writes while installed.
std::vector<std::size_t> g_reads;
std::vector<std::size_t> g_writes;

ssize_t CountedRead(int fd, void *buffer, std::size_t count)
{
    g_reads.push_back(count);
    return SystemFileIo().read(fd, buffer, count);
}

ssize_t CountedWrite(int fd, const void *buffer, std::size_t count)
{
    g_writes.push_back(count);
    return SystemFileIo().write(fd, buffer, count);
}

class StoppingStatus : public STATUS_IO
{
public:
    StoppingStatus() : STATUS_IO(1) {}
    void ShowMessage(const char * /*text*/) override {}
    std::int16_t CheckCancel() override { return 0; }
    std::int16_t ShowProgress(std::int64_t total, std::int64_t done) override
    {
        progress.emplace_back(total, done);
        return done >= stopAt ? 1 : 0;
    }
    std::int64_t stopAt = 0;
    std::vector<std::pair<std::int64_t, std::int64_t>> progress;
};

TEST_F(Extraction, WorksInPiecesAndReportsProgress)
{
    const std::string contents = RandomBytes(40000);
    ZipWriter zip;
    zip.AddStored("s", contents);
    zip.AddDeflated("d", contents);
    const std::string bytes = zip.Bytes();
    const std::size_t deflatedSize = zip.Members()[1].data.size();

    for (const char *member : {"s", "d"}) {
        SCOPED_TRACE(member);
        g_reads.clear();
        g_writes.clear();
        StoppingStatus status;
        status.stopAt = 1 << 30;
        CurrentFileIo().read = CountedRead;
        CurrentFileIo().write = CountedWrite;
        const int result = Extract(bytes, member, &status);
        CurrentFileIo() = SystemFileIo();
        ASSERT_EQ(result, 0);
        for (const std::size_t read : g_reads)
            EXPECT_LE(read, 16000u);
        EXPECT_EQ(g_writes, (std::vector<std::size_t>{16000, 16000, 8000}));
        ASSERT_FALSE(status.progress.empty());
        const std::int64_t total = *member == 's' ? 40000 : deflatedSize;
        EXPECT_EQ(status.progress.back(), std::make_pair(total, total));
    }

    StoppingStatus stopping;
    stopping.stopAt = 1;
    EXPECT_EQ(Extract(bytes, "s", &stopping), 1);
    EXPECT_EQ(m_errorText, "Error during extraction");
    EXPECT_FALSE(Exists(Out()));
}

TEST_F(Extraction, SideCopiesAreNamedByTheMembersLastComponentOnly)
{
    ZipWriter zip;
    zip.AddStored("../../up.txt", "up\n");
    zip.AddStored("/abs/root.txt", "root\n");
    zip.AddStored("sub/bad.txt", "bad\n").crc ^= 1;
    zip.WriteTo(m_dir / "a.zip");
    ITEM archive(m_dir / "a.zip");
    const STRING folder = PrivateTempDirectory();

    ITEM up;
    ASSERT_TRUE(ExtractMember("../../up.txt", nullptr, archive, up));
    EXPECT_EQ(up.Text(), folder + "up.000");
    EXPECT_EQ(ReadFile(up.Text()), "up\n");
    EXPECT_EQ(up.DisplayName(), m_dir / "a.zip/../../up.txt");

    ITEM root;
    ASSERT_TRUE(ExtractMember("/abs/root.txt", nullptr, archive, root));
    EXPECT_EQ(root.Text(), folder + "root.000");

    ITEM bad;
    EXPECT_FALSE(ExtractMember("sub/bad.txt", nullptr, archive, bad));
    EXPECT_EQ(archive.ErrorText(), "Error during extraction");
    EXPECT_FALSE(Exists(folder + "bad.000"));

    const std::string upPath = up.Text();
    up.SetPath(m_dir / "a.zip");
    EXPECT_FALSE(Exists(upPath));
}

} // namespace
