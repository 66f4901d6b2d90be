// Unshrinking arbitrary bytes: the first three bytes give the uncompressed size, the rest is
// the stream.
#include "fuzz/legacy_streams.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    return FuzzLegacyDecoder(data, size, 0, [](ZipStreams &s) { return Unshrink(s); });
}
