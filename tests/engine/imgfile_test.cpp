// Image sides: each format decoded through the image module, the caption, the placeholder
// records and how they compare, damaged and hostile pictures, a missing module, and the image
// library staying unloaded for text. Sample pictures are written with the image library itself;
// icons, which it cannot write, are made from its BMP output.
#include "engine/difflist.h"
#include "engine/imgfile.h"
#include "engine/item.h"
#include "engine/kind_selection.h"
#include "support/test_support.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <magick/api.h>
#include <zlib.h>

using testsupport::ReadFile;
using testsupport::RunProgram;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

// A width x height picture, red in its first pixel and grey elsewhere.
void WritePicture(const std::string &path, const char *magick, unsigned width, unsigned height)
{
    static const bool started = InitializeMagickEx(nullptr, MAGICK_OPT_NO_SIGNAL_HANDER, nullptr);
    (void)started;
    std::vector<unsigned char> rgb(std::size_t{width} * height * 3, 0x80);
    rgb[0] = 0xFF;
    rgb[1] = rgb[2] = 0;
    ExceptionInfo exception;
    GetExceptionInfo(&exception);
    Image *image = ConstituteImage(width, height, "RGB", CharPixel, rgb.data(), &exception);
    ImageInfo *info = CloneImageInfo(nullptr);
    std::snprintf(image->filename, sizeof image->filename, "%s:%s", magick, path.c_str());
    EXPECT_NE(WriteImage(info, image), MagickFail) << path;
    DestroyImageInfo(info);
    DestroyImage(image);
    DestroyExceptionInfo(&exception);
}

void Put(std::string &bytes, std::size_t at, std::uint32_t value, int size, bool bigEndian = false)
{
    for (int i = 0; i < size; ++i)
        bytes[at + i] = static_cast<char>(value >> 8 * (bigEndian ? size - 1 - i : i));
}

// An icon of one picture: its directory, then the BMP's bitmap without the file header, of twice
// the height (the colours, then an all-clear transparency mask).
void WriteIcon(const std::string &path, unsigned width, unsigned height)
{
    WritePicture(path, "BMP3", width, height);
    std::string bitmap = ReadFile(path).substr(14);
    Put(bitmap, 8, height * 2, 4);
    bitmap.append(std::size_t{(width + 31) / 32 * 4} * height, '\0');
    std::string icon(22, '\0');
    Put(icon, 2, 1, 2); // an icon, one picture
    Put(icon, 4, 1, 2);
    Put(icon, 6, width, 1);
    Put(icon, 7, height, 1);
    Put(icon, 10, 1, 2); // planes, bits per pixel
    Put(icon, 12, 24, 2);
    Put(icon, 14, static_cast<std::uint32_t>(bitmap.size()), 4);
    Put(icon, 18, 22, 4);
    WriteFile(path, icon + bitmap);
}

// A valid black grey-scale PNG, tiny on disk however many pixels it holds.
std::string BlackPng(std::uint32_t width, std::uint32_t height)
{
    auto chunk = [](std::string body) {
        std::string sized(4, '\0');
        Put(sized, 0, static_cast<std::uint32_t>(body.size() - 4), 4, true);
        std::string crc(4, '\0');
        Put(crc, 0, crc32(0, reinterpret_cast<const Bytef *>(body.data()), uInt(body.size())), 4,
            true);
        return sized + body + crc;
    };
    std::string header = std::string("IHDR") + std::string(13, '\0');
    Put(header, 4, width, 4, true);
    Put(header, 8, height, 4, true);
    header[12] = 8; // 8-bit grey
    const std::string rows(std::size_t{height} * (width + 1), '\0');
    std::string packed(compressBound(uLong(rows.size())), '\0');
    uLongf packedSize = packed.size();
    compress2(reinterpret_cast<Bytef *>(packed.data()), &packedSize,
              reinterpret_cast<const Bytef *>(rows.data()), rows.size(), Z_BEST_SPEED);
    packed.resize(packedSize);
    return "\x89PNG\r\n\x1a\n" + chunk(header) + chunk("IDAT" + packed) + chunk("IEND");
}

std::unique_ptr<IMGFILE> LoadImageSide(const std::string &path, ImageModule *module = nullptr)
{
    auto side = std::make_unique<IMGFILE>(ChooseFileKind(PATHNAME(path)).imageType, module);
    EXPECT_EQ(side->Load(path, CompareOptions(), nullptr), 0) << path;
    return side;
}

// The caption after its date.
std::string Description(const IMGFILE &side)
{
    return side.Caption().substr(std::min(side.Caption().find("  -  "), side.Caption().size()));
}

} // namespace

