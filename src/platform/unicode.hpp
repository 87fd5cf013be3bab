// UTF-8 decoding and encoding with replacement of invalid input, the byte order mark, and Unicode
// white space.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>

namespace torvane::platform {

inline constexpr char32_t replacement_character = 0xFFFD;

// Decodes the UTF-8 sequence that starts at `at` and moves `at` past it. An invalid sequence gives
// U+FFFD and moves past its longest valid start (at least one byte), as lossy decoders do.
char32_t decode_utf8(std::string_view text, std::size_t& at);
// Appends a code point as UTF-8 (surrogates and values above U+10FFFF become U+FFFD).
void append_utf8(std::string& out, char32_t code);
// The bytes as UTF-8 text, each invalid sequence replaced by U+FFFD.
std::string utf8_lossy(std::string_view bytes);
// A UTF-16 code unit as the system's wide calls take it: wchar_t where it has 16 bits (Windows),
// char16_t elsewhere.
using WideChar = std::conditional_t<sizeof(wchar_t) == 2, wchar_t, char16_t>;
using WideString = std::basic_string<WideChar>;
// The text as UTF-16 code units for every Windows call that takes a text (c_str() gives them
// followed by one 0 unit): characters above U+FFFF as surrogate pairs, each invalid sequence as
// U+FFFD.
WideString to_wide(std::string_view utf8);
// UTF-16 code units (a Windows call's text, a registry string) as UTF-8, each unpaired surrogate
// as U+FFFD.
std::string utf8_from_wide(std::basic_string_view<WideChar> wide);

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
