// A zip or jar archive read through its central directory: finding the directory from the end
// record, walking its records one by one, and listing the members as the entries of a
// directory listing, so that an archive compares like a folder.
#pragma once

#include "core/basefile.h"
#include "core/string.h"

#include <array>
#include <cstdint>
#include <string_view>

class DIRECTORYOBJECT;
class ITEM;
class STATUS_IO;

class ZIPFILE : public BASEFILE
{
public:
    static constexpr std::size_t kCentralRecordSize = 46;
    static constexpr std::size_t kLocalHeaderSize = 30;
    static constexpr std::size_t kEndRecordSize = 22;

    ZIPFILE();
    explicit ZIPFILE(std::string_view path);
    ~ZIPFILE() override;

    // Every open starts the walk of the central directory anew.
    OpResult AfterOpen(int mode) override;

    // Finds the end record by searching backwards from the end of the file and sets the walk
    // to the start of the central directory. False when there is none (the walk has ended).
    [[nodiscard]] bool FindCentralDirectory();
    // Reads the record at the walk's position into CentralRecord() and its name into name
    // (with "/" turned into the native separator), and moves past name, extra field and
    // comment. False at the end of the walk: a short read or a record without its signature.
    [[nodiscard]] bool NextRecord(STRING &name);
    // Reads the member's local header of the current record. False on a short read.
    [[nodiscard]] bool ReadLocalHeader();
    // Where the current member's data starts (after the local header and its own name and
    // extra field lengths).
    [[nodiscard]] std::int64_t DataOffset() const;

    // Fields of the current central-directory record.
    [[nodiscard]] std::uint16_t GeneralFlags() const;
    [[nodiscard]] std::uint16_t Method() const;
    [[nodiscard]] std::uint16_t DosTime() const;
    [[nodiscard]] std::uint16_t DosDate() const;
    [[nodiscard]] std::uint32_t StoredCrc() const;
    [[nodiscard]] std::uint32_t CompressedSize() const;
    [[nodiscard]] std::uint32_t UncompressedSize() const;
    [[nodiscard]] std::uint32_t LocalHeaderOffset() const;

    // Appends an entry for every member under prefix (a member path ending in a separator, or
    // empty for the whole archive) to listing, down to depth levels of folders, leaving out
    // the rest of a member's path from a component equal to the whole exclusion text. Folders
    // that only lead to deeper members are made up once. A stop request from status keeps the
    // entries added so far. Answers the number of entries added.
    std::int64_t ListMembers(std::string_view prefix, STATUS_IO *status, DIRECTORYOBJECT &listing,
                             std::string_view exclusions, std::int32_t depth);

    // -1 once the walk has ended.
    [[nodiscard]] std::int64_t CentralPosition() const { return m_centralPosition; }

protected:
    std::int64_t m_centralPosition = -1; // the next central-directory record to read
    std::array<std::uint8_t, kCentralRecordSize> m_central{};
    std::array<std::uint8_t, kLocalHeaderSize> m_local{};
    std::int64_t m_fileSize = 0; // taken when the central directory is found
};

// The archive side's entries in listing: opens the archive named by the side and lists the
// members under its member path with its exclusion patterns, down to the listing's depth. An
// archive that cannot be read lists nothing.
void ListZipArchive(DIRECTORYOBJECT &listing, const ITEM &archive, STATUS_IO *status);
