// Text shaping: a UTF-8 string becomes glyphs positioned in logical pixels; fitting a width with an
// ellipsis.
#pragma once

#include "render/font.hpp"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace torvane {

struct PositionedGlyph {
    float x = 0;               // logical pixels from the run's origin along the baseline
    std::uint16_t glyph_id = 0;
    float y = 0;               // logical pixels relative to the baseline, positive downwards
};

// Glyphs of one text in one font at one size. It does not refer to its font: the caller keeps the
// two together and draws the run with the font it was shaped with.
struct ShapedRun {
    std::vector<PositionedGlyph> glyphs; // in the shaper's output order
    float width = 0;                     // final pen position, extra spacing included
    float size = 0;                      // font size in logical pixels
};

// One glyph as the shaper gives it, in font units.
struct ShapedGlyph {
    std::uint16_t glyph_id = 0;
    std::uint32_t cluster = 0; // byte offset in the text of the first character it came from
    std::int32_t x_advance = 0;
    std::int32_t x_offset = 0;
    std::int32_t y_offset = 0; // y up, as in the font
};

// Proportional figures, or the font's tabular ("tnum") figures for numbers that must not jitter.
enum class Figures { Proportional, Tabular };

// The shaper's output for text (direction, script and language guessed from the content).
std::vector<ShapedGlyph> shape_glyphs(const Font& font, std::string_view text, Figures figures);

// Shapes text with the font's layout tables, direction, script and language guessed from the
// content, and places the glyphs in logical pixels. extra_spacing is added after every cluster, the last one included. Never fails; an
// empty text gives no glyphs and width 0.
ShapedRun shape_run(const Font& font, float size, float extra_spacing, std::string_view text,
                    Figures figures = Figures::Proportional);

// The text itself when it fits max_width (with 0.01 of slack), otherwise its longest prefix (whole
// characters) that fits together with a following U+2026, trailing spaces removed, then U+2026.
std::string ellipsize_to_width(const Font& font, float size, float max_width, std::string_view text);

} // namespace torvane
