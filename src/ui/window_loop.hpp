// The launcher's GUI mode: the window, its state and the frame-paced loop.
#pragma once

#include "ui/app_state.hpp"

#include <filesystem>
#include <optional>

namespace torvane {

// Builds the window's state before the window exists: the UI at the system scale, the cached or
// built-in configuration, the active release folder, the configured lists on the main screen, and
// the window-mode switch from the game's settings.
// The images may come decoded already (decode_images of base_dir).
AppState build_app_state(float system_scale, const std::filesystem::path& base_dir, bool test_flag,
    std::optional<DecodedImages> images = std::nullopt);

// The window's title: the configuration's "ServerName" (also when empty), else "Torvane".
std::string window_title(const LauncherConfig& config);

// Opens the window, starts the background work and runs the loop until the window is gone.
// Returns 0 then, 1 when the window cannot be created.
int run_window(const std::filesystem::path& base_dir, bool test_flag);

} // namespace torvane
