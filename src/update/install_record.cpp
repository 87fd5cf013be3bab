#include "update/install_record.hpp"

#include "update/digest.hpp"
#include "update/install_folders.hpp"
#include "update/path_safety.hpp"

#include <charconv>
#include <optional>

namespace torvane {

namespace {

constexpr std::string_view record_magic = "PXREC001";

// A whole field as a number of the type; none for anything else (a sign on an unsigned size, a
// blank, a number out of range).
template <typename Number>
std::optional<Number> whole_number(std::string_view field)
{
    Number value {};
    auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (field.empty() || error != std::errc() || end != field.data() + field.size())
        return std::nullopt;
    return value;
}

InstallRecord damaged() { return InstallRecord {.state = InstallRecord::State::Damaged}; }

// What a verified file of the entry is at the least: a regular file of the entry's size.
bool regular_of_entry_size(const platform::FileInfo& info, const ReleaseEntry& entry)
{
    return info.kind == platform::FileKind::Regular && info.size == entry.size;
}

} // namespace

InstallRecord parse_install_record(std::string_view bytes, std::string_view release_id)
{
    InstallRecord record {.state = InstallRecord::State::Read, .text = std::string(bytes)};
    std::size_t line_number = 0;
    while (!bytes.empty()) {
        std::size_t end = bytes.find('\n');
        if (end == std::string_view::npos)
            return damaged(); // a last line without its line feed: the file was cut short
        std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end + 1);
        ++line_number;
        if (line_number == 1) {
            if (line != record_magic)
                return damaged();
            continue;
        }
        if (line_number == 2) {
            if (line != release_id)
                return damaged();
            continue;
        }
        std::size_t first = line.find(' ');
        std::size_t second = first == std::string_view::npos ? first : line.find(' ', first + 1);
        if (second == std::string_view::npos || second + 1 >= line.size())
            return damaged();
        auto size = whole_number<std::uint64_t>(line.substr(0, first));
        auto ticks = whole_number<std::int64_t>(line.substr(first + 1, second - first - 1));
        if (!size || !ticks)
            return damaged();
        record.files[ascii_lower(line.substr(second + 1))] = RecordedFile {*size, *ticks};
    }
    if (line_number < 2)
        return damaged();
    return record;
}

InstallRecord read_install_record(const std::filesystem::path& release_folder, std::string_view release_id)
{
    const std::filesystem::path path = release_folder / install_record_file_name;
    auto info = platform::file_info(path, platform::FollowLinks::No);
    if (info && info->kind == platform::FileKind::Missing)
        return InstallRecord {.state = InstallRecord::State::Missing};
    auto bytes = read_through_limit(path, install_record_max_size);
    if (!bytes)
        return damaged();
    return parse_install_record(*bytes, release_id);
}

bool file_unchanged_since_verified(const InstallRecord& record, const ReleaseEntry& entry,
                                   const platform::FileInfo& info)
{
    if (!regular_of_entry_size(info, entry))
        return false;
    switch (record.state) {
    case InstallRecord::State::Missing:
        return true;
    case InstallRecord::State::Damaged:
        return false;
    case InstallRecord::State::Read:
        break;
    }
    auto found = record.files.find(ascii_lower(entry.path));
    return found != record.files.end() && found->second.size == info.size
           && found->second.modified_ticks == info.modified_ticks;
}

std::string install_record_text(const std::filesystem::path& release_folder, std::string_view release_id,
                                std::span<const ReleaseEntry> entries)
{
    return install_record_text(release_folder, release_id, entries, {});
}

std::string install_record_text(const std::filesystem::path& release_folder, std::string_view release_id,
                                std::span<const ReleaseEntry> entries,
                                std::span<const std::optional<platform::FileInfo>> known)
{
    std::string text = std::string(record_magic) + "\n" + std::string(release_id) + "\n";
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const ReleaseEntry& entry = entries[i];
        if (is_user_file(entry.path))
            continue;
        Result<platform::FileInfo> info = i < known.size() && known[i]
                                              ? Result<platform::FileInfo>(*known[i])
                                              : platform::file_info(push_relative_path(release_folder, entry.path),
                                                                    platform::FollowLinks::No);
        if (!info || !regular_of_entry_size(*info, entry))
            continue;
        text += std::to_string(info->size) + " " + std::to_string(info->modified_ticks) + " " + entry.path + "\n";
    }
    return text;
}

} // namespace torvane
