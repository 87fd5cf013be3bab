#include "ui/countdown.hpp"

#include "core/util.hpp"
#include "render/glyph_raster.hpp"
#include "render/icons.hpp"
#include "render/shapes.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace torvane {

namespace {

constexpr std::string_view month_names[] = {"janeiro", "fevereiro", "março", "abril", "maio", "junho", "julho",
    "agosto", "setembro", "outubro", "novembro", "dezembro"};

constexpr std::int64_t brasilia_offset_ms = 3 * 3600 * 1000;

std::int64_t floor_div(std::int64_t a, std::int64_t b)
{
    std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// A number below 100 with a leading zero; larger ones in full.
std::string two_digits(std::int64_t value)
{
    char text[24];
    std::snprintf(text, sizeof text, "%02lld", static_cast<long long>(value));
    return text;
}

struct CivilDate {
    std::int64_t year;
    unsigned month; // 1..12
    unsigned day;   // 1..31
};

// The proleptic Gregorian date of a day count since 1970-01-01.
CivilDate civil_from_days(std::int64_t days)
{
    days += 719468;
    std::int64_t era = floor_div(days, 146097);
    std::int64_t day_of_era = days - era * 146097;
    std::int64_t year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    std::int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    std::int64_t month_index = (5 * day_of_year + 2) / 153;
    unsigned day = static_cast<unsigned>(day_of_year - (153 * month_index + 2) / 5 + 1);
    unsigned month = static_cast<unsigned>(month_index < 10 ? month_index + 3 : month_index - 9);
    return {year_of_era + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

} // namespace

std::string opening_display_text(std::int64_t unix_ms)
{
    std::int64_t seconds = floor_div(unix_ms - brasilia_offset_ms, 1000);
    std::int64_t days = floor_div(seconds, 86400);
    std::int64_t second_of_day = seconds - days * 86400;
    CivilDate date = civil_from_days(days);
    std::int64_t hour = second_of_day / 3600;
    std::int64_t minute = second_of_day % 3600 / 60;
    std::string text = two_digits(date.day) + " de " + std::string(month_names[date.month - 1]) + " \u00B7 "
        + std::to_string(hour) + "h";
    if (minute != 0)
        text += two_digits(minute);
    return text;
}

void set_opening_date(UiState& state, std::string_view text)
{
    std::optional<std::int64_t> ms = parse_datetime_ms(text);
    if (!ms)
        return;
    state.opening_ms = *ms;
    state.opening_text = opening_display_text(*ms);
}

OpeningState opening_state(std::optional<std::int64_t> target_ms, std::int64_t now_ms)
{
    // Without a target there is nothing to count down to.
    if (!target_ms)
        return {0, true};
    std::int64_t left = *target_ms - now_ms;
    return {left > 0 ? left / 1000 : 0, left < 1000};
}

std::array<std::string, 4> countdown_texts(std::int64_t remaining_seconds)
{
    std::int64_t days = remaining_seconds / 86400;
    std::int64_t hours = (remaining_seconds - days * 86400) / 3600;
    std::int64_t minutes = remaining_seconds / 60 % 60;
    std::int64_t seconds = remaining_seconds % 60;
    return {std::to_string(days), two_digits(hours), two_digits(minutes), two_digits(seconds)};
}

} // namespace torvane

namespace torvane {

namespace {

// round(min(factor * opacity, 1) * 255) / 255, negative values counting as 0.
float quantised_alpha(float factor, float opacity)
{
    float value = std::min(factor * opacity, 1.0f);
    if (!(value > 0))
        return 0;
    return std::round(value * 255) / 255;
}

Color with_alpha(Color color, float alpha)
{
    color.a = alpha;
    return color;
}

constexpr Color cell_fill = Color::from_rgba8(0x0E, 0x14, 0x12);
constexpr Color cell_gold_start = Color::from_rgba8(0xF2, 0xCB, 0x66);
constexpr Color cell_gold_end = Color::from_rgba8(0xB8, 0x80, 0x24);
constexpr Color label_colour = Color::from_rgba8(0x76, 0x7C, 0x72);
constexpr Color secondary_colour = Color::from_rgba8(0xB6, 0xBA, 0xAE);
constexpr Color text_colour = Color::from_rgba8(0xF6, 0xF2, 0xE6);
constexpr Color icon_colour = Color::from_rgba8(0xF2, 0xD2, 0x8A);

} // namespace

void draw_countdown(const UiState& state, Canvas& canvas, float x, float y, const std::array<float, 4>& cell_widths,
    float opacity)
{
    float box_alpha = quantised_alpha(0.85f, opacity);
    float border_alpha = quantised_alpha(0.07f, opacity);
    float text_alpha = quantised_alpha(1, opacity);
    const FontSet& fonts = state.fonts;
    const Font& regular = fonts.manrope_regular;
    const Font& bold = fonts.manrope_bold;

    float cell_x = x;
    for (std::size_t i = 0; i < cell_widths.size(); ++i) {
        float w = cell_widths[i];
        fill_round_rect(canvas, Paint::solid(with_alpha(cell_fill, box_alpha)), cell_x, y, w, 68.5f, 12);
        stroke_round_rect(canvas, Color{1, 1, 1, border_alpha}, cell_x, y, w, 68.5f, 12);
        const ColorStop stops[] = {{0, with_alpha(cell_gold_start, border_alpha)}, {1, with_alpha(cell_gold_end, border_alpha)}};
        fill_round_rect(canvas, Paint{linear_gradient_shader(stops, cell_x + 1, y + 1, w - 2, 66.5f, 135)}, cell_x + 1,
            y + 1, w - 2, 66.5f, 11);
        ShapedRun label = shape_run(regular, 9.5f, 0.95f, countdown_labels[i]);
        draw_glyph_run(canvas, regular, cell_x + (w - label.width) / 2, y + 44.5f + baseline_offset(regular, 9.5f), label,
            Paint::solid(with_alpha(label_colour, text_alpha)));
        cell_x += w + 9;
    }

    float line_top = y + 78.5f;
    ShapedRun before = shape_run(regular, 12.5f, 0, "Abertura em");
    ShapedRun date = shape_run(bold, 12.5f, 0, state.opening_text);
    ShapedRun after = shape_run(regular, 12.5f, 0, "\u00B7 hor\u00E1rio de Bras\u00EDlia");
    float total = before.width + 20 + 6 + date.width + 6 + after.width;
    float left = 330 - total / 2;
    draw_icon(canvas, state.icons.clock, left, line_top + 1.5f, 14, icon_grid, with_alpha(icon_colour, text_alpha), 2);
    float pen = left + 20;
    draw_glyph_run(canvas, regular, pen, line_top + baseline_offset(regular, 12.5f), before,
        Paint::solid(with_alpha(secondary_colour, text_alpha)));
    pen += before.width + 6;
    draw_glyph_run(canvas, bold, pen, line_top + baseline_offset(bold, 12.5f), date,
        Paint::solid(with_alpha(text_colour, text_alpha)));
    pen += date.width + 6;
    draw_glyph_run(canvas, regular, pen, line_top + baseline_offset(regular, 12.5f), after,
        Paint::solid(with_alpha(secondary_colour, text_alpha)));
}

} // namespace torvane
