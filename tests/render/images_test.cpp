#include "render/images.hpp"

#include "render/canvas.hpp"

#include "platform/files.hpp"
#include "support/file_shapes.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>
#include <webp/encode.h>

#include <cmath>
#include <filesystem>
#include <string>

namespace torvane {
namespace {

TEST(PixmapFromRgba, PremultipliesWithRounding)
{
    const std::uint8_t rgba[] = {255, 128, 0, 128, 10, 20, 30, 255, 200, 200, 200, 0};
    auto pixmap = pixmap_from_rgba(3, 1, rgba);
    ASSERT_TRUE(pixmap);
    EXPECT_EQ(pixmap->at(0, 0), pixel_word(128, 64, 0, 128));
    EXPECT_EQ(pixmap->at(1, 0), pixel_word(10, 20, 30, 255));
    EXPECT_EQ(pixmap->at(2, 0), 0u);
}

TEST(PixmapFromRgba, RefusesImpossibleSizesAndPadsShortData)
{
    const std::uint8_t rgba[] = {1, 2, 3, 255};
    EXPECT_FALSE(pixmap_from_rgba(0, 1, rgba));
    EXPECT_FALSE(pixmap_from_rgba(1, 0, rgba));
    EXPECT_FALSE(pixmap_from_rgba(Pixmap::max_width + 1, 1, rgba));
    auto padded = pixmap_from_rgba(2, 2, rgba);
    ASSERT_TRUE(padded);
    EXPECT_EQ(padded->at(0, 0), pixel_word(1, 2, 3, 255));
    EXPECT_EQ(padded->at(1, 1), 0u);
}

TEST(OpacityToO256, RoundsHalvesAwayFromZero)
{
    struct Case {
        float opacity;
        std::uint32_t o256;
    };
    const Case cases[] = {
        {0, 0}, {0.001f, 0}, {0.5f / 256, 1}, {0.5f, 128}, {0.998f, 255}, {1, 256}, {2, 256}, {-1, 0}, {NAN, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(opacity_to_o256(c.opacity), c.o256) << c.opacity;
}

struct Compositing : ::testing::Test {
    Pixmap destination = Pixmap::create_or_die(20, 4);
    Pixmap source = Pixmap::create_or_die(16, 2);
    void SetUp() override
    {
        // Source columns carry their index in red, opaque.
        for (std::uint32_t y = 0; y < source.height(); ++y)
            for (std::uint32_t x = 0; x < source.width(); ++x)
                source.at(x, y) = pixel_word(x * 10, 0, 0, 255);
    }
};

TEST_F(Compositing, BlendAtANegativeOffsetSkipsTheOutsidePart)
{
    blend_pixmap_at(destination, source, 1, -10, 1);
    EXPECT_EQ(destination.at(0, 1), pixel_word(100, 0, 0, 255)); // source column 10
    EXPECT_EQ(destination.at(5, 2), pixel_word(150, 0, 0, 255));
    EXPECT_EQ(destination.at(6, 1), 0u);
    EXPECT_EQ(destination.at(0, 0), 0u);
    EXPECT_EQ(destination.at(0, 3), 0u);
}

// A clipped blend gives the unclipped blend's pixels inside the clip and leaves the rest as it was.
TEST_F(Compositing, ClippedBlendMatchesTheWholeBlendInsideTheClip)
{
    struct Case {
        const char* name;
        std::int32_t x, y;
        ClipRect clip;
    };
    const Case cases[] = {
        {"inside the source", 2, 1, {5, 2, 9, 3}},
        {"across the source's edges", 2, 1, {0, 0, 6, 4}},
        {"a negative offset, a clip past the destination", -10, 1, {-5, -5, 40, 2}},
        {"one row", 0, 0, {0, 1, 20, 2}},
        {"empty", 2, 1, {8, 2, 8, 3}},
        {"turned inside out", 2, 1, {9, 3, 5, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        destination.fill(pixel_word(0, 40, 80, 200));
        Pixmap whole = destination.clone();
        blend_pixmap_at(whole, source, 0.75f, c.x, c.y);
        blend_pixmap_at(destination, source, 0.75f, c.x, c.y, c.clip);
        for (std::uint32_t y = 0; y < destination.height(); ++y)
            for (std::uint32_t x = 0; x < destination.width(); ++x) {
                const bool inside = std::int32_t(x) >= c.clip.x0 && std::int32_t(x) < c.clip.x1
                    && std::int32_t(y) >= c.clip.y0 && std::int32_t(y) < c.clip.y1;
                EXPECT_EQ(destination.at(x, y), inside ? whole.at(x, y) : pixel_word(0, 40, 80, 200)) << x << "," << y;
            }
    }
}

TEST_F(Compositing, BlendOpacityScalesEveryChannel)
{
    destination.fill(pixel_word(0, 0, 200, 255));
    blend_pixmap_at(destination, source, 0.5f, 0, 0); // o256 = 128
    // Source (150, 0, 0, 255) halves to (75, 0, 0, 127); inv 128, k 129: 200 * 129 >> 8 = 100.
    EXPECT_EQ(destination.at(15, 0), pixel_word(75, 0, 100, 127 + (255 * 129 >> 8)));
    Pixmap untouched = destination.clone();
    blend_pixmap_at(destination, source, 0.001f, 0, 0);
    EXPECT_TRUE(std::equal(destination.pixels().begin(), destination.pixels().end(), untouched.pixels().begin()));
}

TEST_F(Compositing, SourceOverKeepsDestinationUnderTransparentPixels)
{
    destination.fill(0xFF102030);
    Pixmap partly = Pixmap::create_or_die(2, 1);
    partly.at(0, 0) = 0x00FFFFFF; // colour without alpha counts as transparent
    partly.at(1, 0) = pixel_word(64, 64, 64, 128);
    blend_pixmap_at(destination, partly, 1, 0, 0);
    EXPECT_EQ(destination.at(0, 0), 0xFF102030u);
    // inv 127, k = 127: 0x10 * 127 >> 8 = 7, 0x20 -> 15, 0x30 -> 23, 255 -> 126.
    EXPECT_EQ(destination.at(1, 0), pixel_word(64 + 7, 64 + 15, 64 + 23, 128 + 126));
}

TEST_F(Compositing, ScaledDrawAtAHalfPixelCoversTheFirstColumnHalf)
{
    Pixmap white = Pixmap::create_or_die(4, 4);
    white.fill(0xFFFFFFFF);
    Pixmap target = Pixmap::create_or_die(20, 6);
    draw_image_scaled(white, target, 10.5f, 1, 1, 1, 1, ImageBlend::SourceOver, ClipRect{});
    // cx = 128: n = ((128 * 256) >> 8) * 256 >> 8 = 128, every channel 255 * 128 >> 8 = 127.
    EXPECT_EQ(target.at(10, 2), 0x7F7F7F7Fu);
    EXPECT_EQ(target.at(11, 2), 0xFFFFFFFFu);
    EXPECT_EQ(target.at(14, 2), 0x7F7F7F7Fu); // the last column, half covered too
    EXPECT_EQ(target.at(9, 2), 0u);
    EXPECT_EQ(target.at(15, 2), 0u);
    EXPECT_EQ(target.at(12, 0), 0u);
    EXPECT_EQ(target.at(12, 5), 0u);
}

TEST_F(Compositing, ScaledDrawHonoursClipOpacityAndReplace)
{
    Pixmap target = Pixmap::create_or_die(20, 4);
    target.fill(0xFF0000FF);
    draw_image_scaled(source, target, 0, 0, 1, 2, 1, ImageBlend::Replace, ClipRect{2, 0, 6, 3});
    EXPECT_EQ(target.at(1, 0), 0xFF0000FFu); // left of the clip
    EXPECT_EQ(target.at(2, 0), pixel_word(20, 0, 0, 255));
    EXPECT_EQ(target.at(5, 2), pixel_word(50, 0, 0, 255));
    EXPECT_EQ(target.at(6, 0), 0xFF0000FFu); // x1 is exclusive
    EXPECT_EQ(target.at(3, 3), 0xFF0000FFu); // y1 is exclusive

    Pixmap faint = Pixmap::create_or_die(20, 4);
    draw_image_scaled(source, faint, 0, 0, 1, 1, 0.5f, ImageBlend::Replace, ClipRect{});
    EXPECT_EQ(faint.at(10, 0), pixel_word(50, 0, 0, 127));
    Pixmap none = Pixmap::create_or_die(20, 4);
    draw_image_scaled(source, none, 0, 0, 1, 1, 0.001f, ImageBlend::Replace, ClipRect{});
    EXPECT_EQ(none.at(10, 0), 0u);
}

TEST_F(Compositing, ScaledDrawInterpolatesBetweenColumns)
{
    // Scale 2 from x 0: destination column 3 samples u = (3.5 / 2) - 0.5 = 1.25, a quarter of the
    // way from column 1 (10) to column 2 (20): (10 * 192 + 20 * 64) >> 8 = 12.
    Pixmap target = Pixmap::create_or_die(40, 4);
    draw_image_scaled(source, target, 0, 0, 2, 2, 1, ImageBlend::SourceOver, ClipRect{});
    EXPECT_EQ(target.at(3, 1), pixel_word(12, 0, 0, 255));
    EXPECT_EQ(target.at(0, 0), pixel_word(0, 0, 0, 255));
}

TEST_F(Compositing, ScaledDrawInterpolatesBetweenRows)
{
    // Rows carry 0 and 100 in green: at scale 2, destination row 1 samples v = 1.5 / 2 - 0.5 =
    // 0.25, a quarter of the way down: (0 * 192 + 100 * 64) >> 8 = 25; row 2 samples 0.75: 75.
    // Column 3 mixes red 10 and 20 at a quarter as above (12); the rows keep their own red.
    for (std::uint32_t x = 0; x < source.width(); ++x)
        source.at(x, 1) = pixel_word(x * 10, 100, 0, 255);
    Pixmap target = Pixmap::create_or_die(40, 4);
    draw_image_scaled(source, target, 0, 0, 2, 2, 1, ImageBlend::SourceOver, ClipRect{});
    EXPECT_EQ(target.at(3, 0), pixel_word(12, 0, 0, 255));
    EXPECT_EQ(target.at(3, 1), pixel_word(12, 25, 0, 255));
    EXPECT_EQ(target.at(3, 2), pixel_word(12, 75, 0, 255));
    EXPECT_EQ(target.at(3, 3), pixel_word(12, 100, 0, 255));
}

TEST_F(Compositing, ScaledDrawSurvivesDegenerateGeometry)
{
    // Zero and infinite scales or a NaN position draw at most a sliver and never read outside
    // the source.
    Pixmap target = Pixmap::create_or_die(20, 4);
    draw_image_scaled(source, target, 10.5f, 0, 0, 1, 1, ImageBlend::SourceOver, ClipRect{});
    draw_image_scaled(source, target, NAN, NAN, 1, 1, 1, ImageBlend::SourceOver, ClipRect{});
    draw_image_scaled(source, target, 0, 0, INFINITY, 1, 1, ImageBlend::SourceOver, ClipRect{});
    draw_image_scaled(source, target, -1e30f, 0, 1e30f, 1, 1, ImageBlend::Replace, ClipRect{});
    EXPECT_EQ(target.width(), 20u);
}

TEST(ScaledDraw, AWholeDrawEqualsOneDrawPerRow)
{
    // A whole draw reuses the source rows it has mixed for the rows below; drawn one row at a
    // time through clips, nothing is reused. Shrinking to less than half, slightly and not at
    // all, and enlarging, from fractional positions, over a busy ground.
    Pixmap image = Pixmap::create_or_die(37, 29);
    std::uint32_t state = 12345;
    for (std::uint32_t& word : image.pixels()) {
        state = state * 1103515245u + 12345u;
        const std::uint32_t alpha = (state >> 24) | 0x0F;
        word = alpha << 24 | ((state >> 8) % (alpha + 1)) << 16 | ((state >> 4) % (alpha + 1)) << 8 | (state % (alpha + 1));
    }
    struct Case {
        float x, y, scale_x, scale_y, opacity;
        ImageBlend blend;
    };
    const Case cases[] = {
        {0, 0, 1, 1, 1, ImageBlend::Replace},
        {-3.25f, 1.5f, 0.3f, 0.45f, 1, ImageBlend::SourceOver},
        {2.7f, -4.1f, 0.944f, 0.944f, 0.55f, ImageBlend::SourceOver},
        {-5.5f, 0.25f, 1.7f, 2.3f, 0.8f, ImageBlend::SourceOver},
        {1, 1, 8, 8, 1, ImageBlend::Replace},
    };
    for (const Case& c : cases) {
        Pixmap whole = Pixmap::create_or_die(64, 70);
        for (std::uint32_t i = 0; i < whole.pixel_count(); ++i)
            whole.pixels()[i] = i % 3 == 0 ? 0 : 0xFF000000u | (i * 2654435761u >> 8);
        Pixmap by_rows = whole.clone();
        draw_image_scaled(image, whole, c.x, c.y, c.scale_x, c.scale_y, c.opacity, c.blend, ClipRect{0, 0, 64, 70});
        for (std::int32_t row = 0; row < 70; ++row)
            draw_image_scaled(image, by_rows, c.x, c.y, c.scale_x, c.scale_y, c.opacity, c.blend, ClipRect{0, row, 64, row + 1});
        EXPECT_TRUE(std::equal(whole.pixels().begin(), whole.pixels().end(), by_rows.pixels().begin()))
            << "scale " << c.scale_x << " x " << c.scale_y;
    }
}

TEST(ScaledDraw, BandsOfAnyHeightGiveTheWholeDraw)
{
    // One banded draw laid down in bands of 1, 7 and 64 rows, in one band past both ends, and in
    // bands that start above the image and end below it; the source rows mixed for a band carry
    // over to the next.
    Pixmap image = Pixmap::create_or_die(41, 33);
    for (std::uint32_t y = 0; y < image.height(); ++y)
        for (std::uint32_t x = 0; x < image.width(); ++x)
            image.at(x, y) = pixel_word((x * 6) & 0xFF, (y * 7) & 0xFF, ((x + y) * 3) & 0xFF, 255);
    const std::int64_t band_heights[] = {1, 7, 64, 1000};
    for (const float scale : {0.944f, 1.0f, 1.6f}) {
        Pixmap whole = Pixmap::create_or_die(70, 60);
        whole.fill(0xFF203040u);
        Pixmap banded = whole.clone();
        draw_image_scaled(image, whole, -2.5f, 3.25f, scale, scale, 0.55f, ImageBlend::SourceOver, ClipRect{});
        for (const std::int64_t height : band_heights) {
            Pixmap target = banded.clone();
            BandedImageDraw draw(image, target, -2.5f, 3.25f, scale, scale, 0.55f, ImageBlend::SourceOver, ClipRect{});
            for (std::int64_t top = -height / 2; top < 60; top += height)
                draw.draw_rows(target, top, top + height);
            EXPECT_TRUE(std::equal(whole.pixels().begin(), whole.pixels().end(), target.pixels().begin()))
                << "scale " << scale << ", bands of " << height;
        }
    }
}

TEST(ResizePixmap, ShrinkingAveragesBlocks)
{
    Pixmap source = Pixmap::create_or_die(4, 4);
    for (std::uint32_t y = 0; y < 4; ++y)
        for (std::uint32_t x = 0; x < 4; ++x)
            source.at(x, y) = pixel_word(x * 10 + y, 0, 0, 255);
    Pixmap small = resize_pixmap(source, 2, 2);
    ASSERT_EQ(small.width(), 2u);
    // The top-left block holds red 0, 10, 1, 11: mean 5.5 rounds to 6.
    EXPECT_EQ(small.at(0, 0), pixel_word(6, 0, 0, 255));
    EXPECT_EQ(small.at(1, 1), pixel_word(28, 0, 0, 255)); // 22, 32, 23, 33
}

TEST(ResizePixmap, LargeEnlargementsDrawnInBandsMatchOneWholeDraw)
{
    // Large images are enlarged in bands of rows on several threads. A band drawn one row off,
    // or copied to the wrong rows, differs everywhere; cairo's own rounding at a band's first
    // row may move a level here and there. Small images are drawn whole, unchanged.
    const std::optional<Pixmap> hero = decode_webp(built_in_hero_image());
    ASSERT_TRUE(hero);
    struct Case {
        std::uint32_t width;
        std::uint32_t height;
    };
    const Case cases[] = {{2377, 1426}, {2971, 1783}, {1925, 1155}, {3000, 1153}, {1921, 2400}};
    for (const Case& c : cases) {
        const Pixmap banded = resize_pixmap(*hero, c.width, c.height);
        Pixmap whole = Pixmap::create_or_die(c.width, c.height);
        const float sx = static_cast<float>(hero->width()) / static_cast<float>(c.width);
        const float sy = static_cast<float>(hero->height()) / static_cast<float>(c.height);
        draw_pixmap(whole, 0, 0, *hero, PixmapPaint{1, BlendMode::Source, FilterQuality::Bicubic},
            Transform::scale(1 / sx, 1 / sy));
        std::size_t differing = 0;
        int largest = 0;
        for (std::size_t i = 0; i < whole.pixel_count(); ++i) {
            const std::uint32_t a = whole.pixels()[i];
            const std::uint32_t b = banded.pixels()[i];
            if (a == b)
                continue;
            ++differing;
            for (int shift = 0; shift < 32; shift += 8)
                largest = std::max(largest, std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)));
        }
        EXPECT_LE(largest, 1) << c.width << " x " << c.height;
        EXPECT_LT(static_cast<double>(differing) / static_cast<double>(whole.pixel_count()), 0.01) << c.width << " x " << c.height;
    }

    const Pixmap small = resize_pixmap(*hero, 480, 288);
    const Pixmap enlarged = resize_pixmap(small, 700, 420);
    Pixmap whole = Pixmap::create_or_die(700, 420);
    draw_pixmap(whole, 0, 0, small, PixmapPaint{1, BlendMode::Source, FilterQuality::Bicubic},
        Transform::scale(1 / (480.0f / 700.0f), 1 / (288.0f / 420.0f)));
    EXPECT_TRUE(std::equal(whole.pixels().begin(), whole.pixels().end(), enlarged.pixels().begin()));
}

TEST(ResizePixmap, EnlargingKeepsAFlatColour)
{
    Pixmap source = Pixmap::create_or_die(2, 2);
    source.fill(pixel_word(40, 80, 120, 255));
    Pixmap large = resize_pixmap(source, 4, 4);
    ASSERT_EQ(large.width(), 4u);
    for (std::uint32_t word : std::as_const(large).pixels())
        EXPECT_EQ(word, pixel_word(40, 80, 120, 255));
}

TEST(ResizePixmap, ZeroSidesGiveATransparentPixel)
{
    Pixmap source = Pixmap::create_or_die(3, 3);
    source.fill(0xFFFFFFFF);
    Pixmap empty = resize_pixmap(source, 0, 5);
    EXPECT_EQ(empty.width(), 1u);
    EXPECT_EQ(empty.height(), 5u);
    EXPECT_EQ(empty.at(0, 0), 0u);
}

TEST(Decoders, BuiltInMediaDecode)
{
    auto hero = decode_webp(built_in_hero_image());
    ASSERT_TRUE(hero);
    EXPECT_GE(hero->width(), 1600u);
    EXPECT_GE(hero->height(), 960u);
    EXPECT_EQ(pixel_alpha(hero->at(0, 0)), 255u);

    auto logo = decode_png(built_in_logo_image());
    ASSERT_TRUE(logo);
    EXPECT_NEAR(double(logo->width()), 860, 40);
    EXPECT_EQ(pixel_alpha(logo->at(0, logo->height() - 1)), 0u); // transparent around the letters

    auto crest = decode_png(built_in_crest_image());
    ASSERT_TRUE(crest);
    EXPECT_EQ(crest->width(), crest->height());
    EXPECT_EQ(pixel_alpha(crest->at(0, 0)), 0u);
    EXPECT_EQ(pixel_alpha(crest->at(crest->width() / 2, crest->height() / 2)), 255u);

    auto icons = built_in_window_icons();
    ASSERT_FALSE(icons.empty());
    EXPECT_EQ(icons.front().size, 16u);
    EXPECT_EQ(icons.back().size, 256u);
    for (const WindowIconImage& icon : icons) {
        auto image = decode_png(icon.png);
        ASSERT_TRUE(image) << icon.size;
        EXPECT_EQ(image->width(), icon.size);
        EXPECT_EQ(image->height(), icon.size);
    }
}

TEST(Decoders, BrokenDataGivesNone)
{
    const std::uint8_t garbage[] = {'R', 'I', 'F', 'F', 1, 2, 3, 4, 'W', 'E', 'B', 'P', 0, 0};
    EXPECT_FALSE(decode_webp(garbage));
    EXPECT_FALSE(decode_png(garbage));
    EXPECT_FALSE(decode_webp({}));
    auto png = std::vector<std::uint8_t>(built_in_logo_image().begin(), built_in_logo_image().end());
    png.resize(png.size() / 2);
    EXPECT_FALSE(decode_png(png));
}

TEST(Decoders, LosslessWebpWithAlphaIsPremultiplied)
{
    const std::uint8_t rgba[] = {255, 128, 0, 128, 0, 0, 255, 255, 10, 20, 30, 0, 255, 255, 255, 255};
    std::uint8_t* encoded = nullptr;
    std::size_t size = WebPEncodeLosslessRGBA(rgba, 2, 2, 8, &encoded);
    ASSERT_GT(size, 0u);
    auto pixmap = decode_webp({encoded, size});
    WebPFree(encoded);
    ASSERT_TRUE(pixmap);
    EXPECT_EQ(pixmap->at(0, 0), pixel_word(128, 64, 0, 128));
    EXPECT_EQ(pixmap->at(1, 0), pixel_word(0, 0, 255, 255));
    EXPECT_EQ(pixmap->at(0, 1), 0u);
}

TEST(Decoders, PngRoundTrip)
{
    Pixmap pixmap = Pixmap::create_or_die(3, 2);
    pixmap.at(0, 0) = pixel_word(255, 0, 0, 255);
    pixmap.at(2, 1) = pixel_word(0, 100, 0, 200);
    auto back = decode_png(encode_png(pixmap));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->at(0, 0), pixmap.at(0, 0));
    EXPECT_EQ(back->at(2, 1), pixmap.at(2, 1));
    EXPECT_EQ(back->at(1, 0), 0u);
}

TEST(LoadMediaAsset, OverrideFileWinsUnlessEmptyOrUnreadable)
{
    test::TempDir base;
    const std::uint8_t built_in[] = {1, 2, 3};
    auto load = [&](std::string_view name) { return load_media_asset(base.path(), name, built_in); };

    EXPECT_EQ(load("missing.png"), (std::vector<std::uint8_t>{1, 2, 3}));
    base.write("Data/LauncherWeb/media/logo-torvane.png", "xyz");
    EXPECT_EQ(load("logo-torvane.png"), (std::vector<std::uint8_t>{'x', 'y', 'z'}));
    base.write("Data/LauncherWeb/media/empty.png", "");
    EXPECT_EQ(load("empty.png"), (std::vector<std::uint8_t>{1, 2, 3}));
    std::filesystem::create_directories(base.path() / "Data/LauncherWeb/media/folder.png");
    EXPECT_EQ(load("folder.png"), (std::vector<std::uint8_t>{1, 2, 3}));
}

// An override that is endless, blocks or is oversized is unreadable: the built-in image, at once.
TEST(LoadMediaAsset, AnOverrideThatIsNoPlainFileOrTooLargeGivesTheBuiltInBytes)
{
    test::TempDir base;
    const std::uint8_t built_in[] = {1, 2, 3};
    for (test::FileShape shape : test::all_file_shapes) {
        SCOPED_TRACE(test::file_shape_name(shape));
        test::PlantedFile planted(base.path() / "Data/LauncherWeb/media/hero-torvane.webp", shape, "xyz",
                                  platform::image_read_limit, '\0');
        auto bytes = load_media_asset(base.path(), "hero-torvane.webp", built_in);
        if (shape == test::FileShape::Regular)
            EXPECT_EQ(bytes, (std::vector<std::uint8_t>{'x', 'y', 'z'}));
        else
            EXPECT_EQ(bytes, (std::vector<std::uint8_t>{1, 2, 3}));
    }
}

} // namespace
} // namespace torvane
