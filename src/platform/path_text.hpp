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

// A key under which two paths are equal when the file system takes them for one name: the path's
// own bytes on Linux; on Windows, which compares names without case, its UTF-16 text in capitals
// by the system's mapping, '/' as '\\'. Paths are compared as written (no "." or ".." resolved).
std::string file_name_key(const std::filesystem::path& path);

} // namespace torvane::platform
