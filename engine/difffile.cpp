#include "engine/difffile.h"

#include "core/file_snapshot.h"
#include "core/locale_settings.h"
#include "core/memory_advice.h"
#include "core/side_by_side.h"
#include "core/status_io.h"
#include "engine/line_hash.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cerrno>
#include <climits>
#include <cstring>
#include <string>
#include <typeinfo>
#include <vector>

namespace {

// Bytes of a UTF-8 sequence that a block can cut off: carried into the next block so that
// the columns of a line do not depend on where the blocks fall.
constexpr std::size_t kLongestCutSequence = 3;

constexpr unsigned char kCr = '\r';
constexpr unsigned char kLf = '\n';

// Length of the UTF-8 sequence that may be cut off at the end of [p, end): the bytes from a
// lead byte among the last three on. Holding back a complete sequence is harmless.
std::size_t CutSequenceLength(const unsigned char *p, const unsigned char *end)
{
    for (std::size_t back = 1; back <= kLongestCutSequence && back <= std::size_t(end - p);
         ++back) {
        unsigned char c = end[-static_cast<std::ptrdiff_t>(back)];
        if (c >= 0xC0)
            return back;
        if (c < 0x80)
            return 0;
    }
    return 0;
}

constexpr std::size_t kBitsPerWord = 64;

// The first marked position in [from, limit), or limit; bits past limit are 0.
std::size_t NextMarked(const std::uint64_t *bits, std::size_t from, std::size_t limit)
{
    std::size_t word = from / kBitsPerWord;
    std::uint64_t mask = bits[word] & (~std::uint64_t{0} << (from % kBitsPerWord));
    while (mask == 0) {
        ++word;
        if (word * kBitsPerWord >= limit)
            return limit;
        mask = bits[word];
    }
    return word * kBitsPerWord + static_cast<std::size_t>(std::countr_zero(mask));
}

// Whether any position in [from, to) is marked.
bool AnyMarked(const std::uint64_t *bits, std::size_t from, std::size_t to)
{
    if (from >= to)
        return false;
    const std::size_t first = from / kBitsPerWord;
    const std::size_t last = (to - 1) / kBitsPerWord;
    const std::uint64_t low = ~std::uint64_t{0} << (from % kBitsPerWord);
    const std::uint64_t high = ~std::uint64_t{0} >> (kBitsPerWord - 1 - (to - 1) % kBitsPerWord);
    if (first == last)
        return (bits[first] & low & high) != 0;
    if ((bits[first] & low) != 0 || (bits[last] & high) != 0)
        return true;
    for (std::size_t word = first + 1; word < last; ++word)
        if (bits[word] != 0)
            return true;
    return false;
}

} // namespace

namespace {

// The side loaded last: a second side loaded from the same bytes (comparing a file with a
// copy of itself) copies its records instead of splitting the lines again. Cleared when that
// side goes away or loads anew.
DIFFFILE *g_lastLoaded = nullptr;
// Counted by loads on any thread.
std::atomic<std::uint64_t> g_loadCount{0};

// Bytes read at a time from each file when comparing two files' bytes: both blocks stay in the
// nearer processor caches, which larger blocks would not.
constexpr std::size_t kCompareBlockSize = 64 * 1024;

} // namespace

DIFFFILE::DIFFFILE() = default;

DIFFFILE::~DIFFFILE()
{
    if (g_lastLoaded == this)
        g_lastLoaded = nullptr;
}

OpResult DIFFFILE::Reopen()
{
    if (m_file.IsOpen())
        return kOk;
    std::int16_t changed = m_file.ChangedOnDisk();
    if (changed != 0)
        return changed;
    return m_file.Open();
}

OpResult DIFFFILE::Close()
{
    return m_file.Close();
}

