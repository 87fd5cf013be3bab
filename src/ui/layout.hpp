// Scaling and layout of the main screen: the canvases and scaled artwork for a scale, the text
// model (title, badge, link buttons, news, server information rows, hit list) built from the
// configured lists, and the one setter of the status lines and progress bars.
#pragma once

#include "core/launcher_config.hpp"
#include "render/color.hpp"
#include "render/font.hpp"
#include "ui/ui_state.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace torvane {

inline constexpr float logical_width = 1100;
inline constexpr float logical_height = 660;

// A pixel count ceil(units * scale), saturating; 0 becomes 1.
std::uint32_t scaled_pixels(float units, float scale);

// Rebuilds everything that depends on the scale: the canvases (ceil(1100 s) x ceil(660 s)), the
// hero's cover fit, the shade and ambient glow layer, the scaled crest and logo with their halos,
// the spark and emblem sprites, the glow cache, and then the text model. The background worker
// is let go (it is restarted for the new size) and the next frame is presented whole.
void apply_scale(UiState& state, float scale);

// Lays out the main screen from the state's texts and configured lists and rebuilds its hit list.
void rebuild_ui_model(UiState& state);

// Copies the configuration's "Links", "News", "Info" (empty when absent) and, when present,
// "Abertura" into the UI model.
void refresh_ui_from_config(UiState& state, const LauncherConfig& config);

// Stores the lists, applies the opening time when one is given, and lays the screen out again.
void set_links_and_news(UiState& state, std::vector<LauncherLink> links, std::vector<LauncherNews> news,
    std::vector<LauncherInfo> info, std::optional<std::string> opening);

// What one set_status call changes; a field left empty keeps its line or bar as it is.
struct StatusUpdate {
    std::optional<std::string> label;
    std::optional<float> thin_bar_percent; // the current step's thin bar
    std::optional<float> main_bar_percent; // the main bar and the shown percent
    std::optional<std::string> detail;
    std::optional<std::string> rate;
};

// Replaces the status label, detail and rate lines that are given and retargets each bar whose
// percent is given (clamped to 0..100, NaN as 0); the main bar's percent is also the shown one.
void set_status(UiState& state, StatusUpdate update);

// A link's kind from its label, lower-cased and compared whole: "loja" 3, "discord" 1,
// "ranking" 2, anything else 0.
LinkKind link_kind(std::string_view label);

// The colour of a news tag: the purple and blue shades of the site's palette become the
// launcher's gold and green; any other colour text is parsed as it is; absent or unreadable gives
// gold.
Color resolve_tag_color(const std::optional<std::string>& color);

// A server information value split at "|", pieces trimmed, empty pieces dropped.
std::vector<std::string> split_info_value(std::string_view value);

// The text when it fits max_width at the size, else the longest prefix (whole characters) that
// fits with "…" after it, down to "…" alone.
std::string fit_with_ellipsis(const Font& font, float size, float max_width, std::string_view text);

// Layout constants shared with the screens.
inline constexpr float news_first_top = 123;
inline constexpr float news_first_advance = 48.875f;
inline constexpr float news_later_advance = 54.875f;
inline constexpr float all_news_right = 1047;
inline constexpr float right_column_x = 678;
inline constexpr float right_column_width = 404;
inline constexpr float bar_fill_seconds = 0.45f;   // progress bar tweens
inline constexpr float toggle_seconds = 0.2f;      // switch knob tweens

} // namespace torvane
