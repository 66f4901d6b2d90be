// A file named by a path and read through a descriptor: positioned reads, block copies into
// another file, and a CRC-32 of the whole contents. Offsets are 64-bit.
#pragma once

#include "core/op_result.h"
#include "core/pathname.h"

#include <cstddef>
#include <cstdint>
#include <sys/types.h>

// The descriptor calls BASEFILE makes, replaceable by tests to inject I/O failures.
struct FileIo
{
    int (*open)(const char *path, int flags, int mode);
    ssize_t (*read)(int fd, void *buffer, std::size_t count);
    ssize_t (*write)(int fd, const void *buffer, std::size_t count);
    off_t (*seek)(int fd, off_t offset, int whence);
    int (*close)(int fd);
};
[[nodiscard]] FileIo &CurrentFileIo();      // what BASEFILE uses now
[[nodiscard]] const FileIo &SystemFileIo(); // the real calls

class BASEFILE : public PATHNAME
{
public:
    BASEFILE();
    explicit BASEFILE(std::string_view path);
    BASEFILE(const BASEFILE &) = delete;
    BASEFILE &operator=(const BASEFILE &) = delete;
    ~BASEFILE() override; // closes the descriptor

    // Stores the record number and moves to offset; 0 when there (or already there), 1 when
    // the move does not land on the offset.
    virtual OpResult Seek(std::int64_t offset, std::int64_t record);
    // Position and record number become 0; 1 when not open or the move fails.
    virtual OpResult Rewind();
    // Opens read-only; 1 when already open or it cannot be opened, else AfterOpen(0).
    virtual OpResult Open();
    virtual OpResult AfterOpen(int mode);

    // Opens for reading and writing, created when missing, never truncated; mode 1.
    [[nodiscard]] OpResult OpenForWriting();
    // 1 when not open or the close fails.
    OpResult Close();
    // Reads up to count bytes at offset (-1: where the file stands); the count read, or -1.
    [[nodiscard]] std::int64_t ReadAt(std::int64_t offset, void *destination, std::size_t count);
    // 0 when exactly count bytes were read, 1 when none, -1 on a short read or failed move.
    [[nodiscard]] OpResult ReadExactlyAt(std::int64_t offset, void *destination, std::size_t count);
    // Copies count bytes from offset into destination's descriptor in blocks of at most
    // 16384 bytes; 0 on success, -1 on a short read or write or a negative count.
    [[nodiscard]] OpResult CopyTo(std::int64_t offset, BASEFILE &destination, std::int64_t count);
    // Opens the file and sets Crc() to the CRC-32 of its whole contents; 1 when already open
    // or it cannot be opened. The file stays open.
    [[nodiscard]] OpResult ComputeCrc();

    [[nodiscard]] bool IsOpen() const { return m_descriptor > 0; }
    [[nodiscard]] int Descriptor() const { return m_descriptor; }
    [[nodiscard]] std::int64_t RecordNumber() const { return m_recordNumber; }
    void SetRecordNumber(std::int64_t record) { m_recordNumber = record; }
    [[nodiscard]] std::int64_t Position() const { return m_position; }
    [[nodiscard]] int Mode() const { return m_mode; }
    [[nodiscard]] std::uint32_t Crc() const { return m_crc; }

protected:
    std::int64_t m_recordNumber = 0; // the record the next read delivers
    std::int64_t m_position = 0;     // byte offset of the descriptor
    int m_descriptor = 0;            // 0 or less: not open
    int m_mode = 0;                  // 0 reading, 1 writing
    std::uint32_t m_crc = 0;
};
