// The animated stage of the main screen (logical x 0..660, y 58..536) and the status-dot pulse,
// drawn straight onto the frame every frame: sparks, server pill, rune rings, floating logo, the
// countdown or the opening text.
#pragma once

#include "ui/ui_state.hpp"

#include <cstdint>
#include <vector>

namespace torvane {

// Height of the stage's content (pill, crest block and countdown or opening text) and the pill's
// top, which centres that content in the stage.
float stage_content_height(const UiState& state, bool opened);
float stage_pill_top(float content_height);

// The server pill's width on the stage: the season line with room for the crest.
float stage_pill_width(const UiState& state);

// The pill sprite's key for its top and width.
std::int32_t badge_sprite_key(float y, float width);

// The intro's eased entrance progress: cubic-bezier(0.25, 0.1, 0.25, 1) of x clamped to 0..1.
float entrance(float x);

// The crest's rotating rune rings in their 520-unit design square around (260, 260): the ring
// that turns clockwise once a minute and the one that turns the other way every 90 s.
std::vector<FilledPath> clockwise_rune_ring();
std::vector<FilledPath> counter_clockwise_rune_ring();

// The logo's vertical bob in logical units at the clock time (a 4 s cycle, -4 to 4).
float logo_bob(float clock);

// The countdown cell widths for the four texts: max(70, max(value, label) + 14).
std::array<float, 4> countdown_cell_widths(UiState& state, const std::array<std::string, 4>& texts);

// The smallest rectangle of the pixmap that holds every pixel other than transparent black, as a
// copy of its own with its place in the pixmap; a pixmap with none gives one transparent pixel.
PlacedSprite cut_to_content(const Pixmap& pixmap);

// Draws the stage onto frame_canvas at the state's clock, using the wall clock for the opening.
void draw_stage(UiState& state, std::int64_t now_ms);

} // namespace torvane
