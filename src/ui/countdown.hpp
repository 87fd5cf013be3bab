// The opening countdown: the opening time shown in Brasília time, the four remaining-time texts,
// and the countdown panel drawn under the digits.
#pragma once

#include "render/canvas.hpp"
#include "ui/ui_state.hpp"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace torvane {

// The opening time as the main screen shows it, in UTC-3 without daylight saving:
// "05 de dezembro · 20h", "01 de março · 9h05".
std::string opening_display_text(std::int64_t unix_ms);

// Reads the opening time; on success it becomes the target and its display text, otherwise both
// stay as they were.
void set_opening_date(UiState& state, std::string_view text);

// Whole seconds left until the target (at least 0), and whether the server counts as open (less
// than a second to go).
struct OpeningState {
    std::int64_t remaining_seconds = 0;
    bool opened = false;
};
OpeningState opening_state(std::optional<std::int64_t> target_ms, std::int64_t now_ms);

// The four cell texts: days in plain decimal, then hours, minutes and seconds with two digits.
std::array<std::string, 4> countdown_texts(std::int64_t remaining_seconds);

inline constexpr std::array<std::string_view, 4> countdown_labels{"DIAS", "HORAS", "MINUTOS", "SEGUNDOS"};

// Draws the countdown panel without its digits: the four cells from x (widths from the caller,
// 9 units apart) with their labels, and the opening line beneath them centred on x 330. Logical
// units on the canvas; opacity 0 draws nothing visible and leaves the layout unchanged.
void draw_countdown(const UiState& state, Canvas& canvas, float x, float y, const std::array<float, 4>& cell_widths,
    float opacity);

} // namespace torvane
