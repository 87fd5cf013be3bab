#include "platform/registry.hpp"
#include "platform/files.hpp"
#include "platform/registry_store.hpp"
#include "platform/unicode.hpp"
#include "platform/windows/win32.hpp"

#include <algorithm>

namespace torvane::platform {

// The keys live in the current user's registry (HKEY_CURRENT_USER), where the game reads them.
// A store moved by set_registry_root (tests) keeps its keys below a key of its own instead, named
// after the folder, so that tests never touch the game's settings and stores of different folders
// stay apart.

namespace {

constexpr wchar_t moved_stores_key[] = L"SOFTWARE\\Torvane\\Test stores";

// The key below HKEY_CURRENT_USER for a sub-key as the caller wrote it.
Result<std::wstring> registry_sub_key(std::string_view sub_key, const fs::path& root)
{
    for (std::size_t start = 0;;) {
        std::size_t end = sub_key.find('\\', start);
        std::string_view piece = sub_key.substr(start, end == std::string_view::npos ? end : end - start);
        if (piece.empty() || piece.find('\0') != std::string_view::npos)
            return failure(os_error_text(ERROR_INVALID_PARAMETER));
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    std::wstring key = to_wide(sub_key);
    if (root.empty())
        return key;
    // Key names may hold any character but the backslash.
    std::wstring folder = root.native();
    std::replace(folder.begin(), folder.end(), L'\\', L'/');
    return std::wstring(moved_stores_key) + L"\\" + folder + L"\\" + key;
}

// Owns an open registry key.
class OpenKey {
public:
    OpenKey() = default;
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    ~OpenKey()
    {
        if (key_)
            ::RegCloseKey(key_);
    }
    HKEY* out() { return &key_; }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// Opens the key for the access, creating it and its parents when missing (as a key deleted behind
// the launcher's back is made again by the next write).
LSTATUS create_key(const std::wstring& sub_key, REGSAM access, OpenKey& key)
{
    return ::RegCreateKeyExW(HKEY_CURRENT_USER, sub_key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                             key.out(), nullptr);
}

} // namespace

fs::path registry_store::default_root() { return {}; }

std::string registry_store::refused_write_text() { return os_error_text(ERROR_ACCESS_DENIED); }

Result<RegistryKey> RegistryKey::create_current_user(std::string_view sub_key)
{
    const fs::path root = registry_root(); // empty: the real keys
    // A moved store needs its folder, as the store on other systems does: a folder that cannot be
    // made fails the open the same way.
    if (!root.empty())
        TRY(create_folders(root));
    std::wstring key_path = TRY(registry_sub_key(sub_key, root));
    OpenKey key;
    if (LSTATUS rc = create_key(key_path, KEY_QUERY_VALUE | KEY_SET_VALUE, key); rc != ERROR_SUCCESS)
        return failure(os_error_text(rc));
    return RegistryKey(fs::path(L"HKEY_CURRENT_USER\\" + key_path), utf8_from_wide(key_path));
}

Result<RegistryData> RegistryKey::query(std::string_view name) const
{
    OpenKey key;
    const std::wstring key_path = to_wide(name_);
    if (LSTATUS rc = ::RegOpenKeyExW(HKEY_CURRENT_USER, key_path.c_str(), 0, KEY_QUERY_VALUE, key.out()); rc != ERROR_SUCCESS)
        return failure(os_error_text(rc));
    const std::wstring value_name = to_wide(name);
    // First the type and size, then the data; a value that grew in between is read again.
    for (;;) {
        DWORD type = REG_NONE;
        DWORD size = 0;
        LSTATUS rc = ::RegQueryValueExW(key.get(), value_name.c_str(), nullptr, &type, nullptr, &size);
        if (rc != ERROR_SUCCESS)
            return failure(os_error_text(rc));
        std::string bytes(size, '\0');
        rc = ::RegQueryValueExW(key.get(), value_name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(bytes.data()), &size);
        if (rc == ERROR_MORE_DATA)
            continue;
        if (rc != ERROR_SUCCESS)
            return failure(os_error_text(rc));
        bytes.resize(size);
        return RegistryData {static_cast<RegistryType>(type), std::move(bytes)};
    }
}

Status RegistryKey::write_value(std::string_view name, RegistryType type, std::string_view bytes)
{
    OpenKey key;
    if (LSTATUS rc = create_key(to_wide(name_), KEY_SET_VALUE, key); rc != ERROR_SUCCESS)
        return failure(os_error_text(rc));
    const std::wstring value_name = to_wide(name);
    LSTATUS rc = ::RegSetValueExW(key.get(), value_name.c_str(), 0, static_cast<DWORD>(type),
                                  reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
    if (rc != ERROR_SUCCESS)
        return failure(os_error_text(rc));
    return {};
}

} // namespace torvane::platform