std::unique_ptr<STRING> DIFFFILE::RecordText(std::int64_t k)
{
    if (k < 0)
        return nullptr;
    if (!m_file.IsOpen() && Reopen() != kOk)
        return nullptr;
    std::int64_t offset = RecordOffset(k);
    if (offset < 0)
        return nullptr;
    // The reader takes LF CR as one line end where the load saw two, so a record can start
    // where the reader does not expect a line: position whenever the next line's offset is
    // not the record's, not only when the line number differs.
    if (m_file.RecordNumber() != k || m_file.LineOffset() != offset) {
        if (m_file.Seek(offset, k) != kOk)
            return nullptr;
    }
    std::unique_ptr<STRING> text = m_file.ReadLine();
    // The one empty line of an empty file lies at the very end, where the reader finds none.
    if (!text && m_file.HeldSnapshot() != nullptr
        && static_cast<std::uint64_t>(offset) == m_file.HeldSnapshot()->size)
        text = std::make_unique<STRING>();
    return text;
}

const STRING *DIFFFILE::SideName() const
{
    return &m_file.Text();
}

std::span<ColumnDescriptor> DIFFFILE::ColumnDescriptors(int /*column*/, int /*sortMode*/)
{
    return m_column;
}

std::int32_t DIFFFILE::Load(std::string_view path, const CompareOptions &options, STATUS_IO *status)
{
    if (!m_apart && g_lastLoaded == this)
        g_lastLoaded = nullptr;
    m_loadSerial = ++g_loadCount;
    m_twin = nullptr;
    m_notTwin = nullptr;
    ClearRecords();
    m_options = options.optionBits;
    m_tabSize = options.tabSize;
    m_lineEndKinds = 0;
    m_column[0].caption.clear();
    m_loadError = 0;

    if (m_file.IsOpen() && m_file.Close() != kOk)
        return -1;
    m_file.Parse(path);
    errno = 0;
    m_file.TakeSnapshot();
    const FileSnapshot *snapshot = m_file.HeldSnapshot();
    if (snapshot == nullptr) {
        m_loadError = errno != 0 ? errno : ENOENT;
        return -1;
    }
    // A folder opens for reading here but is no text; treat it as a file that cannot be opened.
    if ((snapshot->attributes & kAttrDirectory) != 0) {
        m_loadError = EISDIR;
        return -1;
    }
    errno = 0;
    if (m_file.Open() != kOk) {
        m_loadError = errno;
        return -1;
    }
    (void)m_file.Seek(0, 0);
    // The reader now stands nowhere in particular: the first text request positions it.
    m_file.SetRecordNumber(-1);

    if (m_apart || g_lastLoaded == nullptr || !TakeRecordsOfTwin(*g_lastLoaded)) {
        // Comparing the bytes may have moved the file: the split reads from its start.
        (void)m_file.Seek(0, 0);
        m_file.SetRecordNumber(-1);
        std::int32_t result = ScanLines(static_cast<std::int64_t>(snapshot->size), status);
        if (result != 0)
            return result;
    }
    if (!m_apart) {
        WriteCaption();
        g_lastLoaded = this;
    }
    return 0;
}

bool DIFFFILE::TakeRecordsOfTwin(DIFFFILE &other)
{
    // Only plain text sides: a derived side may load differently or keep records otherwise.
    if (typeid(*this) != typeid(DIFFFILE) || typeid(other) != typeid(DIFFFILE) || &other == this)
        return false;
    if (!other.m_hashesPending || other.m_options != m_options || other.m_tabSize != m_tabSize
        || other.RecordCount() > m_recordLimit)
        return false;
    // Records matched since their load carry a partner instead of their pending state.
    if (std::any_of(other.m_records.begin(), other.m_records.end(),
                    [](const LineRecord &record) { return record.IsMatched(); }))
        return false;
    const FileSnapshot *mine = m_file.HeldSnapshot();
    const FileSnapshot *theirs = other.m_file.HeldSnapshot();
    if (mine == nullptr || theirs == nullptr || mine->size != theirs->size)
        return false;
    if (!SameBytesAs(other)) {
        // Matching need not compare them again.
        m_notTwin = &other;
        m_notTwinLoad = other.m_loadSerial;
        return false;
    }
    m_records.clear();
    ReserveLarge(m_records, other.m_records.size());
    m_records.assign(other.m_records.begin(), other.m_records.end());
    m_widestLine = other.m_widestLine;
    m_lineEndKinds = other.m_lineEndKinds;
    m_hashesPending = true;
    m_twin = &other;
    m_twinLoad = other.m_loadSerial;
    return true;
}

