// A path name kept split into drive, directory, name and extension, so that one part can be
// swapped (a side's folder, a backup extension, a numbered extension) and the whole path comes
// back. Also answers the file-system questions a comparison asks of a side: file, directory or
// directory with a wildcard pattern; container; changed on disk since loaded; full form.
#pragma once

#include "core/file_snapshot.h"
#include "core/string.h"

#include <cstdint>
#include <memory>
#include <string_view>

// How a path text is split. Windows style: an optional drive "X:", the directory up to the last
// '\' (or, when there is none, the last '/'). POSIX style: no drive, the directory up to the last
// '/' only ("a:b" and "a\b" are plain names).
enum class PathStyle
{
    Posix,
    Windows
};

[[nodiscard]] PathStyle NativePathStyle();
[[nodiscard]] char SeparatorOf(PathStyle style); // '/' or '\'
[[nodiscard]] char NativeSeparator();

// Cached classification of a path.
inline constexpr std::int32_t kKindNothing = 0;   // not classified or not found
inline constexpr std::int32_t kKindFile = 1;      // existing file
inline constexpr std::int32_t kKindDirectory = 2; // existing directory
inline constexpr std::int32_t kKindPattern = 3;   // directory with a wildcard pattern

class PATHNAME
{
public:
    explicit PATHNAME(PathStyle style = NativePathStyle());
    explicit PATHNAME(std::string_view text, PathStyle style = NativePathStyle());
    // The concatenation of a directory text and a file name, parsed.
    PATHNAME(std::string_view directory, std::string_view fileName,
             PathStyle style = NativePathStyle());
    PATHNAME(const PATHNAME &other);            // deep: the snapshot is copied too
    PATHNAME &operator=(const PATHNAME &other); // likewise
    PATHNAME(PATHNAME &&) noexcept = default;
    PATHNAME &operator=(PATHNAME &&) noexcept = default;
    virtual ~PATHNAME();

    // The whole path: always drive + directory + name + extension.
    [[nodiscard]] const STRING &Text() const { return m_whole; }
    [[nodiscard]] const char *c_str() const { return m_whole.c_str(); }
    [[nodiscard]] PathStyle Style() const { return m_style; }
    [[nodiscard]] std::string Drive() const;                              // "C:" or empty
    [[nodiscard]] const STRING &Directory() const { return m_directory; } // with trailing separator
    [[nodiscard]] const STRING &Name() const { return m_name; }           // without extension
    [[nodiscard]] const STRING &Extension() const { return m_extension; } // with its point

    // Sets the whole path from a text and splits it.
    void Parse(std::string_view text);
    // Splits the current whole path again.
    void Reparse();

    // Drive and directory from a directory text (a separator is appended when missing);
    // name and extension stay. An empty text clears drive and directory.
    void SetDirectory(std::string_view directoryText);
    // Only the directory part of the given text (parsed as a path); drive, name, extension stay.
    void SetDirectoryPart(std::string_view text);
    // Name and extension of the given text (parsed as a path); an empty text clears both.
    void SetFileName(std::string_view text);
    // Extension of the given text (parsed as a path: ".000" gives ".000"); empty clears it.
    void SetExtension(std::string_view text);

    [[nodiscard]] STRING DirectoryText() const; // drive + directory
    // One trailing separator removed ("C:\" gives "C:"); the POSIX root "/" stays whole.
    [[nodiscard]] STRING DirectoryTextWithoutSeparator() const;

    // Applies the process's current directory with SetDirectory; false (path unchanged) when
    // the current directory cannot be had.
    bool CurrentDirectory();
    // chdir to the directory text; nonzero on failure.
    [[nodiscard]] int ChangeToDirectory() const;

    [[nodiscard]] bool IsExistingFile() const;
    [[nodiscard]] bool IsExistingDirectory() const;
    [[nodiscard]] bool ExtensionHasWildcard() const;
    // Case-insensitive, point included: ExtensionEquals(".ZIP") is true for "a.zip". A null
    // text or an empty extension is never equal.
    [[nodiscard]] bool ExtensionEquals(const char *text) const;

    // Classifies the path (see the kinds above), caches and returns the kind. A bare name is
    // taken relative to "."; an existing directory named without a pattern gets a trailing
    // separator.
    std::int32_t Classify();
    [[nodiscard]] std::int32_t Kind() const { return m_kind; }
    // Each classifies first while the kind is still 0.
    bool IsFile();
    bool IsDirectory();
    bool IsPattern();
    bool NamesNothing();
    bool IsArchive(); // an existing file ending in ".ZIP" or ".JAR"
    // True unless the path is an existing plain file; a path naming nothing counts as a
    // container. An empty path is not one.
    bool IsContainer();

    // Makes other a pattern for files with this path's extension in this path's folder
    // ("*" + extension), or a copy of this path when this one already holds a wildcard.
    void SameExtensionPattern(PATHNAME &other) const;

    // Sets the first free extension of ".000", ".100", ..., ".900", ".010", ..., ".999" and
    // answers 0; -1 when all 1000 are taken (the path then keeps ".999"). Any entry takes a
    // name, a folder or a dangling link as much as a file.
    [[nodiscard]] int FindFreeNumberedExtension();

    // A new record of what the file system says about this path now, or null when nothing is
    // found there. Links are followed; a dangling link is described by the link itself. A
    // folder's size is 0.
    [[nodiscard]] std::unique_ptr<FileSnapshot> Snapshot() const;
    // Takes a snapshot and keeps it (null when nothing is found).
    void TakeSnapshot();
    [[nodiscard]] const FileSnapshot *HeldSnapshot() const { return m_snapshot.get(); }
    void SetHeldSnapshot(std::unique_ptr<FileSnapshot> snapshot);

    // -1 no snapshot held, 1 the file vanished, 2 time, date or size changed, 0 unchanged.
    [[nodiscard]] std::int16_t ChangedOnDisk() const;

    // Makes the path absolute against the current directory, with "." and ".." removed
    // lexically; a trailing pattern is kept. Left unchanged when that cannot be done.
    void FullPath();

private:
    void Rebuild();

    PathStyle m_style;
    STRING m_whole;
    char m_driveLetter = 0; // 0: no drive
    STRING m_directory;
    STRING m_name;
    STRING m_extension;
    std::int32_t m_kind = kKindNothing;
    std::unique_ptr<FileSnapshot> m_snapshot;
};