TEST(ImageFile, EachFormatDecodesWithItsDimensions)
{
    TempDir dir;
    struct Case
    {
        const char *name, *magick;
        unsigned width, height;
        int type;
    };
    const Case cases[] = {
        {"p.bmp", "BMP", 31, 7, kImageBmp},    {"p.gif", "GIF", 12, 40, kImageGif},
        {"p.JPG", "JPEG", 33, 17, kImageJpeg}, {"p.jpeg", "JPEG", 8, 8, kImageJpeg},
        {"p.png", "PNG", 300, 2, kImagePng},   {"p.pcx", "PCX", 5, 9, kImagePcx},
        {"p.ico", "ICO", 16, 24, kImageIco},
    };
    for (const Case &c : cases) {
        const std::string path = dir / c.name;
        if (c.type == kImageIco)
            WriteIcon(path, c.width, c.height);
        else
            WritePicture(path, c.magick, c.width, c.height);
        const auto side = LoadImageSide(path);
        const DecodedImage &picture = *side->Image();
        EXPECT_EQ(side->ImageType(), c.type) << c.name;
        EXPECT_EQ(Description(*side), "  -  " + std::to_string(std::filesystem::file_size(path))
                                          + " bytes  -  " + std::to_string(c.width) + " x "
                                          + std::to_string(c.height))
            << c.name;
        ASSERT_EQ(picture.Pixels().size(), std::size_t{c.width} * c.height * 4) << c.name;
        // Red, opaque, then grey; JPEG only comes close.
        const auto p = picture.Pixels();
        if (c.type != kImageJpeg) {
            EXPECT_EQ((std::vector<int>{p[0], p[1], p[2], p[3], p[4]}),
                      (std::vector<int>{0xFF, 0, 0, 0xFF, 0x80}))
                << c.name;
        }
        EXPECT_EQ(p[p.size() - 1], 0xFF) << c.name << ": opaque";
    }

    // The extension's format is tried first, then the others.
    WritePicture(dir / "really-png.bmp", "PNG", 10, 4);
    EXPECT_TRUE(Description(*LoadImageSide(dir / "really-png.bmp")).ends_with("  -  10 x 4"));
}

