// The choice of comparison object for a side that is a plain file, by the extension of the
// name the user knows it by, and the factories that build each kind. The windowed program
// installs its own text object (an editable subclass); kinds whose objects are not installed
// are compared as text.
#pragma once

#include <cstdint>
#include <memory>

class DIFFFILE;
class PATHNAME;

enum class FileKind
{
    Text,
    Executable,
    Image
};

// Image type codes handed to the image loader; 0 means no image.
inline constexpr int kImageNone = 0;
inline constexpr int kImageBmp = 1;
inline constexpr int kImageGif = 2;
inline constexpr int kImageJpeg = 3;
inline constexpr int kImagePng = 4;
inline constexpr int kImageIco = 5;
inline constexpr int kImagePcx = 8;

struct FileKindChoice
{
    FileKind kind = FileKind::Text;
    int imageType = kImageNone;

    friend bool operator==(const FileKindChoice &, const FileKindChoice &) = default;
};

// By the extension of name, without regard to case.
[[nodiscard]] FileKindChoice ChooseFileKind(const PATHNAME &name);

using TextObjectFactory = std::unique_ptr<DIFFFILE> (*)();
using ExecutableObjectFactory = std::unique_ptr<DIFFFILE> (*)();
using ImageObjectFactory = std::unique_ptr<DIFFFILE> (*)(int imageType);

// Each replaces the factory of its kind; null restores the default (a plain DIFFFILE for
// text, EXEFILE for executables, IMGFILE for images).
void SetTextObjectFactory(TextObjectFactory factory);
void SetExecutableObjectFactory(ExecutableObjectFactory factory);
void SetImageObjectFactory(ImageObjectFactory factory);

// A new, empty comparison object of the chosen kind.
[[nodiscard]] std::unique_ptr<DIFFFILE> CreateFileObject(const FileKindChoice &choice);
