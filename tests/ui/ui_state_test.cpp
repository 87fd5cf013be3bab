#include "ui/ui_state.hpp"

#include "render/images.hpp"
#include "support/temp_dir.hpp"
#include "ui/frame.hpp"
#include "ui/layout.hpp"
#include "ui/motion.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace torvane {
namespace {

bool same_pixels(const Pixmap& a, const Pixmap& b)
{
    return a.width() == b.width() && a.height() == b.height()
        && std::equal(a.pixels().begin(), a.pixels().end(), b.pixels().begin());
}

TEST(UiStateTest, BuiltWithInitialValues)
{
    test::TempDir base;
    UiState state = build_ui_state(1, base.path());
    EXPECT_EQ(state.status_text, "verificando...");
    EXPECT_EQ(state.status_label, "Preparando...");
    EXPECT_EQ(state.detail_line, "-");
    EXPECT_EQ(state.rate_line, "");
    EXPECT_EQ(state.play_label, "aguarde...");
    EXPECT_EQ(state.percent, 0);
    EXPECT_EQ(state.screen_mode, screen_main);
    EXPECT_FALSE(state.play_enabled);
    EXPECT_TRUE(state.windowed_on);
    EXPECT_EQ(tween_value(state.window_mode_tween, state.clock), 1);
    EXPECT_TRUE(state.main_dirty);
    EXPECT_TRUE(state.texts_dirty);
    EXPECT_TRUE(state.redraw_all);
    EXPECT_FALSE(state.minimised);
    EXPECT_TRUE(state.configured_links.empty());
    EXPECT_TRUE(state.news.empty());
    EXPECT_TRUE(state.info_rows.empty());
    ASSERT_EQ(state.links.size(), 1u); // only "Opções"
    EXPECT_EQ(state.pointer_x, -1);
    EXPECT_EQ(state.pointer_y, -1);
    EXPECT_GT(state.intro_start, 1e8f);
    EXPECT_EQ(state.opening_ms, 1796511600000);
    EXPECT_EQ(state.opening_text, "05 de dezembro \u00B7 20h");
    EXPECT_EQ(state.frame_canvas.width(), 1100u);
    EXPECT_EQ(state.frame_canvas.height(), 660u);
    ASSERT_EQ(state.glow_cache.size(), std::size_t{spark_count});
    for (int i = 0; i < spark_count; ++i) {
        EXPECT_TRUE(state.glow_cache[i].pixmap) << i;
        EXPECT_EQ(state.glow_cache[i].size, state.sparks[i].size);
    }
    EXPECT_TRUE(state.images.hero_scaled);
    EXPECT_TRUE(state.images.logo_glow);
    EXPECT_TRUE(state.images.crest_glow);
    EXPECT_TRUE(state.spark_sprite);
    EXPECT_TRUE(state.emblem_layer);
    drop_ui_state(state);
}

TEST(UiStateTest, ReleasedHeroIsDecodedAgainForANewScale)
{
    test::TempDir base;
    UiState kept = build_ui_state(1, base.path());
    UiState released = build_ui_state(1, base.path());
    release_decoded_hero(released);
    EXPECT_EQ(released.images.hero.pixel_count(), 1u);
    // The copy for the current scale stays.
    EXPECT_TRUE(same_pixels(*released.images.hero_scaled, *kept.images.hero_scaled));

    EXPECT_EQ(released.images.logo.pixel_count(), 1u);
    EXPECT_EQ(released.images.crest.pixel_count(), 1u);
    EXPECT_TRUE(same_pixels(*released.images.logo_scaled, *kept.images.logo_scaled));

    apply_scale(kept, 1.25f);
    apply_scale(released, 1.25f);
    EXPECT_TRUE(same_pixels(released.images.hero, kept.images.hero));
    EXPECT_TRUE(same_pixels(*released.images.hero_scaled, *kept.images.hero_scaled));
    EXPECT_TRUE(same_pixels(released.images.logo, kept.images.logo));
    EXPECT_TRUE(same_pixels(released.images.crest, kept.images.crest));
    EXPECT_TRUE(same_pixels(*released.images.logo_glow, *kept.images.logo_glow));
    EXPECT_TRUE(same_pixels(*released.images.crest_glow, *kept.images.crest_glow));
    drop_ui_state(kept);
    drop_ui_state(released);
}

TEST(UiStateTest, BrokenOrEmptyOverridesFallBackToBuiltIn)
{
    test::TempDir base;
    base.write("Data/LauncherWeb/media/hero-torvane.webp", "not a webp image");
    base.write("Data/LauncherWeb/media/logo-torvane.png", "");
    base.write("Data/LauncherWeb/media/crest-torvane.png", "\x89PNG broken");
    UiState state = build_ui_state(1, base.path());
    EXPECT_TRUE(same_pixels(state.images.hero, *decode_webp(built_in_hero_image())));
    EXPECT_TRUE(same_pixels(state.images.logo, *decode_png(built_in_logo_image())));
    EXPECT_TRUE(same_pixels(state.images.crest, *decode_png(built_in_crest_image())));
}

TEST(UiStateTest, ReadableOverrideReplacesBuiltIn)
{
    test::TempDir base;
    Pixmap crest = Pixmap::create_or_die(5, 7);
    crest.fill(pixel_word(255, 0, 0, 255));
    std::vector<std::uint8_t> png = encode_png(crest);
    base.write("Data/LauncherWeb/media/crest-torvane.png", std::string(png.begin(), png.end()));
    UiState state = build_ui_state(1, base.path());
    EXPECT_EQ(state.images.crest.width(), 5u);
    EXPECT_EQ(state.images.crest.height(), 7u);
}

TEST(UiStateTest, ImagesDecodedAheadGiveTheStateBuiltFromTheFolder)
{
    // The window decodes the images while the display opens and hands them over; the state must
    // be the one built from the folder itself, overrides and fallbacks included.
    struct Case {
        const char* what;
        const char* file;
        std::string bytes;
    };
    Pixmap red = Pixmap::create_or_die(5, 7);
    red.fill(pixel_word(255, 0, 0, 255));
    const std::vector<std::uint8_t> png = encode_png(red);
    const Case cases[] = {
        {"built-in images", nullptr, ""},
        {"a crest override", "Data/LauncherWeb/media/crest-torvane.png", std::string(png.begin(), png.end())},
        {"a broken hero override", "Data/LauncherWeb/media/hero-torvane.webp", "not a webp image"},
    };
    for (const Case& c : cases) {
        test::TempDir base;
        if (c.file)
            base.write(c.file, c.bytes);
        UiState ahead = build_ui_state(1, base.path(), decode_images(base.path()));
        UiState built = build_ui_state(1, base.path());
        EXPECT_TRUE(same_pixels(ahead.images.hero, built.images.hero)) << c.what;
        EXPECT_TRUE(same_pixels(ahead.images.logo, built.images.logo)) << c.what;
        EXPECT_TRUE(same_pixels(ahead.images.crest, built.images.crest)) << c.what;
        EXPECT_TRUE(same_pixels(*ahead.images.hero_scaled, *built.images.hero_scaled)) << c.what;
        EXPECT_TRUE(same_pixels(*ahead.images.crest_glow, *built.images.crest_glow)) << c.what;
        EXPECT_EQ(ahead.images.media_dir, built.images.media_dir) << c.what;
        drop_ui_state(ahead);
        drop_ui_state(built);
    }
}

class ApplyScaleTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        test::TempDir base;
        state_ = new UiState(build_ui_state(1, base.path()));
    }
    static void TearDownTestSuite()
    {
        drop_ui_state(*state_);
        delete state_;
    }
    UiState& state() { return *state_; }