TEST(ImageFile, DamagedOrHostilePicturesLoadAsNothingQuickly)
{
    TempDir dir;
    WritePicture(dir / "whole.png", "PNG", 64, 64);
    const std::string whole = ReadFile(dir / "whole.png");
    WriteFile(dir / "truncated.png", whole.substr(0, whole.size() / 2));
    WriteFile(dir / "text.gif", "not\na picture\n");
    WritePicture(dir / "huge.bmp", "BMP3", 4, 4);
    std::string huge = ReadFile(dir / "huge.bmp");
    Put(huge, 18, 100'000, 4);
    Put(huge, 22, 100'000, 4);
    WriteFile(dir / "huge.bmp", huge);
    // Valid, but beyond the limits: too wide, and 42 million pixels in 40 KB.
    WriteFile(dir / "wide.png", BlackPng(70'000, 1));
    WriteFile(dir / "bomb.png", BlackPng(7'000, 6'000));
    WriteFile(dir / "fits.png", BlackPng(2'000, 1'000));
    EXPECT_EQ(LoadImageSide(dir / "fits.png")->Image()->Width(), 2'000u) << "the sample maker";

    for (const char *name : {"truncated.png", "text.gif", "huge.bmp", "wide.png", "bomb.png"}) {
        const auto start = std::chrono::steady_clock::now();
        const auto side = LoadImageSide(dir / name);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3)) << name;
        EXPECT_TRUE(side->Image()->IsEmpty()) << name;
        EXPECT_TRUE(Description(*side).ends_with(" bytes  -  0 x 0")) << name;
        EXPECT_EQ(side->RecordCount(), IMGFILE::kPlaceholderRecords) << name;
    }
}

TEST(ImageFile, RecordsArePlaceholdersAndReopenWatchesTheFile)
{
    TempDir dir;
    WritePicture(dir / "a.gif", "GIF", 3, 3);
    auto side = LoadImageSide(dir / "a.gif");
    ASSERT_EQ(side->RecordCount(), 1000);
    EXPECT_EQ(*side->RecordText(999), "img");
    EXPECT_EQ(side->Records()[999].offset, 999);

    EXPECT_EQ(side->Reopen(), kOk);
    WritePicture(dir / "a.gif", "GIF", 30, 30);
    EXPECT_EQ(side->Reopen(), kChangedOnDisk);
    std::filesystem::remove(dir / "a.gif");
    EXPECT_EQ(side->Reopen(), 1) << "vanished";
    EXPECT_EQ(side->Load(dir / "a.gif", CompareOptions(), nullptr), -1);

    // No image type from the name nor from the kind selection: nothing to load.
    WriteFile(dir / "notes.txt", "x\n");
    IMGFILE untyped;
    EXPECT_EQ(untyped.Load(dir / "notes.txt", CompareOptions(), nullptr), -1);
    // A temporary copy of an archive member keeps the type its name in the archive gave it.
    WritePicture(dir / "member.000", "PCX", 6, 2);
    IMGFILE member(kImagePcx);
    ASSERT_EQ(member.Load(dir / "member.000", CompareOptions(), nullptr), 0);
    EXPECT_EQ(member.Image()->Width(), 6u);
}

TEST(ImageComparison, ImagesHaveNoDifferingRowsAndTextAgainstOneDiffersEverywhere)
{
    TempDir dir;
    WritePicture(dir / "left.png", "PNG", 20, 10);
    WritePicture(dir / "right.jpg", "JPEG", 20, 10);
    WriteFile(dir / "notes.txt", "first\nsecond\nthird\n");
    const CompareOptions options;
    auto differing = [&](const std::string &left, const std::string &right) {
        ITEM leftSide(dir / left);
        ITEM rightSide(dir / right);
        DIFFLIST list;
        EXPECT_EQ(leftSide.Load(options, nullptr), kOk);
        EXPECT_EQ(rightSide.Load(options, nullptr), kOk);
        EXPECT_NE(dynamic_cast<IMGFILE *>(rightSide.Object()), nullptr);
        EXPECT_EQ(ComparePair(leftSide, rightSide, list, options, nullptr), kOk);
        std::vector<std::int32_t> leftRows;
        for (const DiffEntry &entry : list.Entries()) {
            if ((entry.flags & kEntryDiffers) != 0)
                leftRows.push_back(entry.left);
        }
        return leftRows;
    };
    EXPECT_EQ(differing("left.png", "right.jpg"), std::vector<std::int32_t>{});
    const std::vector<std::int32_t> text = differing("notes.txt", "right.jpg");
    for (std::int32_t line : {0, 1, 2})
        EXPECT_NE(std::find(text.begin(), text.end(), line), text.end()) << line;
}

TEST(ImageModule, MissingModuleLeavesPicturesEmptyAndSaysWhyOnce)
{
    TempDir dir;
    WritePicture(dir / "a.png", "PNG", 4, 4);
    ImageModule missing({dir / "nowhere"});
    EXPECT_EQ(missing.TakeNotice(), std::nullopt) << "nothing has failed yet";
    EXPECT_TRUE(Description(*LoadImageSide(dir / "a.png", &missing)).ends_with("  -  0 x 0"));
    const std::optional<std::string> notice = missing.TakeNotice();
    ASSERT_TRUE(notice.has_value());
    EXPECT_NE(notice->find("image module"), std::string::npos) << *notice;
    EXPECT_NE(notice->find(dir / "nowhere"), std::string::npos) << *notice;
    (void)LoadImageSide(dir / "a.png", &missing);
    EXPECT_EQ(missing.TakeNotice(), std::nullopt) << "said once";
}

// The dynamic loader's trace names every library a run maps, linked or opened later.
TEST(ImageModule, ImageLibraryIsLoadedOnlyForImages)
{
    TempDir dir;
    WriteFile(dir / "a.txt", "one\ntwo\n");
    WriteFile(dir / "b.txt", "one\nthree\n");
    WritePicture(dir / "a.png", "PNG", 2, 2);
    WritePicture(dir / "b.gif", "GIF", 2, 2);
    auto trace = [&](const std::string &left, const std::string &right) {
        return RunProgram("/usr/bin/env", {"LD_DEBUG=libs", KESTACON_PATH, left, right}).errors;
    };
    const std::string text = trace(dir / "a.txt", dir / "b.txt");
    EXPECT_NE(text.find("libc.so"), std::string::npos) << "the trace is there";
    EXPECT_EQ(text.find("GraphicsMagick"), std::string::npos);
    EXPECT_EQ(text.find(KESTA_IMAGE_MODULE_FILE), std::string::npos);
    const std::string images = trace(dir / "a.png", dir / "b.gif");
    EXPECT_NE(images.find(KESTA_IMAGE_MODULE_FILE), std::string::npos);
    EXPECT_NE(images.find("GraphicsMagick"), std::string::npos);
}
