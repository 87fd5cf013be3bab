// The part of the registry store that is the same on every system: where the store lies, which
// writes it refuses, and the typed setters over RegistryKey::set.
#include "platform/registry.hpp"
#include "platform/registry_store.hpp"
#include "platform/unicode.hpp"

#include <mutex>
#include <vector>

namespace torvane::platform {

namespace {

struct StoreSettings {
    std::mutex mutex; // guards the fields below
    fs::path root;    // empty: the default location
    std::vector<std::string> refused;
};

StoreSettings& settings()
{
    static StoreSettings instance;
    return instance;
}

bool write_refused(std::string_view value_name)
{
    StoreSettings& s = settings();
    std::lock_guard lock(s.mutex);
    for (const auto& refused : s.refused)
        if (equal_ignoring_ascii_case(refused, value_name))
            return true;
    return false;
}

} // namespace

Status RegistryKey::set(std::string_view name, RegistryType type, std::string_view bytes)
{
    if (write_refused(name))
        return failure(registry_store::refused_write_text());
    return write_value(name, type, bytes);
}

Status RegistryKey::set_dword(std::string_view name, std::uint32_t value)
{
    char bytes[4];
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return set(name, RegistryType::Dword, std::string_view(bytes, 4));
}

Status RegistryKey::set_string(std::string_view name, std::string_view utf8)
{
    return set(name, RegistryType::String, registry_string_bytes(utf8));
}

fs::path registry_root()
{
    fs::path root;
    {
        std::lock_guard lock(settings().mutex);
        root = settings().root;
    }
    return root.empty() ? registry_store::default_root() : root;
}

void set_registry_root(fs::path folder)
{
    std::lock_guard lock(settings().mutex);
    settings().root = std::move(folder);
}

void refuse_registry_write(std::string_view value_name)
{
    std::lock_guard lock(settings().mutex);
    settings().refused.emplace_back(value_name);
}

void clear_registry_refusals()
{
    std::lock_guard lock(settings().mutex);
    settings().refused.clear();
}

} // namespace torvane::platform
