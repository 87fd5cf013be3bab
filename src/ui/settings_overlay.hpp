// The settings dialog's picture: opening it over a blurred, darkened snapshot of the frame, its
// geometry, the painter of its elements with the hit regions it hands to the input code, and the
// dialog frame that render_frame produces while it is open (opening fade and pop, the idle rule,
// the open drop-down list).
#pragma once

#include "game/option_lists.hpp"
#include "render/canvas.hpp"
#include "ui/frame.hpp"
#include "ui/ui_state.hpp"
#include "ui/ui_state_types.hpp"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace torvane {

// What the dialog opens with: the five option lists and the current values as texts (window
// mode, resolution, frame-rate index and renderer in decimal, the language as stored).
struct SettingsPanelModel {
    std::vector<OptionChoice> window_modes;
    std::vector<OptionChoice> resolutions;
    std::vector<OptionChoice> fps_limits;
    std::vector<OptionChoice> renderers;
    std::vector<OptionChoice> languages;
    std::string window_mode;
    std::string resolution;
    std::string fps_index;
    std::string render_state;
    std::string language;
    std::int32_t volume = 0;
    bool sound_on = false;
    bool music_on = false;
    std::optional<std::string> message;
};

// The screenshot capture's model: fixed lists, full screen at 1600x900, 300 FPS, OpenGL 3,
// Portuguese; volume 0, both switches off, no message.
SettingsPanelModel capture_settings_model();

// Geometry in logical units of the 1100 x 660 window.
inline constexpr float settings_dialog_x = 310;
inline constexpr float settings_dialog_width = 480;
inline constexpr float settings_dialog_height = 524;
inline constexpr float settings_message_height = 45; // added while a message shows
inline constexpr std::array<float, settings_field_count> settings_row_offsets{102, 144, 216, 258, 415};
inline constexpr float settings_field_x = 475;
inline constexpr float settings_field_width = 290;
inline constexpr float settings_field_height = 34;
inline constexpr float drop_down_row_height = 24;
inline constexpr std::int32_t drop_down_max_rows = 20;
// The dialog's own regions (body, close, five fields, switches, slider, buttons); an open list's
// regions follow them in the hit list.
inline constexpr std::size_t settings_dialog_region_count = 12;

// The dialog's height and top, with or without the message line (524 at 68, or 569 at 46).
float settings_dialog_height_for(bool has_message);
float settings_dialog_top(bool has_message);
// The top of a choice field (0..4); a larger index ends the process.
float settings_field_top(bool has_message, std::int32_t field);

// Where an open drop-down list lies: its top, the number of rows it shows and its height.
struct DropDownGeometry {
    float top = 0;
    std::int32_t rows = 0;
    float height = 2;
};
// The list of a field whose box starts at field_top, for option_count options: as many rows as
// fit the larger space above or below (at most 20, at least 1 when there are options), below the
// field when it fits there, else above it but never above y 6.
DropDownGeometry drop_down_geometry(float field_top, std::int32_t option_count);

// The knob centre of the volume slider for a volume 0..10.
float volume_knob_x(std::int32_t volume);

// Opens the dialog: the selected index of each list is its first entry whose value equals the
// current one byte for byte (0 when none), the frame is kept as the sharp snapshot and a half-size
// blurred, darkened copy as the backdrop, the switch knobs rest, screen_mode becomes
// screen_settings, the hover is tested again and the whole window is redrawn.
void open_settings_overlay(UiState& ui, SettingsPanelModel model);

// Paints the dialog onto the canvas (the frame renderer's dialog pixmap) and returns its hit
// regions in the order body, close, fields 0 to 4, sound, music, volume, Cancel, Save. The same
// as draw_settings_dialog_base followed by draw_settings_dialog_controls.
std::vector<HitRegion> draw_settings_dialog(UiState& ui, Canvas& canvas, const SettingsModel& overlay);
// What of the dialog changes only with its message line: the soft shadows (its costly part), the
// body, title, headings, labels and the message box. The frame renderer keeps it.
void draw_settings_dialog_base(UiState& ui, Canvas& canvas, const std::optional<std::string>& message);
// The elements that follow the pointer and the edits, over the base; returns the hit regions.
std::vector<HitRegion> draw_settings_dialog_controls(UiState& ui, Canvas& canvas, const SettingsModel& overlay);

// Draws the open drop-down list of overlay.open_field over the canvas and returns its regions:
// the box (id 10) and one id 13 region per visible row with the option's index.
std::vector<HitRegion> draw_drop_down_list(UiState& ui, Canvas& canvas, const SettingsModel& overlay);

// The frame while the dialog is open, after render_frame's clock step: nothing (an empty list)
// when the dialog is settled and nothing changed; otherwise the snapshot, the backdrop fading in
// over 0.2 s, the dialog popping in over 0.25 s and an open list, presented whole. redraw_all
// counts as a change, and a drawn frame clears it as any whole frame does.
std::vector<DirtyRect> render_settings_frame(UiState& ui);

// After the scale changed with the dialog open: the snapshots follow the new canvas size and the
// dialog is painted again.
void rescale_settings_overlay(UiState& ui);

} // namespace torvane
