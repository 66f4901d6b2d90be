#include "core/basefile.h"
#include "support/test_support.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

// Replaces the descriptor calls for one test and puts the real ones back afterwards.
class FileIoFaults : public ::testing::Test
{
protected:
    void TearDown() override { CurrentFileIo() = SystemFileIo(); }

    TempDir m_dir;
};

std::string Digits(std::size_t length)
{
    std::string text;
    for (std::size_t i = 0; i < length; ++i) {
        text += static_cast<char>('0' + i % 10);
    }
    return text;
}

// What the injected calls see and do.
int g_failReadAfter = -1;    // reads that succeed before one fails; -1 never fails
std::size_t g_readLimit = 0; // nonzero: no read delivers more
std::vector<std::size_t> g_readSizes;
int g_interruptions = 0; // reads that fail with EINTR first
int g_seeks = 0;

ssize_t FaultyRead(int fd, void *buffer, std::size_t count)
{
    g_readSizes.push_back(count);
    if (g_interruptions > 0) {
        --g_interruptions;
        errno = EINTR;
        return -1;
    }
    if (g_failReadAfter == 0) {
        errno = EIO;
        return -1;
    }
    if (g_failReadAfter > 0) {
        --g_failReadAfter;
    }
    if (g_readLimit != 0 && count > g_readLimit) {
        count = g_readLimit;
    }
    return SystemFileIo().read(fd, buffer, count);
}

off_t CountingSeek(int fd, off_t offset, int whence)
{
    ++g_seeks;
    return SystemFileIo().seek(fd, offset, whence);
}

void InstallFaultyRead()
{
    g_failReadAfter = -1;
    g_readLimit = 0;
    g_readSizes.clear();
    g_interruptions = 0;
    g_seeks = 0;
    CurrentFileIo().read = FaultyRead;
    CurrentFileIo().seek = CountingSeek;
}

} // namespace

TEST_F(FileIoFaults, PositionedReads)
{
    WriteFile(m_dir / "f", "0123456789");
    BASEFILE file(m_dir / "f");
    ASSERT_EQ(file.Open(), 0);
    EXPECT_EQ(file.Mode(), 0);
    char buffer[16] = {};

    EXPECT_EQ(file.ReadAt(2, buffer, 3), 3);
    EXPECT_EQ(std::string(buffer, 3), "234");
    EXPECT_EQ(file.Position(), 5);
    EXPECT_EQ(file.ReadAt(-1, buffer, 3), 3); // on from where it stands
    EXPECT_EQ(std::string(buffer, 3), "567");
    EXPECT_EQ(file.Position(), 8);

    EXPECT_EQ(file.ReadExactlyAt(0, buffer, 10), 0);
    EXPECT_EQ(file.ReadExactlyAt(8, buffer, 5), -1); // only two bytes left
    EXPECT_EQ(file.ReadExactlyAt(10, buffer, 1), 1); // none left
    EXPECT_EQ(file.ReadExactlyAt(3, buffer, 0), 0);
}

TEST_F(FileIoFaults, OpenSeekRewindAndCloseStates)
{
    WriteFile(m_dir / "f", "abcdef");
    BASEFILE file(m_dir / "f");
    char buffer[4];
    // Nothing touches a descriptor before the file is open.
    EXPECT_EQ(file.Seek(3, 7), 1);
    EXPECT_EQ(file.RecordNumber(), 7);
    EXPECT_EQ(file.Rewind(), 1);
    EXPECT_EQ(file.ReadAt(0, buffer, 1), -1);
    EXPECT_EQ(file.Close(), 1);

    ASSERT_EQ(file.Open(), 0);
    EXPECT_GT(file.Descriptor(), 0);
    EXPECT_EQ(file.Open(), 1); // already open

    InstallFaultyRead();
    EXPECT_EQ(file.Seek(4, 2), 0);
    EXPECT_EQ(file.Seek(4, 3), 0); // already there: no move, the record number still set
    EXPECT_EQ(g_seeks, 1);
    EXPECT_EQ(file.RecordNumber(), 3);
    EXPECT_EQ(file.ReadAt(-1, buffer, 2), 2);
    EXPECT_EQ(std::string(buffer, 2), "ef");
    EXPECT_EQ(file.Rewind(), 0);
    EXPECT_EQ(file.Position(), 0);
    EXPECT_EQ(file.RecordNumber(), 0);
    EXPECT_EQ(file.ReadAt(-1, buffer, 1), 1);
    EXPECT_EQ(buffer[0], 'a');

    EXPECT_EQ(file.Close(), 0);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.Close(), 1);

    BASEFILE missing(m_dir / "missing");
    EXPECT_EQ(missing.Open(), 1);
    EXPECT_FALSE(missing.IsOpen());
}

TEST_F(FileIoFaults, ReadFailuresAndShortReads)
{
    WriteFile(m_dir / "f", Digits(100));
    BASEFILE file(m_dir / "f");
    ASSERT_EQ(file.Open(), 0);
    InstallFaultyRead();
    char buffer[64];

    g_failReadAfter = 0;
    EXPECT_EQ(file.ReadAt(10, buffer, 8), -1);
    EXPECT_EQ(file.Position(), 10); // moved, but nothing read
    EXPECT_EQ(file.ReadExactlyAt(-1, buffer, 8), -1);

    g_failReadAfter = -1;
    g_readLimit = 3;
    EXPECT_EQ(file.ReadExactlyAt(0, buffer, 8), -1);
    EXPECT_EQ(file.Position(), 3);

    g_readLimit = 0;
    g_interruptions = 2; // an interrupted read is tried again
    EXPECT_EQ(file.ReadExactlyAt(20, buffer, 4), 0);
    EXPECT_EQ(std::string(buffer, 4), "0123");

    CurrentFileIo().seek = [](int, off_t, int) -> off_t { return -1; };
    EXPECT_EQ(file.ReadAt(50, buffer, 4), -1);
    EXPECT_EQ(file.ReadExactlyAt(60, buffer, 4), -1);
    EXPECT_EQ(file.Seek(70, 0), 1);
}

