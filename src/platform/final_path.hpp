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

// The path without the "\\?\" prefix of a final path: "\\?\C:\Jogos" is "C:\Jogos" and
// "\\?\UNC\server\share" is "\\server\share". Any other path (every Linux one) is as given.
inline std::filesystem::path without_extended_prefix(const std::filesystem::path& path)
{
    using Text = std::filesystem::path::string_type;
    const Text& text = path.native();
    const Text unc = std::filesystem::path(R"(\\?\UNC\)").native();
    const Text extended = std::filesystem::path(R"(\\?\)").native();
    if (text.starts_with(unc))
        return std::filesystem::path(R"(\\)").native() + text.substr(unc.size());
    if (text.starts_with(extended))
        return text.substr(extended.size());
    return path;
}

} // namespace torvane::platform
