// The capture mode's pieces that tests look at one by one.
#pragma once

#include "core/launcher_config.hpp"

#include <filesystem>

namespace torvane {

// Replaces the configuration's "Links", "News", "Info" and "Abertura" by those the data file
// gives (each only when present). A file that cannot be read or is not a configuration document
// changes nothing. Byte-order marks before the document are skipped, invalid UTF-8 is replaced.
void apply_capture_data(LauncherConfig& config, const std::filesystem::path& data_file);

} // namespace torvane
