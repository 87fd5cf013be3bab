// Draws a sheet of the render layer's primitives into a PNG under the build folder, to be looked
// at, and checks it against coarse bounds: not blank, ink where text was drawn and only there.
#include "render/effects/blur.hpp"
#include "render/glyph_raster.hpp"
#include "render/icons.hpp"
#include "render/images.hpp"
#include "render/shapes.hpp"

#include "platform/path_text.hpp"
#include "support/temp_dir.hpp"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace torvane {
namespace {

constexpr std::uint32_t sheet_width = 1200, sheet_height = 760;
constexpr int text_band_height = 500; // the text columns; the primitives lie below
constexpr float text_sizes[] = {11.5f, 16, 28};

struct InkBox {
    int left, top, right, bottom; // pixel rectangle, right and bottom exclusive
};

// Pixels in the box whose green channel differs from the background word's by more than the
// threshold.
int inked_pixels(const Pixmap& pixmap, InkBox box, std::uint32_t background, int threshold = 96)
{
    int count = 0;
    for (int y = std::max(box.top, 0); y < std::min(box.bottom, int(pixmap.height())); ++y)
        for (int x = std::max(box.left, 0); x < std::min(box.right, int(pixmap.width())); ++x) {
            std::uint32_t word = pixmap.at(std::uint32_t(x), std::uint32_t(y));
            int difference = std::abs(int(pixel_green(word)) - int(pixel_green(background)));
            count += difference > threshold;
        }
    return count;
}

struct TextCell {
    InkBox box;
    std::uint32_t background;
};

// Writes the six faces at three sizes into one column, on the given background.
std::vector<TextCell> draw_text_column(Pixmap& sheet, const FontSet& fonts, int left, int width, Color text_color,
                                       std::uint32_t background)
{
    struct Face {
        const Font& font;
        const char* name;
    };
    const Face faces[] = {
        {fonts.manrope_regular, "Manrope Regular"}, {fonts.manrope_medium, "Manrope Medium"},
        {fonts.manrope_semibold, "Manrope SemiBold"}, {fonts.manrope_bold, "Manrope Bold"},
        {fonts.urbanist_bold, "Urbanist Bold"}, {fonts.urbanist_extrabold, "Urbanist ExtraBold"},
    };
    for (int y = 0; y < text_band_height; ++y)
        for (int x = left; x < left + width; ++x)
            sheet.at(std::uint32_t(x), std::uint32_t(y)) = background;

    Canvas canvas(sheet);
    std::vector<TextCell> cells;
    float top = 12;
    for (const Face& face : faces)
        for (float size : text_sizes) {
            char label[32];
            std::snprintf(label, sizeof label, " %g - ", double(size));
            std::string text = face.name + std::string(label) + "Atualização às 20h";
            ShapedRun run = shape_run(face.font, size, 0, text);
            float baseline = top + baseline_offset(face.font, size);
            draw_glyph_run(canvas, face.font, float(left + 12), baseline, run, Paint::solid(text_color));
            cells.push_back({{left + 10, int(top), left + 12 + int(run.width) + 4, int(baseline + size * 0.5f + 3)},
                             background});
            top += size * 1.35f;
        }
    return cells;
}

// A feature of the primitives band that must be visible: a box that must hold ink.
struct Feature {
    const char* name;
    InkBox box;
    int threshold = 24; // how far from the band's green a pixel must be
};

// The band below the text: the icons, rounded rectangles and borders, gradients at four angles,
// a shadow, a glow sprite and the logo with its halo. Gives the boxes that must hold ink.
std::vector<Feature> draw_primitives(Pixmap& sheet, const FontSet& fonts, std::uint32_t background)
{
    for (std::uint32_t y = text_band_height; y < sheet.height(); ++y)
        for (std::uint32_t x = 0; x < sheet.width(); ++x)
            sheet.at(x, y) = background;
    Canvas canvas(sheet);
    std::vector<Feature> features;
    const Color gold = *parse_color("#E4C06A"), pale = *parse_color("#F1EEE6");
    const int top = text_band_height;

    // Icons, 32 units each.
    const IconSet icons;
    const IconPath* grid24[] = {&icons.globe, &icons.chat,  &icons.trophy, &icons.gem,  &icons.sun,
                                &icons.sun_small, &icons.arrow, &icons.clock, &icons.play, &icons.chevron};
    float x = 20;
    for (const IconPath* icon : grid24) {
        draw_icon(canvas, *icon, x, float(top + 16), 32, icon_grid, gold, 1.8f);
        features.push_back({"icon", {int(x), top + 16, int(x) + 32, top + 48}});
        x += 48;
    }
    draw_icon(canvas, icons.close, x + 6, float(top + 22), 20, close_icon_grid, gold, 1.3f);
    features.push_back({"close icon", {int(x) + 6, top + 22, int(x) + 26, top + 42}});

    // Rounded rectangles and borders.
    fill_round_rect(canvas, Paint::solid(*parse_color("#2E5B45")), 560, float(top + 14), 120, 40, 10);
    stroke_round_rect(canvas, gold, 700, float(top + 14), 120, 40, 10);
    fill_round_rect(canvas, Paint::solid(*parse_color("#C9A24C")), 840, float(top + 14), 40, 40, 20);
    stroke_round_rect(canvas, *parse_color("#FFFFFF80"), 900, float(top + 14), 120, 40, 4);
    features.push_back({"filled rectangle", {570, top + 24, 670, top + 44}});
    features.push_back({"border", {700, top + 14, 820, top + 16}});
    features.push_back({"pill", {850, top + 24, 870, top + 44}});

    // Gradients at 0, 90, 135 and 180 degrees, from green to gold.
    const ColorStop stops[] = {{0, *parse_color("#1F6B4A")}, {1, gold}};
    float gx = 20;
    for (float angle : {0.0f, 90.0f, 135.0f, 180.0f}) {
        Paint paint{linear_gradient_shader(stops, gx, float(top + 80), 130, 70, angle)};
        fill_round_rect(canvas, paint, gx, float(top + 80), 130, 70, 12);
        char label[32];
        std::snprintf(label, sizeof label, "%g graus", double(angle));
        draw_glyph_run(canvas, fonts.manrope_semibold, gx, float(top + 172), shape_run(fonts.manrope_semibold, 12, 0.3f, label),
                       Paint::solid(pale));
        features.push_back({"gradient", {int(gx) + 10, top + 90, int(gx) + 120, top + 140}});
        gx += 150;
    }

    // A card with its shadow, and the glow sprites.
    draw_shadow(canvas, Color{0, 0, 0, 0.85f}, 640, float(top + 84), 150, 70, 12, 10);
    fill_round_rect(canvas, Paint::solid(*parse_color("#24463A")), 640, float(top + 80), 150, 70, 12);
    features.push_back({"shadow", {640, top + 152, 790, top + 164}, 4}); // dark on dark
    GlowSprite sprites[] = {{std::nullopt, 10, 0}, {std::nullopt, 16, 1}, {std::nullopt, 24, 2}};
    glow_sprite(sprites, 1);
    int centre = 660;
    for (const GlowSprite& sprite : sprites) {
        int sx = centre - int(sprite.pixmap->width()) / 2, sy = top + 205 - int(sprite.pixmap->height()) / 2;
        blend_pixmap_at(sheet, *sprite.pixmap, 1, sx, sy);
        features.push_back({"glow", {sx, sy, sx + int(sprite.pixmap->width()), sy + int(sprite.pixmap->height())}});
        centre += 60;
    }

    // The logo, a third of its size, with a two-layer halo.
    std::optional<Pixmap> logo = decode_png(built_in_logo_image());
    if (logo) {
        std::uint32_t w = logo->width() / 3, h = logo->height() / 3;
        Pixmap small = resize_pixmap(*logo, w, h);
        const GlowLayer halo[] = {{0.95f, 0.75f, 0.3f, 0.55f, 6}, {0.1f, 0.5f, 0.3f, 0.5f, 14}};
        Pixmap glowing = draw_image_glow(small, halo, 24);
        int lx = int(sheet.width()) - int(glowing.width()) - 10, ly = top + 190 - int(glowing.height()) / 2;
        blend_pixmap_at(sheet, glowing, 1, lx, ly);
        features.push_back({"logo", {lx + 24, ly + 24, lx + 24 + int(w), ly + 24 + int(h)}});
    }
    return features;
}

TEST(PictureTest, SheetOfPrimitives)
{
    FontSet fonts = load_font_set();
    Pixmap sheet = Pixmap::create_or_die(sheet_width, sheet_height);
    const std::uint32_t dark = pixel_word(16, 20, 18, 255), light = pixel_word(240, 238, 230, 255);

    std::vector<TextCell> cells = draw_text_column(sheet, fonts, 0, 600, Color{1, 1, 1, 1}, dark);
    std::vector<TextCell> dark_cells = draw_text_column(sheet, fonts, 600, 600, Color{0, 0, 0, 1}, light);
    cells.insert(cells.end(), dark_cells.begin(), dark_cells.end());

    const std::uint32_t band = pixel_word(12, 30, 24, 255);
    std::vector<Feature> features = draw_primitives(sheet, fonts, band);
    ASSERT_EQ(features.size(), 23u) << "the logo did not decode";

    const auto png = test::binary_dir() / "render-sheet.png";
    cairo_surface_flush(sheet.cairo_surface());
    ASSERT_EQ(cairo_surface_write_to_png(sheet.cairo_surface(), platform::path_utf8(png).c_str()), CAIRO_STATUS_SUCCESS) << png;

    // Every text cell holds a fair amount of ink, and the gaps between the cells hold none.
    for (const TextCell& cell : cells) {
        int area = (cell.box.right - cell.box.left) * (cell.box.bottom - cell.box.top);
        int inked = inked_pixels(sheet, cell.box, cell.background);
        EXPECT_GT(inked, area / 40) << "cell at " << cell.box.left << "," << cell.box.top;
        EXPECT_LT(inked, area / 2) << "cell at " << cell.box.left << "," << cell.box.top;
    }
    for (const Feature& feature : features)
        EXPECT_GT(inked_pixels(sheet, feature.box, band, feature.threshold), 0) << feature.name << " at " << feature.box.left;
    EXPECT_EQ(inked_pixels(sheet, {0, text_band_height + 2, 1200, text_band_height + 10}, band, 24), 0);
    EXPECT_EQ(inked_pixels(sheet, {590, 0, 600, text_band_height}, dark), 0);
    EXPECT_EQ(inked_pixels(sheet, {0, text_band_height - 8, 600, text_band_height}, dark), 0);
}

} // namespace
} // namespace torvane
