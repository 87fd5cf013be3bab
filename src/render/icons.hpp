// The interface's line icons: short path-data strings (the SVG path syntax subset M, L, H, V, C,
// Q, A, Z with relative forms) parsed once into paths on a square design grid, then drawn at
// any size and colour.
#pragma once

#include "render/canvas.hpp"

#include <cstddef>
#include <optional>
#include <string_view>

namespace torvane {

// An icon in grid units: the stroke path is stroked, the fill path filled; either may be absent.
struct IconPath {
    std::optional<Path> stroke;
    std::optional<Path> fill;
};

// A read position in path data.
struct PathCursor {
    std::string_view data;
    std::size_t position = 0;
};

// Skips separators (tab, LF, FF, CR, space, comma) and reads one number: an optional sign, then
// digits with at most one point and an exponent after at least one character. 0.0 when the
// taken text is not a number (a lone sign or point, "1e"). So "0.5.5" reads 0.5 then 0.5 and
// "1-2" reads 1 then -2.
float next_path_number(PathCursor& cursor);

// Appends the contours of the path data to the builder. Never fails: an unsupported command
// (S, T, any other letter), a stray character or a number right after a close ends the parse,
// and what was appended up to there stays.
void parse_svg_path(PathBuilder& builder, std::string_view data);

// The built-in icons (24-unit grid unless noted).
IconPath globe_icon();
IconPath chat_icon();
IconPath trophy_icon();
IconPath gem_icon();
// A disc of the given radius with eight rays.
IconPath sun_icon(float disc_radius);
IconPath arrow_icon();
IconPath clock_icon();
IconPath play_icon();  // fill only
IconPath close_icon(); // 10-unit grid
IconPath chevron_icon();

inline constexpr float icon_grid = 24;
inline constexpr float close_icon_grid = 10;

// Every icon, parsed once, in the order the screens keep them.
struct IconSet {
    IconPath globe = globe_icon();
    IconPath chat = chat_icon();
    IconPath trophy = trophy_icon();
    IconPath gem = gem_icon();
    IconPath sun = sun_icon(3.5f);
    IconPath sun_small = sun_icon(3.2f);
    IconPath arrow = arrow_icon();
    IconPath clock = clock_icon();
    IconPath play = play_icon();
    IconPath close = close_icon();
    IconPath chevron = chevron_icon();
};

// Draws the icon with its grid's origin at (x, y) logical units, scaled so that `grid` units
// span `size`; stroke_width is in grid units (butt caps, miter joins, miter limit 4). The fill
// goes first, then the stroke. Strokes thinner than a device pixel are drawn as faint hairlines.
void draw_icon(Canvas& canvas, const IconPath& icon, float x, float y, float size, float grid, Color color,
    float stroke_width);

} // namespace torvane
