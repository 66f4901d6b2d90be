// The listing of one side of a directory comparison: the files and folders of a directory
// (down to a set subfolder depth) or of a zip or jar archive. Two listings are paired by kind,
// name and relative folder, sorted, and judged equal or different by date, time, size and, on
// demand, content; each pair becomes one row of the result.
#pragma once

#include "core/op_result.h"
#include "core/options.h"
#include "core/pathname.h"
#include "engine/baseitem.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class DIFFLIST;
class STATUS_IO;

// One file or folder of a listing. The listing owns its entries; every pointer here is a
// non-owning link to another entry of this listing (parent) or of the other side's listing
// (counterpart).
// The fields are ordered so that no padding is left: a listing holds one per file.
struct DirEntry
{
    DirEntry *counterpart = nullptr;  // the paired entry of the other side
    std::uint8_t side = 0;            // 0 left, 1 right (set while pairing)
    bool checksumKnown = false;       // archive entries carry the stored CRC from the start
    std::uint16_t attributes = 0;     // kAttrDirectory for a folder, else 0
    std::uint32_t time = 0;           // packed time
    std::uint32_t date = 0;           // packed date
    std::uint32_t checksum = 0;       // CRC-32 of the contents, valid when checksumKnown
    std::uint64_t size = 0;           // bytes; 0 for a folder
    std::string name;                 // the entry's own name
    const DirEntry *parent = nullptr; // the folder holding this entry; null at the top
    std::string relativePath;         // folders only: parent's relative path, name, separator

    [[nodiscard]] bool IsFolder() const { return (attributes & kAttrDirectory) != 0; }
    // The text from the last '.' of the name, or empty.
    [[nodiscard]] std::string_view Extension() const;
    // The parent's relative path, or empty at the top.
    [[nodiscard]] std::string_view Folder() const;
};

// Sets a folder entry's relative path from its parent and name (the native separator ends it).
void SetFolderRelativePath(DirEntry &entry);

// Sort keys of CompareEntries.
inline constexpr int kSortKeyPairing = 6;       // folders first, name and folder by bytes
inline constexpr int kSortKeySecondPairing = 7; // unpaired left, paired, unpaired right

class DIRECTORYOBJECT : public BASEITEM
{
public:
    explicit DIRECTORYOBJECT(const CompareOptions &options);
    ~DIRECTORYOBJECT() override;

    // Lists a directory (kind 2) or a directory with a pattern (kind 3): the path's file name is
    // the pattern, matched against file names only ("*" and "*.*" match every name). Answers
    // the entry count, or -1 when a directory cannot be read or the status asked to stop (the
    // entries found so far stay).
    [[nodiscard]] std::int64_t Read(const PATHNAME &path, std::string_view exclusions,
                                    STATUS_IO *status);
    // After a Read that failed because a folder could not be read: that folder's path and the
    // system's error number. 0 after a successful Read or a stop request.
    [[nodiscard]] const STRING &FailedFolder() const { return m_failedFolder; }
    [[nodiscard]] int ReadError() const { return m_readError; }
    void SetReadFailure(std::string_view folder, int error)
    {
        m_failedFolder = folder;
        m_readError = error;
    }

    // For filling a listing from elsewhere (an archive): Clear frees the entries, SetPath sets
    // the listing's path (an archive listing's path holds the archive's snapshot), SetArchive
    // marks the listing, and AddEntry appends in enumeration order.
    void Clear();
    void SetPath(const PATHNAME &path) { m_path = path; }
    [[nodiscard]] PATHNAME &Path() { return m_path; }
    [[nodiscard]] const PATHNAME &Path() const { return m_path; }
    void SetArchive(bool archive) { m_archive = archive; }
    [[nodiscard]] bool IsArchive() const { return m_archive; }
    void AddEntry(std::unique_ptr<DirEntry> entry);
    // Subfolder depth to list: SubDirLevel when subfolders are looked into, else 0.
    [[nodiscard]] std::int32_t ListingDepth() const;

    // Pairs the entries of both listings into the left listing's array (by kind, name and
    // folder; also without regard to case when ignoreCase), sorts the rows, and appends one
    // DIFFLIST row per pair, leaving out what the directory options say. 0, or nonzero when
    // the status asked to stop.
    [[nodiscard]] static OpResult CompareListings(const CompareOptions &options, DIFFLIST &list,
                                                  DIRECTORYOBJECT &left, DIRECTORYOBJECT &right,
                                                  STATUS_IO *status);
    // Pairs (with right, when given) and sorts the array by sortMode; sortByRight sorts a pair
    // by its right entry. The array is rebuilt only when needed; otherwise it is only sorted.
    void PairAndSort(int sortMode, DIRECTORYOBJECT *right, bool ignoreCase, bool sortByRight);
    // For a row: 0 same, 1 different, by the equality test and, when that cannot decide, by
    // the CRC-32 of both files (computed once and kept). A side without entry, or a file
    // that cannot be read, is different.
    [[nodiscard]] int RowDiffers(std::int64_t leftRecord, std::int64_t rightRecord,
                                 const CompareOptions &options);
    // Orders two entries by a sort key (1 name, 2 extension, 3 date, 4 size, 5 folder,
    // 6 pairing, 7 second pairing; any other like 1): negative, 0 or positive.
    [[nodiscard]] static int CompareEntries(const DirEntry &a, const DirEntry &b, int key);
    // 0 different, 1 same, 2 same as far as known (checksums not both known yet).
    [[nodiscard]] static int EntriesEqual(const DirEntry &a, const DirEntry &b, bool ignoreDate,
                                          bool ignoreTime, bool ignoreSize, bool ignoreCase);

