// The drawing target of the render layer and the raster operations every drawing function is
// built from: paths filled or stroked with a paint, pixmaps drawn through a transform, coverage
// masks. All rasterising is anti-aliased and happens on premultiplied pixmaps.
#pragma once

#include "render/color.hpp"
#include "render/path.hpp"
#include "render/pixmap.hpp"

#include <memory>
#include <optional>
#include <span>
#include <vector>

typedef struct _cairo cairo_t;
typedef struct _cairo_pattern cairo_pattern_t;

namespace torvane {

// A Pixmap seen in logical units: the logical point p lands on pixel (p - origin) * scale.
// The canvas does not own its pixmap.
struct Canvas {
    Pixmap* pixmap;
    float origin_x = 0;
    float origin_y = 0;
    float scale = 1;

    explicit Canvas(Pixmap& target, float origin_x = 0, float origin_y = 0, float scale = 1)
        : pixmap(&target), origin_x(origin_x), origin_y(origin_y), scale(scale)
    {
    }

    // Logical units to pixels: scale, then translate by -origin * scale.
    Transform transform() const { return Transform{scale, 0, 0, scale, -origin_x * scale, -origin_y * scale}; }
};

enum class FillRule { Winding, EvenOdd };
enum class BlendMode { SourceOver, Source, Clear };
enum class FilterQuality { Nearest, Bilinear, Bicubic };
enum class LineCap { Butt, Round, Square };
enum class LineJoin { Miter, Round, Bevel };

// What a paint draws with: a solid colour or a linear gradient. Immutable and cheap to copy.
class Shader {
public:
    static Shader solid(Color color);
    // A gradient from start to end (in the coordinates of the drawing it is used with), colours
    // padded beyond both ends. Positions are clamped to 0..1 (non-finite ones become 0) and kept
    // ascending. One stop, or a start and end too close to tell apart, give a solid colour (the
    // first and the last stop respectively); none for no stops or non-finite points.
    static std::optional<Shader> linear_gradient(PathPoint start, PathPoint end, std::span<const ColorStop> stops);

    // The colour when the shader is solid.
    std::optional<Color> solid_color() const { return solid_; }
    cairo_pattern_t* cairo_pattern() const { return pattern_.get(); }

private:
    explicit Shader(cairo_pattern_t* pattern, std::optional<Color> solid);

    std::shared_ptr<cairo_pattern_t> pattern_;
    std::optional<Color> solid_;
};

struct Paint {
    Shader shader = Shader::solid(Color{0, 0, 0, 1});
    BlendMode blend_mode = BlendMode::SourceOver;
    bool anti_alias = true;

    static Paint solid(Color color) { return Paint{Shader::solid(color)}; }
};

struct Stroke {
    float width = 1;
    float miter_limit = 4;
    LineCap cap = LineCap::Butt;
    LineJoin join = LineJoin::Miter;
};

// A coverage mask (one byte per pixel, 0 = nothing passes, 255 = all) the size of a target pixmap.
class Mask {
public:
    // A mask that lets nothing through; none when the size is out of range.
    static std::optional<Mask> create(std::uint32_t width, std::uint32_t height);
    Mask(Mask&&) noexcept;
    Mask& operator=(Mask&&) noexcept;
    ~Mask();

    std::uint32_t width() const { return width_; }
    std::uint32_t height() const { return height_; }
    // Adds the path's coverage (anti-aliased when asked) under the transform.
    void fill_path(const Path& path, FillRule rule, bool anti_alias, const Transform& transform);
    // The coverage at a pixel.
    std::uint8_t at(std::uint32_t x, std::uint32_t y) const;

    cairo_surface_t* cairo_surface() const { return surface_; }

private:
    Mask(std::uint32_t width, std::uint32_t height, cairo_surface_t* surface);

    std::uint32_t width_ = 0;
    std::uint32_t height_ = 0;
    cairo_surface_t* surface_ = nullptr;
};

// Fills the path into the pixmap under the transform, optionally through a clip mask.
void fill_path(Pixmap& target, const Path& path, const Paint& paint, FillRule rule, const Transform& transform,
    const Mask* clip = nullptr);

// Strokes the path (width in path units, scaled by the transform). A stroke thinner than one
// device pixel, width 0 included, is drawn one pixel wide with its coverage reduced in
// proportion (width 0 at full coverage).
void stroke_path(Pixmap& target, const Path& path, const Paint& paint, const Stroke& stroke,
    const Transform& transform, const Mask* clip = nullptr);

struct PixmapPaint {
    float opacity = 1;
    BlendMode blend_mode = BlendMode::SourceOver;
    FilterQuality quality = FilterQuality::Nearest;
};

// Draws source onto target with its top-left corner at pixel (x, y), then the transform.
void draw_pixmap(Pixmap& target, int x, int y, const Pixmap& source, const PixmapPaint& paint,
    const Transform& transform = Transform::identity(), const Mask* clip = nullptr);

// An owned cairo context over a pixmap, for drawing code inside the render layer. The transform
// starts as given (identity by default); the pixels are marked changed when it ends.
class DrawContext {
public:
    explicit DrawContext(Pixmap& target, const Transform& transform = Transform::identity());
    explicit DrawContext(const Canvas& canvas) : DrawContext(*canvas.pixmap, canvas.transform()) {}
    DrawContext(const DrawContext&) = delete;
    DrawContext& operator=(const DrawContext&) = delete;
    ~DrawContext();

    cairo_t* cairo() const { return cairo_; }
    // Sets the paint's source, operator and anti-aliasing.
    void use_paint(const Paint& paint);
    // Replaces cairo's current path with the path, under the current transform.
    void set_path(const Path& path);
    void set_transform(const Transform& transform);

private:
    Pixmap* target_;
    cairo_t* cairo_;
};

} // namespace torvane
