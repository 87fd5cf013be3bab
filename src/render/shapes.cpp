#include "render/shapes.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

namespace torvane {

std::optional<Path> rounded_rect_path(float x, float y, float w, float h, float radius)
{
    if (!(w > 0) || !(h > 0))
        return std::nullopt;
    float r = std::min({radius, w / 2, h / 2});
    r = std::max(r, 0.0f);
    float right = x + w;
    float bottom = y + h;
    PathBuilder builder;
    if (r > 0) {
        const float k = bezier_circle_k;
        builder.move_to(x + r, y);
        builder.line_to(right - r, y);
        builder.cubic_to(right - r + k * r, y, right, y + r - k * r, right, y + r);
        builder.line_to(right, bottom - r);
        builder.cubic_to(right, bottom - r + k * r, right - r + k * r, bottom, right - r, bottom);
        builder.line_to(x + r, bottom);
        builder.cubic_to(x + r - k * r, bottom, x, bottom - r + k * r, x, bottom - r);
        builder.line_to(x, y + r);
        builder.cubic_to(x, y + r - k * r, x + r - k * r, y, x + r, y);
        builder.close();
    } else {
        if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(right) || !std::isfinite(bottom) || !(x <= right)
            || !(y <= bottom))
            return std::nullopt;
        builder.move_to(x, y);
        builder.line_to(right, y);
        builder.line_to(right, bottom);
        builder.line_to(x, bottom);
        builder.close();
    }
    return builder.finish();
}

std::optional<Path> circle_path(float cx, float cy, float r)
{
    const float k = bezier_circle_k;
    PathBuilder builder;
    builder.move_to(cx + r, cy);
    builder.cubic_to(cx + r, cy + k * r, cx + k * r, cy + r, cx, cy + r);
    builder.cubic_to(cx - k * r, cy + r, cx - r, cy + k * r, cx - r, cy);
    builder.cubic_to(cx - r, cy - k * r, cx - k * r, cy - r, cx, cy - r);
    builder.cubic_to(cx + k * r, cy - r, cx + r, cy - k * r, cx + r, cy);
    builder.close();
    return builder.finish();
}

void fill_round_rect(Canvas& canvas, const Paint& paint, float x, float y, float w, float h, float radius)
{
    if (auto path = rounded_rect_path(x, y, w, h, radius))
        fill_path(*canvas.pixmap, *path, paint, FillRule::Winding, canvas.transform());
}

void stroke_round_rect(Canvas& canvas, Color color, float x, float y, float w, float h, float radius)
{
    if (!(color.a > 0))
        return;
    PathBuilder builder;
    if (auto outer = rounded_rect_path(x, y, w, h, radius))
        builder.push_path(*outer);
    if (auto inner = rounded_rect_path(x + 1, y + 1, w - 2, h - 2, std::max(radius - 1, 0.0f)))
        builder.push_path(*inner);
    if (builder.verb_count() <= 1)
        return;
    if (auto ring = builder.finish())
        fill_path(*canvas.pixmap, *ring, Paint::solid(color), FillRule::EvenOdd, canvas.transform());
}

GradientLine gradient_line(float x, float y, float w, float h, float angle_degrees)
{
    float theta = angle_degrees * 0.017453292f;
    float s = static_cast<float>(std::sin(static_cast<double>(theta)));
    float c = static_cast<float>(std::cos(static_cast<double>(theta)));
    float length = std::fabs(c * h) + std::fabs(w * s);
    float cx = x + w / 2;
    float cy = y + h / 2;
    return GradientLine{
        {cx - s * length / 2, cy + c * length / 2},
        {cx + s * length / 2, cy - c * length / 2},
    };
}

Shader linear_gradient_shader(std::span<const ColorStop> stops, float x, float y, float w, float h, float angle_degrees)
{
    GradientLine line = gradient_line(x, y, w, h, angle_degrees);
    if (auto shader = Shader::linear_gradient(line.start, line.end, stops))
        return *shader;
    return Shader::solid(stops.empty() ? Color{} : stops.front().color);
}

// --- stroke outlines ----------------------------------------------------------------------

namespace {

struct Polyline {
    std::vector<PathPoint> points;
    bool closed = false;
};

PathPoint lerp(PathPoint a, PathPoint b, float t) { return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t}; }

