// The image module: decodes BMP, GIF, JPEG, PNG, ICO and PCX files into RGBA pixels with
// GraphicsMagick. Built as a module of its own and opened only when an image is compared, so
// that the library's start-up cost is paid by image comparisons alone.
//
// Only the six formats are ever tried, each named explicitly: letting the library guess from
// the contents would hand a file to any of its coders, some of which run external programs.
// Every decode is bounded: the header is read first (ping) and pictures too wide, too high or
// with too many pixels are refused before any pixel is decoded; the library's own limits
// refuse what slips past the header and keep its pixel cache in memory, never on disk.
#include "imaging/image_decoder.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <magick/api.h>
#include <mutex>
#include <type_traits>

namespace {

// The largest picture decoded: 40 million pixels (an 8K frame has 33 million), no side beyond
// the 16-bit sizes of the formats' headers. Beyond them a picture shows as 0 x 0.
constexpr std::uint64_t kMaxPixels = 40'000'000;
constexpr std::uint64_t kMaxSide = 65'535;
// The library's pixel cache for the largest picture (8 bytes a pixel) fits in this, with room
// for the decoders' own buffers.
constexpr std::int64_t kMemoryLimitBytes = 512LL * 1024 * 1024;
// Uncompressed data a decoder may read: bounds decompression bombs the header does not reveal.
constexpr std::int64_t kReadLimitBytes = 1024LL * 1024 * 1024;

struct Format
{
    int typeCode;
    const char *magick;
};

// In the order of the type codes; the fallback tries them in this order.
constexpr std::array kFormats{
    Format{1, "BMP"}, Format{2, "GIF"}, Format{3, "JPEG"},
    Format{4, "PNG"}, Format{5, "ICO"}, Format{8, "PCX"},
};

void StartLibrary()
{
    ExceptionInfo exception;
    GetExceptionInfo(&exception);
    // The programs own their signals (the pager restores the terminal on an interrupt).
    InitializeMagickEx(nullptr, MAGICK_OPT_NO_SIGNAL_HANDER, &exception);
    DestroyExceptionInfo(&exception);

    SetMagickResourceLimit(PixelsResource, static_cast<magick_int64_t>(kMaxPixels));
    SetMagickResourceLimit(WidthResource, static_cast<magick_int64_t>(kMaxSide));
    SetMagickResourceLimit(HeightResource, static_cast<magick_int64_t>(kMaxSide));
    SetMagickResourceLimit(MemoryResource, kMemoryLimitBytes);
    // No memory-mapped or disk cache: a picture that does not fit in memory is refused.
    SetMagickResourceLimit(MapResource, 0);
    SetMagickResourceLimit(DiskResource, 0);
    SetMagickResourceLimit(ReadResource, kReadLimitBytes);
}

bool WithinLimits(unsigned long columns, unsigned long rows)
{
    return columns > 0 && rows > 0 && columns <= kMaxSide && rows <= kMaxSide
           && static_cast<std::uint64_t>(columns) * rows <= kMaxPixels;
}

// A fresh ImageInfo that reads only the first frame in the named format, never guessing.
ImageInfo *InfoFor(const char *magick)
{
    ImageInfo *info = CloneImageInfo(nullptr);
    if (info == nullptr)
        return nullptr;
    std::snprintf(info->magick, sizeof info->magick, "%s", magick);
    std::snprintf(info->filename, sizeof info->filename, "%s:", magick);
    info->subimage = 0;
    info->subrange = 1;
    return info;
}

// Reads the header only and answers whether the picture may be decoded.
bool PingWithinLimits(const unsigned char *data, std::size_t size, const char *magick)
{
    ImageInfo *info = InfoFor(magick);
    if (info == nullptr)
        return false;
    ExceptionInfo exception;
    GetExceptionInfo(&exception);
    Image *image = PingBlob(info, data, size, &exception);
    const bool fits = image != nullptr && WithinLimits(image->columns, image->rows)
                      && exception.severity < ErrorException;
    if (image != nullptr)
        DestroyImageList(image);
    DestroyExceptionInfo(&exception);
    DestroyImageInfo(info);
    return fits;
}

bool DecodeAs(const unsigned char *data, std::size_t size, const char *magick,
              KestaImageReserve reserve, void *context)
{
    if (!PingWithinLimits(data, size, magick))
        return false;
    ImageInfo *info = InfoFor(magick);
    if (info == nullptr)
        return false;
    ExceptionInfo exception;
    GetExceptionInfo(&exception);
    Image *image = BlobToImage(info, data, size, &exception);
    bool decoded = false;
    // A warning (stray bytes in a JPEG, a file cut short near its end) still gives the picture
    // the decoder could read.
    if (image != nullptr && exception.severity < ErrorException
        && WithinLimits(image->columns, image->rows)) {
        const auto width = static_cast<std::uint32_t>(image->columns);
        const auto height = static_cast<std::uint32_t>(image->rows);
        unsigned char *pixels = reserve(context, width, height);
        if (pixels != nullptr) {
            DestroyExceptionInfo(&exception);
            GetExceptionInfo(&exception);
            decoded
                = DispatchImage(image, 0, 0, width, height, "RGBA", CharPixel, pixels, &exception)
                  != MagickFail;
            // A picture without transparency leaves the library's opacity unset: opaque.
            if (decoded && !image->matte) {
                const std::size_t bytes = std::size_t{width} * height * 4;
                for (std::size_t alpha = 3; alpha < bytes; alpha += 4)
                    pixels[alpha] = 0xFF;
            }
        }
    }
    if (image != nullptr)
        DestroyImageList(image);
    DestroyExceptionInfo(&exception);
    DestroyImageInfo(info);
    return decoded;
}

} // namespace

extern "C" __attribute__((visibility("default"))) int
kesta_image_decode_v1(const unsigned char *data, size_t size, int typeCode,
                      KestaImageReserve reserve, void *context)
{
    static std::once_flag started;
    std::call_once(started, StartLibrary);
    if (data == nullptr || size == 0 || reserve == nullptr)
        return 1;

    // The extension's format first, then every other one: a PNG named .bmp still shows.
    for (const Format &format : kFormats) {
        if (format.typeCode == typeCode && DecodeAs(data, size, format.magick, reserve, context))
            return 0;
    }
    for (const Format &format : kFormats) {
        if (format.typeCode != typeCode && DecodeAs(data, size, format.magick, reserve, context))
            return 0;
    }
    return 1;
}

static_assert(std::is_same_v<decltype(&kesta_image_decode_v1), KestaImageDecode>,
              "the exported entry must match the type the loader looks up");
