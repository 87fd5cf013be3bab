// The operator's manifest generator: lists every file of a finished game folder with its size and
// SHA-256 in a JSON file manifest, leaving out the launcher's data, logs, dumps, screenshots,
// uninstaller and temporary files. generate_manifest itself is declared in modes.hpp.
#pragma once

#include "platform/result.hpp"
#include "core/update_manifest.hpp"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace torvane {

namespace fs = std::filesystem;

// Appends the path of every file below the folder, depth first in listing order
// (platform::walk_folder). Folders that cannot be listed add nothing; symbolic links and junctions
// are never entered but listed like files (a link to a folder then fails the manifest by name);
// pipes, sockets and devices are left out.
void collect_files_recursive(const fs::path& folder, std::vector<fs::path>& list);

// The generation time as twelve digits, year, month, day, hour and minute of UTC; a time before
// 1970 gives "197001010000".
std::string manifest_version_text(std::int64_t system_ticks);

// Whether a relative path (with '\' separators) stays out of the manifest.
bool excluded_from_manifest(std::string_view relative_path);

// Whether a relative path (with '\' separators) is one of the files the user edits.
bool installed_only_if_missing(std::string_view relative_path);

// The manifest of the folder: its files in order of their lower-cased relative paths, versioned
// with the given time. The file at left_out (the manifest's own output, whatever its name) is not
// listed: it is told by its identity (platform::same_file), not by its name. Fails with the I/O
// error's text of the folder or of a file being hashed.
Result<UpdateManifest> build_folder_manifest(const fs::path& folder, std::int64_t system_ticks,
                                             const fs::path& left_out = {});

} // namespace torvane
