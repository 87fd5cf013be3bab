// UTF-8 decoding and encoding with U+FFFD for every malformed sequence.
#pragma once

#include <string>
#include <string_view>

namespace torvane {

inline constexpr char32_t replacement_character = U'\uFFFD';

// Decodes one character at the start of bytes and removes it from the view. A malformed or
// truncated sequence yields U+FFFD and consumes its longest valid prefix (at least one byte), the
// way decoders that follow the Unicode recommendation for substitution do.
char32_t next_utf8_character(std::string_view& bytes);

// Appends the UTF-8 encoding of one character (surrogates and values above U+10FFFF become U+FFFD).
void append_utf8(std::string& out, char32_t character);

// The bytes as valid UTF-8: each malformed sequence replaced by U+FFFD.
std::string utf8_lossy(std::string_view bytes);

} // namespace torvane
