// The current user's registry: keys holding named, typed values, as the game keeps its settings.
// Key paths and value names compare without ASCII case. A store moved by set_registry_root (tests)
// keeps its keys apart from the default store's, and stores of different folders apart from each
// other.
//
// Linux only: the store is a folder of key files under registry_root(). Each key is one file,
// written whole (temporary, flush, rename) on every change, so a crash leaves either the old or
// the new key and never half of one. A key file that cannot be parsed reads as a key without
// values and stays on disk until the next successful write replaces it.
//
// Windows only: the keys are the current user's real ones (HKEY_CURRENT_USER), where the game
// reads them; a moved store keeps its keys below a key named after its folder instead.
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

// An open key. Holds no operating-system resource: each call reads or writes the store itself (the
// key's file on Linux, the key opened for the call on Windows), so two open keys never disagree.
class RegistryKey {
public:
    // Opens a key of the current user, creating it and its parents when missing. The sub-key is
    // written with backslashes ("SOFTWARE\\Maker\\Game"); names compare without ASCII case. Fails
    // with an OS error text when the store cannot be created or read.
    static Result<RegistryKey> create_current_user(std::string_view sub_key);

    // A value's type and data; fails when the value is missing (the system's not-found text: ENOENT,
    // ERROR_FILE_NOT_FOUND) or the key cannot be read. Names compare without ASCII case.
    Result<RegistryData> query(std::string_view name) const;
    // Stores a value, replacing one of the same name and keeping the others. Fails with an OS
    // error text when the store refuses the write; the key is then unchanged.
    Status set(std::string_view name, RegistryType type, std::string_view bytes);
    // Stores a Dword value (4 bytes, little-endian).
    Status set_dword(std::string_view name, std::uint32_t value);
    // Stores UTF-8 text as a String value (UTF-16LE and the terminating NUL).
    Status set_string(std::string_view name, std::string_view utf8);

    // Where this key is kept: its file on Linux; on Windows its full path, written
    // "HKEY_CURRENT_USER\<key path>".
    const fs::path& file() const { return file_; }

private:
    RegistryKey(fs::path file, std::string name) : file_(std::move(file)), name_(std::move(name)) {}

    // set without the refusals: the system's own write.
    Status write_value(std::string_view name, RegistryType type, std::string_view bytes);

    fs::path file_;
    // The key's path: on Linux as the caller spelled it, recorded in its file; on Windows below
    // HKEY_CURRENT_USER.
    std::string name_;
};

// UTF-8 text as String data: UTF-16LE code units and a terminating NUL unit. Invalid UTF-8
// sequences become U+FFFD.
std::string registry_string_bytes(std::string_view utf8);
// String data as UTF-8: size / 2 code units, up to the first NUL unit; an unpaired surrogate
// becomes U+FFFD. A trailing odd byte is ignored.
std::string registry_string_text(std::string_view bytes);

// The folder set_registry_root chose, else the default: on Linux $XDG_CONFIG_HOME/torvane/registry,
// else ~/.config/torvane/registry; on Windows an empty path (the real keys).
fs::path registry_root();
// Moves the store to a folder (tests); an empty path returns to the default. Opening a key of a
// moved store makes the folder, and fails as the system does when it cannot be made.
void set_registry_root(fs::path folder);

// Makes the store refuse every later write of the named value (ASCII case ignored) as a write
// without the right to it is refused: set fails with the system's access-denied text (EACCES,
// ERROR_ACCESS_DENIED). For tests that need a failing write.
void refuse_registry_write(std::string_view value_name);
// Lifts every refusal.
void clear_registry_refusals();

} // namespace torvane::platform
