#include "render/icons.hpp"

#include "render/shapes.hpp"

#include <charconv>
#include <cmath>
#include <string>

namespace torvane {

namespace {

bool is_separator(char c) { return c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ' || c == ','; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

void skip_separators(PathCursor& cursor)
{
    while (cursor.position < cursor.data.size() && is_separator(cursor.data[cursor.position]))
        ++cursor.position;
}

// A flag of an arc: one character after optional separators, "1" meaning true.
bool next_flag(PathCursor& cursor)
{
    skip_separators(cursor);
    if (cursor.position >= cursor.data.size())
        return false;
    return cursor.data[cursor.position++] == '1';
}

struct Point {
    float x;
    float y;
};

// The angle from u to v, signed by their cross product.
float vector_angle(float ux, float uy, float vx, float vy)
{
    float dot = ux * vx + uy * vy;
    float lengths = std::sqrt(ux * ux + uy * uy) * std::sqrt(vx * vx + vy * vy);
    float cosine = std::fmax(-1.0f, std::fmin(1.0f, dot / lengths));
    float angle = std::acos(cosine);
    return ux * vy - uy * vx < 0 ? -angle : angle;
}

// An elliptical arc from `from` to `to` as cubics (the endpoint-to-centre conversion).
void arc_to(PathBuilder& builder, Point from, float rx, float ry, float rotation, bool large_arc, bool sweep, Point to)
{
    if (rx == 0 || ry == 0) {
        builder.line_to(to.x, to.y);
        return;
    }
    float phi = rotation * 0.017453292f;
    float sin_phi = static_cast<float>(std::sin(static_cast<double>(phi)));
    float cos_phi = static_cast<float>(std::cos(static_cast<double>(phi)));
    float hx = (from.x - to.x) / 2;
    float hy = (from.y - to.y) / 2;
    float x1 = cos_phi * hx + sin_phi * hy;
    float y1 = -sin_phi * hx + cos_phi * hy;
    rx = std::fabs(rx);
    ry = std::fabs(ry);
    float lambda = x1 * x1 / (rx * rx) + y1 * y1 / (ry * ry);
    if (lambda > 1) {
        float root = std::sqrt(lambda);
        rx *= root;
        ry *= root;
    }
    float rx2 = rx * rx, ry2 = ry * ry;
    float divisor = rx2 * y1 * y1 + ry2 * x1 * x1;
    float coefficient = 0;
    if (divisor > 0)
        coefficient = std::sqrt(std::fmax(0.0f, (rx2 * ry2 - rx2 * y1 * y1 - ry2 * x1 * x1) / divisor));
    if (large_arc == sweep)
        coefficient = -coefficient;
    float cxp = coefficient * (rx * y1 / ry);
    float cyp = coefficient * (-ry * x1 / rx);
    float cx = cos_phi * cxp - sin_phi * cyp + (from.x + to.x) / 2;
    float cy = sin_phi * cxp + cos_phi * cyp + (from.y + to.y) / 2;
    float ux = (x1 - cxp) / rx, uy = (y1 - cyp) / ry;
    float vx = (-x1 - cxp) / rx, vy = (-y1 - cyp) / ry;
    float theta = vector_angle(1, 0, ux, uy);
    float delta = vector_angle(ux, uy, vx, vy);
    if (sweep && delta < 0)
        delta += 6.2831855f;
    else if (!sweep && delta > 0)
        delta -= 6.2831855f;
    int segments = std::max(static_cast<int>(std::ceil(std::fabs(delta) / 1.5707964f)), 1);
    float step = delta / static_cast<float>(segments);
    float t = 1.3333334f * std::tan(step * 0.25f);
    auto ellipse_point = [&](float angle) {
        float c = static_cast<float>(std::cos(static_cast<double>(angle)));
        float s = static_cast<float>(std::sin(static_cast<double>(angle)));
        float ex = rx * c, ey = ry * s;
        return Point{cx + cos_phi * ex - sin_phi * ey, cy + sin_phi * ex + cos_phi * ey};
    };
    auto derivative = [&](float angle) {
        float c = static_cast<float>(std::cos(static_cast<double>(angle)));
        float s = static_cast<float>(std::sin(static_cast<double>(angle)));
        float dx = -rx * s, dy = ry * c;
        return Point{cos_phi * dx - sin_phi * dy, sin_phi * dx + cos_phi * dy};
    };
    for (int i = 0; i < segments; ++i) {
        float a0 = theta + step * static_cast<float>(i);
        float a1 = a0 + step;
        Point e0 = ellipse_point(a0), d0 = derivative(a0);
        Point e1 = ellipse_point(a1), d1 = derivative(a1);
        builder.cubic_to(e0.x + t * d0.x, e0.y + t * d0.y, e1.x - t * d1.x, e1.y - t * d1.y, e1.x, e1.y);
    }
}

IconPath icon_from(std::optional<Path> circle, std::string_view stroke_data)
{
    PathBuilder builder;
    if (circle)
        builder.push_path(*circle);
    parse_svg_path(builder, stroke_data);
    return IconPath{builder.finish(), std::nullopt};
}

constexpr std::string_view sun_rays = "M12 2v3M12 19v3M2 12h3M19 12h3M4.9 4.9l2.1 2.1M17 17l2.1 2.1M4.9 19.1L7 17M17 7l2.1-2.1";

} // namespace

float next_path_number(PathCursor& cursor)
{
    skip_separators(cursor);
    std::string_view data = cursor.data;
    std::size_t start = cursor.position;
    std::size_t& i = cursor.position;
    if (i < data.size() && (data[i] == '+' || data[i] == '-'))
        ++i;
    bool seen_point = false;
    while (i < data.size()) {
        char c = data[i];
        if (is_digit(c)) {
            ++i;
        } else if (c == '.' && !seen_point) {
            seen_point = true;
            ++i;
        } else if ((c == 'e' || c == 'E') && i > start) {
            ++i;
            if (i < data.size() && (data[i] == '+' || data[i] == '-'))
                ++i;
        } else {
            break;
        }
    }
    std::string_view taken = data.substr(start, i - start);
    if (!taken.empty() && taken.front() == '+')
        taken.remove_prefix(1);
    float value = 0;
    auto [end, error] = std::from_chars(taken.data(), taken.data() + taken.size(), value);
    if (taken.empty() || error != std::errc{} || end != taken.data() + taken.size())
        return 0.0f;
    return value;
}

void parse_svg_path(PathBuilder& builder, std::string_view data)
{
    PathCursor cursor{data, 0};
    Point current{0, 0};
    Point subpath_start{0, 0};
    char command = 'M';
    for (;;) {
        skip_separators(cursor);
        if (cursor.position >= data.size())
            return;
        char next = data[cursor.position];
        if (is_letter(next)) {
            command = next;
            ++cursor.position;
        } else if (next == '+' || next == '-' || next == '.' || is_digit(next)) {
            if (command == 'Z' || command == 'z')
                return;
        } else {
            return;
        }
        bool relative = command >= 'a' && command <= 'z';
        Point base = relative ? current : Point{0, 0};
        auto read_point = [&] {
            float px = next_path_number(cursor);
            float py = next_path_number(cursor);
            return Point{base.x + px, base.y + py};
        };
        switch (command) {
        case 'M':
        case 'm': {
            Point p = read_point();
            builder.move_to(p.x, p.y);
            current = subpath_start = p;
            command = relative ? 'l' : 'L';
            break;
        }
        case 'L':
        case 'l': {
            Point p = read_point();
            builder.line_to(p.x, p.y);
            current = p;
            break;
        }
        case 'H':
        case 'h': {
            float value = next_path_number(cursor);
            current.x = relative ? current.x + value : value;
            builder.line_to(current.x, current.y);
            break;
        }
        case 'V':
        case 'v': {
            float value = next_path_number(cursor);
            current.y = relative ? current.y + value : value;
            builder.line_to(current.x, current.y);
            break;
        }
        case 'C':
        case 'c': {
            Point c1 = read_point();
            Point c2 = read_point();
            Point p = read_point();
            builder.cubic_to(c1.x, c1.y, c2.x, c2.y, p.x, p.y);
            current = p;
            break;
        }
        case 'Q':
        case 'q': {
            Point c = read_point();
            Point p = read_point();
            builder.quad_to(c.x, c.y, p.x, p.y);
            current = p;
            break;
        }
        case 'A':
        case 'a': {
            float rx = next_path_number(cursor);
            float ry = next_path_number(cursor);
            float rotation = next_path_number(cursor);
            bool large_arc = next_flag(cursor);
            bool sweep = next_flag(cursor);
            Point p = read_point();
            arc_to(builder, current, rx, ry, rotation, large_arc, sweep, p);
            current = p;
            break;
        }
        case 'Z':
        case 'z':
            builder.close();
            current = subpath_start;
            break;
        default:
            return;
        }
    }
}

IconPath globe_icon() { return icon_from(circle_path(12, 12, 9), "M3 12h18M12 3c2.5 3 2.5 15 0 18M12 3c-2.5 3-2.5 15 0 18"); }

IconPath chat_icon()
{
    PathBuilder stroke;
    PathBuilder fill;
    parse_svg_path(stroke, "M4 5h16v11H9l-4 3v-3H4z");
    for (float x : {9.0f, 12.0f, 15.0f}) {
        if (auto dot = circle_path(x, 10.5f, 0.6f)) {
            stroke.push_path(*dot);
            fill.push_path(*dot);
        }
    }
    return IconPath{stroke.finish(), fill.finish()};
}

IconPath trophy_icon()
{
    return icon_from(std::nullopt, "M7 4h10v4a5 5 0 0 1-10 0zM7 6H4a3 3 0 0 0 3 4M17 6h3a3 3 0 0 1-3 4M12 13v4M8 20h8M9 17h6v3H9z");
}

IconPath gem_icon() { return icon_from(std::nullopt, "M6 4h12l3 5-9 11L3 9zM3 9h18M9 4l3 16M15 4l-3 16"); }

IconPath sun_icon(float disc_radius) { return icon_from(circle_path(12, 12, disc_radius), sun_rays); }

IconPath arrow_icon() { return icon_from(std::nullopt, "M5 12h14M13 6l6 6-6 6"); }

IconPath clock_icon() { return icon_from(circle_path(12, 12, 9), "M12 7v5l3 2"); }

IconPath play_icon()
{
    PathBuilder fill;
    parse_svg_path(fill, "M8 5.5v13l11-6.5z");
    return IconPath{std::nullopt, fill.finish()};
}

IconPath close_icon() { return icon_from(std::nullopt, "M0 0L10 10M10 0L0 10"); }

IconPath chevron_icon() { return icon_from(std::nullopt, "M6 9l6 6 6-6"); }

void draw_icon(Canvas& canvas, const IconPath& icon, float x, float y, float size, float grid, Color color, float stroke_width)
{
    float s = size / grid;
    Transform full = canvas.transform().after(Transform{s, 0, 0, s, x, y});
    Paint paint = Paint::solid(color);
    if (icon.fill)
        fill_path(*canvas.pixmap, *icon.fill, paint, FillRule::Winding, full);
    if (icon.stroke)
        stroke_path(*canvas.pixmap, *icon.stroke, paint, Stroke{stroke_width, 4, LineCap::Butt, LineJoin::Miter}, full);
}

} // namespace torvane
