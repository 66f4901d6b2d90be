#include "console/report.h"

#include "console/command_line.h"
#include "console/messages.h"
#include "console/output.h"
#include "console/pager.h"
#include "core/options.h"
#include "core/string.h"
#include "core/utf8.h"
#include "engine/baseitem.h"
#include "engine/difflist.h"
#include "engine/directoryobject.h"
#include "engine/image_module.h"
#include "engine/item.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

// The parser takes no narrower width; a narrower one here would leave no room for the columns.
constexpr std::int32_t kNarrowestWidth = 20;
// The bits of a row's flags that decide whether and how it is shown.
constexpr std::uint8_t kRowStateBits = kEntryDiffers | kEntryShown;
// Record numbers in a separator line are at least this many digits, zero-padded.
constexpr int kSeparatorNumberDigits = 4;

constexpr char kSeparatorChar = '-';
constexpr char kSeparatorMarkers = '+';
constexpr char kSeparatorNumbers = ' ';
constexpr char kMarkerEqual = '|';
constexpr char kMarkerLeft = '<';
constexpr char kMarkerRight = '>';
constexpr char kMarkerBoth = '+';
constexpr char kMarkerContinued = '/';
constexpr char kMarkerBlank = ' ';

std::size_t DigitCount(std::int64_t value)
{
    std::size_t digits = 1;
    while (value >= 10) {
        value /= 10;
        ++digits;
    }
    return digits;
}

// The record number as the line shows it: one-based, zero-padded to digits.
STRING ZeroPadded(std::int64_t record, std::size_t digits)
{
    STRING number = std::to_string(record + 1);
    if (number.size() < digits)
        number.insert(0, digits - number.size(), '0');
    return number;
}

constexpr std::uint64_t kEveryByte = 0x0101010101010101ULL;
constexpr std::uint64_t kHighBits = kEveryByte * 0x80;

// Whether every byte of text is below 0x80: each then takes one column, and the widths need
// no decoding (most report lines are such).
bool IsAscii(std::string_view text)
{
    std::size_t i = 0;
    std::uint64_t any = 0;
    for (; i + sizeof any <= text.size(); i += sizeof any) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + i, sizeof word);
        any |= word;
    }
    for (; i < text.size(); ++i)
        any |= static_cast<unsigned char>(text[i]);
    return (any & kHighBits) == 0;
}

std::size_t WidthOf(std::string_view text)
{
    return IsAscii(text) ? text.size() : DisplayWidth(text);
}

// ascii: text is known to be ASCII, and its width is its length.
void PadToColumns(STRING &text, std::size_t columns, bool ascii = false)
{
    const std::size_t width = ascii ? text.size() : WidthOf(text);
    if (width < columns)
        text.append(columns - width, ' ');
}

void RemoveTrailingSpaces(STRING &text)
{
    const std::size_t end = text.find_last_not_of(' ');
    text.erase(end == STRING::npos ? 0 : end + 1);
}

constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kDelete = 0x7F;
// UTF-8 writes the C1 controls U+0080..U+009F as this byte and one of 0x80..0x9F.
constexpr unsigned char kC1Lead = 0xC2;

// What one pass over a text tells its layout.
struct TextKind
{
    bool ascii = true;            // every byte below 0x80: one column each
    bool mayHoldControls = false; // a C0 control, DEL, or the lead byte of a C1 control
};

// Eight bytes at a time, as most lines are plain ASCII: a word has a byte below n when
// subtracting n from every byte borrows into a high bit that was clear, and a byte equal to b
// when the word XOR b has a byte below 1.
TextKind KindOf(std::string_view text)
{
    const auto below
        = [](std::uint64_t word, unsigned char n) { return (word - kEveryByte * n) & ~word; };
    std::uint64_t high = 0;
    std::uint64_t controls = 0;
    const auto take = [&](std::uint64_t word) {
        high |= word;
        controls |= below(word, kFirstPrintable) | below(word ^ (kEveryByte * kDelete), 1);
    };
    std::size_t i = 0;
    for (; i + sizeof high <= text.size(); i += sizeof high) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + i, sizeof word);
        take(word);
    }
    if (i < text.size()) {
        // The last piece is filled up with blanks, which are neither high nor controls.
        std::uint64_t word = kEveryByte * ' ';
        std::memcpy(&word, text.data() + i, text.size() - i);
        take(word);
    }
    TextKind kind;
    kind.ascii = (high & kHighBits) == 0;
    kind.mayHoldControls = (controls & kHighBits) != 0
                           || (!kind.ascii && text.find(static_cast<char>(kC1Lead)) != text.npos);
    return kind;
}

