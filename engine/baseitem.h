// The record interface of every comparison object: a sequence of records numbered from 0
// (lines, directory entries, pieces of a line) that the front ends ask for counts, texts,
// columns and a caption.
#pragma once

#include "core/op_result.h"
#include "core/string.h"

#include <cstdint>
#include <memory>
#include <span>

// Column flags.
inline constexpr std::uint16_t kColumnShown = 0x01;      // read by the display
inline constexpr std::uint16_t kColumnRightAlign = 0x08; // right-aligned, cut from the left
inline constexpr std::uint16_t kColumnJoined = 0x10;     // no blank before this column
inline constexpr std::uint16_t kColumnUserSized = 0x20;
inline constexpr std::uint16_t kColumnSortKey = 0x80;

// A descriptor of width 9999 ends a column list; a file's one descriptor has that width.
inline constexpr std::int32_t kColumnEndWidth = 9999;

// A sort mode for ColumnDescriptors that leaves the sort marks as they are: composing a record's
// text asks for the columns without choosing a sort order.
inline constexpr int kKeepSortMark = -1;

struct ColumnDescriptor
{
    std::int32_t width = kColumnEndWidth; // current width in characters
    std::int32_t widest = 2;              // widest text seen (content width)
    STRING caption;
    std::uint16_t flags = 0;
};

class BASEITEM
{
public:
    BASEITEM() = default;
    BASEITEM(const BASEITEM &) = delete;
    BASEITEM &operator=(const BASEITEM &) = delete;
    virtual ~BASEITEM();

    // Makes sure the source is open and unchanged: 0 ready, 1 cannot open or vanished,
    // 2 changed on disk, -1 no snapshot.
    [[nodiscard]] virtual OpResult Reopen() { return kErrorOrCancel; }
    // 0 closed, 1 not open or the close failed.
    virtual OpResult Close() { return kErrorOrCancel; }
    // Text of record k, or null. The default composes the columns (ColumnText) into one line,
    // each in its width less one separating blank (none for a joined column), overlong texts
    // cut with "..", and raises each column's widest text; null beyond the record count.
    [[nodiscard]] virtual std::unique_ptr<STRING> RecordText(std::int64_t k);
    [[nodiscard]] virtual int ColumnCount() const { return 0; }
    [[nodiscard]] virtual std::unique_ptr<STRING> ColumnText(int /*column*/, std::int64_t /*k*/)
    {
        return nullptr;
    }
    virtual void ResetColumnWidths() {}
    // Widens columns to their widest text; true when a width changed.
    virtual bool WidenColumns() { return false; }
    virtual void FreezeColumnWidths() {}
    // For a listing: the entry's folder path, name, and a separator for a folder.
    [[nodiscard]] virtual std::unique_ptr<STRING> RelativeName(std::int64_t /*k*/)
    {
        return nullptr;
    }
    // The side's path text, or null.
    [[nodiscard]] virtual const STRING *SideName() const { return nullptr; }
    [[nodiscard]] virtual std::int64_t RecordCount() const { return 0; }
    [[nodiscard]] virtual int EditQuery(std::int64_t /*k*/) { return -1; }
    // Records are entries that can be opened as comparisons.
    [[nodiscard]] virtual bool IsListing() const { return false; }
    [[nodiscard]] virtual bool IsListing2() const { return false; }
    virtual int SaveEdits() { return 0; }
    virtual int SaveEditsWithBackup() { return 1; }
    // The column descriptors, ended by one of width kColumnEndWidth; a listing marks its sort
    // column. The default is one empty descriptor.
    [[nodiscard]] virtual std::span<ColumnDescriptor> ColumnDescriptors(int column, int sortMode);
};
