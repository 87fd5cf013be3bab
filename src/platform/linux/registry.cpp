#include "platform/registry.hpp"
#include "platform/files.hpp"
#include "platform/registry_store.hpp"
#include "platform/text.hpp"
#include "platform/unicode.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace torvane::platform {

namespace {

// Key file layout, one record per line:
//   torvane-registry 1
//   key <key path>
//   value <type number> <name> <data in lower-case hex>
//   end <number of values>
// Names are kept readable: bytes outside 0x21..0x7E and "%" are written as %XX. The closing count
// lets a truncated file be told from a complete one.
constexpr std::string_view file_header = "torvane-registry 1";

struct StoredValue {
    std::string name;
    RegistryData data;
};

// Guards every read-modify-write of a key file.
std::mutex key_files_mutex;

constexpr char hex_digits[] = "0123456789abcdef";

std::string escape_name(std::string_view name)
{
    std::string out;
    for (char c : name) {
        auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F || c == '%') {
            out += '%';
            out += hex_digits[byte >> 4];
            out += hex_digits[byte & 15];
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<std::string> unescape_name(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        int high = hex_digit_value(text[i + 1]);
        int low = hex_digit_value(text[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

std::optional<std::string> decode_hex(std::string_view text)
{
    if (text.size() % 2 != 0)
        return std::nullopt;
    std::string out;
    out.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        int high = hex_digit_value(text[i]);
        int low = hex_digit_value(text[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        out += static_cast<char>(high * 16 + low);
    }
    return out;
}

std::optional<std::uint32_t> parse_number(std::string_view text)
{
    if (text.empty() || text.size() > 10)
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (value > 0xFFFFFFFFu)
        return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

std::string serialize(std::string_view key_name, const std::vector<StoredValue>& values)
{
    std::string out(file_header);
    out += "\nkey " + escape_name(key_name) + "\n";
    for (const auto& value : values) {
        out += "value " + std::to_string(static_cast<std::uint32_t>(value.data.type)) + ' ' +
               escape_name(value.name) + ' ';
        for (char c : value.data.bytes) {
            auto byte = static_cast<unsigned char>(c);
            out += hex_digits[byte >> 4];
            out += hex_digits[byte & 15];
        }
        out += '\n';
    }
    out += "end " + std::to_string(values.size()) + "\n";
    return out;
}

// The values of a key file, or nothing when the file is not a complete key file.
std::optional<std::vector<StoredValue>> parse(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        if (end == std::string_view::npos)
            return std::nullopt; // every record ends its line; a cut-off file does not
        lines.push_back(text.substr(0, end));
        text.remove_prefix(end + 1);
    }
    if (lines.size() < 3 || lines[0] != file_header || !lines[1].starts_with("key ") ||
        !lines.back().starts_with("end "))
        return std::nullopt;
    std::vector<StoredValue> values;
    for (std::size_t i = 2; i + 1 < lines.size(); ++i) {
        std::string_view line = lines[i];
        if (!line.starts_with("value "))
            return std::nullopt;
        line.remove_prefix(6);
        std::size_t type_end = line.find(' ');
        if (type_end == std::string_view::npos)
            return std::nullopt;
        std::size_t name_end = line.find(' ', type_end + 1);
        if (name_end == std::string_view::npos)
            return std::nullopt;
        auto type = parse_number(line.substr(0, type_end));
        auto name = unescape_name(line.substr(type_end + 1, name_end - type_end - 1));
        auto bytes = decode_hex(line.substr(name_end + 1));
        if (!type || !name || !bytes)
            return std::nullopt;
        values.push_back({std::move(*name), {static_cast<RegistryType>(*type), std::move(*bytes)}});
    }
    auto count = parse_number(lines.back().substr(4));
    if (!count || *count != values.size())
        return std::nullopt;
    return values;
}

fs::path home_folder()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    struct passwd entry {};
    struct passwd* found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(::getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_dir)
        return found->pw_dir;
    return {};
}

// The key's file: each part of the key path is a folder, the last one a file named "<part>.key".
// Parts are folded to lower case because key names are compared without case.
Result<fs::path> key_file(std::string_view sub_key)
{
    fs::path file = registry_root();
    std::vector<std::string> parts;
    for (std::size_t start = 0;;) {
        std::size_t end = sub_key.find('\\', start);
        std::string_view piece = sub_key.substr(start, end == std::string_view::npos ? end : end - start);
        if (piece.empty() || piece == "." || piece == ".." || piece.find('/') != std::string_view::npos ||
            piece.find('\0') != std::string_view::npos)
            return failure(os_error_text(EINVAL));
        std::string lowered(piece);
        std::transform(lowered.begin(), lowered.end(), lowered.begin(), lower_ascii);
        parts.push_back(std::move(lowered));
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    for (std::size_t i = 0; i + 1 < parts.size(); ++i)
        file /= parts[i];
    return file / (parts.back() + ".key");
}

// Reads a key file: its values, nothing when the file is damaged, a failure when unreadable.
Result<std::optional<std::vector<StoredValue>>> load_values(const fs::path& file)
{
    auto text = read_file(file, document_read_limit);
    if (!text)
        return failure(text.error());
    return parse(*text);
}

Status write_values(const fs::path& file, std::string_view key_name, const std::vector<StoredValue>& values)
{
    TRY(write_file_atomic(file, serialize(key_name, values)));
    // Make the rename itself durable; the data is already on disk, so a failure here only risks
    // the old file coming back after a power loss.
    (void)sync_file(file.parent_path());
    return {};
}

} // namespace

fs::path registry_store::default_root()
{
    // A relative XDG_CONFIG_HOME is to be ignored, as the base-directory rules say.
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config == '/')
        return fs::path(config) / "torvane" / "registry";
    return home_folder() / ".config" / "torvane" / "registry";
}

std::string registry_store::refused_write_text() { return os_error_text(EACCES); }

Result<RegistryKey> RegistryKey::create_current_user(std::string_view sub_key)
{
    std::lock_guard lock(key_files_mutex);
    fs::path file = TRY(key_file(sub_key));
    TRY(create_folders(file.parent_path()));
    FileInfo info = TRY(file_info(file, FollowLinks::Yes));
    if (info.kind == FileKind::Missing)
        TRY(write_values(file, sub_key, {}));
    else if (info.kind != FileKind::Regular)
        return failure(os_error_text(EISDIR));
    return RegistryKey(std::move(file), std::string(sub_key));
}

Result<RegistryData> RegistryKey::query(std::string_view name) const
{
    std::lock_guard lock(key_files_mutex);
    auto values = TRY(load_values(file_));
    if (!values)
        return failure(os_error_text(EBADMSG));
    for (const auto& value : *values)
        if (equal_ignoring_ascii_case(value.name, name))
            return value.data;
    return failure(os_error_text(ENOENT));
}

Status RegistryKey::write_value(std::string_view name, RegistryType type, std::string_view bytes)
{
    std::lock_guard lock(key_files_mutex);
    std::vector<StoredValue> values;
    // A key file removed behind our back is made again.
    if (TRY(file_info(file_, FollowLinks::Yes)).kind != FileKind::Missing) {
        // A damaged file is replaced by a key holding only what is written from now on.
        if (auto parsed = TRY(load_values(file_)))
            values = std::move(*parsed);
    }
    auto existing = std::find_if(values.begin(), values.end(),
                                 [&](const StoredValue& v) { return equal_ignoring_ascii_case(v.name, name); });
    RegistryData data{type, std::string(bytes)};
    if (existing != values.end())
        existing->data = std::move(data);
    else
        values.push_back({std::string(name), std::move(data)});
    return write_values(file_, name_, values);
}

} // namespace torvane::platform