float distance(PathPoint a, PathPoint b) { return std::hypot(b.x - a.x, b.y - a.y); }

// Curves become line pieces no further than `tolerance` from the curve.
std::vector<Polyline> flatten(const Path& path, float tolerance)
{
    std::vector<Polyline> lines;
    auto points = path.points();
    std::size_t i = 0;
    PathPoint current{};
    auto segments_for = [&](float deviation) {
        float n = std::ceil(std::sqrt(deviation / tolerance));
        return static_cast<int>(std::clamp(std::isfinite(n) ? n : 1.0f, 1.0f, 1000.0f));
    };
    auto open_line = [&]() -> Polyline& {
        if (lines.empty() || lines.back().closed)
            lines.push_back(Polyline{{current}, false});
        return lines.back();
    };
    for (PathVerb verb : path.verbs()) {
        switch (verb) {
        case PathVerb::Move:
            current = points[i++];
            lines.push_back(Polyline{{current}, false});
            break;
        case PathVerb::Line:
            current = points[i++];
            open_line().points.push_back(current);
            break;
        case PathVerb::Quad: {
            PathPoint p0 = current, p1 = points[i], p2 = points[i + 1];
            i += 2;
            float dx = p0.x - 2 * p1.x + p2.x, dy = p0.y - 2 * p1.y + p2.y;
            int n = segments_for(std::hypot(dx, dy) / 4);
            Polyline& line = open_line();
            for (int k = 1; k <= n; ++k) {
                float t = static_cast<float>(k) / n;
                line.points.push_back(lerp(lerp(p0, p1, t), lerp(p1, p2, t), t));
            }
            current = p2;
            break;
        }
        case PathVerb::Cubic: {
            PathPoint p0 = current, p1 = points[i], p2 = points[i + 1], p3 = points[i + 2];
            i += 3;
            float d1 = std::hypot(p0.x - 2 * p1.x + p2.x, p0.y - 2 * p1.y + p2.y);
            float d2 = std::hypot(p1.x - 2 * p2.x + p3.x, p1.y - 2 * p2.y + p3.y);
            int n = segments_for(0.75f * std::max(d1, d2));
            Polyline& line = open_line();
            for (int k = 1; k <= n; ++k) {
                float t = static_cast<float>(k) / n;
                PathPoint a = lerp(p0, p1, t), b = lerp(p1, p2, t), c = lerp(p2, p3, t);
                PathPoint ab = lerp(a, b, t), bc = lerp(b, c, t);
                line.points.push_back(lerp(ab, bc, t));
            }
            current = p3;
            break;
        }
        case PathVerb::Close:
            if (!lines.empty() && !lines.back().closed) {
                lines.back().closed = true;
                current = lines.back().points.front();
            }
            break;
        }
    }
    return lines;
}

// Splits every contour into its "on" pieces; the pattern restarts at each contour.
std::vector<Polyline> dash_lines(const std::vector<Polyline>& lines, std::span<const float> dash)
{
    std::vector<Polyline> pieces;
    for (const Polyline& line : lines) {
        std::vector<PathPoint> points = line.points;
        if (line.closed && !points.empty())
            points.push_back(points.front());
        std::size_t index = 0;
        float left = dash[0];
        bool on = true;
        Polyline piece;
        if (!points.empty())
            piece.points.push_back(points.front());
        for (std::size_t k = 0; k + 1 < points.size(); ++k) {
            PathPoint a = points[k], b = points[k + 1];
            float length = distance(a, b);
            float done = 0;
            while (length - done > left) {
                done += left;
                PathPoint cut = lerp(a, b, done / length);
                if (on) {
                    piece.points.push_back(cut);
                    pieces.push_back(std::move(piece));
                }
                piece = Polyline{{cut}, false};
                on = !on;
                index = (index + 1) % dash.size();
                left = dash[index];
            }
            left -= length - done;
            if (on)
                piece.points.push_back(b);
        }
        if (on && piece.points.size() > 1)
            pieces.push_back(std::move(piece));
    }
    return pieces;
}

float signed_area(std::span<const PathPoint> polygon)
{
    float area = 0;
    for (std::size_t i = 0; i < polygon.size(); ++i) {
        PathPoint a = polygon[i], b = polygon[(i + 1) % polygon.size()];
        area += a.x * b.y - b.x * a.y;
    }
    return area / 2;
}

