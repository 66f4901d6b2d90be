// What the file system says about one entry at one moment: the record a directory listing
// keeps per entry and a path keeps to notice later changes.
#pragma once

#include <cstdint>
#include <string>

inline constexpr std::uint16_t kAttrDirectory = 0x10;

struct FileSnapshot
{
    std::uint16_t attributes = 0; // kAttrDirectory for a folder, else 0
    std::uint32_t time = 0;       // packed time: hour << 24 | minute << 16 | second << 8
    std::uint32_t date = 0;       // packed date: (year - 1920) << 16 | month << 8 | day
    std::uint64_t size = 0;       // size in bytes (64-bit: files of 4 GiB and more stay apart)
    std::string name;             // the entry's own name, without folders

    // The extension of name: from its last '.', or empty.
    [[nodiscard]] std::string_view Extension() const;

    friend bool operator==(const FileSnapshot &, const FileSnapshot &) = default;
};
