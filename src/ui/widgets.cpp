#include "ui/widgets.hpp"

#include "platform/case_mapping.hpp"
#include "platform/result.hpp"
#include "core/utf8.hpp"
#include "render/effects/blur.hpp"
#include "render/glyph_raster.hpp"
#include "render/images.hpp"
#include "render/shapes.hpp"
#include "render/shaping.hpp"


#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace torvane {

namespace {

constexpr float track_x = 39;
constexpr float track_width = 572;

Color rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b, float alpha = 1)
{
    return Color{r / 255.0f, g / 255.0f, b / 255.0f, alpha};
}

std::int32_t clamp_to_int(float value)
{
    if (std::isnan(value))
        return 0;
    return static_cast<std::int32_t>(std::clamp(value, -2147483648.0f, 2147483520.0f));
}

} // namespace

float byte_alpha(float value)
{
    if (!(value > 0))
        return 0;
    return std::round(std::min(1.0f, value) * 255) / 255;
}

std::int32_t round_to_pixel(float value) { return static_cast<std::int32_t>(std::lround(value)); }

PixelBox pixel_box(std::uint32_t width, std::uint32_t height, float scale, float x, float y, float w, float h)
{
    PixelBox box;
    box.left = std::max(clamp_to_int(std::floor(x * scale)), 0);
    box.top = std::max(clamp_to_int(std::floor(y * scale)), 0);
    box.right = std::min(clamp_to_int(std::ceil((x + w) * scale)), static_cast<std::int32_t>(width));
    box.bottom = std::min(clamp_to_int(std::ceil((y + h) * scale)), static_cast<std::int32_t>(height));
    return box;
}

Shader warm_gold_gradient(float x, float y, float w, float h)
{
    const ColorStop stops[] = {{0, rgb(242, 203, 102)}, {1, rgb(184, 128, 36)}};
    return linear_gradient_shader(stops, x, y, w, h, 135);
}

Pixmap downsample_by_four(const Pixmap& source, std::int32_t left, std::int32_t top, std::int32_t width,
    std::int32_t height)
{
    const std::uint32_t small_width = (static_cast<std::uint32_t>(width) + 3) / 4;
    const std::uint32_t small_height = (static_cast<std::uint32_t>(height) + 3) / 4;
    Pixmap small = Pixmap::create_or_die(small_width, small_height);
    // Channel sums of one row of blocks, four channels per block.
    std::vector<std::uint32_t> sums(std::size_t{small_width} * 4);
    for (std::uint32_t block_y = 0; block_y < small_height; ++block_y) {
        std::fill(sums.begin(), sums.end(), 0);
        const std::int32_t row_begin = top + static_cast<std::int32_t>(block_y) * 4;
        const std::int32_t row_end = std::min(row_begin + 4, top + height);
        for (std::int32_t row = row_begin; row < row_end; ++row) {
            const std::uint32_t* pixels = source.row(static_cast<std::uint32_t>(row)) + left;
            for (std::int32_t column = 0; column < width; ++column) {
                const std::uint32_t word = pixels[column];
                std::uint32_t* sum = &sums[static_cast<std::size_t>(column / 4) * 4];
                sum[0] += word & 0xFF;
                sum[1] += (word >> 8) & 0xFF;
                sum[2] += (word >> 16) & 0xFF;
                sum[3] += word >> 24;
            }
        }
        const std::uint32_t rows = static_cast<std::uint32_t>(row_end - row_begin);
        std::uint32_t* out = small.row(block_y);
        for (std::uint32_t block_x = 0; block_x < small_width; ++block_x) {
            const std::uint32_t columns =
                std::min<std::uint32_t>(4, static_cast<std::uint32_t>(width) - block_x * 4);
            const std::uint32_t n = columns * rows;
            const std::uint32_t* sum = &sums[std::size_t{block_x} * 4];
            auto mean = [&](int channel) { return (sum[channel] + n / 2) / n; };
            out[block_x] = mean(0) | mean(1) << 8 | mean(2) << 16 | mean(3) << 24;
        }
    }
    return small;
}

std::optional<PanelLayer> draw_frosted_panel(const Pixmap& source, float scale, float x, float y, float w, float h,
    float radius, float blur, std::optional<Pixmap> recycled)
{
    const PixelBox box = pixel_box(source.width(), source.height(), scale, x, y, w, h);
    if (box.empty())
        return std::nullopt;
    Pixmap small = downsample_by_four(source, box.left, box.top, box.width(), box.height());
    gaussian_blur(small, blur * scale * 0.25f);

    const auto width = static_cast<std::uint32_t>(box.width());
    const auto height = static_cast<std::uint32_t>(box.height());
    std::optional<Pixmap> big = recycled && recycled->width() == width && recycled->height() == height
        ? std::move(recycled)
        : Pixmap::create(width, height);
    if (!big)
        return std::nullopt;
    // The enlargement replaces every pixel of the box: four times the small pixmap's size is at
    // least the box's, so no old pixel of a recycled pixmap is left.
    draw_image_scaled(small, *big, 0, 0, 4, 4, 1, ImageBlend::Replace, ClipRect{0, 0, box.width(), box.height()});

    // Everything outside the rounded outline is cleared in one even-odd fill: the outer
    // rectangle and the panel's outline together cover exactly the corners.
    PathBuilder builder;
    const float outer_right = static_cast<float>(box.width()) + 1;
    const float outer_bottom = static_cast<float>(box.height()) + 1;
    builder.move_to(-1, -1);
    builder.line_to(outer_right, -1);
    builder.line_to(outer_right, outer_bottom);
    builder.line_to(-1, outer_bottom);
    builder.close();
    if (std::optional<Path> outline = rounded_rect_path(x * scale - static_cast<float>(box.left),
            y * scale - static_cast<float>(box.top), w * scale, h * scale, radius * scale))
        builder.push_path(*outline);
    if (std::optional<Path> cut = builder.finish()) {
        Paint clear = Paint::solid(Color{0, 0, 0, 1});
        clear.blend_mode = BlendMode::Clear;
        fill_path(*big, *cut, clear, FillRule::EvenOdd, Transform::identity());
    }
    return PanelLayer{box.left, box.top, std::move(*big)};
}

