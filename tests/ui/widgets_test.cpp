#include "ui/widgets.hpp"

#include "render/font.hpp"
#include "render/shapes.hpp"
#include "render/shaping.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace torvane {
namespace {

Pixmap filled(std::uint32_t width, std::uint32_t height, std::uint32_t word)
{
    Pixmap pixmap = Pixmap::create_or_die(width, height);
    pixmap.fill(word);
    return pixmap;
}

bool same_pixels(const Pixmap& a, const Pixmap& b)
{
    return a.width() == b.width() && a.height() == b.height()
        && std::equal(a.pixels().begin(), a.pixels().end(), b.pixels().begin());
}

TEST(PixelBox, FloorsTheStartCeilsTheEndAndClipsToTheSource)
{
    struct Case {
        float scale, x, y, w, h;
        PixelBox expected;
    };
    const Case cases[] = {
        {1, 10, 20, 30, 25, {10, 20, 40, 45}},
        {1.5f, 10.2f, 0, 5, 5, {15, 0, 23, 8}},
        {1, -5, -5, 20, 20, {0, 0, 15, 15}},    // cut at the top-left
        {1, 90, 40, 30, 30, {90, 40, 100, 50}}, // cut at the bottom-right
    };
    for (const Case& c : cases) {
        const PixelBox box = pixel_box(100, 50, c.scale, c.x, c.y, c.w, c.h);
        EXPECT_EQ(box.left, c.expected.left);
        EXPECT_EQ(box.top, c.expected.top);
        EXPECT_EQ(box.right, c.expected.right);
        EXPECT_EQ(box.bottom, c.expected.bottom);
    }
    EXPECT_TRUE(pixel_box(100, 50, 1, 200, 0, 10, 10).empty());
    EXPECT_TRUE(pixel_box(100, 50, 1, -30, 0, 10, 10).empty());
}

TEST(DownsampleByFour, AveragesEachBlockOverThePixelsInsideTheBox)
{
    // A 10 x 1 box: blocks of 4, 4 and 2 columns. Red values 0, 10, ..., 90.
    Pixmap source = Pixmap::create_or_die(10, 1);
    for (std::uint32_t x = 0; x < 10; ++x)
        source.at(x, 0) = pixel_word(x * 10, 0, 0, 255);
    const Pixmap small = downsample_by_four(source, 0, 0, 10, 1);
    ASSERT_EQ(small.width(), 3u);
    ASSERT_EQ(small.height(), 1u);
    EXPECT_EQ(pixel_red(small.at(0, 0)), (0u + 10 + 20 + 30 + 2) / 4);
    EXPECT_EQ(pixel_red(small.at(1, 0)), (40u + 50 + 60 + 70 + 2) / 4);
    EXPECT_EQ(pixel_red(small.at(2, 0)), (80u + 90 + 1) / 2); // the last block has two columns
    EXPECT_EQ(pixel_alpha(small.at(2, 0)), 255u);
}

TEST(DownsampleByFour, ReadsOnlyTheBox)
{
    Pixmap source = filled(12, 8, pixel_word(200, 0, 0, 255));
    for (std::uint32_t y = 0; y < 8; ++y)
        for (std::uint32_t x = 4; x < 8; ++x)
            source.at(x, y) = pixel_word(0, 0, 100, 255);
    const Pixmap small = downsample_by_four(source, 4, 4, 4, 4);
    ASSERT_EQ(small.width(), 1u);
    EXPECT_EQ(small.at(0, 0), pixel_word(0, 0, 100, 255));
}

TEST(FrostedPanel, CutsThePanelFromTheSourceWithTransparentCorners)
{
    const Pixmap source = filled(200, 100, pixel_word(40, 80, 120, 255));
    std::optional<PanelLayer> layer = draw_frosted_panel(source, 1, 20, 10, 100, 50, 16, 12);
    ASSERT_TRUE(layer);
    EXPECT_EQ(layer->x, 20);
    EXPECT_EQ(layer->y, 10);
    ASSERT_EQ(layer->pixmap.width(), 100u);
    ASSERT_EQ(layer->pixmap.height(), 50u);
    // A uniform source stays uniform inside; the rounded corners are cut away.
    EXPECT_EQ(layer->pixmap.at(50, 25), pixel_word(40, 80, 120, 255));
    EXPECT_EQ(layer->pixmap.at(0, 0), 0u);
    EXPECT_EQ(layer->pixmap.at(99, 49), 0u);
    EXPECT_EQ(pixel_alpha(layer->pixmap.at(16, 0)), 255u); // the straight top edge is kept
}

TEST(FrostedPanel, IsCutToTheSourceAndAbsentOutsideIt)
{
    const Pixmap source = filled(200, 100, pixel_word(255, 255, 255, 255));
    std::optional<PanelLayer> cut = draw_frosted_panel(source, 2, 80, 30, 60, 40, 0, 12);
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->x, 160);
    EXPECT_EQ(cut->y, 60);
    EXPECT_EQ(cut->pixmap.width(), 40u);
    EXPECT_EQ(cut->pixmap.height(), 40u);
    EXPECT_FALSE(draw_frosted_panel(source, 1, 300, 0, 50, 50, 16, 12));
    EXPECT_FALSE(draw_frosted_panel(source, 1, 0, 0, 0, 50, 16, 12));
}