// A control character in a line or a name (a newline, a tab or other C0 control, DEL, or a C1
// control) would break the line or its columns, or change the terminal's state, so each shows
// as one '?'. Each takes one column either way, so the columns keep their widths.
STRING WithoutControlCharacters(std::string_view text)
{
    STRING shown;
    shown.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < kFirstPrintable || byte == kDelete) {
            shown += '?';
        } else if (byte == kC1Lead && i + 1 < text.size()
                   && (static_cast<unsigned char>(text[i + 1]) & 0xE0) == 0x80) {
            shown += '?';
            ++i;
        } else {
            shown += text[i];
        }
    }
    return shown;
}

// One side of the row being printed: its text, and how much of it earlier lines have shown.
struct SideText
{
    std::int64_t record = -1;
    STRING text;
    std::size_t shown = 0; // bytes of text already printed
    bool ascii = true;     // every byte of text takes one column

    [[nodiscard]] bool HasRecord() const { return record >= 0; }
    [[nodiscard]] bool HasMore() const { return shown < text.size(); }

    // Moves the next piece that fits in columns to out, never splitting a character. A
    // character wider than the whole column goes out alone, so folding always moves on; a
    // column with no room at all shows nothing more of the text.
    void TakeColumns(STRING &out, std::size_t columns)
    {
        const std::string_view rest = std::string_view(text).substr(shown);
        if (columns == 0) {
            shown = text.size();
            return;
        }
        std::size_t length
            = ascii ? std::min(rest.size(), columns) : PrefixForColumns(rest, columns);
        if (length == 0 && !rest.empty())
            length = DecodeUtf8(rest).length;
        out.append(rest.substr(0, length));
        shown += length;
    }
};

class ReportPrinter
{
public:
    ReportPrinter(const CompareOptions &options, const ReportSides &sides, const DIFFLIST &list,
                  Pager &pager);

    bool Print();

private:
    [[nodiscard]] std::uint8_t RowState(const DiffEntry &entry) const;
    [[nodiscard]] bool IsShown(std::uint8_t state) const { return state != 0 || m_showAll; }
    void MeasureColumns();
    [[nodiscard]] STRING NumberedSeparator(const DiffEntry &entry) const;
    [[nodiscard]] char MiddleMarker(const DiffEntry &entry, bool differs) const;
    [[nodiscard]] STRING Column(SideText &side, bool firstLine, char marker,
                                std::size_t textColumns) const;
    [[nodiscard]] static SideText TextOf(BASEITEM *object, std::int32_t record, int tabSize);
    bool PrintRow(const DiffEntry &entry, std::uint8_t state);

    const CompareOptions &m_options;
    const ReportSides &m_sides;
    const DIFFLIST &m_list;
    Pager &m_pager;

    bool m_numbers;     // line numbers instead of the middle marker
    bool m_showAll;     // equal rows too
    bool m_fold;        // long lines go on in continuation lines
    bool m_listingMode; // a listing is involved
    std::size_t m_width;
    std::size_t m_column;      // c: the width of each half
    std::size_t m_numberWidth; // n: digits of the row count
    std::size_t m_leftText;    // text columns of each side
    std::size_t m_rightText;
    std::size_t m_leftField; // the left column is padded to this
    STRING m_separator;
};

