// One side of a comparison of executables and libraries: not their bytes but the fixed version
// information and the language of their version resource, turned into a few text lines that
// are then matched like the lines of text files. Two builds thus differ only in the lines
// whose fields changed.
#pragma once

#include "engine/difffile.h"

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

struct VersionInfo;

// At most this many lines are kept.
inline constexpr std::size_t kMaxVersionLines = 200;

// The lines that describe info, in their fixed order: "FILEVERSION", "PRODUCTVERSION",
// "FILEFLAGS" (only with flags), "FILEOS", "FILETYPE", "FILESUBTYPE" (only for drivers and
// fonts of known subtypes) and "LANGUAGE" (only with a translation of a known language).
// No lines without fixed file information.
[[nodiscard]] std::vector<STRING> VersionLines(const VersionInfo &info);

class EXEFILE : public DIFFFILE
{
public:
    EXEFILE();
    ~EXEFILE() override;

    // Whether the file changed on disk since it was loaded (the lines themselves are kept).
    [[nodiscard]] OpResult Reopen() override;
    // A copy of line k; null for a k out of range.
    [[nodiscard]] std::unique_ptr<STRING> RecordText(std::int64_t k) override;
    // 0 loaded (with no lines when the file has no version information), -1 when the file
    // cannot be found or opened. The status is not used.
    [[nodiscard]] std::int32_t Load(std::string_view path, const CompareOptions &options,
                                    STATUS_IO *status) override;

    [[nodiscard]] const std::vector<STRING> &Lines() const { return m_lines; }

private:
    void AddLines(std::vector<STRING> lines, const CompareOptions &options);

    std::vector<STRING> m_lines; // record k is line k
};
