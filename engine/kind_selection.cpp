#include "engine/kind_selection.h"

#include "core/pathname.h"
#include "engine/difffile.h"
#include "engine/exefile.h"
#include "engine/imgfile.h"

#include <array>

namespace {

struct ExtensionKind
{
    const char *extension;
    FileKindChoice choice;
};

constexpr std::array kExtensionKinds{
    ExtensionKind{".DLL", {FileKind::Executable, kImageNone}},
    ExtensionKind{".EXE", {FileKind::Executable, kImageNone}},
    ExtensionKind{".DRV", {FileKind::Executable, kImageNone}},
    ExtensionKind{".GIF", {FileKind::Image, kImageGif}},
    ExtensionKind{".JPG", {FileKind::Image, kImageJpeg}},
    ExtensionKind{".JPEG", {FileKind::Image, kImageJpeg}},
    ExtensionKind{".PNG", {FileKind::Image, kImagePng}},
    ExtensionKind{".PCX", {FileKind::Image, kImagePcx}},
    ExtensionKind{".ICO", {FileKind::Image, kImageIco}},
    ExtensionKind{".BMP", {FileKind::Image, kImageBmp}},
};

std::unique_ptr<DIFFFILE> CreatePlainTextObject()
{
    return std::make_unique<DIFFFILE>();
}

std::unique_ptr<DIFFFILE> CreateExecutableObject()
{
    return std::make_unique<EXEFILE>();
}

std::unique_ptr<DIFFFILE> CreateImageObject(int imageType)
{
    return std::make_unique<IMGFILE>(imageType);
}

TextObjectFactory g_textFactory = CreatePlainTextObject;
ExecutableObjectFactory g_executableFactory = CreateExecutableObject;
ImageObjectFactory g_imageFactory = CreateImageObject;

} // namespace

FileKindChoice ChooseFileKind(const PATHNAME &name)
{
    for (const ExtensionKind &entry : kExtensionKinds) {
        if (name.ExtensionEquals(entry.extension))
            return entry.choice;
    }
    return {};
}

void SetTextObjectFactory(TextObjectFactory factory)
{
    g_textFactory = factory != nullptr ? factory : CreatePlainTextObject;
}

void SetExecutableObjectFactory(ExecutableObjectFactory factory)
{
    g_executableFactory = factory != nullptr ? factory : CreateExecutableObject;
}

void SetImageObjectFactory(ImageObjectFactory factory)
{
    g_imageFactory = factory != nullptr ? factory : CreateImageObject;
}

std::unique_ptr<DIFFFILE> CreateFileObject(const FileKindChoice &choice)
{
    if (choice.kind == FileKind::Executable && g_executableFactory != nullptr)
        return g_executableFactory();
    if (choice.kind == FileKind::Image && g_imageFactory != nullptr)
        return g_imageFactory(choice.imageType);
    return g_textFactory();
}
