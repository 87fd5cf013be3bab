#include "platform/path_text.hpp"

#include "platform/unicode.hpp"

#include <type_traits>

namespace torvane::platform {

namespace {

using NativeChar = std::filesystem::path::value_type;

template <typename CharT>
std::string native_utf8(const std::basic_string<CharT>& native)
{
    if constexpr (std::is_same_v<CharT, char>) {
        return utf8_lossy(native);
    } else {
        // UTF-16, with an unpaired surrogate (which Windows names may hold) as U+FFFD.
        std::string out;
        out.reserve(native.size());
        for (std::size_t i = 0; i < native.size(); ++i) {
            char32_t unit = static_cast<char16_t>(native[i]);
            if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < native.size()) {
                const char32_t low = static_cast<char16_t>(native[i + 1]);
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    append_utf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                    ++i;
                    continue;
                }
            }
            append_utf8(out, unit);
        }
        return out;
    }
}

template <typename CharT>
std::filesystem::path path_of_utf8(std::string_view text)
{
    if constexpr (std::is_same_v<CharT, char>) {
        return std::filesystem::path(std::string(text));
    } else {
        const std::u16string units = utf16_units(text);
        return std::filesystem::path(std::basic_string<CharT>(units.begin(), units.end()));
    }
}

} // namespace

std::string path_utf8(const std::filesystem::path& path) { return native_utf8(path.native()); }

std::string generic_path_utf8(const std::filesystem::path& path)
{
    return native_utf8(path.generic_string<NativeChar>());
}

std::filesystem::path utf8_path(std::string_view text) { return path_of_utf8<NativeChar>(text); }

} // namespace torvane::platform
