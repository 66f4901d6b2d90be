// Pictures from arbitrary bytes, decoded by the image module as an image side would: the first
// byte picks the format tried first (the others follow when it fails), the rest is the file.
// A decoded picture must be within the module's limits and hold all its pixels.
#include "engine/image_module.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static constexpr std::array kTypeCodes{0, 1, 2, 3, 4, 5, 8};
    if (size == 0)
        return 0;
    ImageModule &module = SharedImageModule();
    DecodedImage picture;
    const bool decoded
        = module.DecodeBytes(data + 1, size - 1, kTypeCodes[data[0] % kTypeCodes.size()], picture);
    // Without the module nothing is being tested: it is built beside the programs.
    if (!module.IsOpen())
        std::abort();
    if (decoded
        && (picture.IsEmpty() || picture.Width() > 65'535 || picture.Height() > 65'535
            || std::uint64_t{picture.Width()} * picture.Height() > 40'000'000
            || picture.Pixels().size() != std::size_t{picture.Width()} * picture.Height() * 4))
        std::abort();
    if (!decoded && !picture.IsEmpty())
        std::abort();
    return 0;
}