ReportPrinter::ReportPrinter(const CompareOptions &options, const ReportSides &sides,
                             const DIFFLIST &list, Pager &pager)
    : m_options(options), m_sides(sides), m_list(list), m_pager(pager),
      m_numbers((options.optionBits & kOptLineNumbers) != 0),
      m_showAll((options.optionBits & kOptShowAll) != 0),
      m_fold((options.optionBits & kOptFoldLines) != 0), m_listingMode(sides.listingMode)
{
    m_width = static_cast<std::size_t>(std::max(options.outputWidth, kNarrowestWidth));
    m_column = (m_width - 2) / 2;
    m_numberWidth = DigitCount(list.Count());
    // Number mode: "0042+text" in each half, the left half padded by one blank. Marker mode:
    // the left text, a blank, the middle marker and a blank, then the right text. Either way
    // the right column starts at c + 2 or c + 3 and an odd width is filled exactly; an even
    // width leaves one column less for the right text, so no line grows past the width.
    const std::size_t prefix = m_numbers ? m_numberWidth + 1 : 0;
    m_leftField = m_column + (m_numbers ? 2 : 1);
    const std::size_t rightStart = m_numbers ? m_column + 2 : m_column + 3;
    m_leftText = m_numbers ? (m_column > m_numberWidth ? m_column - m_numberWidth : 0) : m_column;
    const std::size_t rightRoom = m_width > rightStart ? m_width - rightStart : 0;
    m_rightText = rightRoom > prefix ? rightRoom - prefix : 0;

    m_separator.assign(m_width, kSeparatorChar);
    m_separator[m_column + 1] = m_numbers ? kSeparatorNumbers : kSeparatorMarkers;
}

std::uint8_t ReportPrinter::RowState(const DiffEntry &entry) const
{
    std::uint8_t state = entry.flags & kRowStateBits;
    // Listings have no context rows, and showing everything makes them meaningless.
    if (m_listingMode || m_showAll)
        state &= static_cast<std::uint8_t>(~kEntryShown);
    return state;
}

// Listings lay their record texts out in columns as wide as the widest text seen: read every
// text that will be shown first, so that all lines get the final widths.
void ReportPrinter::MeasureColumns()
{
    BASEITEM *objects[] = {m_sides.left, m_sides.right};
    const bool measure = std::any_of(std::begin(objects), std::end(objects), [](BASEITEM *object) {
        return object != nullptr && object->IsListing();
    });
    if (!measure)
        return; // other records read the same whatever was read before
    for (const DiffEntry &entry : m_list.Entries()) {
        if (!IsShown(RowState(entry)))
            continue;
        if (m_sides.left != nullptr && entry.left >= 0)
            (void)m_sides.left->RecordText(entry.left);
        if (m_sides.right != nullptr && entry.right >= 0)
            (void)m_sides.right->RecordText(entry.right);
    }
    for (BASEITEM *object : objects) {
        if (object != nullptr)
            (void)object->WidenColumns();
    }
}

// The separator before a run of rows when every row is shown: it tells where in each file the
// run starts.
STRING ReportPrinter::NumberedSeparator(const DiffEntry &entry) const
{
    STRING line = m_separator;
    auto overlay = [&line](std::size_t position, std::int64_t record) {
        const STRING number = ZeroPadded(record, kSeparatorNumberDigits);
        if (position < line.size())
            line.replace(position, std::min(number.size(), line.size() - position), number);
    };
    if (entry.left >= 0)
        overlay(0, entry.left);
    if (entry.right >= 0)
        overlay(m_column + 1, entry.right);
    return line;
}

char ReportPrinter::MiddleMarker(const DiffEntry &entry, bool differs) const
{
    BASEITEM *left = m_sides.left;
    BASEITEM *right = m_sides.right;
    if (m_listingMode && left != nullptr && right != nullptr && left->IsListing()
        && right->IsListing()) {
        // Two listings: the marker relates the two entries in the order of the date sort
        // (newest first), where a missing entry comes before any other.
        auto *leftListing = dynamic_cast<DIRECTORYOBJECT *>(left);
        auto *rightListing = dynamic_cast<DIRECTORYOBJECT *>(right);
        if (leftListing != nullptr && rightListing != nullptr) {
            const DirEntry *leftEntry = leftListing->Record(entry.left);
            const DirEntry *rightEntry = rightListing->Record(entry.right);
            int order = 0;
            if (leftEntry == nullptr)
                order = -1;
            else if (rightEntry == nullptr)
                order = 1;
            else
                order = DIRECTORYOBJECT::CompareEntries(*leftEntry, *rightEntry, kSortDate);
            if (order > 0)
                return kMarkerRight;
            if (order < 0)
                return kMarkerLeft;
            return differs ? kMarkerBoth : kMarkerEqual;
        }
    }
    if (!differs)
        return kMarkerEqual;
    if (entry.right < 0)
        return kMarkerLeft;
    if (entry.left < 0)
        return kMarkerRight;
    return kMarkerBoth;
}

