// The comparison options record that both programs fill (the console from its command line,
// the windowed program from its settings) and the engine reads.
#pragma once

#include <cstdint>

// Option bits; the values are stored in settings files, never renumber them.
inline constexpr std::uint32_t kOptLineNumbers = 0x02;
inline constexpr std::uint32_t kOptShowAll = 0x04;
inline constexpr std::uint32_t kOptIgnoreCase = 0x08;
inline constexpr std::uint32_t kOptIgnoreSpaces = 0x10;
inline constexpr std::uint32_t kOptIgnoreTrailingBlanks = 0x20;
inline constexpr std::uint32_t kOptExpandTabs = 0x40;
inline constexpr std::uint32_t kOptFoldLines = 0x80;
inline constexpr std::uint32_t kOptInlineDifferences = 0x100;

// Directory option bits.
inline constexpr std::uint16_t kDirIgnoreSubdirectories = 0x01;
inline constexpr std::uint16_t kDirIgnoreSingleFiles = 0x02;
inline constexpr std::uint16_t kDirIgnoreDate = 0x04;
inline constexpr std::uint16_t kDirIgnoreTime = 0x08;
inline constexpr std::uint16_t kDirIgnoreSize = 0x10;
inline constexpr std::uint16_t kDirSortRightSide = 0x40;
inline constexpr std::uint16_t kDirIgnoreCase = 0x80;
inline constexpr std::uint16_t kDirLookInSubfolders = 0x100;
inline constexpr std::uint16_t kDirContextMenu = 0x200;

// Sort modes of directory rows.
inline constexpr std::int32_t kSortName = 1;
inline constexpr std::int32_t kSortExtension = 2;
inline constexpr std::int32_t kSortDate = 3;
inline constexpr std::int32_t kSortSize = 4;
inline constexpr std::int32_t kSortFolder = 5;

struct CompareOptions
{
    std::int32_t parseStatus = 0; // 0 after a good parse, -1 after an error (console)
    std::int32_t tabSize = 4;
    std::int32_t outputWidth = 79; // console report width
    std::int32_t marginLines = 1;  // context lines around differences
    std::int32_t subDirLevel = 99; // deepest subfolder level listed
    std::uint32_t optionBits = 0;
    std::int32_t sortMode = kSortDate;
    std::uint16_t dirOptions = 0x38D;
};