// While hashes are pending, a record's link says whether its text is plain (no tab, no byte
// of 0x80 or above) and its hash field holds the length of its text.
static constexpr std::int32_t kPendingPlain = -2;
static constexpr std::int32_t kPendingOther = -1;
// A text too long for the hash field: its end is found again when hashing.
static constexpr std::uint32_t kLengthUnknown = 0xFFFFFFFF;

// Lines taken per batch: their ends are gathered first, then their records are written in a
// loop that reads no mark bits and, without a status, calls nothing.
static constexpr std::size_t kSplitBatch = 512;

// The lines that begin at at and end inside the buffer, with the fewest steps per line: the
// line ends of a batch are taken off the bit words first, then the batch's records are
// written, a plain line being as wide as it is long (less its trailing spaces, when those do
// not count). Stops before a line that runs on past the buffer, after a CR whose follower is
// not in sight, and before a line that the records have no room for (the caller's check then
// fails the load); 1 when cancelled.
std::int32_t DIFFFILE::SplitWholeLines(const unsigned char *buffer, std::size_t count,
                                       std::int64_t bufferStart, const std::uint64_t *stopBits,
                                       const std::uint64_t *specialBits, LineHasher &measurer,
                                       std::int64_t total, STATUS_IO *status, std::size_t &at,
                                       bool &crPending)
{
    const bool dropsTrailingBlanks
        = (m_options & (kOptIgnoreSpaces | kOptIgnoreTrailingBlanks)) != 0;
    // Locals, not members: the record stores could alias them.
    std::uint32_t widest = m_widestLine;
    std::uint16_t kinds = m_lineEndKinds;
    // Records that may still be added before the count runs out.
    std::size_t room = m_recordLimit > RecordCount()
                           ? static_cast<std::size_t>(m_recordLimit - RecordCount())
                           : 0;
    std::int32_t result = 0;
    // Plain lines of a buffer shorter than a length the records cannot hold, with no status to
    // report to and nothing to measure: the common case, written in the tightest loop.
    const bool simple = !dropsTrailingBlanks && status == nullptr && count < kLengthUnknown;
    // A batch takes whole words, so it can run a word past its size.
    std::array<std::size_t, kSplitBatch + kBitsPerWord> ends;
    // Bit i: line i of the batch is not plain.
    std::array<std::uint64_t, kSplitBatch / kBitsPerWord + 1> notPlain;

    std::size_t next = at; // start of the next line
    bool done = false;
    while (!done && room > 0 && next < count) {
        // The line ends of the batch, and whether each line's text is plain. The LF of a
        // CR LF is gathered too; the writing below takes it with its CR.
        std::size_t gathered = 0;
        notPlain.fill(0);
        std::size_t word = next / kBitsPerWord;
        // The bits of the current word from next on.
        const std::uint64_t from = ~std::uint64_t{0} << (next % kBitsPerWord);
        std::uint64_t stops = stopBits[word] & from;
        std::uint64_t specials = specialBits[word] & from;
        bool lineSpecial = false; // an earlier word of the line held a byte that is not plain
        bool runsOn = false;      // the last line runs on past the buffer
        for (;;) {
            const std::size_t base = word * kBitsPerWord;
            if (specials == 0 && !lineSpecial) {
                // A word of plain text: only its line ends to take.
                for (; stops != 0; stops &= stops - 1)
                    ends[gathered++] = base + static_cast<std::size_t>(std::countr_zero(stops));
            } else {
                for (; stops != 0; stops &= stops - 1) {
                    const auto bit = static_cast<unsigned>(std::countr_zero(stops));
                    const std::uint64_t below = (std::uint64_t{1} << bit) - 1;
                    if (lineSpecial || (specials & below) != 0)
                        notPlain[gathered / kBitsPerWord] |= std::uint64_t{1}
                                                             << (gathered % kBitsPerWord);
                    ends[gathered++] = base + bit;
                    specials &= ~(below | (below + 1));
                    lineSpecial = false;
                }
                lineSpecial = lineSpecial || specials != 0;
            }
            if (gathered >= kSplitBatch)
                break;
            ++word;
            if (word * kBitsPerWord >= count) {
                runsOn = true;
                break;
            }
            stops = stopBits[word];
            specials = specialBits[word];
        }
        // Lines past the room left are gathered again by the next call, which fails the load.
        const std::size_t limit = std::min(gathered, room);
        std::uint64_t anyNotPlain = 0;
        for (std::uint64_t bits : notPlain)
            anyNotPlain |= bits;

        // The records of the batch, appended into room made at once (each written once, not
        // first cleared); the room grows as a vector's does.
        if (m_records.capacity() - m_records.size() < limit)
            ReserveLarge(m_records, std::max(m_records.size() + limit, 2 * m_records.capacity()));
        std::size_t written = 0;
        std::size_t i = 0;
        if (simple && anyNotPlain == 0) {
            // Up to the first line that does not end with an LF.
            const auto offset = bufferStart;
            for (; i < limit; ++i) {
                const std::size_t stop = ends[i];
                if (buffer[stop] != kLf)
                    break;
                const auto n = static_cast<std::uint32_t>(stop - next);
                m_records.push_back(
                    LineRecord{kPendingPlain, n, offset + static_cast<std::int64_t>(next)});
                widest = std::max(widest, n);
                next = stop + 1;
            }
            written = i;
            if (i > 0)
                kinds |= kLineEndLf;
        }
        for (; i < limit; ++i) {
            const std::size_t stop = ends[i];
            const std::size_t n = stop - next;
            const bool plain
                = ((notPlain[i / kBitsPerWord] >> (i % kBitsPerWord)) & std::uint64_t{1}) == 0;
            std::uint32_t width = static_cast<std::uint32_t>(n);
            if (!plain || dropsTrailingBlanks || status != nullptr) {
                // The rarer cases, out of the common line's way.
                const unsigned char *p = buffer + next;
                if (!plain) {
                    measurer.Begin();
                    measurer.Feed(p, n, false);
                    width = measurer.Width();
                } else if (dropsTrailingBlanks) {
                    std::size_t counted = n;
                    while (counted > 0 && p[counted - 1] == ' ')
                        --counted;
                    width = static_cast<std::uint32_t>(counted);
                }
                if (status != nullptr
                    && status->ShowProgress(total, bufferStart + static_cast<std::int64_t>(stop))
                           != 0) {
                    result = 1;
                    done = true;
                    break;
                }
            }
            ++written;
            m_records.push_back(
                LineRecord{plain ? kPendingPlain : kPendingOther,
                           n < kLengthUnknown ? static_cast<std::uint32_t>(n) : kLengthUnknown,
                           bufferStart + static_cast<std::int64_t>(next)});
            widest = std::max(widest, width);
            const unsigned char end = buffer[stop];
            next = stop + 1;
            if (end == kLf) {
                kinds |= kLineEndLf;
            } else if (end == kCr) {
                kinds |= kLineEndCr;
                // CR LF, the usual pair, is taken here; anything else after a CR by the caller.
                if (next < count && buffer[next] == kLf) {
                    kinds |= kLineEndLf;
                    ++next;
                    if (i + 1 < gathered && ends[i + 1] == stop + 1)
                        ++i;
                } else {
                    crPending = true;
                    done = true;
                    break;
                }
            } // a Ctrl-Z or NUL is taken alone
        }
        room -= written;
        if (runsOn)
            break;
    }
    m_widestLine = widest;
    m_lineEndKinds = kinds;
    at = next;
    return result;
}