// One side's column of an output line: in number mode the record number and the marker (blanks
// and the marker on a continuation line), then the next piece of the text. A side without a
// record, or whose text has ended before a continuation line, gives an empty column.
STRING ReportPrinter::Column(SideText &side, bool firstLine, char marker,
                             std::size_t textColumns) const
{
    STRING column;
    if (!side.HasRecord() || (!firstLine && !side.HasMore()))
        return column;
    if (m_numbers) {
        column = firstLine ? ZeroPadded(side.record, m_numberWidth) : STRING(m_numberWidth, ' ');
        column += marker;
    }
    side.TakeColumns(column, textColumns);
    return column;
}

SideText ReportPrinter::TextOf(BASEITEM *object, std::int32_t record, int tabSize)
{
    SideText side;
    side.record = record;
    if (object == nullptr || record < 0)
        return side;
    if (std::unique_ptr<STRING> text = object->RecordText(record)) {
        // A listing's text is made of names, where a tab is a control character like any
        // other; a text file's tabs are expanded.
        if (!object->IsListing() && text->find('\t') != STRING::npos)
            side.text = ExpandTabs(*text, tabSize);
        else
            side.text = std::move(*text);
        const TextKind kind = KindOf(side.text);
        if (kind.mayHoldControls)
            side.text = WithoutControlCharacters(side.text);
        side.ascii = kind.ascii;
    }
    return side;
}

bool ReportPrinter::PrintRow(const DiffEntry &entry, std::uint8_t state)
{
    const bool differs = (state & kEntryDiffers) != 0;
    SideText left = TextOf(m_sides.left, entry.left, m_options.tabSize);
    SideText right = TextOf(m_sides.right, entry.right, m_options.tabSize);

    char sideMarker = kMarkerEqual;
    char middle = kMarkerEqual;
    if (m_numbers) {
        // Without context or equal rows every row shown differs; the '+' is only needed to
        // tell them from the rows around them.
        const bool markDifferences = m_showAll || m_options.marginLines != 0;
        sideMarker = differs && markDifferences ? kMarkerBoth : kMarkerBlank;
    } else {
        middle = MiddleMarker(entry, differs);
    }

    bool firstLine = true;
    do {
        STRING line = Column(left, firstLine, sideMarker, m_leftText);
        // The number and the marker are ASCII, so an ASCII text gives an ASCII column.
        PadToColumns(line, m_leftField, left.ascii);
        if (!m_numbers) {
            line += middle;
            line += ' ';
        }
        STRING rightColumn = Column(right, firstLine, sideMarker, m_rightText);
        RemoveTrailingSpaces(rightColumn);
        line += rightColumn;
        if (!m_pager.PrintLine(line))
            return false;
        firstLine = false;
        sideMarker = kMarkerContinued;
        middle = kMarkerBlank;
    } while (m_fold && (left.HasMore() || right.HasMore()));
    return true;
}

bool ReportPrinter::Print()
{
    // The header: the left path over the left column, the right name from the middle on. A
    // name too long for its half still keeps a blank before the other one.
    const STRING leftName = WithoutControlCharacters(m_sides.leftName);
    STRING header(leftName);
    PadToColumns(header, m_leftField);
    if (DisplayWidth(leftName) >= m_leftField)
        header += ' ';
    header += WithoutControlCharacters(m_sides.rightName);
    if (!m_pager.PrintLine(header))
        return false;

    MeasureColumns();
    const bool numberedSeparators = !m_numbers && m_showAll && !m_listingMode;
    // Runs of rows are set apart where the shown rows are not contiguous, and, when every row
    // is shown, where differences begin and end; a listing without equal rows is one run.
    const bool separateRuns = !m_listingMode || m_showAll;
    bool anyShown = false;
    std::uint8_t previous = 0;
    for (const DiffEntry &entry : m_list.Entries()) {
        const std::uint8_t state = RowState(entry);
        if (IsShown(state)) {
            const bool runChanges
                = state != previous && (state == 0 || previous == 0) && separateRuns;
            if (!anyShown || runChanges) {
                const STRING separator
                    = numberedSeparators ? NumberedSeparator(entry) : m_separator;
                if (!m_pager.PrintLine(separator))
                    return false;
            }
            anyShown = true;
            if (!PrintRow(entry, state))
                return false;
        }
        previous = state;
    }
    return m_pager.PrintLine(m_separator);
}

