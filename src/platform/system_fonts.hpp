// Where the system keeps the Arial-compatible face that the launcher falls back to.
#pragma once

#include <filesystem>
#include <span>

namespace torvane::platform {

// The candidate files, in order of preference.
std::span<const std::filesystem::path> arial_compatible_font_paths();

} // namespace torvane::platform