private:
    static UiState* state_;
};
UiState* ApplyScaleTest::state_ = nullptr;

TEST_F(ApplyScaleTest, CanvasesFollowTheScale)
{
    struct Case {
        float scale;
        std::uint32_t width;
        std::uint32_t height;
    };
    const Case cases[] = {{1.5f, 1650, 990}, {1.25f, 1375, 825}, {0.5f, 550, 330}, {1, 1100, 660}};
    for (const Case& c : cases) {
        state().redraw_all = false;
        apply_scale(state(), c.scale);
        const std::initializer_list<const Pixmap*> canvases = {&state().frame_canvas, &state().backdrop_canvas,
            &state().background_composite, state().background_layer.get()};
        for (const Pixmap* canvas : canvases) {
            EXPECT_EQ(canvas->width(), c.width) << c.scale;
            EXPECT_EQ(canvas->height(), c.height) << c.scale;
        }
        // The stage area each frame wipes and draws again: 660 x 478 units from y 58.
        const auto stage_top = static_cast<std::int32_t>(std::floor(58 * c.scale));
        EXPECT_EQ(stage_area_rect(state()), (DirtyRect{0, stage_top, static_cast<std::int32_t>(std::ceil(660 * c.scale)),
                                                static_cast<std::int32_t>(std::ceil(536 * c.scale)) - stage_top}))
            << c.scale;
        EXPECT_TRUE(state().redraw_all);
        EXPECT_EQ(state().last_background_request, -1);
        EXPECT_FALSE(state().render_job_tx);
        EXPECT_EQ(state().spark_sprite->width(), scaled_pixels(30, c.scale) + 1);
        EXPECT_EQ(state().emblem_layer->width(), scaled_pixels(290, c.scale));
        EXPECT_EQ(state().images.crest_scaled->width(), static_cast<std::uint32_t>(std::round(34 * c.scale)));
        EXPECT_EQ(state().images.logo_scaled->width(), static_cast<std::uint32_t>(std::round(430 * c.scale)));
        EXPECT_EQ(state().images.crest_glow->width(),
            state().images.crest_scaled->width() + 2 * static_cast<std::uint32_t>(std::round(15 * c.scale)));
    }
}

