#include "core/string.h"

#include "core/utf8.h"

#include <algorithm>
#include <cstring>

STRING ExpandTabs(std::string_view text, int tabWidth)
{
    if (text.find('\t') == std::string_view::npos) {
        return STRING(text);
    }
    // A width below one would leave no next stop to reach; each TAB then stands for one space.
    const std::size_t width = tabWidth < 1 ? 1 : static_cast<std::size_t>(tabWidth);
    const auto tabs = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\t'));
    STRING result;
    result.reserve(text.size() + width * tabs);
    std::size_t column = 0;
    for (std::size_t offset = 0; offset < text.size();) {
        const Utf8Char character = DecodeUtf8(text, offset);
        if (character.codePoint == '\t' && character.valid) {
            const std::size_t spaces = width - column % width;
            result.append(spaces, ' ');
            column += spaces;
        } else {
            result.append(text.substr(offset, character.length));
            column += static_cast<std::size_t>(CharWidth(character));
        }
        offset += character.length;
    }
    return result;
}

int CompareStrings(std::string_view a, std::string_view b)
{
    const std::size_t common = a.size() < b.size() ? a.size() : b.size();
    // memcmp compares as unsigned characters, so bytes from 0x80 sort after ASCII.
    const int order = common == 0 ? 0 : std::memcmp(a.data(), b.data(), common);
    if (order != 0) {
        return order < 0 ? -1 : 1;
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

void UpperCaseInPlace(STRING &text)
{
    for (char &c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
}
