// Exploding arbitrary bytes: the first byte gives the general-purpose flags (bits 1 and 2),
// the next three the uncompressed size, the rest is the stream.
#include "fuzz/legacy_streams.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    return FuzzLegacyDecoder(data, size, 1, [&](ZipStreams &s) {
        return Explode(s, static_cast<std::uint16_t>(data[0] & 0x06));
    });
}
