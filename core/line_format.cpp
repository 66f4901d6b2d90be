#include "core/line_format.h"

#include "core/utf8.h"

#include <string>

static constexpr char kMarkEdited = '+';
static constexpr char kMarkNone = ' ';

// "%*s%c" with a blank for the string: the blank padded to the width (left-aligned for a
// negative width, as printf does), then the mark.
static STRING PaddedMark(int width, char mark)
{
    std::size_t padding = width < 0 ? -static_cast<std::size_t>(width) : width;
    STRING text(padding > 1 ? padding : 1, ' ');
    text += mark;
    return text;
}

// "%0*ld%c": the 1-based number zero-padded to the width (blank-padded on the right for a
// negative width, as printf does), then a blank.
static STRING PaddedNumber(int width, std::int64_t lineIndex)
{
    STRING digits = std::to_string(lineIndex + 1);
    std::size_t padding = width < 0 ? -static_cast<std::size_t>(width) : width;
    if (digits.size() < padding) {
        if (width > 0) {
            digits.insert(0, padding - digits.size(), '0');
        } else {
            digits.append(padding - digits.size(), ' ');
        }
    }
    digits += kMarkNone;
    return digits;
}

STRING FormatLineLabel(bool marked, int width, std::int64_t lineIndex)
{
    char mark = marked ? kMarkEdited : kMarkNone;
    if (width == 0) {
        return STRING(1, mark);
    }
    if (lineIndex >= 0) {
        // Not padded: the display aligns the number itself.
        return std::to_string(lineIndex + 1) + mark;
    }
    return marked ? PaddedMark(width, kMarkEdited) : STRING();
}

STRING FormatNumberedLine(std::int64_t lineIndex, int width, int tabSize, const STRING *text,
                          std::size_t skip)
{
    STRING result;
    if (width != 0) {
        result = lineIndex < 0 ? PaddedMark(width, kMarkNone) : PaddedNumber(width, lineIndex);
    }
    if (text == nullptr || text->empty()) {
        return result;
    }
    STRING expanded = ExpandTabs(*text, tabSize);
    // skip counts characters: a UTF-8 sequence is one and is never cut.
    std::size_t offset = 0;
    for (std::size_t skipped = 0; skipped < skip && offset < expanded.size(); ++skipped) {
        offset += DecodeUtf8(expanded, offset).length;
    }
    if (offset < expanded.size()) {
        result.append(expanded, offset, STRING::npos);
    }
    return result;
}