// Splits the lines in one pass over the file, one record per line with its offset and width;
// the hashes follow when first needed. Lines end at CR, LF, Ctrl-Z or NUL; a CR takes a
// following run of CRs and one LF with it, an LF takes nothing.
std::int32_t DIFFFILE::ScanLines(std::int64_t total, STATUS_IO *status)
{
    const std::size_t blockSize = m_loadBlockSize;
    // Room for carried bytes in front of a block.
    std::vector<unsigned char> storage(kLongestCutSequence + blockSize);
    unsigned char *const buffer = storage.data();
    // The line ends and the bytes that are not plain of the buffer, one bit per byte.
    const std::size_t maskWords = (storage.size() + kBitsPerWord - 1) / kBitsPerWord;
    std::vector<std::uint64_t> stopBits(maskWords);
    std::vector<std::uint64_t> specialBits(maskWords);
    // Lines that are not plain, or run over a block end, are measured by the hasher's rules.
    LineHasher measurer(m_options, m_tabSize, /*measureOnly=*/true);
    const bool dropsTrailingBlanks
        = (m_options & (kOptIgnoreSpaces | kOptIgnoreTrailingBlanks)) != 0;

    std::int64_t bufferStart = 0; // file offset of buffer[0]
    std::int64_t lineStart = 0;
    std::int64_t lineLength = 0;
    std::size_t carried = 0;
    bool inLine = false;    // a line's text has begun and not yet ended
    bool linePlain = true;  // every piece of the line so far was plain
    bool measuring = false; // the measurer has the line's pieces
    bool crPending = false; // the last line ended with CR: CRs and one LF may follow
    bool atEnd = false;
    bool firstBlock = true;

    auto finishLine = [&](std::int64_t textEnd, std::uint32_t width) -> std::int32_t {
        if (status != nullptr && status->ShowProgress(total, textEnd) != 0)
            return 1;
        if (RecordCount() >= m_recordLimit) {
            // More lines than a record number can count: nothing partial is kept.
            ClearRecords();
            (void)m_file.Close();
            m_loadError = EFBIG;
            return -1;
        }
        const std::uint32_t length
            = lineLength < kLengthUnknown ? static_cast<std::uint32_t>(lineLength) : kLengthUnknown;
        m_records.push_back(
            LineRecord{linePlain ? kPendingPlain : kPendingOther, length, lineStart});
        if (width > m_widestLine)
            m_widestLine = width;
        inLine = false;
        return 0;
    };

    m_hashesPending = true;
    while (!atEnd) {
        std::int64_t got = m_file.ReadAt(-1, buffer + carried, blockSize);
        if (got < 0)
            got = 0; // a read error ends the input
        atEnd = got < static_cast<std::int64_t>(blockSize);
        const std::size_t count = carried + static_cast<std::size_t>(got);
        MarkLineBytes(buffer, count, stopBits.data(), specialBits.data());

        std::size_t at = 0; // the next byte not yet taken
        while (at < count) {
            if (!inLine && !crPending) {
                std::int32_t split
                    = SplitWholeLines(buffer, count, bufferStart, stopBits.data(),
                                      specialBits.data(), measurer, total, status, at, crPending);
                if (split != 0)
                    return split;
                if (at >= count)
                    break;
            }
            if (crPending) {
                if (buffer[at] == kCr) {
                    m_lineEndKinds |= kLineEndCrCr;
                    ++at;
                    continue;
                }
                crPending = false;
                if (buffer[at] == kLf) {
                    m_lineEndKinds |= kLineEndLf;
                    ++at;
                    continue;
                }
            }
            if (!inLine) {
                inLine = true;
                lineStart = bufferStart + static_cast<std::int64_t>(at);
                lineLength = 0;
                linePlain = true;
                measuring = false;
            }
            const std::size_t stop = NextMarked(stopBits.data(), at, count);
            const bool plain = !AnyMarked(specialBits.data(), at, stop);
            const unsigned char *p = buffer + at;
            if (stop == count) {
                // The text goes on in the next block.
                std::size_t keep = atEnd ? 0 : CutSequenceLength(p, buffer + count);
                const std::size_t n = count - at - keep;
                if (!measuring) {
                    measuring = true;
                    measurer.Begin();
                }
                measurer.Feed(p, n, plain);
                lineLength += static_cast<std::int64_t>(n);
                linePlain = linePlain && plain;
                at = count - keep;
                break;
            }
            const std::size_t n = stop - at;
            lineLength += static_cast<std::int64_t>(n);
            linePlain = linePlain && plain;
            std::uint32_t width = 0;
            if (!measuring && plain) {
                // One column per byte, up to the last that is not a space when trailing
                // blanks do not count.
                std::size_t counted = n;
                if (dropsTrailingBlanks)
                    while (counted > 0 && p[counted - 1] == ' ')
                        --counted;
                width = static_cast<std::uint32_t>(counted);
            } else {
                if (!measuring)
                    measurer.Begin();
                measurer.Feed(p, n, plain);
                width = measurer.Width();
            }
            if (buffer[stop] == kCr) {
                m_lineEndKinds |= kLineEndCr;
                crPending = true;
            } else if (buffer[stop] == kLf) {
                m_lineEndKinds |= kLineEndLf;
            } // a Ctrl-Z or NUL is taken alone
            std::int32_t finished
                = finishLine(bufferStart + static_cast<std::int64_t>(stop), width);
            if (finished != 0)
                return finished;
            at = stop + 1;
        }

        if (firstBlock && !atEnd) {
            // Room for the lines the file will probably hold, judged by the first block, with
            // ample slack: pages never written cost nothing, and the vector is never copied.
            firstBlock = false;
            const auto bytesPerLine = static_cast<std::int64_t>(blockSize) / (RecordCount() + 1);
            const std::int64_t expected = total / std::max<std::int64_t>(bytesPerLine, 1);
            ReserveLarge(m_records, static_cast<std::size_t>(std::min<std::int64_t>(
                                        2 * expected + 1024, std::min(total + 1, m_recordLimit))));
        }
        carried = count - at;
        bufferStart += static_cast<std::int64_t>(at);
        std::memmove(buffer, buffer + at, carried);
    }

    // Text after the last line end is a line; so is the nothing of an empty file.
    if (inLine || bufferStart == 0) {
        if (!inLine) {
            lineStart = 0;
            lineLength = 0;
            linePlain = true;
            measuring = false;
        }
        std::int32_t finished = finishLine(bufferStart, measuring ? measurer.Width() : 0);
        if (finished != 0)
            return finished;
    }
    return 0;
}

