#include "render/canvas.hpp"

#include "platform/result.hpp"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <utility>

namespace torvane {

namespace {

cairo_operator_t cairo_operator(BlendMode mode)
{
    switch (mode) {
    case BlendMode::Source:
        return CAIRO_OPERATOR_SOURCE;
    case BlendMode::Clear:
        return CAIRO_OPERATOR_CLEAR;
    case BlendMode::SourceOver:
        break;
    }
    return CAIRO_OPERATOR_OVER;
}

cairo_matrix_t cairo_matrix(const Transform& t)
{
    cairo_matrix_t m;
    cairo_matrix_init(&m, t.sx, t.ky, t.kx, t.sy, t.tx, t.ty);
    return m;
}

cairo_surface_t* checked_surface(const Pixmap& pixmap)
{
    if (!pixmap.cairo_surface())
        fatal("pixmap too large to draw on");
    return pixmap.cairo_surface();
}

// Runs `draw` (which draws with source-over) so that its result reaches the target reduced by
// `coverage` and through the clip mask, combined with the target by `mode`. Without clip and
// reduction it draws straight onto the target with the mode. The transform is the identity
// around `draw`; it sets its own.
template <class Draw>
void composite(DrawContext& context, BlendMode mode, float coverage, const Mask* clip, Draw&& draw)
{
    cairo_t* cr = context.cairo();
    if (!clip && coverage >= 1.0f) {
        draw(cairo_operator(mode));
        return;
    }
    if (mode == BlendMode::Source)
        fatal("copy blending through a mask or with reduced coverage is not supported");
    cairo_identity_matrix(cr);
    cairo_push_group(cr);
    draw(CAIRO_OPERATOR_OVER);
    cairo_identity_matrix(cr);
    if (coverage < 1.0f) {
        cairo_set_operator(cr, CAIRO_OPERATOR_DEST_IN);
        cairo_set_source_rgba(cr, 0, 0, 0, std::max(coverage, 0.0f));
        cairo_paint(cr);
    }
    cairo_pop_group_to_source(cr);
    // Clearing through a shape is removing the shape's coverage from the target.
    cairo_set_operator(cr, mode == BlendMode::Clear ? CAIRO_OPERATOR_DEST_OUT : CAIRO_OPERATOR_OVER);
    if (clip)
        cairo_mask_surface(cr, clip->cairo_surface(), 0, 0);
    else
        cairo_paint(cr);
}

void append_path(cairo_t* cr, const Path& path)
{
    cairo_new_path(cr);
    auto points = path.points();
    std::size_t i = 0;
    PathPoint current{};
    PathPoint contour_start{};
    for (PathVerb verb : path.verbs()) {
        switch (verb) {
        case PathVerb::Move:
            cairo_move_to(cr, points[i].x, points[i].y);
            current = contour_start = points[i];
            i += 1;
            break;
        case PathVerb::Line:
            cairo_line_to(cr, points[i].x, points[i].y);
            current = points[i];
            i += 1;
            break;
        case PathVerb::Quad: {
            // cairo has no quadratic segment; the exact cubic equivalent is used.
            PathPoint c = points[i], e = points[i + 1];
            cairo_curve_to(cr, current.x + 2.0 / 3.0 * (c.x - current.x), current.y + 2.0 / 3.0 * (c.y - current.y),
                e.x + 2.0 / 3.0 * (c.x - e.x), e.y + 2.0 / 3.0 * (c.y - e.y), e.x, e.y);
            current = e;
            i += 2;
            break;
        }
        case PathVerb::Cubic:
            cairo_curve_to(cr, points[i].x, points[i].y, points[i + 1].x, points[i + 1].y, points[i + 2].x, points[i + 2].y);
            current = points[i + 2];
            i += 3;
            break;
        case PathVerb::Close:
            cairo_close_path(cr);
            current = contour_start;
            break;
        }
    }
}

} // namespace

// --- Shader -------------------------------------------------------------------------------

Shader::Shader(cairo_pattern_t* pattern, std::optional<Color> solid)
    : pattern_(pattern, cairo_pattern_destroy), solid_(solid)
{
}

Shader Shader::solid(Color color)
{
    auto unit = [](float v) { return std::isfinite(v) ? std::clamp(v, 0.0f, 1.0f) : 0.0f; };
    Color clamped{unit(color.r), unit(color.g), unit(color.b), unit(color.a)};
    return Shader(cairo_pattern_create_rgba(clamped.r, clamped.g, clamped.b, clamped.a), clamped);
}

std::optional<Shader> Shader::linear_gradient(PathPoint start, PathPoint end, std::span<const ColorStop> stops)
{
    if (stops.empty())
        return std::nullopt;
    if (stops.size() == 1)
        return solid(stops.front().color);
    if (!std::isfinite(start.x) || !std::isfinite(start.y) || !std::isfinite(end.x) || !std::isfinite(end.y))
        return std::nullopt;
    if (std::hypot(end.x - start.x, end.y - start.y) < 1.0f / 4096.0f)
        return solid(stops.back().color);
    cairo_pattern_t* pattern = cairo_pattern_create_linear(start.x, start.y, end.x, end.y);
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    float previous = 0;
    for (const ColorStop& stop : stops) {
        float position = std::isfinite(stop.position) ? std::clamp(stop.position, 0.0f, 1.0f) : 0.0f;
        position = std::max(position, previous);
        previous = position;
        Color c = solid(stop.color).solid_.value();
        cairo_pattern_add_color_stop_rgba(pattern, position, c.r, c.g, c.b, c.a);
    }
    return Shader(pattern, std::nullopt);
}

// --- Mask ---------------------------------------------------------------------------------

Mask::Mask(std::uint32_t width, std::uint32_t height, cairo_surface_t* surface)
    : width_(width), height_(height), surface_(surface)
{
}

std::optional<Mask> Mask::create(std::uint32_t width, std::uint32_t height)
{
    if (width == 0 || height == 0 || width > 32767 || height > 32767)
        return std::nullopt;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, static_cast<int>(width), static_cast<int>(height));
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS)
        fatal("cannot create a mask surface");
    return Mask(width, height, surface);
}

