#include "platform/ini_file.hpp"
#include "platform/files.hpp"
#include "platform/windows/win32.hpp"

namespace torvane::platform {

namespace {

// The profile functions look for a file without a folder in the Windows folder: always give them
// a full path.
std::wstring profile_path(const fs::path& file)
{
    std::error_code error;
    fs::path full = fs::absolute(file, error);
    return error ? file.native() : full.native();
}

bool file_exists(const fs::path& file)
{
    DWORD attributes = ::GetFileAttributesW(file.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Given as the default, so that a missing key can be told from an empty value: no line of an INI
// file holds it.
constexpr wchar_t missing_marker[] = L"\uE000\n\uE001";

} // namespace

std::optional<std::string> ini_read_string(const fs::path& file, std::string_view section, std::string_view key)
{
    if (!file_exists(file))
        return std::nullopt;
    const std::wstring path = profile_path(file);
    const std::wstring section_name = to_wide(section);
    const std::wstring key_name = to_wide(key);
    std::wstring buffer(256, L'\0');
    for (;;) {
        DWORD length = ::GetPrivateProfileStringW(section_name.c_str(), key_name.c_str(), missing_marker, buffer.data(),
                                                  static_cast<DWORD>(buffer.size()), path.c_str());
        // A value that filled the buffer may have been cut: ask again with more room.
        if (length + 1 >= buffer.size() && buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 4);
            continue;
        }
        std::wstring_view value(buffer.data(), length);
        if (value == missing_marker)
            return std::nullopt;
        return utf8_from_wide(value);
    }
}

std::int32_t ini_read_int(const fs::path& file, std::string_view section, std::string_view key,
                          std::int32_t default_value)
{
    const std::wstring path = profile_path(file);
    return static_cast<std::int32_t>(::GetPrivateProfileIntW(to_wide(section).c_str(), to_wide(key).c_str(),
                                                             default_value, path.c_str()));
}

Status ini_write_string(const fs::path& file, std::string_view section, std::string_view key,
                        std::string_view value)
{
    auto has_line_break = [](std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; };
    if (has_line_break(section) || has_line_break(key) || has_line_break(value) || section.find(']') != std::string_view::npos
        || key.find('=') != std::string_view::npos)
        return failure(os_error_text(ERROR_INVALID_PARAMETER));
    DWORD attributes = ::GetFileAttributesW(file.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            return failure(os_error_text(ERROR_DIRECTORY));
        if (attributes & FILE_ATTRIBUTE_READONLY)
            return failure(os_error_text(ERROR_ACCESS_DENIED));
    }
    const std::wstring path = profile_path(file);
    if (!::WritePrivateProfileStringW(to_wide(section).c_str(), to_wide(key).c_str(),
                                      to_wide(value).c_str(), path.c_str()))
        return failure(last_os_error_text());
    return {};
}

} // namespace torvane::platform
