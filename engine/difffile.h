// One side of a text comparison: a file read once when loaded into one line record per line,
// whose hashes already reflect the comparison options. Line texts are read again from the
// file when they are shown, after checking that the file has not changed since.
#pragma once

#include "core/options.h"
#include "core/textfile.h"
#include "engine/diffitem.h"

#include <array>
#include <climits>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

class LineHasher;
class STATUS_IO;

// Line-end kinds seen while loading.
inline constexpr std::uint16_t kLineEndCr = 0x01;
inline constexpr std::uint16_t kLineEndLf = 0x02;   // an LF ended a line or completed CR LF
inline constexpr std::uint16_t kLineEndCrCr = 0x04; // a CR followed a CR

class DIFFFILE : public DIFFITEM
{
public:
    DIFFFILE();
    ~DIFFFILE() override;

    [[nodiscard]] OpResult Reopen() override;
    OpResult Close() override;
    [[nodiscard]] std::unique_ptr<STRING> RecordText(std::int64_t k) override;
    [[nodiscard]] const STRING *SideName() const override;
    [[nodiscard]] std::span<ColumnDescriptor> ColumnDescriptors(int column, int sortMode) override;

    // 0 loaded, 1 cancelled through status (the records read so far stay), -1 the file cannot
    // be found or opened, or has more lines than record numbers can count.
    [[nodiscard]] virtual std::int32_t Load(std::string_view path, const CompareOptions &options,
                                            STATUS_IO *status);
    // After a Load that answered -1: the system's error number saying why (0 when none is
    // known).
    [[nodiscard]] int LoadError() const { return m_loadError; }

    // Both sides loaded from files of the same bytes under the same options, whose lines have
    // not been hashed yet: the bytes of the two files are compared, not the lines.
    [[nodiscard]] bool HasSameLinesAs(DIFFITEM &other) override;

    // The loads that follow run beside another side's load on another thread: they neither
    // copy the records of a side loaded before nor offer theirs to a side loaded after, which
    // would mean looking at a side that may be loading at the same time. Nor do they write the
    // caption: its date follows the locale settings, which the program's main thread may load
    // anew meanwhile; that thread calls WriteCaption once the load is done.
    void LoadApartFromOtherSides() { m_apart = true; }
    // "date  -  size bytes  -  count lines", then the kinds of line end seen (if any).
    void WriteCaption();

    [[nodiscard]] const STRING &Caption() const { return m_column[0].caption; }
    [[nodiscard]] std::uint16_t LineEndKinds() const { return m_lineEndKinds; }
    [[nodiscard]] TEXTFILE &File() { return m_file; }

protected:
    // Record numbers are 32-bit in the result list: a file with more lines fails to load.
    static constexpr std::int64_t kMaxRecords = INT32_MAX;
    // Bytes read at a time; any size gives the same records.
    static constexpr std::size_t kLoadBlockSize = 64 * 1024;

    // The load splits the lines and measures them; their hashes are computed here, in a
    // second pass over the file, when they are first needed.
    void HashPendingRecords() override;

    TEXTFILE m_file;
    std::uint16_t m_lineEndKinds = 0;
    std::array<ColumnDescriptor, 1> m_column;
    std::uint32_t m_options = 0;
    std::int32_t m_tabSize = 4;
    int m_loadError = 0;                          // see LoadError
    std::int64_t m_recordLimit = kMaxRecords;     // lowered by tests
    std::size_t m_loadBlockSize = kLoadBlockSize; // lowered by tests

private:
    [[nodiscard]] std::int32_t ScanLines(std::int64_t total, STATUS_IO *status);
    [[nodiscard]] std::int32_t SplitWholeLines(const unsigned char *buffer, std::size_t count,
                                               std::int64_t bufferStart,
                                               const std::uint64_t *stopBits,
                                               const std::uint64_t *specialBits,
                                               LineHasher &measurer, std::int64_t total,
                                               STATUS_IO *status, std::size_t &at, bool &crPending);
    [[nodiscard]] bool SameBytesAs(DIFFFILE &other);
    // After this side's file was opened by Load: when other was loaded from a file of the same
    // bytes under the same options and its records are untouched since, takes a copy of them
    // instead of splitting the lines again.
    [[nodiscard]] bool TakeRecordsOfTwin(DIFFFILE &other);

    bool m_apart = false;           // see LoadApartFromOtherSides
    std::uint64_t m_loadSerial = 0; // tells the loads of all sides apart
    // The side whose records this one copied, and that side's load then.
    const DIFFFILE *m_twin = nullptr;
    std::uint64_t m_twinLoad = 0;
    // The side whose bytes were found to differ from this side's when loading, and its load.
    const DIFFFILE *m_notTwin = nullptr;
    std::uint64_t m_notTwinLoad = 0;
};
