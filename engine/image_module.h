// Decoding image files through the image module, a library of its own that is opened the first
// time an image is decoded. A program that compares only text and folders never loads it, nor
// the image library behind it. When the module cannot be opened, images decode to nothing and
// the reason is kept for the front ends to show once.
#pragma once

#include "imaging/image_decoder.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

// A decoded picture: width x height pixels of 4 bytes (red, green, blue, alpha), rows from the
// top. Empty (0 x 0, no pixels) when nothing was decoded.
class DecodedImage
{
public:
    [[nodiscard]] std::uint32_t Width() const { return m_width; }
    [[nodiscard]] std::uint32_t Height() const { return m_height; }
    [[nodiscard]] bool IsEmpty() const { return m_pixels == nullptr; }
    [[nodiscard]] std::span<const std::uint8_t> Pixels() const
    {
        return {m_pixels.get(), m_pixels ? std::size_t{m_width} * m_height * 4 : 0};
    }

    // Room for a picture of the given size, or null (and an empty picture) when it cannot be had.
    std::uint8_t *Reserve(std::uint32_t width, std::uint32_t height);
    void Clear();

private:
    std::uint32_t m_width = 0;
    std::uint32_t m_height = 0;
    std::unique_ptr<std::uint8_t[]> m_pixels;
};

class ImageModule
{
public:
    // Looks for the module file in each folder in turn.
    explicit ImageModule(std::vector<std::string> folders);
    ImageModule(const ImageModule &) = delete;
    ImageModule &operator=(const ImageModule &) = delete;
    // The module stays loaded: the image library is not made to be unloaded.
    ~ImageModule() = default;

    // Opens the module on the first call; later calls give the same answer without trying again.
    [[nodiscard]] bool Open();
    [[nodiscard]] bool IsOpen() const { return m_decode != nullptr; }
    // Why the module could not be opened; empty unless it failed.
    [[nodiscard]] const std::string &Failure() const { return m_failure; }
    // The failure worded for the user, the first time it is asked for after it happened.
    [[nodiscard]] std::optional<std::string> TakeNotice();

    // Each answers whether a picture was decoded; when not (no module, unreadable or too large
    // a file, a damaged picture, one beyond the size limits), picture is left empty. typeCode
    // names the format attempted first (the image type codes of the kind selection).
    [[nodiscard]] bool DecodeFile(const std::string &path, int typeCode, DecodedImage &picture);
    [[nodiscard]] bool DecodeBytes(const unsigned char *data, std::size_t size, int typeCode,
                                   DecodedImage &picture);

private:
    std::vector<std::string> m_folders;
    bool m_tried = false;
    KestaImageDecode m_decode = nullptr;
    std::string m_failure;
    bool m_noticeTaken = false;
};

// The running program's own folder, then the build tree and the installed location.
[[nodiscard]] std::vector<std::string> DefaultImageModuleFolders();
// The module the image comparisons use, looked for in the default folders.
[[nodiscard]] ImageModule &SharedImageModule();
// For the front ends: the shared module's failure, worded for the user, once.
[[nodiscard]] std::optional<std::string> TakeImageModuleNotice();
