// Any bytes as an executable file: finding the version resource and reading its blocks must
// neither crash nor read outside the input. The same bytes are also read as a version block.
#include "engine/exefile.h"
#include "engine/version_resource.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    MemoryByteSource source(bytes);
    if (std::optional<VersionInfo> info = ReadVersionInfo(source))
        (void)VersionLines(*info);
    (void)VersionLines(ParseVersionBlock(bytes));
    return 0;
}