void DIFFFILE::HashPendingRecords()
{
    m_hashesPending = false;
    if (m_records.empty())
        return;
    // Lines of a file that changed since the load, or cannot be read, hash as far as their
    // bytes could be read (an empty line when none could).
    const bool readable = m_file.ChangedOnDisk() == 0 && (m_file.IsOpen() || m_file.Open() == kOk);

    const std::size_t blockSize = m_loadBlockSize;
    // Whole lines are hashed reading a little past their end.
    std::vector<unsigned char> storage(kLongestCutSequence + blockSize + kWholeLineReadAhead);
    unsigned char *const buffer = storage.data();
    LineHasher hasher(m_options, m_tabSize);
    std::int64_t windowStart = 0; // file offset of buffer[0]
    std::size_t windowCount = 0;
    bool atEnd = !readable;
    // Keeps the bytes from keepFrom on and reads the next block behind them.
    auto refill = [&](std::int64_t keepFrom) {
        const std::int64_t windowEnd = windowStart + static_cast<std::int64_t>(windowCount);
        const auto keep = static_cast<std::size_t>(windowEnd - keepFrom);
        std::memmove(buffer, buffer + (keepFrom - windowStart), keep);
        std::int64_t got = m_file.ReadAt(windowEnd, buffer + keep, blockSize);
        if (got < 0)
            got = 0;
        atEnd = got < static_cast<std::int64_t>(blockSize);
        windowStart = keepFrom;
        windowCount = keep + static_cast<std::size_t>(got);
    };

    const bool bytesAsTheyAre = hasher.HashesBytesAsTheyAre();
    const std::size_t count = m_records.size();
    for (std::size_t k = 0; k < count;) {
        // The common lines, plain and whole in the window: their bytes are their hashes (their
        // widths were measured when loading), taken in one go.
        std::size_t run = k;
        if (bytesAsTheyAre) {
            const std::int64_t windowEnd = windowStart + static_cast<std::int64_t>(windowCount);
            while (run < count && m_records[run].link == kPendingPlain
                   && m_records[run].hash != kLengthUnknown && m_records[run].offset >= windowStart
                   && m_records[run].offset + std::int64_t{m_records[run].hash} <= windowEnd)
                ++run;
        }
        if (run > k) {
            HashWholeLinesOf(m_records.data() + k, run - k, buffer, windowStart);
            k = run;
            continue;
        }
        LineRecord &record = m_records[k++];
        const bool plain = record.link == kPendingPlain;
        const bool lengthKnown = record.hash != kLengthUnknown;
        std::int64_t left = lengthKnown ? std::int64_t{record.hash} : INT64_MAX;
        std::int64_t at = record.offset;
        hasher.Begin();
        while (left > 0) {
            const std::int64_t windowEnd = windowStart + static_cast<std::int64_t>(windowCount);
            if (at >= windowEnd) {
                if (atEnd)
                    break;
                refill(windowEnd);
                continue;
            }
            const unsigned char *p = buffer + (at - windowStart);
            const std::int64_t available = windowEnd - at;
            if (!lengthKnown) {
                bool ignored = false;
                const unsigned char *stop = FindLineStop(p, p + available, ignored);
                if (stop < p + available)
                    left = stop - p;
            }
            if (left <= available) {
                hasher.Feed(p, static_cast<std::size_t>(left), plain);
                break;
            }
            const std::size_t keep = plain || atEnd ? 0 : CutSequenceLength(p, p + available);
            const std::size_t n = static_cast<std::size_t>(available) - keep;
            hasher.Feed(p, n, plain);
            at += static_cast<std::int64_t>(n);
            left -= static_cast<std::int64_t>(n);
            if (atEnd)
                break;
            refill(at);
        }
        const LineHash hash = hasher.Finish();
        if (!record.IsMatched())
            record.link = UnmatchedLink(hash.h16);
        record.hash = hash.h32;
    }
    // The reader no longer stands where it thinks: the next text request positions it.
    m_file.SetRecordNumber(-1);
}

