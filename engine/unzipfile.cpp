#include "engine/unzipfile.h"

#include "core/status_io.h"
#include "core/temp_directory.h"
#include "engine/zip_legacy.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <unistd.h>
#include <zlib.h>

static constexpr std::uint16_t kMethodStored = 0;
static constexpr std::uint16_t kMethodShrunk = 1;
static constexpr std::uint16_t kMethodReducedFirst = 2; // factor 1
static constexpr std::uint16_t kMethodReducedLast = 5;  // factor 4
static constexpr std::uint16_t kMethodImploded = 6;
static constexpr std::uint16_t kMethodDeflated = 8;
// Raw deflate data, without a zlib header, with the full 32 KB window.
static constexpr int kRawDeflateWindowBits = -15;

UNZIPFILE::UNZIPFILE(std::string_view archivePath) : ZIPFILE(archivePath) {}

UNZIPFILE::~UNZIPFILE()
{
    (void)m_output.Close();
}

bool UNZIPFILE::FindMember(std::string_view memberName)
{
    if (!FindCentralDirectory())
        return false;
    STRING name;
    while (NextRecord(name)) {
        if (name == memberName) {
            m_centralPosition = -1;
            return ReadLocalHeader();
        }
    }
    return false;
}

int UNZIPFILE::Extract(STATUS_IO *status, std::string_view memberName, std::string_view destination)
{
    m_errorText = kUnzipErrorText;
    m_status = status;
    if (!m_input)
        m_input.reset(new (std::nothrow) std::uint8_t[kPieceSize]());
    if (!m_outputBuffer)
        m_outputBuffer.reset(new (std::nothrow) std::uint8_t[kPieceSize]());
    if (!m_input || !m_outputBuffer) {
        m_errorText = kUnzipOutOfMemoryText;
        return 1;
    }
    if ((IsOpen() ? Rewind() : Open()) != kOk)
        return 1;
    if (!FindMember(memberName))
        return 1;
    if (Seek(DataOffset(), 0) != kOk)
        return 1;

    m_output.Parse(destination);
    // A file already there (the empty one made to reserve the name) is emptied, never appended
    // to.
    if (m_output.OpenForWriting() != kOk || ftruncate(m_output.Descriptor(), 0) != 0) {
        (void)m_output.Close();
        m_errorText = kUnzipCreateFileText;
        m_errorText += destination;
        return 1;
    }

    m_errorText = kUnzipExtractionText;
    m_compressedLeft = CompressedSize();
    m_compressedTotal = m_compressedLeft;
    m_outputFill = 0;
    m_written = 0;
    m_crc = static_cast<std::uint32_t>(crc32(0L, Z_NULL, 0));
    m_inputExhausted = false;

    const Decoded decoded = Decode();
    bool good = decoded == Decoded::Ok && FlushOutput();
    good = m_output.Close() == kOk && good;
    // The stored size and CRC-32 tell whether the member came out whole: a damaged archive or
    // a decoder that lost its way must not leave a file that passes for the member.
    good = good && m_written == UncompressedSize() && m_crc == StoredCrc();
    if (!good) {
        if (decoded == Decoded::UnknownMethod)
            m_errorText = kUnzipUnknownMethodText;
        DeleteFileAt(m_output.Text());
        return 1;
    }
    m_errorText.clear();
    return 0;
}

UNZIPFILE::Decoded UNZIPFILE::Decode()
{
    const std::uint16_t method = Method();
    bool good = false;
    if (method == kMethodStored) {
        good = CopyStored();
    } else if (method == kMethodDeflated) {
        good = Inflate();
    } else if (method >= kMethodShrunk && method <= kMethodImploded) {
        good = DecodeLegacy(method);
    } else {
        return Decoded::UnknownMethod;
    }
    return good ? Decoded::Ok : Decoded::Failed;
}

std::int64_t UNZIPFILE::ReadInput(std::uint8_t *buffer, std::size_t count)
{
    const auto piece
        = static_cast<std::size_t>(std::min<std::uint64_t>({count, kPieceSize, m_compressedLeft}));
    if (piece == 0) {
        m_inputExhausted = true;
        return 0;
    }
    const std::int64_t got = ReadAt(-1, buffer, piece);
    // The archive ends before the member's data does.
    if (got <= 0)
        return -1;
    m_compressedLeft -= static_cast<std::uint64_t>(got);
    if (m_status != nullptr
        && m_status->ShowProgress(static_cast<std::int64_t>(m_compressedTotal),
                                  static_cast<std::int64_t>(m_compressedTotal - m_compressedLeft))
               != 0)
        return -1;
    return got;
}

