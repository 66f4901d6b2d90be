#include "engine/comparison.h"

#include "core/line_format.h"
#include "core/status_io.h"
#include "core/utf8.h"

#include <algorithm>
#include <vector>

static constexpr const char *kReadingLeftText = "reading left side";
static constexpr const char *kReadingRightText = "reading right side";
static constexpr const char *kLineEnd = "\r\n";
static constexpr char kDividerSame = '|';
static constexpr char kDividerDiffers = '+';
static constexpr char kSeparatorDash = '-';
static constexpr char kSeparatorCross = '+';
// Run announces two loads and a comparison beyond the current step; OpenRow two descents.
static constexpr int kRunSteps = 4;
static constexpr int kOpenRowSteps = 3;

COMPARISON::COMPARISON(const CompareOptions &options, void *ownerWindow)
    : m_ownerWindow(ownerWindow), m_options(&options)
{
}

COMPARISON::~COMPARISON() = default;

OpResult COMPARISON::Run(STATUS_IO *status)
{
    if (status != nullptr)
        status->SetStepCount(status->CurrentStep() + kRunSteps);
    const OpResult loaded
        = LoadBothSides(m_left, m_right, *m_options, status, [&](const ITEM &side) {
              if (status != nullptr)
                  status->ShowMessage(&side == &m_left ? kReadingLeftText : kReadingRightText);
          });
    if (loaded != kOk)
        return loaded;
    return ComparePair(m_left, m_right, m_result, *m_options, status);
}

OpResult COMPARISON::ReCompare()
{
    BASEITEM *left = m_left.Object();
    BASEITEM *right = m_right.Object();
    // Matching turns the records' hashes into partner numbers, so two files can only be
    // matched again after loading them again; listings keep what pairing needs.
    if (left != nullptr && right != nullptr && (left->IsListing() || right->IsListing()))
        return ComparePair(m_left, m_right, m_result, *m_options, nullptr);
    return Run(nullptr);
}

std::unique_ptr<COMPARISON> COMPARISON::OpenRow(std::int64_t row, STATUS_IO *status)
{
    m_errorText.clear();
    const DiffEntry *entry = m_result.Entry(row);
    if (entry == nullptr)
        return nullptr;
    bool takeLeft = entry->left >= 0;
    bool takeRight = entry->right >= 0;
    // Reopening the row the user marked sides on opens only those sides; the other side then
    // stands for its whole parent.
    if (row == m_currentRow && m_selectedSides != kSideNone) {
        takeLeft = takeLeft && (m_selectedSides & kSideLeft) != 0;
        takeRight = takeRight && (m_selectedSides & kSideRight) != 0;
    }
    std::unique_ptr<STRING> leftName;
    std::unique_ptr<STRING> rightName;
    if (takeLeft && m_left.Object() != nullptr)
        leftName = m_left.Object()->RelativeName(entry->left);
    if (takeRight && m_right.Object() != nullptr)
        rightName = m_right.Object()->RelativeName(entry->right);
    if (leftName == nullptr && rightName == nullptr)
        return nullptr;

    if (status != nullptr)
        status->SetStepCount(status->CurrentStep() + kOpenRowSteps);
    auto opened = std::make_unique<COMPARISON>(*m_options, m_ownerWindow);
    const OpResult leftResult = opened->m_left.Descend(m_left, leftName.get(), status);
    opened->m_leftPath = opened->m_left;
    if (leftResult != kOk) {
        m_errorText = opened->m_left.ErrorText();
        return nullptr;
    }
    const OpResult rightResult = opened->m_right.Descend(m_right, rightName.get(), status);
    opened->m_rightPath = opened->m_right;
    if (rightResult != kOk) {
        m_errorText = opened->m_right.ErrorText();
        return nullptr;
    }
    opened->m_errorText.clear();
    m_currentRow = row;
    m_markAnchor = row;
    m_markEnd = row;
    return opened;
}

void COMPARISON::SwapSides()
{
    m_left.SwapSide(m_right);
    std::swap(m_leftPath, m_rightPath);
}

OpResult COMPARISON::ChangedOnDisk() const
{
    for (const ITEM *side : {&m_left, &m_right}) {
        if (side->Object() == nullptr)
            continue;
        if (const OpResult answer = side->Object()->Reopen(); answer != kOk)
            return answer;
    }
    return kOk;
}

void COMPARISON::ResetColumns()
{
    for (ITEM *side : {&m_left, &m_right}) {
        if (side->Object() != nullptr)
            side->Object()->ResetColumnWidths();
    }
}

std::span<ColumnDescriptor> COMPARISON::ColumnList(std::uint16_t side)
{
    BASEITEM *object = (side == kSideRight ? m_right : m_left).Object();
    if (object == nullptr)
        return {};
    const std::uint16_t sortSide
        = (m_options->dirOptions & kDirSortRightSide) != 0 ? kSideRight : kSideLeft;
    const int noSortColumn = 0;
    return object->ColumnDescriptors(0, side == sortSide ? m_options->sortMode : noSortColumn);
}

std::int64_t COMPARISON::LowerMark() const
{
    return std::min(m_markAnchor, m_markEnd);
}

std::int64_t COMPARISON::UpperMark() const
{
    return std::max(m_markAnchor, m_markEnd);
}

bool COMPARISON::RowIsMarked(std::int64_t row) const
{
    if (row < 0)
        return m_markAnchor >= 0;
    return row >= LowerMark() && row <= UpperMark();
}

bool COMPARISON::RowIsShown(const DiffEntry &entry) const
{
    return (entry.flags & (kEntryDiffers | kEntryShown)) != 0
           || (m_options->optionBits & kOptShowAll) != 0;
}

