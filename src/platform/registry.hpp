// The current user's registry: keys holding named, typed values, as the game keeps its settings.
//
// Each key is one file under registry_root(), written whole (temporary, flush, rename) on every
// change, so a crash leaves either the old or the new key and never half of one. A key file that
// cannot be parsed reads as a key without values and stays on disk until the next successful write
// replaces it.
//
// On Windows the keys are the current user's real ones (HKEY_CURRENT_USER); a store moved by
// set_registry_root keeps its keys below a key named after that folder instead.
#pragma once

#include "platform/result.hpp"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace torvane::platform {

namespace fs = std::filesystem;

// Value types, numbered as the registry numbers them. Any other number is kept as stored.
enum class RegistryType : std::uint32_t {
    None = 0,
    String = 1,       // UTF-16LE text with its terminating NUL
    ExpandString = 2, // the same, with environment references left unexpanded
    Binary = 3,
    Dword = 4, // 4 bytes, little-endian
    MultiString = 7,
    Qword = 11,
};

struct RegistryData {
    RegistryType type = RegistryType::None;
    std::string bytes;
    bool operator==(const RegistryData&) const = default;
};

// An open key. Holds no operating-system resource: values are read from and written to the key's
// file on each call, so two open keys never disagree.
class RegistryKey {
public:
    // Opens a key of the current user, creating it and its parents when missing. The sub-key is
    // written with backslashes ("SOFTWARE\\Maker\\Game"); names compare without ASCII case. Fails
    // with an OS error text when the store cannot be created or read.
    static Result<RegistryKey> create_current_user(std::string_view sub_key);

    // A value's type and data; fails when the value is missing (the text of ENOENT) or the key
    // file cannot be read. Names compare without ASCII case.
    Result<RegistryData> query(std::string_view name) const;
    // Stores a value, replacing one of the same name and keeping the others. Fails with an OS
    // error text when the store refuses the write; the key file is then unchanged.
    Status set(std::string_view name, RegistryType type, std::string_view bytes);
    Status set_dword(std::string_view name, std::uint32_t value);
    // Stores UTF-8 text as a String value (UTF-16LE and the terminating NUL).
    Status set_string(std::string_view name, std::string_view utf8);

    // The file that holds this key.
    const fs::path& file() const { return file_; }

private:
    RegistryKey(fs::path file, std::string name) : file_(std::move(file)), name_(std::move(name)) {}

    fs::path file_;
    std::string name_; // the key's path as the caller spelled it, recorded in its file
};

// UTF-8 text as String data: UTF-16LE code units and a terminating NUL unit. Invalid UTF-8
// sequences become U+FFFD.
std::string registry_string_bytes(std::string_view utf8);
// String data as UTF-8: size / 2 code units, up to the first NUL unit; an unpaired surrogate
// becomes U+FFFD. A trailing odd byte is ignored.
std::string registry_string_text(std::string_view bytes);

// The folder of the store: $XDG_CONFIG_HOME/torvane/registry, else ~/.config/torvane/registry,
// unless set_registry_root chose another.
fs::path registry_root();
// Moves the store to a folder (tests); an empty path returns to the default.
void set_registry_root(fs::path folder);

// Makes the store refuse every later write of the named value (ASCII case ignored) as a write
// without the right to it is refused. For tests that need a failing write.
void refuse_registry_write(std::string_view value_name);
// Lifts every refusal.
void clear_registry_refusals();

} // namespace torvane::platform
