// Unreducing arbitrary bytes: the first byte picks the factor (1 to 4), the next three give
// the uncompressed size, the rest is the stream.
#include "fuzz/legacy_streams.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    return FuzzLegacyDecoder(data, size, 1,
                             [&](ZipStreams &s) { return Unreduce(s, data[0] % 4 + 1); });
}
