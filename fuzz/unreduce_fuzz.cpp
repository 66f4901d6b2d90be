// Unreducing arbitrary bytes: the first byte picks the factor (1 to 4), the next three give
// the uncompressed size (20 bits), the rest is the stream. The decoder must never ask for
// bytes past the compressed size nor write past the uncompressed size.
#include "engine/zip_legacy.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    constexpr std::size_t kHeader = 4;
    if (size < kHeader)
        return 0;
    const std::uint8_t *stream = data + kHeader;
    const std::size_t streamSize = size - kHeader;
    std::size_t offset = 0;
    std::uint64_t written = 0;
    ZipStreams streams;
    streams.compressedSize = streamSize;
    streams.uncompressedSize = (data[1] | data[2] << 8 | data[3] << 16) & 0xFFFFF;
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
    (void)Unreduce(streams, data[0] % 4 + 1);
    return 0;
}