bool DIFFFILE::HasSameLinesAs(DIFFITEM &otherItem)
{
    auto *other = dynamic_cast<DIFFFILE *>(&otherItem);
    if (other == nullptr || other == this || !m_hashesPending || !other->m_hashesPending)
        return false;
    if (m_options != other->m_options || m_tabSize != other->m_tabSize
        || RecordCount() != other->RecordCount() || m_widestLine != other->m_widestLine
        || m_lineEndKinds != other->m_lineEndKinds)
        return false;
    const FileSnapshot *mine = m_file.HeldSnapshot();
    const FileSnapshot *theirs = other->m_file.HeldSnapshot();
    if (mine == nullptr || theirs == nullptr || mine->size != theirs->size)
        return false;
    // One side copied the other's records after comparing the bytes: unless a file changed
    // since, they need not be read again.
    const bool twins = (m_twin == other && m_twinLoad == other->m_loadSerial)
                       || (other->m_twin == this && other->m_twinLoad == m_loadSerial);
    if (twins)
        return m_file.ChangedOnDisk() == 0 && other->m_file.ChangedOnDisk() == 0;
    const bool differed = (m_notTwin == other && m_notTwinLoad == other->m_loadSerial)
                          || (other->m_notTwin == this && other->m_notTwinLoad == m_loadSerial);
    return !differed && SameBytesAs(*other);
}

