// What an install recorded of the files of a release folder when it last verified them: each
// file's size and modification time. A later start that finds the same release trusts a file
// only while its metadata still shows what was recorded, so a deleted or rewritten file is
// processed again without hashing the whole release on every start.
//
// The record is the file "verified-files" in the release folder, replaced whole through
// "verified-files.next" and a rename, like "release.pmx". Its text, lines ended by a line feed:
//
//   PXREC001
//   <release id>
//   <size> <modification time in 100-ns ticks since 0001-01-01> <path as listed>
//
// No release list can name it (its paths are client files, player files and Assets/<sha256>.pmk),
// and it carries neither ".tmp-" nor a release id as its name, so the sweep and the pruning leave
// it to its folder.
#pragma once

#include "platform/files.hpp"
#include "update/release_list.hpp"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

namespace torvane {

inline constexpr char install_record_file_name[] = "verified-files";
// Far above the record of the largest release list (30,000 entries).
inline constexpr std::uint64_t install_record_max_size = 16 * 1024 * 1024;

struct RecordedFile {
    std::uint64_t size = 0;
    std::int64_t modified_ticks = 0;
};

struct InstallRecord {
    enum class State {
        // No record: a release folder installed before records were kept. Its files are trusted
        // by their size alone, once.
        Missing,
        // A record that cannot be read, is not one or belongs to another release: it vouches for
        // no file.
        Damaged,
        Read,
    };
    State state = State::Missing;
    std::string text; // the record's bytes as read (Read only)
    std::unordered_map<std::string, RecordedFile> files; // by ASCII-lower-cased list path
};

// The record's bytes for the release; any fault gives State::Damaged.
InstallRecord parse_install_record(std::string_view bytes, std::string_view release_id);

// The record of the release folder for the release. A missing file is State::Missing; one that
// cannot be read (a link, a folder, too large, an I/O error) is State::Damaged.
InstallRecord read_install_record(const std::filesystem::path& release_folder, std::string_view release_id);

// Whether the entry's file, as its metadata read without following links shows it, is still the
// file the install verified: a regular file of the entry's size, and with a record, the size and
// modification time recorded for the entry. A file the record does not name is not.
bool file_unchanged_since_verified(const InstallRecord& record, const ReleaseEntry& entry,
                                   const platform::FileInfo& info);

// The record of the entries' files as they are now in the release folder. Player files are left
// out (they are never verified), and so is every entry whose file is not a regular file of its
// size, which the next start then processes again.
std::string install_record_text(const std::filesystem::path& release_folder, std::string_view release_id,
                                std::span<const ReleaseEntry> entries);
// The same, where `known[i]`, when it holds metadata, is what entries[i]'s file showed when it was
// last looked at (a file the run did not touch), so that only the other files are looked at again.
std::string install_record_text(const std::filesystem::path& release_folder, std::string_view release_id,
                                std::span<const ReleaseEntry> entries,
                                std::span<const std::optional<platform::FileInfo>> known);

} // namespace torvane
