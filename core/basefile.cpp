#include "core/basefile.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

// Files are created readable and writable by their owner only.
static constexpr int kCreateMode = 0600;
// Block sizes of copying and of checksumming.
static constexpr std::size_t kCopyBlock = 16384;
static constexpr std::size_t kCrcBlock = 32768;

static int SystemOpen(const char *path, int flags, int mode)
{
    return ::open(path, flags, mode);
}

static ssize_t SystemRead(int fd, void *buffer, std::size_t count)
{
    return ::read(fd, buffer, count);
}

static ssize_t SystemWrite(int fd, const void *buffer, std::size_t count)
{
    return ::write(fd, buffer, count);
}

static off_t SystemSeek(int fd, off_t offset, int whence)
{
    return ::lseek(fd, offset, whence);
}

static int SystemClose(int fd)
{
    return ::close(fd);
}

const FileIo &SystemFileIo()
{
    static const FileIo io{SystemOpen, SystemRead, SystemWrite, SystemSeek, SystemClose};
    return io;
}

FileIo &CurrentFileIo()
{
    static FileIo io = SystemFileIo();
    return io;
}

BASEFILE::BASEFILE() = default;

BASEFILE::BASEFILE(std::string_view path) : PATHNAME(path) {}

BASEFILE::~BASEFILE()
{
    (void)Close();
}

// Moves the descriptor to offset from the start; true when it lands there.
static bool MoveTo(int descriptor, std::int64_t offset)
{
    return CurrentFileIo().seek(descriptor, static_cast<off_t>(offset), SEEK_SET) == offset;
}

OpResult BASEFILE::Seek(std::int64_t offset, std::int64_t record)
{
    m_recordNumber = record;
    if (offset == m_position) {
        return kOk;
    }
    m_position = offset;
    // Without an open file there is nothing to move (descriptor 0 would be standard input).
    return IsOpen() && MoveTo(m_descriptor, offset) ? kOk : kEndOrFailure;
}

OpResult BASEFILE::Rewind()
{
    m_position = 0;
    m_recordNumber = 0;
    return IsOpen() && MoveTo(m_descriptor, 0) ? kOk : kEndOrFailure;
}

// Opens path with flags; a descriptor above 0, or 0 when the file cannot be opened. Descriptor 0
// means "not open", so a file that gets it (standard input was closed) is moved above it.
static int OpenDescriptor(const char *path, int flags)
{
    const FileIo &io = CurrentFileIo();
    int descriptor = io.open(path, flags, kCreateMode);
    if (descriptor < 0) {
        return 0;
    }
    if (descriptor == 0) {
        int moved = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 1);
        io.close(descriptor);
        return moved > 0 ? moved : 0;
    }
    return descriptor;
}

OpResult BASEFILE::Open()
{
    if (IsOpen()) {
        return kEndOrFailure;
    }
    m_descriptor = OpenDescriptor(c_str(), O_RDONLY | O_CLOEXEC);
    if (!IsOpen()) {
        return kEndOrFailure;
    }
    m_recordNumber = 0;
    m_position = 0;
    m_mode = 0;
    return AfterOpen(0);
}

OpResult BASEFILE::AfterOpen(int)
{
    return kOk;
}

OpResult BASEFILE::OpenForWriting()
{
    if (IsOpen()) {
        return kEndOrFailure;
    }
    // An existing file is not truncated: callers overwrite it or append to it.
    m_descriptor = OpenDescriptor(c_str(), O_RDWR | O_CREAT | O_CLOEXEC);
    if (!IsOpen()) {
        return kEndOrFailure;
    }
    m_recordNumber = 0;
    m_position = 0;
    m_mode = 1;
    return AfterOpen(1);
}

OpResult BASEFILE::Close()
{
    if (!IsOpen()) {
        return kEndOrFailure;
    }
    // Marked closed first: a failing close still gives the descriptor up.
    int descriptor = m_descriptor;
    m_descriptor = 0;
    return CurrentFileIo().close(descriptor) == 0 ? kOk : kEndOrFailure;
}

std::int64_t BASEFILE::ReadAt(std::int64_t offset, void *destination, std::size_t count)
{
    if (!IsOpen()) {
        return -1;
    }
    if (offset != -1 && offset != m_position) {
        if (!MoveTo(m_descriptor, offset)) {
            return -1;
        }
        m_position = offset;
    }
    ssize_t got;
    do {
        got = CurrentFileIo().read(m_descriptor, destination, count);
    } while (got < 0 && errno == EINTR);
    if (got > 0) {
        m_position += got;
    }
    return got;
}

OpResult BASEFILE::ReadExactlyAt(std::int64_t offset, void *destination, std::size_t count)
{
    std::int64_t got = ReadAt(offset, destination, count);
    if (got == static_cast<std::int64_t>(count)) {
        return kOk;
    }
    return got == 0 ? kEndOrFailure : kErrorOrCancel;
}

OpResult BASEFILE::CopyTo(std::int64_t offset, BASEFILE &destination, std::int64_t count)
{
    if (count < 0) {
        return kErrorOrCancel;
    }
    if (count == 0) {
        return kOk;
    }
    OpResult moved = Seek(offset, 0);
    if (moved != kOk) {
        return moved;
    }
    if (!destination.IsOpen()) {
        return kErrorOrCancel;
    }
    std::vector<char> block(static_cast<std::size_t>(std::min<std::int64_t>(count, kCopyBlock)));
    for (std::int64_t left = count; left > 0;) {
        auto piece = static_cast<std::size_t>(std::min<std::int64_t>(left, kCopyBlock));
        if (ReadAt(-1, block.data(), piece) != static_cast<std::int64_t>(piece)) {
            return kErrorOrCancel;
        }
        ssize_t written;
        do {
            written = CurrentFileIo().write(destination.m_descriptor, block.data(), piece);
        } while (written < 0 && errno == EINTR);
        if (written != static_cast<ssize_t>(piece)) {
            return kErrorOrCancel;
        }
        left -= static_cast<std::int64_t>(piece);
    }
    return kOk;
}

OpResult BASEFILE::ComputeCrc()
{
    m_crc = 0;
    if (Open() != kOk) {
        return kEndOrFailure;
    }
    unsigned char block[kCrcBlock];
    uLong crc = crc32(0L, Z_NULL, 0);
    for (;;) {
        std::int64_t got = ReadAt(-1, block, sizeof block);
        if (got == 0) {
            break;
        }
        if (got < 0) {
            // A checksum of part of the file would pass for the whole one; report the failure
            // and leave the checksum 0, which never matches.
            return kErrorOrCancel;
        }
        crc = crc32(crc, block, static_cast<uInt>(got));
    }
    m_crc = static_cast<std::uint32_t>(crc);
    return kOk;
}