TEST_F(FileIoFaults, FailingCloseStillGivesTheDescriptorUp)
{
    WriteFile(m_dir / "f", "x");
    BASEFILE file(m_dir / "f");
    ASSERT_EQ(file.Open(), 0);
    int descriptor = file.Descriptor();
    CurrentFileIo().close = [](int) { return -1; };
    EXPECT_EQ(file.Close(), 1);
    EXPECT_FALSE(file.IsOpen());
    CurrentFileIo() = SystemFileIo();
    ::close(descriptor);
}

TEST_F(FileIoFaults, DescriptorZeroIsNeverKept)
{
    // With standard input closed the next open gets descriptor 0, which means "not open".
    WriteFile(m_dir / "f", "data");
    int savedInput = ::dup(0);
    ASSERT_GE(savedInput, 0);
    ::close(0);
    BASEFILE file(m_dir / "f");
    OpResult opened = file.Open();
    bool zeroStillOpen = ::fcntl(0, F_GETFD) != -1;
    ::dup2(savedInput, 0);
    ::close(savedInput);

    ASSERT_EQ(opened, 0);
    EXPECT_GT(file.Descriptor(), 0);
    EXPECT_FALSE(zeroStillOpen);
    char buffer[4];
    EXPECT_EQ(file.ReadExactlyAt(0, buffer, 4), 0);
    EXPECT_EQ(std::string(buffer, 4), "data");
}

TEST_F(FileIoFaults, OpenForWritingCreatesButNeverTruncates)
{
    BASEFILE created(m_dir / "new");
    ASSERT_EQ(created.OpenForWriting(), 0);
    EXPECT_EQ(created.Mode(), 1);
    struct stat info
    {
    };
    ASSERT_EQ(::stat((m_dir / "new").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    WriteFile(m_dir / "old", "keep me");
    BASEFILE existing(m_dir / "old");
    ASSERT_EQ(existing.OpenForWriting(), 0);
    EXPECT_EQ(existing.Close(), 0);
    EXPECT_EQ(ReadFile(m_dir / "old"), "keep me");

    BASEFILE nowhere(m_dir / "no/such/folder/file");
    EXPECT_EQ(nowhere.OpenForWriting(), 1);
}

TEST_F(FileIoFaults, CopyToInBlocks)
{
    const std::string text = Digits(40000);
    WriteFile(m_dir / "source", text);
    BASEFILE source(m_dir / "source");
    BASEFILE target(m_dir / "target");
    ASSERT_EQ(source.Open(), 0);
    ASSERT_EQ(target.OpenForWriting(), 0);
    InstallFaultyRead();

    EXPECT_EQ(source.CopyTo(100, target, 39000), 0);
    EXPECT_EQ(g_readSizes, (std::vector<std::size_t>{16384, 16384, 6232}));
    EXPECT_EQ(source.CopyTo(0, target, 0), 0);
    EXPECT_EQ(source.CopyTo(0, target, -1), -1);
    ASSERT_EQ(target.Close(), 0);
    EXPECT_EQ(ReadFile(m_dir / "target"), text.substr(100, 39000));

    // More than the file holds is a short read.
    BASEFILE more(m_dir / "more");
    ASSERT_EQ(more.OpenForWriting(), 0);
    EXPECT_EQ(source.CopyTo(39990, more, 20), -1);

    // A short write fails the copy.
    CurrentFileIo().write = [](int, const void *, std::size_t count) -> ssize_t {
        return static_cast<ssize_t>(count / 2);
    };
    EXPECT_EQ(source.CopyTo(0, more, 10), -1);

    // So does a destination that is not open.
    BASEFILE closed(m_dir / "closed");
    EXPECT_EQ(source.CopyTo(0, closed, 10), -1);
}

TEST_F(FileIoFaults, CrcOfTheWholeFile)
{
    const std::string fox = "The quick brown fox jumps over the lazy dog";
    WriteFile(m_dir / "fox", fox);
    BASEFILE file(m_dir / "fox");
    ASSERT_EQ(file.ComputeCrc(), 0);
    EXPECT_EQ(file.Crc(), 0x414FA339u);
    EXPECT_TRUE(file.IsOpen()); // stays open
    EXPECT_EQ(file.ComputeCrc(), 1);
    EXPECT_EQ(file.Crc(), 0u);

    // Several blocks.
    const std::string big = Digits(100000);
    WriteFile(m_dir / "big", big);
    BASEFILE bigFile(m_dir / "big");
    ASSERT_EQ(bigFile.ComputeCrc(), 0);
    EXPECT_EQ(bigFile.Crc(), crc32(0L, reinterpret_cast<const Bytef *>(big.data()),
                                   static_cast<uInt>(big.size())));

    WriteFile(m_dir / "empty", "");
    BASEFILE empty(m_dir / "empty");
    EXPECT_EQ(empty.ComputeCrc(), 0);
    EXPECT_EQ(empty.Crc(), 0u);

    BASEFILE missing(m_dir / "missing");
    EXPECT_EQ(missing.ComputeCrc(), 1);

    // A read error part way must not pass a partial checksum off as the file's.
    InstallFaultyRead();
    g_failReadAfter = 1;
    BASEFILE failing(m_dir / "big");
    EXPECT_EQ(failing.ComputeCrc(), -1);
    EXPECT_EQ(failing.Crc(), 0u);
}