// Every piece goes in with the same orientation, so the non-zero rule fills their union.
void add_polygon(PathBuilder& builder, std::vector<PathPoint> polygon)
{
    float area = signed_area(polygon);
    if (!(std::fabs(area) > 1e-9f))
        return;
    if (area < 0)
        std::reverse(polygon.begin(), polygon.end());
    builder.move_to(polygon[0].x, polygon[0].y);
    for (std::size_t i = 1; i < polygon.size(); ++i)
        builder.line_to(polygon[i].x, polygon[i].y);
    builder.close();
}

void outline_polyline(PathBuilder& builder, const Polyline& line, float half_width, float miter_limit)
{
    std::vector<PathPoint> points;
    for (PathPoint p : line.points)
        if (points.empty() || !(p == points.back()))
            points.push_back(p);
    if (line.closed && points.size() > 1 && points.front() == points.back())
        points.pop_back();
    if (points.size() < 2)
        return;
    std::size_t segment_count = line.closed ? points.size() : points.size() - 1;
    struct Segment {
        PathPoint a, b;
        float dx, dy; // unit direction
    };
    std::vector<Segment> segments;
    for (std::size_t i = 0; i < segment_count; ++i) {
        PathPoint a = points[i], b = points[(i + 1) % points.size()];
        float length = distance(a, b);
        segments.push_back({a, b, (b.x - a.x) / length, (b.y - a.y) / length});
    }
    for (const Segment& s : segments) {
        float nx = -s.dy * half_width, ny = s.dx * half_width;
        add_polygon(builder, {{s.a.x + nx, s.a.y + ny}, {s.b.x + nx, s.b.y + ny}, {s.b.x - nx, s.b.y - ny}, {s.a.x - nx, s.a.y - ny}});
    }
    std::size_t join_count = line.closed ? segments.size() : segments.size() - 1;
    for (std::size_t i = 0; i < join_count; ++i) {
        const Segment& first = segments[i];
        const Segment& second = segments[(i + 1) % segments.size()];
        float cross = first.dx * second.dy - first.dy * second.dx;
        float dot = first.dx * second.dx + first.dy * second.dy;
        if (std::fabs(cross) < 1e-6f && dot > 0)
            continue; // straight on: the two pieces already meet
        float side = cross > 0 ? -1.0f : 1.0f; // the outside of the turn
        PathPoint v = first.b;
        PathPoint o1{v.x - side * first.dy * half_width, v.y + side * first.dx * half_width};
        PathPoint o2{v.x - side * second.dy * half_width, v.y + side * second.dx * half_width};
        float cos_half = std::sqrt(std::max(0.0f, (1 + dot) / 2));
        if (cos_half > 0 && 1 / cos_half <= miter_limit) {
            float mx = -(first.dy + second.dy), my = first.dx + second.dx;
            float m = std::hypot(mx, my);
            float reach = half_width / cos_half;
            PathPoint tip{v.x + side * mx / m * reach, v.y + side * my / m * reach};
            add_polygon(builder, {v, o1, tip, o2});
        } else {
            add_polygon(builder, {v, o1, o2});
        }
    }
}

bool valid_dash(std::span<const float> dash)
{
    if (dash.size() < 2 || dash.size() % 2 != 0)
        return false;
    float sum = 0;
    for (float length : dash) {
        if (!(length >= 0))
            return false;
        sum += length;
    }
    return sum > 0 && std::isfinite(sum);
}

} // namespace

std::optional<Path> stroke_outline(const std::optional<Path>& path, float resolution_scale, float width,
    const std::optional<std::span<const float>>& dash)
{
    if (!path)
        return std::nullopt;
    if (dash && !valid_dash(*dash))
        return std::nullopt;
    if (!(width > 0) || !std::isfinite(width))
        return std::nullopt;
    float scale = resolution_scale > 0 && std::isfinite(resolution_scale) ? resolution_scale : 1.0f;
    std::vector<Polyline> lines = flatten(*path, 0.25f / scale);
    if (dash)
        lines = dash_lines(lines, *dash);
    PathBuilder builder;
    for (const Polyline& line : lines)
        outline_polyline(builder, line, width / 2, 4.0f);
    return builder.finish();
}

} // namespace torvane