bool UNZIPFILE::FlushOutput()
{
    std::size_t done = 0;
    while (done < m_outputFill) {
        const ssize_t written = CurrentFileIo().write(
            m_output.Descriptor(), m_outputBuffer.get() + done, m_outputFill - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += static_cast<std::size_t>(written);
    }
    m_outputFill = 0;
    return true;
}

// Counts bytes that a decoder put at the fill position of the output buffer.
static bool Account(std::uint64_t &written, std::uint32_t &crc, std::uint32_t limit,
                    const std::uint8_t *bytes, std::size_t count)
{
    if (count > limit - written)
        return false;
    written += count;
    crc = static_cast<std::uint32_t>(crc32(crc, bytes, static_cast<uInt>(count)));
    return true;
}

bool UNZIPFILE::Output(const std::uint8_t *data, std::size_t count)
{
    while (count > 0) {
        const std::size_t piece = std::min(count, kPieceSize - m_outputFill);
        std::uint8_t *at = m_outputBuffer.get() + m_outputFill;
        std::memcpy(at, data, piece);
        if (!Account(m_written, m_crc, UncompressedSize(), at, piece))
            return false;
        m_outputFill += piece;
        if (m_outputFill == kPieceSize && !FlushOutput())
            return false;
        data += piece;
        count -= piece;
    }
    return true;
}

bool UNZIPFILE::CopyStored()
{
    for (;;) {
        const std::int64_t got = ReadInput(m_input.get(), kPieceSize);
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        if (!Output(m_input.get(), static_cast<std::size_t>(got)))
            return false;
    }
}

bool UNZIPFILE::Inflate()
{
    z_stream stream{};
    const int started = inflateInit2(&stream, kRawDeflateWindowBits);
    if (started != Z_OK) {
        if (started == Z_MEM_ERROR)
            m_errorText = kUnzipOutOfMemoryText;
        return false;
    }
    bool good = false;
    for (;;) {
        if (stream.avail_in == 0 && !m_inputExhausted) {
            const std::int64_t got = ReadInput(m_input.get(), kPieceSize);
            if (got < 0)
                break;
            stream.next_in = m_input.get();
            stream.avail_in = static_cast<uInt>(got);
        }
        std::uint8_t *at = m_outputBuffer.get() + m_outputFill;
        const auto room = static_cast<uInt>(kPieceSize - m_outputFill);
        stream.next_out = at;
        stream.avail_out = room;
        const int result = inflate(&stream, Z_NO_FLUSH);
        const std::size_t produced = room - stream.avail_out;
        if (!Account(m_written, m_crc, UncompressedSize(), at, produced))
            break;
        m_outputFill += produced;
        if (m_outputFill == kPieceSize && !FlushOutput())
            break;
        if (result == Z_STREAM_END) {
            good = true;
            break;
        }
        // No progress without more input, and there is none: the stream is cut short.
        if (result == Z_BUF_ERROR && m_inputExhausted && stream.avail_in == 0)
            break;
        if (result != Z_OK && result != Z_BUF_ERROR)
            break;
    }
    inflateEnd(&stream);
    return good;
}

bool UNZIPFILE::DecodeLegacy(int method)
{
    ZipStreams streams;
    streams.read
        = [this](std::uint8_t *buffer, std::size_t count) { return ReadInput(buffer, count); };
    streams.write
        = [this](const std::uint8_t *data, std::size_t count) { return Output(data, count); };
    streams.compressedSize = m_compressedLeft;
    streams.uncompressedSize = UncompressedSize();
    ZipDecodeResult result = ZipDecodeResult::Corrupt;
    if (method == kMethodShrunk) {
        result = Unshrink(streams);
    } else if (method >= kMethodReducedFirst && method <= kMethodReducedLast) {
        result = Unreduce(streams, method - kMethodReducedFirst + 1);
    } else {
        result = Explode(streams, GeneralFlags());
    }
    return result == ZipDecodeResult::Ok;
}

int ExtractZipMember(const STRING &archivePath, const STRING &memberName, const STRING &destination,
                     STATUS_IO *status, STRING &errorText)
{
    UNZIPFILE unzip(archivePath);
    const int result = unzip.Extract(status, memberName, destination);
    errorText = unzip.ErrorText();
    return result;
}
