// A folder's entries as the system lists them, each with its own metadata (its links not
// followed), and the removal of one entry. The walks and deletes of folder_walk.hpp are written
// over these, once for both systems.
#pragma once

#include "platform/files.hpp"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace torvane::platform {

namespace fs = std::filesystem;

// One entry of a folder listing. kind, reparse_point and reparse_tag follow FileInfo's rules for
// metadata read without following; kind is never Missing.
struct FolderEntry {
    fs::path name; // the entry's name alone
    FileKind kind = FileKind::Regular;
    bool reparse_point = false;
    std::uint32_t reparse_tag = 0;
};

// The entries of a folder in the system's order, "." and ".." left out. Linux: readdir with the
// entry's type, lstat where the file system does not give it (an entry gone meanwhile is skipped).
// Windows: FindFirstFileExW / FindNextFileW, the reparse tag from the listing's dwReserved0.
// Fails with os_error_text when the folder cannot be opened or read to its end.
Result<std::vector<FolderEntry>> list_folder(const fs::path& folder);

// Removes one listed entry: an empty folder (kind Directory, no reparse point) as a folder, and
// anything else with remove_file, so that a link or junction goes as an entry and its target is
// never touched. A folder that still has entries fails. A missing entry is success.
Status remove_folder_entry(const fs::path& path, const FolderEntry& entry);

} // namespace torvane::platform