namespace {

// Files of this size and more are compared in two halves at once, the second half on a thread
// of its own with descriptors of its own.
constexpr std::int64_t kCompareInHalvesFrom = std::int64_t{8} << 20;

// Whether bytes [from, to) of a and b are equal: false at the first difference, where either
// file ends early or cannot be read, or once stop is set (which a difference sets too).
bool SameBytesBetween(BASEFILE &a, BASEFILE &b, std::int64_t from, std::int64_t to,
                      std::atomic<bool> &stop)
{
    std::vector<unsigned char> mine(kCompareBlockSize);
    std::vector<unsigned char> theirs(kCompareBlockSize);
    for (std::int64_t offset = from; offset < to;) {
        if (stop.load(std::memory_order_relaxed))
            return false;
        const auto want = static_cast<std::size_t>(
            std::min<std::int64_t>(static_cast<std::int64_t>(kCompareBlockSize), to - offset));
        if (a.ReadAt(offset, mine.data(), want) != static_cast<std::int64_t>(want)
            || b.ReadAt(offset, theirs.data(), want) != static_cast<std::int64_t>(want)
            || std::memcmp(mine.data(), theirs.data(), want) != 0) {
            stop.store(true, std::memory_order_relaxed);
            return false;
        }
        offset += static_cast<std::int64_t>(want);
    }
    return true;
}

} // namespace

