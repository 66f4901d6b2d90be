// Measuring and cutting text in screen columns. Files are bytes; only where text is laid out in
// columns is it read as UTF-8: a valid sequence is one character of its display width, and any
// byte that does not start a valid sequence is a character of its own, one column wide. The
// answers never depend on the C library's locale.
#pragma once

#include <cstddef>
#include <string_view>

struct Utf8Char
{
    char32_t codePoint = 0; // the character; for an invalid byte, that byte's value
    std::size_t length = 0; // bytes taken: 1 to 4 (1 for an invalid byte); 0 at the end
    bool valid = false;     // false for an invalid byte and at the end
};

// The character that starts at offset (an empty result at or past the end). Overlong forms,
// surrogates, values above U+10FFFF and cut-off sequences are invalid: only their first byte is
// taken, so decoding always moves on.
[[nodiscard]] Utf8Char DecodeUtf8(std::string_view text, std::size_t offset = 0);

// Columns a code point takes on a terminal: 0 for combining marks and other zero-width
// characters, 2 for East Asian wide and fullwidth characters and emoji, 1 for everything else
// (control characters included, so that every ASCII byte is one column).
[[nodiscard]] int CodePointWidth(char32_t codePoint);

// Columns of a decoded character: an invalid byte takes one.
[[nodiscard]] int CharWidth(const Utf8Char &character);

// Columns of a whole text.
[[nodiscard]] std::size_t DisplayWidth(std::string_view text);

// The byte length of the longest prefix of text that fits in columns, never ending inside a
// sequence. Zero-width characters right after the last one that fits stay with it, so a
// combining mark is not cut off its base.
[[nodiscard]] std::size_t PrefixForColumns(std::string_view text, std::size_t columns);
