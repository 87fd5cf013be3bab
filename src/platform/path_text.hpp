// Paths as UTF-8 text and back. Linux names are bytes (shown as UTF-8, each invalid sequence
// replaced); Windows names are UTF-16. Every place where a path meets text (logs, messages, keys,
// names from documents) goes through these, never through the locale's narrow encoding.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace torvane::platform {

// The path's text as UTF-8, with its native separators.
std::string path_utf8(const std::filesystem::path& path);
// The path's text as UTF-8 with "/" as the separator.
std::string generic_path_utf8(const std::filesystem::path& path);
// The path named by UTF-8 text (invalid sequences become U+FFFD on Windows, stay bytes on Linux).
std::filesystem::path utf8_path(std::string_view text);

} // namespace torvane::platform
