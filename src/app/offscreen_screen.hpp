// What the benchmark and the capture share: the main screen built off screen from the launcher's
// configuration, with the server shown online.
#pragma once

#include "core/launcher_config.hpp"
#include "ui/ui_state.hpp"

#include <filesystem>
#include <optional>
#include <string_view>

namespace torvane {

// The largest scale the off-screen modes draw at (the canvases grow with its square).
inline constexpr float max_offscreen_scale = 8;

// Whether the modes can draw at the scale: finite, above 0 and at most max_offscreen_scale.
bool usable_offscreen_scale(float scale);

// Reports an unusable scale on standard error.
void report_unusable_scale(float scale);

// The configuration's links, news, information rows and opening time on the screen, and the
// server online.
void show_configured_screen(UiState& state, const LauncherConfig& config);

// The frame as the window shows it: the present step's conversion, each pixel's colours as they
// are and alpha 255. The compositors' rounding can leave the frame's alpha slightly below 255,
// which presenting never shows; a picture kept with it would be slightly transparent.
Pixmap presented_picture(const Pixmap& frame);

// The shortest decimal form that reads back as the same float, never with an exponent
// (1 for 1.0, 1.5, 1.25).
std::string shortest_float_text(float value);

} // namespace torvane