constexpr int kStatusReport = 0;
constexpr int kStatusFailure = 1;

// Loads both sides, telling the reader which one the dots are for.
bool LoadSides(ITEM &left, ITEM &right, const CompareOptions &options, STATUS_CONSOLE *status)
{
    return LoadBothSides(left, right, options, status,
                         [status](const ITEM &side) {
                             if (status == nullptr)
                                 return;
                             const STRING message
                                 = STRING(kLoadingText) + ' ' + side.ShownName() + ' ';
                             status->ShowMessage(message.c_str());
                         })
           == kOk;
}

// The line a failed run ends with. A side that failed to load names what could not be read
// (the side, or a folder in its tree) and why; a cancel or a failed comparison names the right
// side and no reason.
void PrintRunFailure(const ITEM &left, const ITEM &right)
{
    for (const ITEM *side : {&left, &right}) {
        if (side->LoadFailed()) {
            PrintFailureLine(kFatalKind, side->ErrorPath().c_str(), side->ErrorText().c_str());
            return;
        }
    }
    PrintFailureLine(kFatalKind, right.c_str(), nullptr);
}

// Tells apart the pairs of files the directory comparison left at "same as far as known" by
// their contents: every row with both sides not yet marked differing is asked again, which
// reads and keeps the CRC-32 of both files. Only two listings have such rows. False when the
// reader cancelled.
bool CompareContents(ITEM &left, ITEM &right, DIFFLIST &list, const CompareOptions &options,
                     STATUS_CONSOLE *status)
{
    auto *leftListing = dynamic_cast<DIRECTORYOBJECT *>(left.Object());
    if (leftListing == nullptr || dynamic_cast<DIRECTORYOBJECT *>(right.Object()) == nullptr)
        return true;
    if (status != nullptr)
        status->ShowMessage(kComparingContentsText);
    std::vector<DiffEntry> &rows = list.Entries();
    const auto total = static_cast<std::int64_t>(rows.size());
    for (std::int64_t i = 0; i < total; ++i) {
        DiffEntry &row = rows[static_cast<std::size_t>(i)];
        if (row.left >= 0 && row.right >= 0 && (row.flags & kEntryDiffers) == 0
            && leftListing->RowDiffers(row.left, row.right, options) == 1)
            row.flags = static_cast<std::uint8_t>(row.flags | kEntryDiffers);
        if (status != nullptr && status->ShowProgress(total, i + 1) != 0)
            return false;
    }
    return true;
}

} // namespace

bool PrintReport(const CompareOptions &options, const ReportSides &sides, const DIFFLIST &list,
                 Pager &pager)
{
    ReportPrinter printer(options, sides, list, pager);
    return printer.Print();
}

int CompareAndReport(const ConsoleOptions &options, ITEM &left, ITEM &right,
                     std::unique_ptr<STATUS_CONSOLE> status, Pager &pager)
{
    const CompareOptions &compare = options.compare;
    DIFFLIST list;
    const bool compared = LoadSides(left, right, compare, status.get())
                          && ComparePair(left, right, list, compare, status.get()) == kOk
                          && (!options.compareContents
                              || CompareContents(left, right, list, compare, status.get()));
    if (status != nullptr)
        status->ShowMessage(nullptr);
    status.reset();
    // Image sides still compare (as 0 x 0) without the image module; say once why.
    if (auto notice = TakeImageModuleNotice())
        std::fprintf(stderr, "%s\n", notice->c_str());
    if (!compared) {
        PrintRunFailure(left, right);
        return kStatusFailure;
    }

    ReportSides sides;
    sides.left = left.Object();
    sides.right = right.Object();
    sides.leftName = left.Text();
    sides.rightName = right.ShownName();
    sides.listingMode = left.IsContainer() || right.IsContainer();
    // A reader who stops the paging has seen what was wanted: still a report.
    (void)PrintReport(compare, sides, list, pager);
    return kStatusReport;
}
