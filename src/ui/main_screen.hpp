// The launcher's main screen as three panel layers: the top bar (title, link buttons, server
// status, window buttons), the right column (news and server information) and the bottom bar
// (status, progress, window-mode toggle, settings button, Play), plus the server pill of the
// stage. Positions are logical units of the 1100 x 660 window.
#pragma once

#include "render/canvas.hpp"
#include "render/color.hpp"
#include "ui/ui_state.hpp"

#include <string>

namespace torvane {

namespace palette {
inline constexpr Color text = Color::from_rgba8(0xF6, 0xF2, 0xE6);
inline constexpr Color secondary = Color::from_rgba8(0xB6, 0xBA, 0xAE);
inline constexpr Color muted = Color::from_rgba8(0x76, 0x7C, 0x72);
inline constexpr Color panel = Color::from_rgba8(0x0E, 0x14, 0x12);
inline constexpr Color gold = Color::from_rgba8(0xD9, 0xA8, 0x45);
inline constexpr Color pale_gold = Color::from_rgba8(0xF2, 0xD2, 0x8A);
inline constexpr Color gold_start = Color::from_rgba8(0xF2, 0xCB, 0x66);
inline constexpr Color gold_end = Color::from_rgba8(0xB8, 0x80, 0x24);
inline constexpr Color online = Color::from_rgba8(0x22, 0xC5, 0x5E);
inline constexpr Color offline = Color::from_rgba8(0xEF, 0x44, 0x44);
} // namespace palette

// Where the panel layers lie, in logical units (the right column's height comes from the layout).
inline constexpr float top_bar_x = 0;
inline constexpr float top_bar_y = 0;
inline constexpr float top_bar_width = 1100;
inline constexpr float top_bar_height = 58;
inline constexpr float bottom_bar_x = 18;
inline constexpr float bottom_bar_y = 540;
inline constexpr float bottom_bar_width = 1064;
inline constexpr float bottom_bar_height = 104;
// right_column_x and right_column_width: layout.hpp; its top is the news panel's.
inline constexpr float right_column_y = 70;

// Redraws each panel layer whose dirty flag is set (top_bar_dirty, right_column_dirty,
// texts_dirty for the bottom bar), or that is missing or of the wrong size, and clears those
// flags. Each layer is a transparent pixmap the size of its panel at the state's scale, drawn
// with its panel's top-left corner as origin.
void draw_main_screen(UiState& state);

// The layers one by one, onto a canvas whose origin is the panel's top-left corner.
void draw_top_bar(UiState& state, Canvas& canvas);
void draw_right_column(UiState& state, Canvas& canvas);
void draw_bottom_bar(UiState& state, Canvas& canvas);

// The stage's 27-unit-high server pill with the crest and the season line, at opacity 0..1.
void draw_server_badge(const UiState& state, Canvas& canvas, float x, float y, float width, float opacity);

// The bottom bar's percentage: the shortest decimal form of the number, then "%" ("92%", "51.5%").
std::string percent_text(float percent);

// The status label as the bottom bar shows it: shortened with "…" so that it, and the rate line
// after it, end 12 units before the percentage (a long error would otherwise run over the switch
// and the Play button).
std::string shown_status_label(UiState& state);

// The hover intensity 0..1 of a main-screen element.
float hover_amount(const UiState& state, std::int32_t id, std::int32_t data = 0);

// Draws a shaped run with its line's top at y (the baseline lies baseline_offset below).
void draw_run_at_top(Canvas& canvas, const Font& font, const ShapedRun& run, float x, float top, const Paint& paint);
void draw_text_at_top(Canvas& canvas, const FontSet& fonts, const ShapedText& text, float x, float top, Color color);

} // namespace torvane
