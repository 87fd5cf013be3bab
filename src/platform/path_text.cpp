#include "platform/path_text.hpp"

#include "platform/unicode.hpp"

#include <type_traits>

namespace torvane::platform {

namespace {

using NativeChar = std::filesystem::path::value_type;

template <typename CharT>
std::string native_utf8(const std::basic_string<CharT>& native)
{
    if constexpr (std::is_same_v<CharT, char>)
        return utf8_lossy(native);
    else // UTF-16, with an unpaired surrogate (which Windows names may hold) as U+FFFD
        return utf8_from_wide(native);
}

template <typename CharT>
std::filesystem::path path_of_utf8(std::string_view text)
{
    if constexpr (std::is_same_v<CharT, char>)
        return std::filesystem::path(std::string(text));
    else
        return std::filesystem::path(to_wide(text));
}

} // namespace

std::string path_utf8(const std::filesystem::path& path) { return native_utf8(path.native()); }

std::string generic_path_utf8(const std::filesystem::path& path)
{
    return native_utf8(path.generic_string<NativeChar>());
}

std::filesystem::path utf8_path(std::string_view text) { return path_of_utf8<NativeChar>(text); }

} // namespace torvane::platform
