#include "engine/difffile.h"

#include "core/file_snapshot.h"
#include "core/locale_settings.h"
#include "core/status_io.h"
#include "engine/line_hash.h"

#include <climits>
#include <cstring>
#include <string>

namespace {

constexpr std::size_t kLoadBlockSize = 8192;
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

} // namespace

DIFFFILE::DIFFFILE() = default;

DIFFFILE::~DIFFFILE() = default;

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
    ClearRecords();
    m_options = options.optionBits;
    m_tabSize = options.tabSize;
    m_lineEndKinds = 0;
    m_column[0].caption.clear();

    if (m_file.IsOpen() && m_file.Close() != kOk)
        return -1;
    m_file.Parse(path);
    m_file.TakeSnapshot();
    const FileSnapshot *snapshot = m_file.HeldSnapshot();
    // A folder opens for reading here but is no text; treat it as a file that cannot be opened.
    if (snapshot == nullptr || (snapshot->attributes & kAttrDirectory) != 0)
        return -1;
    if (m_file.Open() != kOk)
        return -1;
    (void)m_file.Seek(0, 0);
    // The reader now stands nowhere in particular: the first text request positions it.
    m_file.SetRecordNumber(-1);

    std::int32_t result = ScanLines(static_cast<std::int64_t>(snapshot->size), status);
    if (result != 0)
        return result;
    WriteCaption();
    return 0;
}

// One pass over the file in blocks, one line record per line. Lines end at CR, LF, Ctrl-Z or
// NUL; a CR takes a following run of CRs and one LF with it, an LF takes nothing.
std::int32_t DIFFFILE::ScanLines(std::int64_t total, STATUS_IO *status)
{
    // Room for carried bytes in front of a block; loads are short-lived, so the stack serves.
    unsigned char buffer[kLongestCutSequence + kLoadBlockSize];
    LineHasher hasher(m_options, m_tabSize);

    std::int64_t bufferStart = 0; // file offset of buffer[0]
    std::int64_t lineStart = 0;
    std::size_t carried = 0;
    bool inLine = false;    // a line's text has begun and not yet ended
    bool crPending = false; // the last line ended with CR: CRs and one LF may follow
    bool atEnd = false;

    auto finishLine = [&](std::int64_t textEnd) -> std::int32_t {
        if (status != nullptr && status->ShowProgress(total, textEnd) != 0)
            return 1;
        if (RecordCount() >= m_recordLimit) {
            // More lines than a record number can count: nothing partial is kept.
            ClearRecords();
            (void)m_file.Close();
            return -1;
        }
        LineHash hash = hasher.Finish();
        AddRecord(hash.h16, hash.h32, lineStart, hash.width);
        inLine = false;
        return 0;
    };

    while (!atEnd) {
        std::int64_t got = m_file.ReadAt(-1, buffer + carried, kLoadBlockSize);
        if (got < 0)
            got = 0; // a read error ends the input
        atEnd = got < static_cast<std::int64_t>(kLoadBlockSize);
        const unsigned char *p = buffer;
        const unsigned char *end = buffer + carried + static_cast<std::size_t>(got);

        while (p < end) {
            if (crPending) {
                if (*p == kCr) {
                    m_lineEndKinds |= kLineEndCrCr;
                    ++p;
                    continue;
                }
                crPending = false;
                if (*p == kLf) {
                    m_lineEndKinds |= kLineEndLf;
                    ++p;
                    continue;
                }
            }
            if (!inLine) {
                inLine = true;
                lineStart = bufferStart + (p - buffer);
                hasher.Begin();
            }
            bool plain = false;
            const unsigned char *stop = FindLineStop(p, end, plain);
            if (stop == end) {
                // The text goes on in the next block.
                std::size_t keep = atEnd ? 0 : CutSequenceLength(p, end);
                hasher.Feed(p, static_cast<std::size_t>(end - p) - keep, plain);
                p = end - keep;
                break;
            }
            hasher.Feed(p, static_cast<std::size_t>(stop - p), plain);
            if (*stop == kCr) {
                m_lineEndKinds |= kLineEndCr;
                crPending = true;
            } else if (*stop == kLf) {
                m_lineEndKinds |= kLineEndLf;
            } // a Ctrl-Z or NUL is taken alone
            std::int32_t finished = finishLine(bufferStart + (stop - buffer));
            if (finished != 0)
                return finished;
            p = stop + 1;
        }

        carried = static_cast<std::size_t>(end - p);
        bufferStart += p - buffer;
        std::memmove(buffer, p, carried);
    }

    // Text after the last line end is a line; so is the nothing of an empty file.
    if (inLine || bufferStart == 0) {
        if (!inLine) {
            lineStart = 0;
            hasher.Begin();
        }
        std::int32_t finished = finishLine(bufferStart);
        if (finished != 0)
            return finished;
    }
    return 0;
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
