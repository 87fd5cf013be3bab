// Draws a sheet of the vector and image primitives (icons, rounded rectangles, borders,
// gradients, a shadow, glow sprites, dashed strokes, the backdrop and the logo and crest with
// their halos) into a PNG under the build folder, to be looked at, and checks it against coarse
// bounds: every cell holds drawing, the gaps between cells stay background.
#include "render/effects/blur.hpp"
#include "render/icons.hpp"
#include "render/images.hpp"
#include "render/shapes.hpp"

#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <vector>

namespace torvane {
namespace {

constexpr float scale = 1.5f;
constexpr float sheet_w = 1000, sheet_h = 800; // logical units
constexpr std::uint32_t background = 0xFF0B1512;

struct Cell {
    const char* what;
    float x, y, w, h; // logical units
};

int marked_pixels(const Pixmap& sheet, const Cell& cell)
{
    int count = 0;
    auto x0 = std::uint32_t(cell.x * scale), y0 = std::uint32_t(cell.y * scale);
    auto x1 = std::min(sheet.width(), std::uint32_t((cell.x + cell.w) * scale));
    auto y1 = std::min(sheet.height(), std::uint32_t((cell.y + cell.h) * scale));
    for (std::uint32_t y = y0; y < y1; ++y)
        for (std::uint32_t x = x0; x < x1; ++x)
            count += sheet.at(x, y) != background;
    return count;
}

std::vector<Cell> draw_sheet(Pixmap& sheet)
{
    sheet.fill(background);
    Canvas canvas(sheet, 0, 0, scale);
    const Color gold = Color::from_rgba8(0xD9, 0xA8, 0x45), pale = Color::from_rgba8(0xF2, 0xD2, 0x8A),
                green = Color::from_rgba8(0x12, 0xB8, 0x80), white = Color{1, 1, 1, 1};
    std::vector<Cell> cells;

    // The icons, with the sizes and stroke widths the screens use.
    IconSet icons;
    struct IconUse {
        const IconPath& icon;
        float size, grid, width;
    };
    const IconUse uses[] = {
        {icons.globe, 22, 24, 1.6f}, {icons.chat, 22, 24, 1.6f}, {icons.trophy, 22, 24, 1.6f}, {icons.gem, 22, 24, 1.6f},
        {icons.sun, 22, 24, 1.6f}, {icons.sun_small, 22, 24, 1.8f}, {icons.arrow, 22, 24, 2}, {icons.clock, 22, 24, 2},
        {icons.play, 22, 24, 0}, {icons.close, 11, 10, 1.6f}, {icons.chevron, 22, 24, 3},
    };
    float x = 20;
    for (const IconUse& use : uses) {
        fill_round_rect(canvas, Paint::solid(Color{1, 1, 1, 0.06f}), x, 20, 40, 40, 8);
        float inset = (40 - use.size) / 2;
        draw_icon(canvas, use.icon, x + inset, 20 + inset, use.size, use.grid, pale, use.width);
        cells.push_back({"icon", x, 20, 40, 40});
        x += 50;
    }
    // Small icons, at 13 and 16 units.
    draw_icon(canvas, icons.arrow, 580, 33, 13, 24, white, 2);
    draw_icon(canvas, icons.globe, 600, 32, 16, 24, white, 1.6f);
    cells.push_back({"small icons", 580, 30, 40, 20});

    // Rounded rectangles: sharp, rounded, pill; filled, bordered, both.
    const float radii[] = {0, 10, 100};
    x = 20;
    for (float radius : radii) {
        fill_round_rect(canvas, Paint::solid(green.with_alpha_scaled(0.8f)), x, 90, 90, 50, radius);
        stroke_round_rect(canvas, gold, x + 100, 90, 90, 50, radius);
        fill_round_rect(canvas, Paint::solid(Color{1, 1, 1, 0.08f}), x + 200, 90, 90, 50, radius);
        stroke_round_rect(canvas, Color{1, 1, 1, 0.3f}, x + 200, 90, 90, 50, radius);
        cells.push_back({"fill", x, 90, 90, 50});
        cells.push_back({"border", x + 100, 90, 90, 50});
        cells.push_back({"glass", x + 200, 90, 90, 50});
        x += 320;
    }

    // Gradients at 0, 90, 135 and 180 degrees, gold to green with a faint middle.
    const ColorStop stops[] = {{0, pale}, {0.5f, gold.with_alpha_scaled(0.4f)}, {1, green}};
    x = 20;
    for (float angle : {0.0f, 90.0f, 135.0f, 180.0f}) {
        Paint paint{linear_gradient_shader(stops, x, 170, 140, 90, angle)};
        fill_round_rect(canvas, paint, x, 170, 140, 90, 12);
        cells.push_back({"gradient", x, 170, 140, 90});
        x += 160;
    }

    // A panel with its shadow, offset down a little as the screens do.
    draw_shadow(canvas, Color{0, 0, 0, 0.7f}, 680, 186, 160, 80, 16, 10);
    fill_round_rect(canvas, Paint::solid(Color::from_rgba8(0x14, 0x2A, 0x23)), 680, 180, 160, 80, 16);
    stroke_round_rect(canvas, gold.with_alpha_scaled(0.5f), 680, 180, 160, 80, 16);
    cells.push_back({"shadowed panel", 680, 180, 160, 80});

    // Glow sprites of the three palette colours.
    GlowSprite sprites[] = {{std::nullopt, 4, 0}, {std::nullopt, 8, 1}, {std::nullopt, 12, 2}};
    glow_sprite(sprites, scale);
    x = 720;
    for (const GlowSprite& sprite : sprites) {
        float side = float(sprite.pixmap->width()) / scale;
        blend_pixmap_at(sheet, *sprite.pixmap, 1, std::int32_t(x * scale), std::int32_t(320 * scale));
        cells.push_back({"glow", x, 320, side, side});
        x += side + 16;
    }

    // Dashed rings, as the crest's rune rings draw them.
    auto ring = circle_path(80, 380, 60);
    const float dash_a[] = {2, 14};
    const float dash_b[] = {24, 12, 4, 12};
    if (auto outline = stroke_outline(ring, scale, 8, std::span<const float>(dash_a)))
        fill_path(sheet, *outline, Paint::solid(pale.with_alpha_scaled(0.6f)), FillRule::Winding, canvas.transform());
    if (auto outline = stroke_outline(circle_path(80, 380, 48), scale, 1.6f, std::span<const float>(dash_b)))
        fill_path(sheet, *outline, Paint::solid(green), FillRule::Winding, canvas.transform());
    cells.push_back({"dashed rings", 20, 320, 120, 120});

    // The backdrop, small.
    auto hero = decode_webp(built_in_hero_image());
    if (hero) {
        float fit = 400 * scale / float(hero->width());
        draw_image_scaled(*hero, sheet, 170 * scale, 300 * scale, fit, fit, 1, ImageBlend::SourceOver, ClipRect{});
        cells.push_back({"backdrop", 170, 300, 400, 240});
    }

    // The crest and the logo with their halos, made as the window's scale step makes them.
    if (auto crest = decode_png(built_in_crest_image())) {
        auto side = std::uint32_t(std::lround(34 * scale * 2));
        Pixmap small = resize_pixmap(*crest, side, side);
        const GlowLayer layer[] = {{217 / 255.0f, 168 / 255.0f, 69 / 255.0f, 140 / 255.0f, 5 * scale}};
        Pixmap glow = draw_image_glow(small, layer, std::uint32_t(std::lround(15 * scale)));
        blend_pixmap_at(sheet, glow, 1, std::int32_t(600 * scale), std::int32_t(300 * scale));
        cells.push_back({"crest", 615, 315, 68, 68});
    }
    if (auto logo = decode_png(built_in_logo_image())) {
        auto width = std::uint32_t(std::lround(430 * scale));
        auto height = std::max<std::uint32_t>(1, std::uint32_t(std::lround(float(logo->height()) * 430 / float(logo->width()) * scale)));
        Pixmap small = resize_pixmap(*logo, width, height);
        const GlowLayer layers[] = {
            {217 / 255.0f, 168 / 255.0f, 69 / 255.0f, 89 / 255.0f, 15 * scale},
            {18 / 255.0f, 184 / 255.0f, 128 / 255.0f, 77 / 255.0f, 5 * scale},
        };
        auto pad = std::uint32_t(std::lround(60 * scale));
        Pixmap glow = draw_image_glow(small, layers, pad);
        blend_pixmap_at(sheet, glow, 1, std::int32_t(420 * scale), std::int32_t(520 * scale));
        cells.push_back({"logo", 480, 580, 430, 110});
    }
    return cells;
}

TEST(PrimitivesPicture, SheetHoldsEveryPrimitive)
{
    Pixmap sheet = Pixmap::create_or_die(std::uint32_t(sheet_w * scale), std::uint32_t(sheet_h * scale));
    std::vector<Cell> cells = draw_sheet(sheet);
    ASSERT_GE(cells.size(), 25u);

    auto png = encode_png(sheet);
    ASSERT_FALSE(png.empty());
    std::filesystem::path file = test::binary_dir() / "render_primitives_sheet.png";
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
    EXPECT_TRUE(std::filesystem::exists(file));

    for (const Cell& cell : cells) {
        int area = int(cell.w * scale) * int(cell.h * scale);
        EXPECT_GT(marked_pixels(sheet, cell), area / 20) << cell.what << " at " << cell.x << ", " << cell.y;
    }
    // Gaps between the rows of cells stay background.
    EXPECT_EQ(marked_pixels(sheet, {"gap under the icons", 20, 62, 540, 26}), 0);
    EXPECT_EQ(marked_pixels(sheet, {"gap under the rectangles", 20, 142, 640, 26}), 0);
    EXPECT_EQ(marked_pixels(sheet, {"bottom margin", 0, 760, 1000, 40}), 0);
}

} // namespace
} // namespace torvane
