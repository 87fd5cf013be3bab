// The final absolute path of an existing file or folder, as the system resolves it.
#pragma once

#include "platform/result.hpp"

#include <filesystem>

namespace torvane::platform {

// The path with every link on the way resolved, absolute. Windows: GetFinalPathNameByHandleW of
// the opened file or folder, whose result carries the "\\?\" prefix ("\\?\C:\Jogos\Torvane", or
// "\\?\UNC\server\share\..." on a network share). Linux: realpath. Fails with os_error_text when
// the path cannot be opened (it does not exist, no access).
Result<std::filesystem::path> final_path(const std::filesystem::path& path);

} // namespace torvane::platform
