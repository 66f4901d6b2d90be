#include "core/option_letters.h"

#include "core/options.h"

std::uint16_t DirOptionBitsForLetter(char letter)
{
    switch (letter) {
    case 'i':
    case 'I':
        return kDirIgnoreSingleFiles;
    case 's':
    case 'S':
        return kDirIgnoreSize;
    case 't':
    case 'T':
        return kDirIgnoreDate | kDirIgnoreTime;
    case 'u':
    case 'U':
        return kDirIgnoreSubdirectories;
    default:
        return 0;
    }
}

std::optional<std::int32_t> SortModeForLetter(char letter)
{
    switch (letter) {
    case 'd':
    case 'D':
    case 't':
    case 'T':
        return kSortDate;
    case 'e':
    case 'E':
        return kSortExtension;
    case 'n':
    case 'N':
        return kSortName;
    case 's':
    case 'S':
        return kSortSize;
    default:
        return std::nullopt;
    }
}