// The text of a record, or null for a row without one on that side.
static std::unique_ptr<STRING> RecordTextOf(const ITEM &side, std::int32_t record)
{
    if (record < 0 || side.Object() == nullptr)
        return nullptr;
    return side.Object()->RecordText(record);
}

// text padded with blanks to width display columns, or cut to them.
static STRING FitToColumns(const STRING &text, std::size_t width, bool pad)
{
    const std::size_t columns = DisplayWidth(text);
    if (columns > width)
        return text.substr(0, PrefixForColumns(text, width));
    STRING fitted = text;
    if (pad)
        fitted.append(width - columns, ' ');
    return fitted;
}

std::unique_ptr<STRING> COMPARISON::ClipboardText(int numberWidth) const
{
    const bool marked = RowIsMarked(-1);
    const std::uint16_t mode = marked ? m_selectedSides : kSideNone;
    const std::int64_t first = marked ? std::max<std::int64_t>(LowerMark(), 0) : 0;
    const std::int64_t last
        = marked ? std::min(UpperMark(), m_result.Count() - 1) : m_result.Count() - 1;

    if (mode == kSideLeft || mode == kSideRight) {
        const ITEM &side = mode == kSideLeft ? m_left : m_right;
        auto text = std::make_unique<STRING>();
        bool taken = false;
        for (std::int64_t row = first; row <= last; ++row) {
            const DiffEntry &entry = *m_result.Entry(row);
            const std::int32_t record = mode == kSideLeft ? entry.left : entry.right;
            if (!RowIsShown(entry) || record < 0)
                continue;
            taken = true;
            if (const auto line = RecordTextOf(side, record))
                *text += *line;
            *text += kLineEnd;
        }
        return taken ? std::move(text) : nullptr;
    }

    // Both sides: measure every numbered text first, so the divider column lines up.
    struct Row
    {
        std::int64_t row;
        STRING left;
        STRING right;
        bool differs;
    };
    std::vector<Row> rows;
    const STRING &leftName = m_left.ShownName();
    const STRING &rightName = m_right.ShownName();
    std::size_t leftWidth = DisplayWidth(leftName);
    std::size_t rightWidth = DisplayWidth(rightName);
    for (std::int64_t row = first; row <= last; ++row) {
        const DiffEntry &entry = *m_result.Entry(row);
        if (!RowIsShown(entry))
            continue;
        const auto leftText = RecordTextOf(m_left, entry.left);
        const auto rightText = RecordTextOf(m_right, entry.right);
        Row &taken = rows.emplace_back();
        taken.row = row;
        taken.left
            = FormatNumberedLine(entry.left, numberWidth, m_options->tabSize, leftText.get(), 0);
        taken.right
            = FormatNumberedLine(entry.right, numberWidth, m_options->tabSize, rightText.get(), 0);
        taken.differs = (entry.flags & kEntryDiffers) != 0;
        leftWidth = std::max(leftWidth, DisplayWidth(taken.left));
        rightWidth = std::max(rightWidth, DisplayWidth(taken.right));
    }
    if (rows.empty())
        return nullptr;

    STRING separator(leftWidth + rightWidth + 2, kSeparatorDash);
    separator[leftWidth] = kSeparatorCross;
    separator += kLineEnd;
    auto line = [&](const STRING &left, bool differs, const STRING &right) {
        return FitToColumns(left, leftWidth, /*pad=*/true)
               + (differs ? kDividerDiffers : kDividerSame) + ' '
               + FitToColumns(right, rightWidth, /*pad=*/false) + kLineEnd;
    };

    auto text = std::make_unique<STRING>();
    if (first > 0)
        *text += separator;
    *text += line(leftName, false, rightName);
    *text += separator;
    std::int64_t previous = -1;
    for (const Row &row : rows) {
        // A gap between taken rows hides a stretch of matching lines.
        if (previous >= 0 && row.row != previous + 1)
            *text += separator;
        *text += line(row.left, row.differs, row.right);
        previous = row.row;
    }
    return text;
}

// Whether needle occurs in the record's text, folded to upper case unless matching case.
static bool RecordContains(const ITEM &side, std::int32_t record, const STRING &needle,
                           bool matchCase)
{
    std::unique_ptr<STRING> text = RecordTextOf(side, record);
    if (text == nullptr)
        return false;
    if (!matchCase)
        UpperCaseInPlace(*text);
    return text->find(needle) != STRING::npos;
}

int COMPARISON::Find(std::string_view text, std::int64_t currentRow, bool forward, bool matchCase)
{
    STRING needle(text);
    if (!matchCase)
        UpperCaseInPlace(needle);
    const bool searchLeft = m_singleSideView == kSideNone || m_singleSideView == kSideLeft;
    const bool searchRight = m_singleSideView == kSideNone || m_singleSideView == kSideRight;
    const std::int64_t step = forward ? 1 : -1;
    std::int64_t start = currentRow + step;
    if (!forward)
        start = std::min(start, m_result.Count() - 1);
    for (std::int64_t row = start; row >= 0 && row < m_result.Count(); row += step) {
        const DiffEntry &entry = *m_result.Entry(row);
        if (!RowIsShown(entry))
            continue;
        int found = 0;
        if (searchLeft && RecordContains(m_left, entry.left, needle, matchCase))
            found |= kSideLeft;
        if (searchRight && RecordContains(m_right, entry.right, needle, matchCase))
            found |= kSideRight;
        if (found != 0) {
            m_currentRow = row;
            return found;
        }
    }
    return 0;
}
