// Shared by the fuzz targets of the older zip decoders: runs a decoder over arbitrary bytes
// whose first sizeAt bytes are the target's own choices, the next three the uncompressed size
// (20 bits) and the rest the stream, and traps when the decoder asks for bytes past the
// compressed size or writes past the uncompressed size.
#pragma once

#include "engine/zip_legacy.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

template <typename Decode>
int FuzzLegacyDecoder(const std::uint8_t *data, std::size_t size, std::size_t sizeAt, Decode decode)
{
    const std::size_t header = sizeAt + 3;
    if (size < header)
        return 0;
    const std::uint8_t *stream = data + header;
    const std::size_t streamSize = size - header;
    std::size_t offset = 0;
    std::uint64_t written = 0;
    ZipStreams streams;
    streams.compressedSize = streamSize;
    streams.uncompressedSize
        = (data[sizeAt] | data[sizeAt + 1] << 8 | data[sizeAt + 2] << 16) & 0xFFFFF;
    streams.read = [&](std::uint8_t *buffer, std::size_t count) -> std::int64_t {
        if (count > streamSize - offset)
            __builtin_trap();
        std::copy_n(stream + offset, count, buffer);
        offset += count;
        return static_cast<std::int64_t>(count);
    };
    streams.write = [&](const std::uint8_t *, std::size_t count) {
        written += count;
        if (written > streams.uncompressedSize)
            __builtin_trap();
        return true;
    };
    (void)decode(streams);
    return 0;
}
