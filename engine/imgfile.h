// One side of an image comparison. The picture is decoded once, when the side is loaded, and
// described in the caption (date, size in bytes, width x height); its records are 1000 equal
// placeholders, so two images never differ row by row and the user compares the captions and
// the pictures. The decoded picture stays with the object for the windowed program to draw.
#pragma once

#include "engine/difffile.h"
#include "engine/image_module.h"

#include <cstdint>
#include <memory>
#include <string_view>

class IMGFILE : public DIFFFILE
{
public:
    // The number of placeholder records and the text each one shows.
    static constexpr std::int64_t kPlaceholderRecords = 1000;
    static constexpr std::string_view kPlaceholderText = "img";

    // imageType is the type code the kind selection gave the side's name; it serves when the
    // path's own extension names no image (a member extracted to a numbered temporary file).
    // The module decodes the picture; null: the shared one.
    explicit IMGFILE(int imageType = 0, ImageModule *module = nullptr);
    ~IMGFILE() override;

    // 0 unchanged since loaded, else the changed-on-disk answer of the path (-1 no snapshot,
    // 1 vanished, 2 changed). The file itself is never held open.
    [[nodiscard]] OpResult Reopen() override;
    // Always "img", for any record number.
    [[nodiscard]] std::unique_ptr<STRING> RecordText(std::int64_t k) override;
    // 0 loaded (a picture that does not decode still loads, as 0 x 0); -1 when the file does
    // not exist or neither its extension nor the kind selection names an image format. The
    // options and the status are not used.
    [[nodiscard]] std::int32_t Load(std::string_view path, const CompareOptions &options,
                                    STATUS_IO *status) override;

    // The decoded picture, or null when no load has taken an image type yet. An image that did
    // not decode is an empty picture (0 x 0), not null.
    [[nodiscard]] const DecodedImage *Image() const { return m_image.get(); }
    [[nodiscard]] int ImageType() const { return m_imageType; }

private:
    int m_imageType;
    ImageModule *m_module;
    std::unique_ptr<DecodedImage> m_image;
};