// Compares the two files block by block, up to the first difference; large files in two
// halves at once.
bool DIFFFILE::SameBytesAs(DIFFFILE &other)
{
    for (DIFFFILE *side : {this, &other}) {
        if (side->m_file.ChangedOnDisk() != 0)
            return false;
        if (!side->m_file.IsOpen() && side->m_file.Open() != kOk)
            return false;
        side->m_file.SetRecordNumber(-1); // the reads below move the file
    }
    const std::int64_t size = static_cast<std::int64_t>(m_file.HeldSnapshot()->size);
    std::atomic<bool> stop{false};
    bool same = false;
    if (size >= kCompareInHalvesFrom) {
        // The second half through descriptors of its own.
        bool secondSame = false;
        RunSideBySide(
            [&] {
                BASEFILE mine(m_file.Text());
                BASEFILE theirs(other.m_file.Text());
                secondSame = mine.Open() == kOk && theirs.Open() == kOk
                             && SameBytesBetween(mine, theirs, size / 2, size, stop);
            },
            [&] { same = SameBytesBetween(m_file, other.m_file, 0, size / 2, stop); });
        same = same && secondSame;
    } else {
        same = SameBytesBetween(m_file, other.m_file, 0, size, stop);
    }
    // Neither file has grown since.
    unsigned char beyond = 0;
    return same && m_file.ReadAt(size, &beyond, 1) == 0
           && other.m_file.ReadAt(size, &beyond, 1) == 0;
}

// "date  -  size bytes  -  count lines", then the kinds of line end seen.
void DIFFFILE::WriteCaption()
{
    const FileSnapshot *snapshot = m_file.HeldSnapshot();
    std::unique_ptr<STRING> date
        = snapshot != nullptr ? FormatDateTime(snapshot->date, snapshot->time) : nullptr;
    STRING &caption = m_column[0].caption;
    caption = date ? *date : STRING();
    caption += "  -  ";
    caption += std::to_string(snapshot != nullptr ? snapshot->size : 0);
    caption += " bytes  -  ";
    caption += std::to_string(RecordCount());
    caption += " lines";
    if (m_lineEndKinds != 0) {
        caption += "  - ";
        if ((m_lineEndKinds & kLineEndCr) != 0)
            caption += "cr";
        if ((m_lineEndKinds & kLineEndCrCr) != 0)
            caption += "cr";
        if ((m_lineEndKinds & kLineEndLf) != 0)
            caption += "lf";
    }
}
