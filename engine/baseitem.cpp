#include "engine/baseitem.h"

#include "core/utf8.h"

#include <algorithm>
#include <climits>
#include <string_view>

namespace {

// The overlong text of a field keeps this many columns of points where it was cut.
constexpr std::size_t kCutMarkWidth = 2;

// The byte offset from which the rest of text is at most columns wide, never inside a
// sequence and never starting with a mark that belongs to a character left out.
std::size_t SuffixForColumns(std::string_view text, std::size_t columns)
{
    std::size_t remaining = DisplayWidth(text);
    std::size_t offset = 0;
    while (offset < text.size()) {
        Utf8Char character = DecodeUtf8(text, offset);
        auto width = static_cast<std::size_t>(CharWidth(character));
        if (remaining <= columns && width > 0)
            break;
        remaining -= width;
        offset += character.length;
    }
    return offset;
}

// Lays text out in a field of the given columns. A text that does not fit loses its end (left
// aligned) or its start (right aligned), and two points mark the cut.
void AppendField(STRING &line, std::string_view text, std::size_t textWidth, std::size_t field,
                 bool rightAligned)
{
    if (textWidth <= field) {
        std::size_t pad = field - textWidth;
        if (rightAligned)
            line.append(pad, ' ');
        line += text;
        if (!rightAligned)
            line.append(pad, ' ');
        return;
    }
    const std::size_t dots = std::min(kCutMarkWidth, field);
    const std::size_t keep = field - dots;
    if (rightAligned) {
        std::string_view tail = text.substr(SuffixForColumns(text, keep));
        line.append(keep - DisplayWidth(tail), ' ');
        line.append(dots, '.');
        line += tail;
    } else {
        std::string_view head = text.substr(0, PrefixForColumns(text, keep));
        line += head;
        line.append(dots, '.');
        line.append(keep - DisplayWidth(head), ' ');
    }
}

} // namespace

BASEITEM::~BASEITEM() = default;

std::unique_ptr<STRING> BASEITEM::RecordText(std::int64_t k)
{
    if (k < 0 || k >= RecordCount())
        return nullptr;
    // Every column but a joined one starts after a blank; the text begins after the first.
    STRING line;
    std::span<ColumnDescriptor> columns = ColumnDescriptors(0, kKeepSortMark);
    for (std::size_t j = 0; j < columns.size() && columns[j].width != kColumnEndWidth; ++j) {
        ColumnDescriptor &column = columns[j];
        if (column.width <= 0)
            continue;
        std::unique_ptr<STRING> text = ColumnText(static_cast<int>(j), k);
        std::string_view view = text ? std::string_view(*text) : std::string_view();
        std::size_t textWidth = DisplayWidth(view);
        column.widest = std::max(
            column.widest, static_cast<std::int32_t>(std::min<std::size_t>(textWidth, INT32_MAX)));

        const bool joined = (column.flags & kColumnJoined) != 0;
        auto field = static_cast<std::size_t>(joined ? column.width : column.width - 1);
        if (!joined)
            line += ' ';
        AppendField(line, view, textWidth, field, (column.flags & kColumnRightAlign) != 0);
    }
    // Drop the first character (the blank before the first column), but answer at least one.
    std::size_t first = line.empty() ? 0 : DecodeUtf8(line, 0).length;
    if (line.size() <= first)
        return std::make_unique<STRING>(1, ' ');
    return std::make_unique<STRING>(line.substr(first));
}

std::span<ColumnDescriptor> BASEITEM::ColumnDescriptors(int /*column*/, int /*sortMode*/)
{
    static ColumnDescriptor empty;
    return {&empty, 1};
}
