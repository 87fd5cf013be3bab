// INI files as the game reads them: "[section]" lines and "key=value" lines, sections and keys
// compared without ASCII case, the first matching section and key winning. On Windows the system's
// profile functions, which the game itself reads with, do the reading and writing.
#pragma once

#include "platform/result.hpp"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace torvane::platform {

namespace fs = std::filesystem;

// The value of a key: the text after "=" with surrounding blanks removed and, when it is wrapped in
// a matching pair of single or double quotes, without them. Nothing when the file cannot be read or
// has no such section or key.
std::optional<std::string> ini_read_string(const fs::path& file, std::string_view section, std::string_view key);

// The value of a key as a whole number: leading blanks skipped, an optional "+" or "-", then the
// decimal digits up to the first other character, wrapping at 32 bits; 0 when no digit follows.
// The default when the file, section or key is missing or the value is empty.
std::int32_t ini_read_int(const fs::path& file, std::string_view section, std::string_view key,
                          std::int32_t default_value);

// Sets a key's value. An existing key has its line rewritten in place; a missing key is added at
// the end of its section, a missing section at the end of the file, a missing file is created.
// Every other line, comments included, is kept byte for byte, and the file keeps its line endings
// ("\r\n" for a new file). The file is replaced whole (temporary and rename); a read-only file is
// refused. Texts holding a line break are refused.
Status ini_write_string(const fs::path& file, std::string_view section, std::string_view key,
                        std::string_view value);

} // namespace torvane::platform
