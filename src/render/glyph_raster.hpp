// Drawing shaped text: a run is rasterised into a private layer aligned to device pixels, its
// coverage reshaped by a contrast curve that depends on the text colour, and composited once.
#pragma once

#include "render/canvas.hpp"
#include "render/font.hpp"
#include "render/shaping.hpp"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace torvane {

// The contrast curve's tuning: exponent = tg0 + tgk * luma^2.
struct TextGammaParams {
    float tg0 = 1.0f;
    float tgk = 1.4f;
};

// Reads "PX_TG0" and "PX_TGK" now (parse_decimal_float); an absent or unparsable variable keeps
// its default.
TextGammaParams text_gamma_params_from_environment();
// The parameters of this process: read from the environment on first use, then fixed.
const TextGammaParams& init_text_gamma_params();

// The exponent of the curve for a text colour of the given luma.
double text_gamma_exponent(const TextGammaParams& params, float luma);

// Maps a layer pixel's alpha to its reshaped alpha for text drawn with the paint. A solid paint
// uses its colour's Rec. 709 luma and alpha; any other shader counts as opaque white.
std::array<std::uint8_t, 256> coverage_table(const TextGammaParams& params, const Paint& paint);

// Replaces every pixel's alpha a (when not 0) by table[a], scaling its premultiplied colour
// channels in proportion (rounded, never above the new alpha).
void apply_coverage_table(Pixmap& layer, const std::array<std::uint8_t, 256>& table);

// Draws a run shaped with font at (x, y) in logical units, y being the baseline (a line's top
// plus baseline_offset). Glyphs without an outline are skipped; a run whose layer would be too
// large for a pixmap is not drawn. UI thread only (the font's glyph cache is not shared safely).
void draw_glyph_run(Canvas& canvas, const Font& font, float x, float y, const ShapedRun& run, const Paint& paint);

} // namespace torvane
