#include "render/glyph_raster.hpp"

#include "core/util.hpp"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <mutex>

namespace torvane {

namespace {

std::optional<float> environment_value(const char* name)
{
    const char* value = std::getenv(name);
    return value ? parse_decimal_float(value) : std::nullopt;
}

// The largest side of a cairo image surface.
constexpr std::int64_t cairo_max_side = 32767;

// Saturating conversion to a 32-bit integer; NaN gives 0.
std::int64_t saturating_i32(float v)
{
    if (std::isnan(v))
        return 0;
    if (v >= 2147483647.0f)
        return std::numeric_limits<std::int32_t>::max();
    if (v <= -2147483648.0f)
        return std::numeric_limits<std::int32_t>::min();
    return std::int32_t(v);
}

} // namespace

TextGammaParams text_gamma_params_from_environment()
{
    TextGammaParams params;
    if (auto tg0 = environment_value("PX_TG0"))
        params.tg0 = *tg0;
    if (auto tgk = environment_value("PX_TGK"))
        params.tgk = *tgk;
    return params;
}

const TextGammaParams& init_text_gamma_params()
{
    static std::once_flag once;
    static TextGammaParams params;
    std::call_once(once, [] { params = text_gamma_params_from_environment(); });
    return params;
}

double text_gamma_exponent(const TextGammaParams& params, float luma)
{
    return double(params.tg0 + params.tgk * luma * luma);
}

std::array<std::uint8_t, 256> coverage_table(const TextGammaParams& params, const Paint& paint)
{
    float luma = 1, a = 1;
    if (auto color = paint.shader.solid_color()) {
        luma = 0.2126f * color->r + 0.7152f * color->g + 0.0722f * color->b;
        a = color->a;
    }
    // fmax/fmin let a NaN alpha fall to the lower bound.
    a = std::fmin(std::fmax(a, 1.0f / 255.0f), 1.0f);
    const double exponent = text_gamma_exponent(params, luma);

    std::array<std::uint8_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        float c = std::fmin((float(i) / 255.0f) / a, 1.0f);
        double p = std::pow(1.0 - double(c), exponent);
        double v = std::round((1.0 - p) * double(a) * 255.0);
        table[i] = std::isnan(v) ? 0 : std::uint8_t(std::clamp(v, 0.0, 255.0));
    }
    return table;
}

void apply_coverage_table(Pixmap& layer, const std::array<std::uint8_t, 256>& table)
{
    for (std::uint32_t& word : layer.pixels()) {
        std::uint32_t alpha = pixel_alpha(word);
        std::uint32_t n = table[alpha];
        if (alpha == 0 || n == alpha)
            continue;
        auto channel = [&](std::uint32_t k) { return std::min((k * n + alpha / 2) / alpha, n); };
        word = pixel_word(channel(pixel_red(word)), channel(pixel_green(word)), channel(pixel_blue(word)), n);
    }
}

void draw_glyph_run(Canvas& canvas, const Font& font, float x, float y, const ShapedRun& run, const Paint& paint)
{
    if (run.glyphs.empty())
        return;
    const TextGammaParams& params = init_text_gamma_params();

    // The run's box in logical units: room for overhangs left and right, above the ascender and
    // below the descenders.
    const float ascent = baseline_offset(font, run.size);
    const float left = x - 2, right = x + run.width + 4;
    const float top = y - ascent - 3, bottom = y + 0.5f * run.size + 3;
    auto device_x = [&](float p) { return (p - canvas.origin_x) * canvas.scale; };
    auto device_y = [&](float p) { return (p - canvas.origin_y) * canvas.scale; };
    std::int64_t x0 = saturating_i32(std::floor(device_x(left))), y0 = saturating_i32(std::floor(device_y(top)));
    std::int64_t x1 = saturating_i32(std::ceil(device_x(right))), y1 = saturating_i32(std::ceil(device_y(bottom)));
    const std::int64_t w = std::max<std::int64_t>(x1 - x0, 1), h = std::max<std::int64_t>(y1 - y0, 1);
    if (w > 0x1FFFFFFF || 4 * std::uint64_t(w) * std::uint64_t(h) > 0x7FFFFFFF)
        return;
    x1 = x0 + w;
    y1 = y0 + h;

    // A layer wholly off the canvas cannot show. One too large for a cairo surface (a side over
    // 32767 pixels) is cut to the canvas, which is all of it that can show; only the pixels at
    // the cut may then differ by a level or two from an uncut layer.
    const Pixmap& target = *canvas.pixmap;
    if (x1 <= 0 || y1 <= 0 || x0 >= std::int64_t(target.width()) || y0 >= std::int64_t(target.height()))
        return;
    if (w > cairo_max_side || h > cairo_max_side) {
        x0 = std::max<std::int64_t>(x0, 0);
        y0 = std::max<std::int64_t>(y0, 0);
        x1 = std::min<std::int64_t>(x1, target.width());
        y1 = std::min<std::int64_t>(y1, target.height());
    }
    std::optional<Pixmap> layer = Pixmap::create(std::uint32_t(x1 - x0), std::uint32_t(y1 - y0));
    if (!layer)
        return;

    const Transform layer_transform = Transform::translate(-float(x0), -float(y0)).after(canvas.transform());
    const float s = run.size / font.units_per_em;
    {
        // The paint's source is set in the layer's logical space, so a gradient spans the text
        // in the caller's units rather than each glyph's.
        DrawContext context(*layer, layer_transform);
        context.use_paint(paint);
        cairo_set_fill_rule(context.cairo(), CAIRO_FILL_RULE_WINDING);
        // Curves flattened to a quarter pixel: indistinguishable at text sizes, and a fifth
        // faster than cairo's default tenth.
        cairo_set_tolerance(context.cairo(), 0.25);
        for (const PositionedGlyph& glyph : run.glyphs) {
            const Path* outline = glyph_outline(font, glyph.glyph_id);
            if (!outline)
                continue;
            const Transform placed = Transform::translate(x + glyph.x, y + glyph.y).after(Transform::scale(s, -s));
            context.set_transform(layer_transform.after(placed));
            context.set_path(*outline);
            cairo_fill(context.cairo());
        }
    }

    apply_coverage_table(*layer, coverage_table(params, paint));
    draw_pixmap(*canvas.pixmap, int(x0), int(y0), *layer,
                PixmapPaint{.opacity = 1, .blend_mode = BlendMode::SourceOver, .quality = FilterQuality::Nearest});
}

} // namespace torvane