TEST_F(ApplyScaleTest, HeroCoverFitOffset)
{
    Pixmap saved = std::move(state().images.hero);
    struct Case {
        std::uint32_t width;
        std::uint32_t height;
        float x;
        float y;
        std::uint32_t scaled_width;
    };
    const Case cases[] = {
        {2200, 660, -550, 0, 2376},    // wider: fit 1 by height, half the excess width to the left
        {1100, 1320, 0, -198, 1188},   // taller: fit 1 by width, 0.3 of the excess height up
        {550, 330, 0, 0, 1188},        // exactly 1100:660, enlarged
        {1100, 100, -3080, 0, 7841},   // very wide
    };
    for (const Case& c : cases) {
        state().images.hero = Pixmap::create_or_die(c.width, c.height);
        apply_scale(state(), 1);
        EXPECT_NEAR(state().hero_x, c.x, 1e-3) << c.width << "x" << c.height;
        EXPECT_NEAR(state().hero_y, c.y, 1e-3) << c.width << "x" << c.height;
        EXPECT_EQ(state().images.hero_scaled->width(), c.scaled_width) << c.width << "x" << c.height;
    }
    state().images.hero = std::move(saved);
    apply_scale(state(), 1);
}

TEST(ShapedTextCacheTest, ReusesRunsAndBoundsItsSize)
{
    FontSet fonts = load_font_set({});
    ShapedTextCache cache;
    const ShapedRun& first = cached_run(cache, fonts, TextFace::ManropeBold, 25, 0, "12", Figures::Tabular);
    const ShapedRun& again = cached_run(cache, fonts, TextFace::ManropeBold, 25, 0, "12", Figures::Tabular);
    EXPECT_EQ(&first, &again);
    cached_run(cache, fonts, TextFace::ManropeBold, 25, 0, "12", Figures::Proportional);
    cached_run(cache, fonts, TextFace::ManropeBold, 24, 0, "12", Figures::Tabular);
    EXPECT_EQ(cache.runs.size(), 3u);
    for (int i = 0; i < 2000; ++i)
        cached_run(cache, fonts, TextFace::ManropeRegular, 12, 0, std::to_string(i));
    EXPECT_LE(cache.runs.size(), 512u);
}

TEST(HoverKeyTest, DataCountsOnlyForListElements)
{
    EXPECT_NE(hover_key(hit_id::link, 0), hover_key(hit_id::link, 1));
    EXPECT_NE(hover_key(hit_id::news, 0), hover_key(hit_id::news, 2));
    EXPECT_EQ(hover_key(hit_id::play, 0), hover_key(hit_id::play, 5));
    EXPECT_NE(hover_key(hit_id::play, 0), hover_key(hit_id::settings, 0));
}

} // namespace
} // namespace torvane