TEST(FrostedPanel, BlursDetailUnderThePanel)
{
    Pixmap source = filled(64, 64, pixel_word(0, 0, 0, 255));
    for (std::uint32_t y = 0; y < 64; ++y)
        source.at(32, y) = pixel_word(255, 255, 255, 255); // a one-pixel white line
    std::optional<PanelLayer> layer = draw_frosted_panel(source, 1, 0, 0, 64, 64, 0, 12);
    ASSERT_TRUE(layer);
    // The line is spread out: no longer white on the line, no longer black beside it.
    EXPECT_LT(pixel_red(layer->pixmap.at(32, 32)), 128u);
    EXPECT_GT(pixel_red(layer->pixmap.at(36, 32)), 0u);
}

TEST(FrostedPanel, ARecycledPixmapGivesTheSameGlassAsANewOne)
{
    // A spent layer of the right size is drawn into, whatever it held; one of another size is
    // not used.
    Pixmap source = filled(200, 100, pixel_word(40, 80, 120, 255));
    for (std::uint32_t y = 0; y < 100; ++y)
        for (std::uint32_t x = 0; x < 200; x += 7)
            source.at(x, y) = pixel_word(255, 255, 255, 255);
    const std::optional<PanelLayer> fresh = draw_frosted_panel(source, 1, 20, 10, 100, 50, 16, 12);
    ASSERT_TRUE(fresh);
    struct Case {
        const char* what;
        std::uint32_t width;
        std::uint32_t height;
        std::uint32_t left_over;
        bool memory_reused;
    };
    const Case cases[] = {
        {"the size, opaque garbage", 100, 50, 0xFF123456u, true},
        {"the size, half-transparent garbage", 100, 50, 0x80402010u, true},
        {"the size, cleared", 100, 50, 0, true},
        {"too narrow", 99, 50, 0xFF123456u, false},
        {"too tall", 100, 51, 0xFF123456u, false},
    };
    for (const Case& c : cases) {
        Pixmap spent = filled(c.width, c.height, c.left_over);
        const std::uint32_t* memory = spent.pixels().data();
        const std::optional<PanelLayer> layer = draw_frosted_panel(source, 1, 20, 10, 100, 50, 16, 12, std::move(spent));
        ASSERT_TRUE(layer) << c.what;
        EXPECT_EQ(layer->pixmap.width(), 100u) << c.what;
        EXPECT_EQ(layer->pixmap.height(), 50u) << c.what;
        EXPECT_EQ(layer->pixmap.pixels().data() == memory, c.memory_reused) << c.what;
        EXPECT_TRUE(std::ranges::equal(layer->pixmap.pixels(), fresh->pixmap.pixels())) << c.what;
    }
}

