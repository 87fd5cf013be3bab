// UTF-8 decoding and encoding with U+FFFD for every malformed sequence, for the core's callers.
// The work is done once, in the platform layer's unicode helpers.
#pragma once

#include "platform/unicode.hpp"

#include <string>
#include <string_view>

namespace torvane {

using platform::append_utf8;
using platform::replacement_character;
using platform::utf8_lossy;

// Decodes one character at the start of bytes and removes it from the view. A malformed or
// truncated sequence yields U+FFFD and consumes its longest valid prefix (at least one byte).
inline char32_t next_utf8_character(std::string_view& bytes)
{
    std::size_t consumed = 0;
    char32_t character = platform::decode_utf8(bytes, consumed);
    bytes.remove_prefix(consumed);
    return character;
}

} // namespace torvane
