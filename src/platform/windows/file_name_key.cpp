#include "platform/path_text.hpp"

#include "platform/windows/win32.hpp"

#include <algorithm>

namespace torvane::platform {

std::string file_name_key(const std::filesystem::path& path)
{
    std::wstring text = path.native();
    std::replace(text.begin(), text.end(), L'/', L'\\');
    if (text.empty())
        return {};
    // The invariant upper-case mapping maps each UTF-16 unit to one unit, as the file system's
    // own table does, so the key has the text's length.
    std::wstring upper(text.size(), L'\0');
    int length = ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, text.data(), static_cast<int>(text.size()),
                                 upper.data(), static_cast<int>(upper.size()), nullptr, nullptr, 0);
    if (length <= 0)
        return utf8_from_wide(text);
    upper.resize(static_cast<std::size_t>(length));
    return utf8_from_wide(upper);
}

} // namespace torvane::platform
