#include "render/effects/blur.hpp"

#include "render/images.hpp"
#include "render/shapes.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include <cstring>
#include <random>
#include <vector>

namespace torvane {
namespace {

TEST(BoxBlurPass, SpreadsAnOpaquePixelInThirds)
{
    // One row of 7 pixels, the middle one opaque white; radius 1.
    std::vector<std::uint8_t> source(7 * 4, 0), destination(7 * 4, 0xEE);
    std::memset(&source[3 * 4], 255, 4);
    box_blur_pass(source, destination, 7, 1, 1);
    const std::uint8_t expected[] = {0, 0, 85, 85, 85, 0, 0};
    for (int x = 0; x < 7; ++x)
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(destination[std::size_t(x) * 4 + std::size_t(c)], expected[x]) << x;
}

TEST(BoxBlurPass, EdgePixelsRepeat)
{
    // An opaque pixel at the left edge counts twice in the window of x = 0: (255 + 255 + 0 + 1) / 3.
    std::vector<std::uint8_t> source(5 * 4, 0), destination(5 * 4);
    std::memset(&source[0], 255, 4);
    box_blur_pass(source, destination, 5, 1, 1);
    EXPECT_EQ(destination[0], 170);
    EXPECT_EQ(destination[4], 85);
    EXPECT_EQ(destination[8], 0);
}

// The pass written plainly, to compare the running sums and the division against.
std::vector<std::uint8_t> plain_pass(const std::vector<std::uint8_t>& source, int width, int height, int radius)
{
    std::vector<std::uint8_t> out(source.size());
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 4; ++c) {
                unsigned sum = 0;
                for (int k = x - radius; k <= x + radius; ++k)
                    sum += source[(std::size_t(y) * width + std::clamp(k, 0, width - 1)) * 4 + c];
                out[(std::size_t(y) * width + x) * 4 + c] = std::uint8_t((sum + radius) / (2 * radius + 1));
            }
    return out;
}

TEST(BoxBlurPass, MatchesThePlainRoundingDivision)
{
    std::mt19937 random(7);
    const int width = 23, height = 3;
    std::vector<std::uint8_t> source(std::size_t(width) * height * 4);
    for (auto& byte : source)
        byte = std::uint8_t(random() % 2 ? 255 : random() % 256);
    for (int radius : {0, 1, 2, 5, 11, 22, 40, 32767, 40000}) {
        std::vector<std::uint8_t> destination(source.size());
        box_blur_pass(source, destination, width, height, std::uint32_t(radius));
        EXPECT_EQ(destination, plain_pass(source, width, height, radius)) << radius;
    }
}

TEST(GaussianBoxSizes, ThreeBoxesPerSigma)
{
    struct Case {
        float sigma;
        std::array<int, 3> sizes;
    };
    const Case cases[] = {
        {1, {1, 1, 3}},
        {2, {3, 3, 5}},
        {5, {9, 9, 11}},
        {0.3f, {1, 1, 1}},
        {0.5f, {1, 1, 1}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(gaussian_box_sizes(c.sigma), c.sizes) << c.sigma;
}

Pixmap noise_pixmap(std::uint32_t width, std::uint32_t height)
{
    std::mt19937 random(3);
    Pixmap pixmap = Pixmap::create_or_die(width, height);
    for (auto& word : pixmap.pixels()) {
        std::uint32_t a = random() % 256;
        word = pixel_word(random() % (a + 1), random() % (a + 1), random() % (a + 1), a);
    }
    return pixmap;
}

TEST(GaussianBlur, SmallSigmaLeavesEveryByte)
{
    for (float sigma : {0.0f, 0.29f, -1.0f, NAN}) {
        Pixmap pixmap = noise_pixmap(13, 9);
        Pixmap before = pixmap.clone();
        gaussian_blur(pixmap, sigma);
        EXPECT_TRUE(std::equal(pixmap.pixels().begin(), pixmap.pixels().end(), before.pixels().begin())) << sigma;
    }
    // Sigma 0.5 runs three radius-0 passes: no visible change either.
    Pixmap pixmap = noise_pixmap(13, 9);
    Pixmap before = pixmap.clone();
    gaussian_blur(pixmap, 0.5f);
    EXPECT_TRUE(std::equal(pixmap.pixels().begin(), pixmap.pixels().end(), before.pixels().begin()));
}

TEST(GaussianBlur, TransparentStaysTransparent)
{
    Pixmap pixmap = Pixmap::create_or_die(31, 17);
    for (float sigma : {1.0f, 4.0f, 40.0f}) {
        gaussian_blur(pixmap, sigma);
        for (std::uint32_t word : std::as_const(pixmap).pixels())
            ASSERT_EQ(word, 0u) << sigma;
    }
}

TEST(GaussianBlur, SigmaOneIsOneRadiusOneBoxPerAxis)
{
    // Sigma 1: passes of radius 0, 0, 1 horizontally, then vertically. A lone opaque pixel
    // becomes a 3 x 3 block of (85 + 1) / 3 = 28 (85 in each direction).
    Pixmap pixmap = Pixmap::create_or_die(9, 9);
    pixmap.at(4, 4) = 0xFFFFFFFF;
    gaussian_blur(pixmap, 1);
    EXPECT_EQ(pixmap.at(4, 4), 0x1C1C1C1Cu);
    EXPECT_EQ(pixmap.at(3, 5), 0x1C1C1C1Cu);
    EXPECT_EQ(pixmap.at(2, 4), 0u);
    EXPECT_EQ(pixmap.at(4, 6), 0u);
}

TEST(GaussianBlur, SpreadsEvenlyInBothDirectionsOfEachAxis)
{
    Pixmap pixmap = Pixmap::create_or_die(41, 41);
    pixmap.at(20, 20) = 0xFFFFFFFF;
    gaussian_blur(pixmap, 4);
    EXPECT_GT(pixmap.at(20, 20), 0u);
    for (std::uint32_t d = 1; d < 12; ++d) {
        EXPECT_EQ(pixmap.at(20 + d, 20), pixmap.at(20 - d, 20)) << d;
        EXPECT_EQ(pixmap.at(20, 20 + d), pixmap.at(20, 20 - d)) << d;
        EXPECT_GE(pixmap.at(20 + d - 1, 20), pixmap.at(20 + d, 20)) << d;
        EXPECT_GE(pixmap.at(20, 20 + d - 1), pixmap.at(20, 20 + d)) << d;
    }
    EXPECT_GT(pixmap.at(26, 20), 0u); // reaches beyond the first box radius
    EXPECT_EQ(pixmap.at(33, 20), 0u); // but not beyond the three radii, 3 + 3 + 4 pixels
}

TEST(GaussianBlur, RowsSharedOutAmongThreadsGiveTheSamePixels)
{
    // Bands that split the rows evenly and unevenly, more bands than rows, and the large pixmap
    // for which the plain call shares the rows out itself.
    struct Case {
        std::uint32_t width;
        std::uint32_t height;
        float sigma;
    };
    const Case cases[] = {{613, 451, 30}, {97, 3, 4}, {40, 41, 1.5f}};
    for (const Case& c : cases) {
        Pixmap source = Pixmap::create_or_die(c.width, c.height);
        std::uint32_t state = c.width * 7919u + c.height;
        for (std::uint32_t& word : source.pixels()) {
            state = state * 1664525u + 1013904223u;
            const std::uint32_t alpha = state >> 24;
            word = alpha << 24 | ((state >> 16) & 0xFF) * alpha / 255 << 16 | ((state >> 8) & 0xFF) * alpha / 255 << 8
                | (state & 0xFF) * alpha / 255;
        }
        Pixmap alone = source.clone();
        gaussian_blur(alone, c.sigma, 1);
        for (const std::uint32_t bands : {2u, 3u, 4u, 7u, 1000u}) {
            Pixmap shared = source.clone();
            gaussian_blur(shared, c.sigma, bands);
            EXPECT_TRUE(std::ranges::equal(shared.pixels(), alone.pixels())) << c.width << " x " << c.height << ", " << bands;
        }
        Pixmap chosen = source.clone();
        gaussian_blur(chosen, c.sigma);
        EXPECT_TRUE(std::ranges::equal(chosen.pixels(), alone.pixels())) << c.width << " x " << c.height;
    }
}

TEST(DrawShadow, TemporaryCoversShapeAndMargin)
{
    // Sigma 4 at scale 1.5 for a 100 x 40 rectangle: margin 12, so 124 x 64 units, 186 x 96 pixels.
    PixelSize size = shadow_pixmap_size(100, 40, 4, 1.5f);
    EXPECT_EQ(size.width, 186u);
    EXPECT_EQ(size.height, 96u);
    PixelSize empty = shadow_pixmap_size(-50, 0, 0, 1);
    EXPECT_EQ(empty.width, 1u);
    EXPECT_EQ(empty.height, 1u);
}

TEST(DrawShadow, SitsUnderTheShapeAndFadesOut)
{
    Pixmap pixmap = Pixmap::create_or_die(200, 120);
    Canvas canvas(pixmap, 0, 0, 2);
    draw_shadow(canvas, Color{0, 0, 0, 1}, 30, 20, 40, 20, 6, 3);
    EXPECT_GT(pixel_alpha(pixmap.at(100, 60)), 240u);  // the centre of the shape
    std::uint32_t edge = pixel_alpha(pixmap.at(60, 60)); // the left edge, x 30
    EXPECT_GT(edge, 90u);
    EXPECT_LT(edge, 170u);
    EXPECT_EQ(pixel_alpha(pixmap.at(30, 60)), 0u); // beyond the margin of 9 units
    EXPECT_EQ(pixel_alpha(pixmap.at(100, 2)), 0u);
}

TEST(DrawShadow, ClipMaskLimitsIt)
{
    Pixmap pixmap = Pixmap::create_or_die(100, 60);
    Canvas canvas(pixmap);
    auto mask = Mask::create(100, 60);
    ASSERT_TRUE(mask);
    auto left_half = rounded_rect_path(0, 0, 50, 60, 0);
    mask->fill_path(*left_half, FillRule::Winding, true, Transform::identity());
    draw_shadow(canvas, Color{0, 0, 0, 1}, 20, 20, 60, 20, 0, 2, &*mask);
    EXPECT_GT(pixel_alpha(pixmap.at(40, 30)), 240u);
    EXPECT_EQ(pixel_alpha(pixmap.at(60, 30)), 0u);
}

TEST(GlowSprite, SideFollowsSizeAndScale)
{
    // D = 4 at scale 1: sigma 5, margin 15, side 34.
    EXPECT_EQ(glow_sprite_side(4, 1), 34u);
    GlowSprite sprites[] = {{std::nullopt, 4, 0}, {std::nullopt, 10, 2}};
    glow_sprite(sprites, 1.5f);
    ASSERT_TRUE(sprites[0].pixmap);
    EXPECT_EQ(sprites[0].pixmap->width(), 51u);
    EXPECT_EQ(sprites[0].pixmap->height(), 51u);
    // The sharp core at the centre in the palette colour, a soft halo around it.
    EXPECT_EQ(sprites[0].pixmap->at(25, 25), 0xFFF2D28Au);
    std::uint32_t halo = pixel_alpha(sprites[0].pixmap->at(25, 12));
    EXPECT_GT(halo, 0u);
    EXPECT_LT(halo, 128u);
    EXPECT_EQ(sprites[0].pixmap->at(0, 0), 0u);
    ASSERT_TRUE(sprites[1].pixmap);
    EXPECT_EQ(sprites[1].pixmap->width(), glow_sprite_side(10, 1.5f));
    EXPECT_EQ(sprites[1].pixmap->at(sprites[1].pixmap->width() / 2, sprites[1].pixmap->width() / 2), 0xFFF6E4B4u);
}

TEST(GlowSpriteDeathTest, ColourIndexAboveTwoEndsTheProcess)
{
    GlowSprite sprites[] = {{std::nullopt, 4, 3}};
    EXPECT_DEATH(glow_sprite(sprites, 1), "glow colour index");
}

TEST(DrawImageGlow, EnlargesAndAddsHaloLayers)
{
    Pixmap image = Pixmap::create_or_die(10, 10);
    image.fill(0xFFFFFFFF);
    const GlowLayer layers[] = {{217 / 255.0f, 168 / 255.0f, 69 / 255.0f, 89 / 255.0f, 3}, {18 / 255.0f, 184 / 255.0f, 128 / 255.0f, 77 / 255.0f, 2}};
    Pixmap glow = draw_image_glow(image, layers, 8);
    EXPECT_EQ(glow.width(), 26u);
    EXPECT_EQ(glow.height(), 26u);
    EXPECT_EQ(glow.at(13, 13), 0xFFFFFFFFu); // the image stays on top
    std::uint32_t halo = glow.at(5, 13);      // beside it, in the pad
    EXPECT_GT(pixel_alpha(halo), 0u);
    EXPECT_LT(pixel_alpha(halo), 89u + 77u);
    EXPECT_EQ(glow.at(0, 0) >> 24, 0u);

    Pixmap plain = draw_image_glow(image, {}, 2);
    EXPECT_EQ(plain.at(0, 0), 0u);
    EXPECT_EQ(plain.at(2, 2), 0xFFFFFFFFu);
}

TEST(DrawImageGlow, SilhouetteIsThePremultipliedLayerColour)
{
    // Sigma 0 leaves the silhouette sharp: under a transparent image pixel of alpha 255 the
    // silhouette is the colour's bytes, premultiplied: (1 * 0.5) * 255 + 0.5 = 128.
    Pixmap image = Pixmap::create_or_die(1, 1);
    image.at(0, 0) = 0xFF000000;
    const GlowLayer layer[] = {{1, 0, 0, 0.5f, 0}};
    Pixmap glow = draw_image_glow(image, layer, 1);
    EXPECT_EQ(glow.at(1, 1), 0xFF000000u);
    EXPECT_EQ(glow.at(0, 0), 0u);
}

} // namespace
} // namespace torvane