    // Record k: before any comparison the k-th entry in enumeration order; after a sort
    // without partner the k-th array element; after a comparison the entry this side shows at
    // position k. Null when there is none.
    [[nodiscard]] const DirEntry *Record(std::int64_t k) const;
    [[nodiscard]] DirEntry *Record(std::int64_t k);
    // The entries in enumeration order.
    [[nodiscard]] const std::vector<std::unique_ptr<DirEntry>> &Entries() const
    {
        return m_entries;
    }
    // The pair array (left entries and unpaired right entries) in sorted order.
    [[nodiscard]] const std::vector<DirEntry *> &PairArray() const { return m_array; }

    [[nodiscard]] OpResult Reopen() override;
    [[nodiscard]] int ColumnCount() const override { return kColumns; }
    [[nodiscard]] std::unique_ptr<STRING> ColumnText(int column, std::int64_t k) override;
    void ResetColumnWidths() override;
    bool WidenColumns() override;
    void FreezeColumnWidths() override;
    [[nodiscard]] std::unique_ptr<STRING> RelativeName(std::int64_t k) override;
    [[nodiscard]] std::int64_t RecordCount() const override;
    [[nodiscard]] bool IsListing() const override { return true; }
    [[nodiscard]] bool IsListing2() const override { return true; }
    [[nodiscard]] std::span<ColumnDescriptor> ColumnDescriptors(int column, int sortMode) override;

    // Bytes read from each file at a time when RowDiffers compares two files' contents.
    static constexpr std::size_t kContentBlock = 64 * 1024;

    static constexpr int kColumns = 5;
    static constexpr int kColumnName = 0;
    static constexpr int kColumnExt = 1;
    static constexpr int kColumnFolder = 2;
    static constexpr int kColumnSize = 3;
    static constexpr int kColumnDate = 4;

private:
    enum class RecordSource
    {
        Enumeration, // k-th entry in list order
        Array,       // k-th array element
        Placed       // k-th entry placed on this side by a comparison
    };

    // A link to the other listing of a comparison, valid only while that listing lives and
    // has not been read again since the link was made.
    struct Peer
    {
        DIRECTORYOBJECT *object = nullptr;
        std::weak_ptr<const std::uint64_t> generation;
        std::uint64_t seen = 0;

        [[nodiscard]] bool Current() const;
    };
    [[nodiscard]] static Peer PeerOf(DIRECTORYOBJECT &other);

    void InitColumns();
    void ShowFolderColumnByOptions();
    [[nodiscard]] bool ArrayNeedsRebuild(const DIRECTORYOBJECT *right, bool ignoreCase) const;
    void PairWithoutCase();
    // Makes the entry's CRC known (owner is the listing it belongs to); false when the file
    // cannot be read.
    static bool EnsureChecksum(DirEntry &entry, const DIRECTORYOBJECT &owner);
    // The path of one of this listing's entries on disk.
    [[nodiscard]] std::string PathOf(const DirEntry &entry) const;
    // Compares two regular files byte by byte, stopping at the first block that differs; crc
    // gets the CRC-32 of the contents when they are the same.
    static constexpr int kContentsSame = 0;
    static constexpr int kContentsDiffer = 1;
    static constexpr int kContentsUnreadable = 2;
    [[nodiscard]] int CompareFileContents(const std::string &leftPath, const std::string &rightPath,
                                          std::uint32_t &crc);

    const CompareOptions &m_options;
    PATHNAME m_path;
    bool m_archive = false;
    STRING m_failedFolder; // see FailedFolder
    int m_readError = 0;
    // Changes with every change of the entries; the other listing's links check it.
    std::shared_ptr<std::uint64_t> m_generation;
    // In the right listing after a comparison: the left listing, whose rows hold both sides.
    Peer m_link;
    // In the left listing after pairing: the right listing its array was built with.
    Peer m_partner;
    std::vector<std::unique_ptr<DirEntry>> m_entries;

    std::vector<DirEntry *> m_array;
    bool m_arrayBuilt = false;
    bool m_arrayIgnoreCase = false;
    std::size_t m_arrayCapacity = 0;     // both entry counts when built
    std::uint64_t m_arrayGeneration = 0; // this listing's generation when built
    int m_sortMode = 0;                  // as last applied

    RecordSource m_recordSource = RecordSource::Enumeration;
    // Filled by a comparison in the left listing: the entry shown at each left and right
    // position (the left listing keeps both sides' rows).
    std::vector<DirEntry *> m_leftRows;
    std::vector<DirEntry *> m_rightRows;

    std::array<ColumnDescriptor, kColumns + 1> m_columns;
    std::vector<unsigned char> m_contentBuffer; // both files' blocks, allocated on first use
};
