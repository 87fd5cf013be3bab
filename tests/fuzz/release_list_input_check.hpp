// The properties the release-list parser must keep on any input, shared by the libFuzzer harness
// and the randomised-corpus test.
#pragma once

#include <string>
#include <string_view>

namespace torvane::test {

// Runs the parser on the bytes as a whole list file and as a list text (signing the text with the
// development key when it parses). Returns an empty string when every property holds, else what
// went wrong: an accepted list that fails verification or breaks a list rule, a list that does
// not read back from its own text, or a message outside the parser's four.
std::string check_release_list_input(std::string_view bytes);

} // namespace torvane::test