void draw_progress_bar(Canvas& canvas, BarGlow glow, float y, float h, float fraction)
{
    fill_round_rect(canvas, Paint::solid(rgb(255, 255, 255, 18 / 255.0f)), track_x, y, track_width, h, h / 2);
    const float filled = (std::isnan(fraction) ? 0.0f : std::clamp(fraction, 0.0f, 1.0f)) * track_width;
    if (filled <= 0)
        return;
    if (glow == BarGlow::Yes) {
        std::optional<Mask> mask = Mask::create(canvas.pixmap->width(), canvas.pixmap->height());
        std::optional<Path> track = rounded_rect_path(track_x, y, track_width, h, h / 2);
        if (mask && track) {
            mask->fill_path(*track, FillRule::Winding, true, canvas.transform());
            draw_shadow(canvas, rgb(217, 168, 69, 140 / 255.0f), track_x, y, filled, h, h / 2, 6, &*mask);
        }
    }
    fill_round_rect(canvas, Paint{warm_gold_gradient(track_x, y, filled, h)}, track_x, y, filled, h,
        std::min(h / 2, filled / 2));
}

void draw_toggle(Canvas& canvas, bool on, float x, float y, float knob_position)
{
    constexpr float width = 38;
    constexpr float height = 21;
    constexpr float radius = 10.5f;
    if (on) {
        fill_round_rect(canvas, Paint{warm_gold_gradient(x, y, width, height)}, x, y, width, height, radius);
    } else {
        fill_round_rect(canvas, Paint::solid(rgb(255, 255, 255, 31 / 255.0f)), x, y, width, height, radius);
        stroke_round_rect(canvas, rgb(255, 255, 255, 33 / 255.0f), x, y, width, height, radius);
    }
    if (std::optional<Path> knob = circle_path(x + 10.5f + 17 * knob_position, y + 10.5f, 7.5f))
        fill_path(*canvas.pixmap, *knob, Paint::solid(rgb(255, 255, 255)), FillRule::Winding, canvas.transform());
}

std::string uppercase_text(std::string_view utf8)
{
    return platform::uppercase_utf8(utf8);
}

void draw_caps_label(Canvas& canvas, const Font& font, float x, float y, float size, std::string_view text)
{
    const float ascent = std::round(size * font.ascender / font.units_per_em);
    const float descent = std::round(size * -font.descender / font.units_per_em);
    const Color gold = rgb(242, 210, 138);
    fill_round_rect(canvas, Paint::solid(gold), x, y + (ascent + descent - 1.5f) / 2, 16, 1.5f, 0);
    const ShapedRun run = shape_run(font, size, 0.14f * size, uppercase_text(text));
    draw_glyph_run(canvas, font, x + 23, y + ascent, run, Paint::solid(gold));
}

Color icon_button_color(float hover, IconButtonLook look)
{
    const bool danger = look == IconButtonLook::Danger;
    const float t = std::clamp(hover, 0.0f, 1.0f);
    const float gain[3] = {danger ? 73.0f : 64.0f, danger ? 69.0f : 56.0f, danger ? 81.0f : 56.0f};
    const float base[3] = {182, 186, 174};
    Color color{(base[0] + t * gain[0]) / 255, (base[1] + t * gain[1]) / 255, (base[2] + t * gain[2]) / 255, 1};
    for (float component : {color.r, color.g, color.b})
        if (!(component >= 0 && component <= 1))
            return Color{0, 0, 0, 0};
    return color;
}

void draw_icon_button(Canvas& canvas, const IconPath& icon, float x, float y, float hover, IconButtonLook look)
{
    const bool danger = look == IconButtonLook::Danger;
    constexpr float width = 34;
    constexpr float height = 32;
    constexpr float radius = 10;
    if (hover > 0) {
        const Color base = danger ? rgb(239, 68, 68) : rgb(255, 255, 255);
        const float fill_alpha = byte_alpha((danger ? 0.2f : 0.05f) * hover);
        const float border_alpha = byte_alpha((danger ? 0.6f : 0.13f) * hover);
        fill_round_rect(canvas, Paint::solid(Color{base.r, base.g, base.b, fill_alpha}), x, y, width, height, radius);
        stroke_round_rect(canvas, Color{base.r, base.g, base.b, border_alpha}, x, y, width, height, radius);
    }
    draw_icon(canvas, icon, x + 11.5f, y + 10.5f, 11, close_icon_grid, icon_button_color(hover, look), 1.6f);
}

void copy_pixmap_rect(std::span<std::uint32_t> destination, const Pixmap& source, float x, float y, float w, float h,
    float scale)
{
    const PixelBox box = pixel_box(source.width(), source.height(), scale, x, y, w, h);
    if (box.empty())
        return;
    const std::size_t columns = static_cast<std::size_t>(box.width());
    for (std::int32_t row = box.top; row < box.bottom; ++row) {
        const std::size_t offset = static_cast<std::size_t>(row) * source.width() + static_cast<std::size_t>(box.left);
        if (offset + columns > destination.size())
            fatal("copy_pixmap_rect: destination too short");
        std::memcpy(destination.data() + offset, source.row(static_cast<std::uint32_t>(row)) + box.left,
            columns * sizeof(std::uint32_t));
    }
}

} // namespace torvane
