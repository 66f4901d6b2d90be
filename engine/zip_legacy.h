// Decoders of the older zip compression methods: shrunk (1), reduced (2 to 5) and imploded
// (6). Each reads a member's compressed bytes through a callback and writes its bytes through
// another, never reading more than the compressed size nor writing more than the
// uncompressed size, whatever the stream says.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

struct ZipStreams
{
    // Puts up to count bytes into buffer; answers how many (0 at the end of the input, -1 on
    // a read error).
    std::function<std::int64_t(std::uint8_t *buffer, std::size_t count)> read;
    // Writes count bytes; false when they cannot be written.
    std::function<bool(const std::uint8_t *data, std::size_t count)> write;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
};

enum class ZipDecodeResult
{
    Ok,
    Corrupt,     // the stream is not valid for its method
    ReadFailed,  // the input could not be read
    WriteFailed, // the output could not be written
};

[[nodiscard]] ZipDecodeResult Unshrink(ZipStreams &streams);
// factor 1 to 4 (methods 2 to 5).
[[nodiscard]] ZipDecodeResult Unreduce(ZipStreams &streams, int factor);
// generalFlags: the central record's general-purpose flags (bit 1: 8 KB dictionary, bit 2:
// literal tree).
[[nodiscard]] ZipDecodeResult Explode(ZipStreams &streams, std::uint16_t generalFlags);