TEST(ProgressBar, FractionIsClampedAndZeroDrawsOnlyTheTrack)
{
    auto draw = [](float fraction, BarGlow glow) {
        Pixmap pixmap = Pixmap::create_or_die(660, 40);
        Canvas canvas(pixmap);
        draw_progress_bar(canvas, glow, 10, 9, fraction);
        return pixmap;
    };
    Pixmap track = Pixmap::create_or_die(660, 40);
    Canvas track_canvas(track);
    fill_round_rect(track_canvas, Paint::solid(Color{1, 1, 1, 18 / 255.0f}), 39, 10, 572, 9, 4.5f);

    EXPECT_TRUE(same_pixels(draw(0, BarGlow::Yes), track));
    EXPECT_TRUE(same_pixels(draw(-0.5f, BarGlow::Yes), track));
    EXPECT_TRUE(same_pixels(draw(NAN, BarGlow::Yes), track));
    EXPECT_TRUE(same_pixels(draw(1.2f, BarGlow::Yes), draw(1, BarGlow::Yes)));
    EXPECT_FALSE(same_pixels(draw(0.5f, BarGlow::Yes), track));

    // Half filled: gold in the first half of the track, only the track in the second.
    const Pixmap half = draw(0.5f, BarGlow::No);
    EXPECT_GT(pixel_red(half.at(100, 14)), 150u);
    EXPECT_EQ(half.at(500, 14), track.at(500, 14));
    // The glow stays inside the track.
    const Pixmap glowing = draw(0.5f, BarGlow::Yes);
    EXPECT_EQ(glowing.at(100, 5), 0u);
    EXPECT_EQ(glowing.at(100, 25), 0u);
}

TEST(Toggle, KnobRunsFromOffToOn)
{
    struct Case {
        float knob;
        float centre_x;
    };
    const Case cases[] = {{0, 10.5f}, {1, 27.5f}, {0.5f, 19}};
    for (const Case& c : cases) {
        Pixmap pixmap = Pixmap::create_or_die(60, 30);
        Canvas canvas(pixmap);
        draw_toggle(canvas, false, 0, 0, c.knob);
        const auto centre_x = static_cast<std::uint32_t>(c.centre_x);
        EXPECT_EQ(pixmap.at(centre_x, 10), pixel_word(255, 255, 255, 255)) << c.knob;
        // 8 units beside the knob's centre lies outside its 7.5 radius.
        EXPECT_LT(pixel_alpha(pixmap.at(centre_x + 8, 10)), 255u) << c.knob;
    }
    Pixmap on = Pixmap::create_or_die(60, 30);
    Canvas on_canvas(on);
    draw_toggle(on_canvas, true, 0, 0, 1);
    EXPECT_EQ(pixel_alpha(on.at(8, 10)), 255u); // the gold track is opaque
    EXPECT_GT(pixel_red(on.at(8, 10)), pixel_blue(on.at(8, 10)));
}

