// Draws a sheet of the render layer's primitives into a PNG under the build folder, to be looked
// at, and checks it against coarse bounds: not blank, ink where text was drawn and only there.
#include "render/glyph_raster.hpp"

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

// Pixels in the box that differ clearly from the background word.
int inked_pixels(const Pixmap& pixmap, InkBox box, std::uint32_t background)
{
    int count = 0;
    for (int y = std::max(box.top, 0); y < std::min(box.bottom, int(pixmap.height())); ++y)
        for (int x = std::max(box.left, 0); x < std::min(box.right, int(pixmap.width())); ++x) {
            std::uint32_t word = pixmap.at(std::uint32_t(x), std::uint32_t(y));
            int difference = std::abs(int(pixel_green(word)) - int(pixel_green(background)));
            count += difference > 96;
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

TEST(PictureTest, SheetOfPrimitives)
{
    FontSet fonts = load_font_set();
    Pixmap sheet = Pixmap::create_or_die(sheet_width, sheet_height);
    const std::uint32_t dark = pixel_word(16, 20, 18, 255), light = pixel_word(240, 238, 230, 255);

    std::vector<TextCell> cells = draw_text_column(sheet, fonts, 0, 600, Color{1, 1, 1, 1}, dark);
    std::vector<TextCell> dark_cells = draw_text_column(sheet, fonts, 600, 600, Color{0, 0, 0, 1}, light);
    cells.insert(cells.end(), dark_cells.begin(), dark_cells.end());

    const auto png = test::binary_dir() / "render-sheet.png";
    cairo_surface_flush(sheet.cairo_surface());
    ASSERT_EQ(cairo_surface_write_to_png(sheet.cairo_surface(), png.c_str()), CAIRO_STATUS_SUCCESS) << png;

    // Every text cell holds a fair amount of ink, and the gaps between the cells hold none.
    for (const TextCell& cell : cells) {
        int area = (cell.box.right - cell.box.left) * (cell.box.bottom - cell.box.top);
        int inked = inked_pixels(sheet, cell.box, cell.background);
        EXPECT_GT(inked, area / 40) << "cell at " << cell.box.left << "," << cell.box.top;
        EXPECT_LT(inked, area / 2) << "cell at " << cell.box.left << "," << cell.box.top;
    }
    EXPECT_EQ(inked_pixels(sheet, {590, 0, 600, int(sheet_height)}, dark), 0);
    EXPECT_EQ(inked_pixels(sheet, {0, text_band_height - 8, 600, text_band_height}, dark), 0);
}

} // namespace
} // namespace torvane
