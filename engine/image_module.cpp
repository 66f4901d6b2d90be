#include "engine/image_module.h"

#include "core/basefile.h"

#include <dlfcn.h>
#include <filesystem>
#include <new>
#include <system_error>
#include <utility>

namespace {

// A file larger than this is not read for decoding: no picture within the module's limits
// needs as much, and the whole file is held in memory while it is decoded.
constexpr std::uint64_t kMaxImageFileBytes = 512ULL * 1024 * 1024;
// No picture the module decodes comes near this; it only keeps the byte count in range.
constexpr std::uint64_t kMaxPicturePixels = 1ULL << 31;

unsigned char *ReserveInto(void *context, std::uint32_t width, std::uint32_t height)
{
    return static_cast<DecodedImage *>(context)->Reserve(width, height);
}

bool FileExists(const std::string &path)
{
    std::error_code error;
    return std::filesystem::exists(path, error);
}

std::string ModulePathIn(const std::string &folder)
{
    if (folder.empty() || folder.back() == '/')
        return folder + KESTA_IMAGE_MODULE_FILE;
    return folder + '/' + KESTA_IMAGE_MODULE_FILE;
}

} // namespace

std::uint8_t *DecodedImage::Reserve(std::uint32_t width, std::uint32_t height)
{
    Clear();
    const std::uint64_t pixels = std::uint64_t{width} * height;
    if (pixels == 0 || pixels > kMaxPicturePixels)
        return nullptr;
    m_pixels.reset(new (std::nothrow) std::uint8_t[pixels * 4]);
    if (m_pixels == nullptr)
        return nullptr;
    m_width = width;
    m_height = height;
    return m_pixels.get();
}

void DecodedImage::Clear()
{
    m_pixels.reset();
    m_width = 0;
    m_height = 0;
}

ImageModule::ImageModule(std::vector<std::string> folders) : m_folders(std::move(folders)) {}

bool ImageModule::Open()
{
    if (m_tried)
        return IsOpen();
    m_tried = true;

    // The error of a module file that exists but does not open (a missing image library, a
    // wrong architecture) says more than the absence of the others.
    std::string foundError;
    std::string searched;
    for (const std::string &folder : m_folders) {
        const std::string path = ModulePathIn(folder);
        void *handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            const char *error = dlerror();
            if (foundError.empty() && FileExists(path))
                foundError = error != nullptr ? error : path;
            searched += searched.empty() ? folder : ", " + folder;
            continue;
        }
        // The symbol's address is the entry itself; POSIX guarantees the conversion.
        auto entry = reinterpret_cast<KestaImageDecode>(dlsym(handle, KESTA_IMAGE_DECODE_SYMBOL));
        if (entry == nullptr) {
            if (foundError.empty())
                foundError = path + ": no " + KESTA_IMAGE_DECODE_SYMBOL;
            dlclose(handle);
            continue;
        }
        m_decode = entry;
        m_failure.clear();
        return true;
    }
    if (!foundError.empty())
        m_failure = foundError;
    else
        m_failure = std::string(KESTA_IMAGE_MODULE_FILE) + " not found in " + searched;
    return false;
}

std::optional<std::string> ImageModule::TakeNotice()
{
    if (m_failure.empty() || m_noticeTaken)
        return std::nullopt;
    m_noticeTaken = true;
    return "Images cannot be decoded and show as 0 x 0: the image module could not be loaded ("
           + m_failure + ")";
}

bool ImageModule::DecodeBytes(const unsigned char *data, std::size_t size, int typeCode,
                              DecodedImage &picture)
{
    picture.Clear();
    if (!Open() || data == nullptr || size == 0)
        return false;
    if (m_decode(data, size, typeCode, ReserveInto, &picture) != 0 || picture.IsEmpty()) {
        picture.Clear();
        return false;
    }
    return true;
}

bool ImageModule::DecodeFile(const std::string &path, int typeCode, DecodedImage &picture)
{
    picture.Clear();
    if (!Open())
        return false;
    BASEFILE file(path);
    const std::unique_ptr<FileSnapshot> snapshot = file.Snapshot();
    if (snapshot == nullptr || (snapshot->attributes & kAttrDirectory) != 0 || snapshot->size == 0
        || snapshot->size > kMaxImageFileBytes || file.Open() != kOk)
        return false;
    const auto size = static_cast<std::size_t>(snapshot->size);
    std::unique_ptr<unsigned char[]> bytes(new (std::nothrow) unsigned char[size]);
    if (bytes == nullptr)
        return false;
    // The file may have shrunk since the snapshot: decode what is there.
    std::size_t got = 0;
    while (got < size) {
        const std::int64_t read = file.ReadAt(-1, bytes.get() + got, size - got);
        if (read <= 0)
            break;
        got += static_cast<std::size_t>(read);
    }
    return DecodeBytes(bytes.get(), got, typeCode, picture);
}

std::vector<std::string> DefaultImageModuleFolders()
{
    std::vector<std::string> folders;
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        folders.push_back(program.parent_path().string());
#ifdef KESTA_IMAGE_MODULE_RELATIVE_DIR
        folders.push_back(
            (program.parent_path() / KESTA_IMAGE_MODULE_RELATIVE_DIR).lexically_normal().string());
#endif
    }
    return folders;
}

ImageModule &SharedImageModule()
{
    static ImageModule module(DefaultImageModuleFolders());
    return module;
}

std::optional<std::string> TakeImageModuleNotice()
{
    return SharedImageModule().TakeNotice();
}