Mask::Mask(Mask&& other) noexcept
    : width_(std::exchange(other.width_, 0)), height_(std::exchange(other.height_, 0)), surface_(std::exchange(other.surface_, nullptr))
{
}

Mask& Mask::operator=(Mask&& other) noexcept
{
    if (this != &other) {
        if (surface_)
            cairo_surface_destroy(surface_);
        width_ = std::exchange(other.width_, 0);
        height_ = std::exchange(other.height_, 0);
        surface_ = std::exchange(other.surface_, nullptr);
    }
    return *this;
}

Mask::~Mask()
{
    if (surface_)
        cairo_surface_destroy(surface_);
}

void Mask::fill_path(const Path& path, FillRule rule, bool anti_alias, const Transform& transform)
{
    cairo_t* cr = cairo_create(surface_);
    cairo_matrix_t m = cairo_matrix(transform);
    cairo_set_matrix(cr, &m);
    cairo_set_antialias(cr, anti_alias ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
    cairo_set_fill_rule(cr, rule == FillRule::EvenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    append_path(cr, path);
    cairo_fill(cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface_);
}

std::uint8_t Mask::at(std::uint32_t x, std::uint32_t y) const
{
    cairo_surface_flush(surface_);
    const unsigned char* data = cairo_image_surface_get_data(surface_);
    int stride = cairo_image_surface_get_stride(surface_);
    return data[std::size_t{y} * static_cast<std::size_t>(stride) + x];
}

// --- DrawContext --------------------------------------------------------------------------

DrawContext::DrawContext(Pixmap& target, const Transform& transform)
    : target_(&target), cairo_(cairo_create(checked_surface(target)))
{
    set_transform(transform);
}

DrawContext::~DrawContext()
{
    cairo_destroy(cairo_);
    target_->pixels(); // tells cairo the pixels changed behind any cached state
}

void DrawContext::set_transform(const Transform& transform)
{
    cairo_matrix_t m = cairo_matrix(transform);
    cairo_set_matrix(cairo_, &m);
}

void DrawContext::use_paint(const Paint& paint)
{
    cairo_set_source(cairo_, paint.shader.cairo_pattern());
    cairo_set_operator(cairo_, cairo_operator(paint.blend_mode));
    cairo_set_antialias(cairo_, paint.anti_alias ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
}

void DrawContext::set_path(const Path& path) { append_path(cairo_, path); }

// --- drawing ------------------------------------------------------------------------------

void fill_path(Pixmap& target, const Path& path, const Paint& paint, FillRule rule, const Transform& transform, const Mask* clip)
{
    DrawContext context(target);
    cairo_t* cr = context.cairo();
    composite(context, paint.blend_mode, 1.0f, clip, [&](cairo_operator_t op) {
        // The source locks to the user space in effect when it is set: the path's.
        context.set_transform(transform);
        context.use_paint(paint);
        cairo_set_operator(cr, op);
        cairo_set_fill_rule(cr, rule == FillRule::EvenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
        context.set_path(path);
        cairo_fill(cr);
    });
}

void stroke_path(Pixmap& target, const Path& path, const Paint& paint, const Stroke& stroke, const Transform& transform, const Mask* clip)
{
    DrawContext context(target);
    cairo_t* cr = context.cairo();
    float device_width = stroke.width * transform.mean_scale();
    bool hairline = !(device_width >= 1.0f);
    float coverage = 1.0f;
    if (hairline && stroke.width > 0 && std::isfinite(device_width))
        coverage = device_width;
    composite(context, paint.blend_mode, coverage, clip, [&](cairo_operator_t op) {
        context.set_transform(transform);
        context.use_paint(paint);
        cairo_set_operator(cr, op);
        context.set_path(path);
        switch (stroke.cap) {
        case LineCap::Butt:
            cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
            break;
        case LineCap::Round:
            cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
            break;
        case LineCap::Square:
            cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
            break;
        }
        switch (stroke.join) {
        case LineJoin::Miter:
            cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
            break;
        case LineJoin::Round:
            cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
            break;
        case LineJoin::Bevel:
            cairo_set_line_join(cr, CAIRO_LINE_JOIN_BEVEL);
            break;
        }
        cairo_set_miter_limit(cr, stroke.miter_limit);
        if (hairline) {
            // A one-pixel pen in device space, whatever the transform.
            cairo_identity_matrix(cr);
            cairo_set_line_width(cr, 1.0);
        } else {
            cairo_set_line_width(cr, stroke.width);
        }
        cairo_stroke(cr);
    });
}

void draw_pixmap(Pixmap& target, int x, int y, const Pixmap& source, const PixmapPaint& paint, const Transform& transform, const Mask* clip)
{
    if (!(paint.opacity > 0.0f) && paint.blend_mode == BlendMode::SourceOver)
        return;
    DrawContext context(target);
    cairo_t* cr = context.cairo();
    float coverage = std::isfinite(paint.opacity) ? std::clamp(paint.opacity, 0.0f, 1.0f) : 0.0f;
    composite(context, paint.blend_mode, coverage, clip, [&](cairo_operator_t op) {
        context.set_transform(transform);
        cairo_set_source_surface(cr, checked_surface(source), x, y);
        cairo_pattern_t* pattern = cairo_get_source(cr);
        cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
        switch (paint.quality) {
        case FilterQuality::Nearest:
            cairo_pattern_set_filter(pattern, CAIRO_FILTER_NEAREST);
            break;
        case FilterQuality::Bilinear:
            cairo_pattern_set_filter(pattern, CAIRO_FILTER_BILINEAR);
            break;
        case FilterQuality::Bicubic:
            cairo_pattern_set_filter(pattern, CAIRO_FILTER_BEST);
            break;
        }
        cairo_set_operator(cr, op);
        cairo_rectangle(cr, x, y, source.width(), source.height());
        cairo_fill(cr);
    });
}

} // namespace torvane
