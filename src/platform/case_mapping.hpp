// Unicode letter case from the project's own tables (tools/unicode/make_case_tables.py), so that
// every build maps case alike, whatever the system's locale data.
#pragma once

#include <string>
#include <string_view>

namespace torvane::platform {

// The character's simple lower-case mapping (itself when it has none).
char32_t simple_lowercase(char32_t c);
// Whether the character is an upper-case, lower-case or title-case letter.
bool is_cased(char32_t c);
// The text in capitals with Unicode's full mappings ("ß" becomes "SS"); invalid UTF-8 is first
// made valid, each bad sequence a U+FFFD.
std::string uppercase_utf8(std::string_view utf8);

} // namespace torvane::platform