TEST(CapsLabel, UpperCasesByTheFullMapping)
{
    struct Case {
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {"novidades", "NOVIDADES"},
        {"informações", "INFORMAÇÕES"},
        {"ãç", "ÃÇ"},
        {"straße", "STRASSE"},
        {"Já", "JÁ"},
        {"a\xFF" "b", "A\xEF\xBF\xBD" "B"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(uppercase_text(c.text), c.expected) << c.text;

    const FontSet fonts = load_font_set({});
    const ShapedRun sharp_s = shape_run(fonts.manrope_bold, 10, 1.4f, uppercase_text("ß"));
    const ShapedRun one_s = shape_run(fonts.manrope_bold, 10, 1.4f, uppercase_text("s"));
    EXPECT_EQ(sharp_s.glyphs.size(), one_s.glyphs.size() + 1);
}

TEST(CapsLabel, DrawsTheGoldBarAndTheText)
{
    const FontSet fonts = load_font_set({});
    Pixmap pixmap = Pixmap::create_or_die(200, 30);
    Canvas canvas(pixmap);
    draw_caps_label(canvas, fonts.manrope_bold, 10, 5, 10, "novidades");
    // The bar runs 16 units from x 10, centred on the line box.
    const Font& font = fonts.manrope_bold;
    const float a = std::round(10 * font.ascender / font.units_per_em);
    const float d = std::round(10 * -font.descender / font.units_per_em);
    const auto bar_y = static_cast<std::uint32_t>(5 + (a + d) / 2);
    EXPECT_GT(pixel_alpha(pixmap.at(15, bar_y)), 0u);
    EXPECT_EQ(pixmap.at(28, bar_y), 0u); // between the bar and the text
    std::uint32_t text_pixels = 0;
    for (std::uint32_t y = 0; y < 30; ++y)
        for (std::uint32_t x = 33; x < 200; ++x)
            text_pixels += pixel_alpha(pixmap.at(x, y)) > 0;
    EXPECT_GT(text_pixels, 50u);
}

TEST(IconButton, HoverBringsTheBackgroundAndBrightensTheIcon)
{
    struct Case {
        float hover;
        IconButtonLook look;
        Color expected;
    };
    const Case cases[] = {
        {0, IconButtonLook::Plain, Color::from_rgba8(182, 186, 174)},
        {0, IconButtonLook::Danger, Color::from_rgba8(182, 186, 174)},
        {1, IconButtonLook::Plain, Color::from_rgba8(246, 242, 230)},
        {1, IconButtonLook::Danger, Color::from_rgba8(255, 255, 255)},
        {2, IconButtonLook::Danger, Color::from_rgba8(255, 255, 255)},
    };
    for (const Case& c : cases) {
        const Color color = icon_button_color(c.hover, c.look);
        EXPECT_NEAR(color.r, c.expected.r, 1e-5f);
        EXPECT_NEAR(color.g, c.expected.g, 1e-5f);
        EXPECT_NEAR(color.b, c.expected.b, 1e-5f);
        EXPECT_EQ(color.a, 1);
    }

    const IconSet icons;
    auto draw = [&](float hover, IconButtonLook look) {
        Pixmap pixmap = Pixmap::create_or_die(40, 40);
        Canvas canvas(pixmap);
        draw_icon_button(canvas, icons.close, 0, 0, hover, look);
        return pixmap;
    };
    // No background at rest: the corner inside the button stays empty.
    EXPECT_EQ(draw(0, IconButtonLook::Danger).at(3, 16), 0u);
    const Pixmap hovered = draw(1, IconButtonLook::Danger);
    EXPECT_GT(pixel_alpha(hovered.at(3, 16)), 0u);
    EXPECT_GT(pixel_red(hovered.at(3, 16)), pixel_green(hovered.at(3, 16))); // the red look
}

TEST(CopyPixmapRect, CopiesThePixelBoxOnly)
{
    Pixmap source = Pixmap::create_or_die(20, 10);
    for (std::uint32_t y = 0; y < 10; ++y)
        for (std::uint32_t x = 0; x < 20; ++x)
            source.at(x, y) = pixel_word(x, y, 0, 255);
    std::vector<std::uint32_t> destination(200, 0);
    copy_pixmap_rect(destination, source, 2.5f, 1, 3, 2, 2); // pixels x 5..11, y 2..6
    for (std::uint32_t y = 0; y < 10; ++y)
        for (std::uint32_t x = 0; x < 20; ++x) {
            const bool inside = x >= 5 && x < 11 && y >= 2 && y < 6;
            EXPECT_EQ(destination[y * 20 + x], inside ? source.at(x, y) : 0u) << x << "," << y;
        }
    // Outside the source nothing is copied.
    std::vector<std::uint32_t> untouched(200, 7);
    copy_pixmap_rect(untouched, source, 30, 0, 5, 5, 1);
    EXPECT_EQ(std::count(untouched.begin(), untouched.end(), 7u), 200);
}

TEST(CopyPixmapRectDeathTest, ShortDestinationEndsTheProcess)
{
    const Pixmap source = filled(20, 10, 1);
    std::vector<std::uint32_t> too_short(50);
    EXPECT_DEATH(copy_pixmap_rect(too_short, source, 0, 0, 20, 10, 1), "destination too short");
}

} // namespace
} // namespace torvane
