// Text helpers of the JSON reader and writer.
#pragma once

#include <string>
#include <string_view>

namespace torvane {

// Well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool is_valid_utf8(std::string_view text);

// A text as the reader's messages quote it: between double quotes, with \" \\ \n \r \t \0
// and \u{hex} for characters that do not print (controls, separators other than the space,
// format and private-use characters, combining marks). `text` must be valid UTF-8.
std::string debug_quoted(std::string_view text);

// The shortest text that reads back as the same double: "12.0", "1.5", "1e300", "-0.0",
// "1.8446744073709552e19", "0.001".
std::string shortest_float_text(double value);

// True when nothing is left after removing Unicode white space (White_Space) at both ends.
// Invalid UTF-8 is not white space.
bool is_blank(std::string_view text);

} // namespace torvane
