#include "render/effects/blur.hpp"

#include "core/threads.hpp"
#include "platform/result.hpp"
#include "render/images.hpp"
#include "render/shapes.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

namespace torvane {

namespace {

// Pixmaps of this many pixels and more are blurred in bands of rows on several threads.
constexpr std::size_t threaded_blur_pixels = std::size_t{1} << 18;
constexpr std::uint32_t blur_band_count = 4;

// The window sums of one row for the four channels, with the window's rounding division done as
// one multiply: for n * divisor below 2^40, (n * (floor(2^40 / divisor) + 1)) >> 40 equals
// n / divisor. Divisors of 65536 and above fall back to a plain division.
template <bool small_divisor>
void blur_row(const std::uint8_t* in, std::uint8_t* out, std::uint32_t width, std::uint32_t radius)
{
    const std::uint64_t divisor = std::uint64_t{radius} * 2 + 1;
    const std::uint64_t multiplier = (std::uint64_t{1} << 40) / divisor + 1;
    auto divide = [&](std::uint64_t n) -> std::uint8_t {
        if constexpr (small_divisor)
            return static_cast<std::uint8_t>((n * multiplier) >> 40);
        else
            return static_cast<std::uint8_t>(n / divisor);
    };
    const std::uint32_t last = width - 1;
    const std::uint32_t head = std::min(radius, last);
    // The window of x = 0: the first pixel radius + 1 times, then pixels 1..radius with
    // indices past the end clamped to the last pixel.
    std::uint64_t s0 = std::uint64_t{radius + 1} * in[0], s1 = std::uint64_t{radius + 1} * in[1];
    std::uint64_t s2 = std::uint64_t{radius + 1} * in[2], s3 = std::uint64_t{radius + 1} * in[3];
    for (std::uint32_t k = 1; k <= head; ++k) {
        const std::uint8_t* p = in + std::size_t{k} * 4;
        s0 += p[0], s1 += p[1], s2 += p[2], s3 += p[3];
    }
    {
        const std::uint64_t repeat = radius - head;
        const std::uint8_t* p = in + std::size_t{last} * 4;
        s0 += repeat * p[0], s1 += repeat * p[1], s2 += repeat * p[2], s3 += repeat * p[3];
    }
    auto step = [&](std::uint64_t x, std::uint64_t add, std::uint64_t remove) {
        std::uint8_t* o = out + x * 4;
        o[0] = divide(s0 + radius);
        o[1] = divide(s1 + radius);
        o[2] = divide(s2 + radius);
        o[3] = divide(s3 + radius);
        const std::uint8_t* a = in + add * 4;
        const std::uint8_t* r = in + remove * 4;
        s0 += std::uint64_t{a[0]} - r[0];
        s1 += std::uint64_t{a[1]} - r[1];
        s2 += std::uint64_t{a[2]} - r[2];
        s3 += std::uint64_t{a[3]} - r[3];
    };
    // Three stretches: the window's left end clamped, neither end clamped, the right end
    // clamped. Same arithmetic; the middle one needs no index checks.
    std::uint64_t x = 0;
    const std::uint64_t clamp_add_from = last > radius ? std::uint64_t{last} - radius - 1 : 0;
    for (; x < width && x <= radius; ++x)
        step(x, std::min<std::uint64_t>(x + radius + 1, last), 0);
    for (; x < clamp_add_from; ++x)
        step(x, x + radius + 1, x - radius);
    for (; x < width; ++x)
        step(x, std::min<std::uint64_t>(x + radius + 1, last), x - radius);
}

void blur_rows(const std::uint8_t* source, std::uint8_t* destination, std::uint32_t width, std::uint32_t height,
    std::uint32_t radius)
{
    const std::size_t row_bytes = std::size_t{width} * 4;
    if (radius == 0) {
        std::memcpy(destination, source, row_bytes * height);
        return;
    }
    for (std::uint32_t y = 0; y < height; ++y) {
        if (radius < 32768)
            blur_row<true>(source + y * row_bytes, destination + y * row_bytes, width, radius);
        else
            blur_row<false>(source + y * row_bytes, destination + y * row_bytes, width, radius);
    }
}

// Rows become columns: source is width x height pixels, destination height x width.
void transpose(const std::uint32_t* source, std::uint32_t* destination, std::uint32_t width, std::uint32_t height)
{
    constexpr std::uint32_t block = 32;
    for (std::uint32_t y0 = 0; y0 < height; y0 += block) {
        std::uint32_t y1 = std::min(y0 + block, height);
        for (std::uint32_t x0 = 0; x0 < width; x0 += block) {
            std::uint32_t x1 = std::min(x0 + block, width);
            for (std::uint32_t y = y0; y < y1; ++y)
                for (std::uint32_t x = x0; x < x1; ++x)
                    destination[std::size_t{x} * height + y] = source[std::size_t{y} * width + x];
        }
    }
}

std::uint32_t pixels_for(float length)
{
    float value = std::ceil(length);
    if (!(value > 0))
        return 1;
    if (value >= 4294967295.0f)
        return 0xFFFFFFFF;
    return std::max(static_cast<std::uint32_t>(value), 1u);
}

std::int32_t round_to_pixel(float value)
{
    float rounded = std::round(value);
    if (std::isnan(rounded))
        return 0;
    return static_cast<std::int32_t>(std::clamp(rounded, -2147483648.0f, 2147483520.0f));
}

std::uint8_t colour_byte(float value)
{
    return static_cast<std::uint8_t>(std::clamp(value * 255.0f + 0.5f, 0.0f, 255.0f));
}

} // namespace

void box_blur_pass(std::span<const std::uint8_t> source, std::span<std::uint8_t> destination, std::uint32_t width,
    std::uint32_t height, std::uint32_t radius)
{
    if (width == 0 || height == 0)
        return;
    std::size_t bytes = std::size_t{width} * 4 * height;
    if (source.size() < bytes || destination.size() < bytes)
        fatal("box blur buffers smaller than the image");
    blur_rows(source.data(), destination.data(), width, height, radius);
}

std::array<int, 3> gaussian_box_sizes(float sigma)
{
    float v = 12.0f * sigma * sigma;
    float w_ideal = std::sqrt(v / 3.0f + 1.0f);
    int wl = static_cast<int>(std::floor(w_ideal));
    if (wl % 2 == 0)
        --wl;
    int wu = wl + 2;
    float wlf = static_cast<float>(wl);
    float m_ideal = (v - 3.0f * wlf * wlf - 12.0f * wlf - 9.0f) / (-4.0f * wlf - 4.0f);
    int m = static_cast<int>(std::round(m_ideal));
    std::array<int, 3> sizes{};
    for (int i = 0; i < 3; ++i)
        sizes[static_cast<std::size_t>(i)] = i < m ? wl : wu;
    return sizes;
}

void gaussian_blur(Pixmap& pixmap, float sigma)
{
    gaussian_blur(pixmap, sigma, pixmap.pixel_count() >= threaded_blur_pixels ? blur_band_count : 1);
}

void gaussian_blur(Pixmap& pixmap, float sigma, std::uint32_t band_count)
{
    if (!(sigma >= 0.3f))
        return;
    std::array<int, 3> sizes = gaussian_box_sizes(sigma);
    std::uint32_t radii[3];
    for (int i = 0; i < 3; ++i)
        radii[i] = sizes[static_cast<std::size_t>(i)] < 2 ? 0 : static_cast<std::uint32_t>((sizes[static_cast<std::size_t>(i)] - 1) / 2);
    const std::uint32_t width = pixmap.width();
    const std::uint32_t height = pixmap.height();
    auto pixels = pixmap.pixels();
    std::vector<std::uint32_t> a(pixels.begin(), pixels.end());
    std::vector<std::uint32_t> b(a.size());
    auto bytes = [](std::vector<std::uint32_t>& words) { return reinterpret_cast<std::uint8_t*>(words.data()); };
    // Each pass reads and writes its own rows only, so a band of rows takes its three passes
    // without waiting for the others: large pixmaps are blurred a band per thread.
    auto three_passes = [&](std::uint32_t w, std::uint32_t h) {
        auto band = [&](std::uint32_t top, std::uint32_t bottom) {
            const std::size_t offset = std::size_t{top} * w * 4;
            blur_rows(bytes(a) + offset, bytes(b) + offset, w, bottom - top, radii[0]);
            blur_rows(bytes(b) + offset, bytes(a) + offset, w, bottom - top, radii[1]);
            blur_rows(bytes(a) + offset, bytes(b) + offset, w, bottom - top, radii[2]);
        };
        const std::uint32_t bands = std::clamp(band_count, 1u, h);
        std::vector<std::jthread> others;
        for (std::uint32_t i = 1; i < bands; ++i)
            others.push_back(spawn_joined(band, static_cast<std::uint32_t>(std::uint64_t{h} * i / bands),
                static_cast<std::uint32_t>(std::uint64_t{h} * (i + 1) / bands)));
        band(0, static_cast<std::uint32_t>(h / bands));
    };
    three_passes(width, height);
    transpose(b.data(), a.data(), width, height);
    three_passes(height, width);
    transpose(b.data(), a.data(), height, width);
    std::copy(a.begin(), a.end(), pixels.begin());
}

PixelSize shadow_pixmap_size(float w, float h, float sigma, float scale)
{
    float margin = std::ceil(3.0f * sigma);
    return {pixels_for((w + 2 * margin) * scale), pixels_for((h + 2 * margin) * scale)};
}

void draw_shadow(Canvas& canvas, Color color, float x, float y, float w, float h, float radius, float sigma, const Mask* clip)
{
    if (!(w > 0) || !(h > 0))
        return; // no shape, no silhouette
    float margin = std::ceil(3.0f * sigma);
    float s = canvas.scale;
    PixelSize size = shadow_pixmap_size(w, h, sigma, s);
    Pixmap shadow = Pixmap::create_or_die(size.width, size.height);
    Canvas temporary(shadow, x - margin, y - margin, s);
    fill_round_rect(temporary, Paint::solid(color), x, y, w, h, radius);
    gaussian_blur(shadow, sigma * s);
    std::int32_t px = round_to_pixel((x - margin - canvas.origin_x) * s);
    std::int32_t py = round_to_pixel((y - margin - canvas.origin_y) * s);
    draw_pixmap(*canvas.pixmap, px, py, shadow, PixmapPaint{1, BlendMode::SourceOver, FilterQuality::Nearest},
        Transform::identity(), clip);
}

Color glow_palette_color(std::uint8_t index)
{
    switch (index) {
    case 0:
        return Color::from_rgba8(242, 210, 138);
    case 1:
        return Color::from_rgba8(110, 231, 183);
    case 2:
        return Color::from_rgba8(246, 228, 180);
    default:
        fatal("glow colour index out of range");
    }
}

std::uint32_t glow_sprite_side(float size, float scale)
{
    float sigma = size * 2.5f * 0.5f;
    float margin = std::ceil(3.0f * sigma);
    return pixels_for((2 * margin + size) * scale);
}

void glow_sprite(std::span<GlowSprite> sprites, float scale)
{
    for (GlowSprite& sprite : sprites) {
        const float d = sprite.size;
        const float sigma = d * 2.5f * 0.5f;
        const float margin = std::ceil(3.0f * sigma);
        std::uint32_t side = glow_sprite_side(d, scale);
        Pixmap pixmap = Pixmap::create_or_die(side, side);
        Paint paint = Paint::solid(glow_palette_color(sprite.color_index));
        Transform place{scale, 0, 0, scale, margin * scale, margin * scale};
        std::optional<Path> disc = circle_path(d / 2, d / 2, d / 2);
        if (disc)
            fill_path(pixmap, *disc, paint, FillRule::Winding, place);
        gaussian_blur(pixmap, sigma * scale);
        if (disc)
            fill_path(pixmap, *disc, paint, FillRule::Winding, place);
        sprite.pixmap = std::move(pixmap);
    }
}

Pixmap draw_image_glow(const Pixmap& image, std::span<const GlowLayer> layers, std::uint32_t pad)
{
    std::uint64_t width = std::uint64_t{image.width()} + 2ull * pad;
    std::uint64_t height = std::uint64_t{image.height()} + 2ull * pad;
    if (width > Pixmap::max_width || height > 0xFFFFFFFFull)
        fatal("glow pixmap too large");
    Pixmap result = Pixmap::create_or_die(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height));
    {
        auto out = result.pixels();
        for (std::uint32_t y = 0; y < image.height(); ++y)
            std::memcpy(out.data() + (std::size_t{y} + pad) * width + pad, image.row(y), std::size_t{image.width()} * 4);
    }
    for (const GlowLayer& layer : layers) {
        float r = layer.r, g = layer.g, b = layer.b, a = layer.a;
        if (a != 1.0f) {
            auto premultiply = [a](float c) {
                float v = c * a;
                return std::isfinite(v) ? std::clamp(v, 0.0f, 1.0f) : 0.0f;
            };
            r = premultiply(r);
            g = premultiply(g);
            b = premultiply(b);
        }
        const std::uint32_t cr = colour_byte(r), cg = colour_byte(g), cb = colour_byte(b), ca = colour_byte(a);
        Pixmap silhouette = Pixmap::create_or_die(result.width(), result.height());
        auto from = std::as_const(result).pixels();
        auto to = silhouette.pixels();
        for (std::size_t i = 0; i < from.size(); ++i) {
            std::uint32_t alpha = pixel_alpha(from[i]);
            to[i] = pixel_word((alpha * cr + 127) / 255, (alpha * cg + 127) / 255, (alpha * cb + 127) / 255,
                (alpha * ca + 127) / 255);
        }
        gaussian_blur(silhouette, layer.sigma);
        blend_pixmap_at(silhouette, result, 1.0f, 0, 0);
        result = std::move(silhouette);
    }
    return result;
}

} // namespace torvane
