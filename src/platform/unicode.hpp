// UTF-8 decoding and encoding with replacement of invalid input, the byte order mark, and Unicode
// white space.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace torvane::platform {

inline constexpr char32_t replacement_character = 0xFFFD;

// Decodes the UTF-8 sequence that starts at `at` and moves `at` past it. An invalid sequence gives
// U+FFFD and moves past its longest valid start (at least one byte), as lossy decoders do.
char32_t decode_utf8(std::string_view text, std::size_t& at);
// Appends a code point as UTF-8 (surrogates and values above U+10FFFF become U+FFFD).
void append_utf8(std::string& out, char32_t code);
// The bytes as UTF-8 text, each invalid sequence replaced by U+FFFD.
std::string utf8_lossy(std::string_view bytes);
// The text as UTF-16 code units, characters above U+FFFF as surrogate pairs and each invalid
// sequence as U+FFFD; no terminator.
std::u16string utf16_units(std::string_view utf8);

// The text without one leading UTF-8 byte order mark (EF BB BF), when it starts with one.
constexpr std::string_view without_utf8_bom(std::string_view text)
{
    return text.starts_with("\xEF\xBB\xBF") ? text.substr(3) : text;
}

// Byte-wise equality with ASCII letters compared without case.
bool equal_ignoring_ascii_case(std::string_view a, std::string_view b);

// The code points with the Unicode White_Space property.
bool is_unicode_white_space(char32_t code);
// The text without leading and trailing Unicode white space (the text must be valid UTF-8).
std::string_view trim_unicode_white_space(std::string_view text);

} // namespace torvane::platform
