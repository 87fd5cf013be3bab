// The built-in launcher configuration and the cached copy under the game folder.
#pragma once

#include "core/launcher_config.hpp"
#include "platform/result.hpp"

#include <filesystem>
#include <string_view>

namespace torvane {

// <base_dir>/Data/Launcher/launcher.json
std::filesystem::path launcher_json_cache_path(const std::filesystem::path& base_dir);

// The configuration the launcher carries for when the service has not answered yet, with the
// build's service and web site origins.
LauncherConfig default_launcher_config();
// The same with the given origins (scheme, host and port; a trailing "/" is dropped).
LauncherConfig default_launcher_config(std::string_view service_origin, std::string_view web_origin);

// Writes the document in the pretty form. The parent folders are created first (a failure there
// is left to the write to report); the file is replaced whole, never left half-written. Fails with
// the write's I/O error text.
Status save_launcher_config(const LauncherConfig& config, const std::filesystem::path& path);

// The cached configuration, field by field completed from the built-in one. Never fails: a missing
// cache yields the built-in configuration, which is then written as the new cache; an unreadable or
// malformed cache yields the built-in configuration and is left as it is.
LauncherConfig load_launcher_config(const std::filesystem::path& base_dir);

} // namespace torvane
