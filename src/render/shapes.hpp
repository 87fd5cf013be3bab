// Rounded rectangles, circles, one-unit borders, linear gradients by angle and stroke outlines:
// the few vector operations every panel, button, badge and bar of the screens is drawn from.
// Geometry is in logical units; the canvas transform maps it to pixels.
#pragma once

#include "render/canvas.hpp"

#include <optional>
#include <span>

namespace torvane {

// The quarter-circle constant of cubic Bézier arcs.
inline constexpr float bezier_circle_k = 0.5522848f;

// A rounded rectangle, clockwise on screen from the top edge. The radius is clamped to half the
// shorter side and to 0 or above; radius 0 gives the sharp rectangle. None when w <= 0 or h <= 0
// or the edges are not finite.
std::optional<Path> rounded_rect_path(float x, float y, float w, float h, float radius);

// A circle of four cubic quarter arcs starting at its rightmost point, closed.
std::optional<Path> circle_path(float cx, float cy, float r);

// Fills a rounded rectangle with the paint (non-zero rule) under the canvas transform.
void fill_round_rect(Canvas& canvas, const Paint& paint, float x, float y, float w, float h, float radius);

// A border one logical unit wide inside the rectangle's edge, following the corner radius.
// Nothing for a colour with no alpha; a rectangle 2 units wide or high (or less) is filled whole.
void stroke_round_rect(Canvas& canvas, Color color, float x, float y, float w, float h, float radius);

// A linear gradient over the rectangle at a CSS angle: 0 degrees runs from the bottom edge to the
// top, 90 from left to right, 180 from top to bottom; the gradient line spans the rectangle
// exactly along its direction. At least one stop. When no gradient can be built the shader is
// the first stop's solid colour.
Shader linear_gradient_shader(std::span<const ColorStop> stops, float x, float y, float w, float h, float angle_degrees);

// The ends of the gradient line that linear_gradient_shader uses.
struct GradientLine {
    PathPoint start;
    PathPoint end;
};
GradientLine gradient_line(float x, float y, float w, float h, float angle_degrees);

// The area covered by stroking the path with the given width (butt caps, miter joins, miter
// limit 4), as a path to fill with the non-zero rule. resolution_scale is how many pixels one
// path unit becomes, so that curves are flattened finely enough. With a dash list (on and off
// lengths, starting "on" at the path's start) the path is dashed first; a list with fewer than
// two entries, an odd count, a negative entry or a sum that is not positive and finite gives
// none. None also for no path or nothing to outline.
std::optional<Path> stroke_outline(const std::optional<Path>& path, float resolution_scale, float width,
    const std::optional<std::span<const float>>& dash);

} // namespace torvane
