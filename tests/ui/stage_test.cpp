#include "ui/stage.hpp"

#include "support/temp_dir.hpp"
#include "ui/frame.hpp"
#include "ui/layout.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace torvane {
namespace {

using test::TempDir;

// 2026-12-05T20:00:00-03:00, the default opening.
constexpr std::int64_t default_opening_ms = 1'796'511'600'000;

// A state whose stage is drawn directly, with the intro `since` seconds old and no sparks.
struct StageFixture {
    TempDir base;
    UiState state = build_ui_state(1, base.path());

    explicit StageFixture(float since)
    {
        state.clock = 10;
        state.intro_start = state.clock - since;
        for (Spark& spark : state.sparks)
            spark.opacity = 0;
    }
    ~StageFixture() { drop_ui_state(state); }

    // Draws the stage over a cleared frame and tells whether the rows from y0 to y1 of the stage
    // area received anything.
    bool drew_between(std::int64_t now_ms, float y0, float y1)
    {
        state.frame_canvas.fill(0);
        draw_stage(state, now_ms);
        for (auto y = static_cast<std::uint32_t>(y0); y < static_cast<std::uint32_t>(y1); ++y)
            for (std::uint32_t x = 0; x < 660; ++x)
                if (state.frame_canvas.at(x, y) != 0)
                    return true;
        return false;
    }
};

TEST(StageLayout, ContentHeightAndPillTop)
{
    StageFixture fixture(5);
    // Counting down: 406.5 units; opened: 311 plus the 26-pixel line of the display face
    // (Urbanist: ascender 1900, descender 500 of 2000 units: 24.7 and 6.5 round to 25 and 7).
    EXPECT_FLOAT_EQ(stage_content_height(fixture.state, false), 406.5f);
    EXPECT_FLOAT_EQ(stage_content_height(fixture.state, true), 343);
    EXPECT_FLOAT_EQ(stage_pill_top(406.5f), 93.75f);
    EXPECT_FLOAT_EQ(stage_pill_top(343), 125.5f);
}

TEST(StageLayout, BadgeSpriteKey)
{
    struct Case {
        float y;
        float width;
        std::int32_t key;
    };
    const Case cases[] = {
        {93.75f, 300, static_cast<std::int32_t>(6000u ^ (19200u * 4096u))},
        {125.5f, 300, static_cast<std::int32_t>(8032u ^ (19200u * 4096u))},
        {0, 20000, static_cast<std::int32_t>((1280000u & 0xFFFFFu) * 4096u)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(badge_sprite_key(c.y, c.width), c.key) << c.y << " " << c.width;
}

TEST(StageLayout, LogoBobsOverAFourSecondCycleAndBack)
{
    struct Case {
        float clock;
        float bob;
    };
    const Case cases[] = {{0, -4}, {2, 0}, {4, 4}, {6, 0}, {8, -4}, {3.999f, 4}};
    for (const Case& c : cases)
        EXPECT_NEAR(logo_bob(c.clock), c.bob, 1e-2f) << c.clock;
}

TEST(Stage, NothingBeforeTheIntroThenPillAndCrestThenCountdown)
{
    const std::int64_t now = default_opening_ms - 3 * 86'400'000LL; // three days to go
    const float countdown_top = stage_pill_top(406.5f) + 311;
    {
        StageFixture fixture(-0.1f);
        EXPECT_FALSE(fixture.drew_between(now, 58, 536));
    }
    {
        StageFixture fixture(0.1f);
        EXPECT_TRUE(fixture.drew_between(now, 58, countdown_top));
        EXPECT_FALSE(fixture.drew_between(now, countdown_top, 536));
    }
    {
        StageFixture fixture(0.5f);
        EXPECT_TRUE(fixture.drew_between(now, countdown_top, 536));
    }
}

TEST(Stage, OpeningTextReplacesTheCountdownAndMovesThePill)
{
    struct Case {
        std::int64_t before_opening_ms;
        float pill_top;
        bool counting;
    };
    const Case cases[] = {
        {5'000, stage_pill_top(406.5f), true},
        {999, stage_pill_top(343), false},
        {-60'000, stage_pill_top(343), false},
    };
    for (const Case& c : cases) {
        StageFixture fixture(5);
        draw_stage(fixture.state, default_opening_ms - c.before_opening_ms);
        ASSERT_TRUE(fixture.state.stage.badge.pixmap);
        EXPECT_FLOAT_EQ(fixture.state.stage.badge.origin_y, c.pill_top - 12) << c.before_opening_ms;
        EXPECT_EQ(fixture.state.stage.countdown_sprite.has_value(), c.counting) << c.before_opening_ms;
    }
}

TEST(Stage, OnlyTheChangedDigitIsRenderedAgain)
{
    StageFixture fixture(5);
    UiState& state = fixture.state;
    const std::int64_t now = default_opening_ms - (2 * 86'400 + 3 * 3600 + 4 * 60 + 30) * 1000LL;
    draw_stage(state, now);
    EXPECT_EQ(state.stage.countdown_texts, (std::array<std::string, 4>{"2", "03", "04", "30"}));
    std::array<const std::uint32_t*, 4> pixels{};
    for (std::size_t i = 0; i < 4; ++i) {
        ASSERT_TRUE(state.stage.digit_sprites[i].pixmap);
        pixels[i] = state.stage.digit_sprites[i].pixmap->pixels().data();
    }
    const std::array<float, 4> changed_at = state.stage.digit_changed_at;

    state.clock += 1;
    draw_stage(state, now + 1000);
    EXPECT_EQ(state.stage.countdown_texts[3], "29");
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(state.stage.digit_sprites[i].pixmap->pixels().data(), pixels[i]) << i;
        EXPECT_EQ(state.stage.digit_changed_at[i], changed_at[i]) << i;
    }
    EXPECT_NE(state.stage.digit_sprites[3].pixmap->pixels().data(), pixels[3]);
    EXPECT_EQ(state.stage.digit_changed_at[3], state.clock);
}

TEST(Stage, ManyDaysShowEveryDigit)
{
    StageFixture fixture(5);
    draw_stage(fixture.state, default_opening_ms - 123456LL * 86'400'000 - 5000);
    EXPECT_EQ(fixture.state.stage.countdown_texts, (std::array<std::string, 4>{"123456", "00", "00", "05"}));
    const std::array<float, 4> widths = countdown_cell_widths(fixture.state, fixture.state.stage.countdown_texts);
    EXPECT_GT(widths[0], 70); // six digits need a wider cell
    EXPECT_EQ(widths[1], 70);
}

TEST(Stage, RuneSpritesAreKeptWhileThePillStays)
{
    StageFixture fixture(5);
    UiState& state = fixture.state;
    draw_stage(state, default_opening_ms - 86'400'000);
    ASSERT_EQ(state.stage.rune_sprites.size(), 1u);
    const std::uint32_t* first = state.stage.rune_sprites[0].pixels().data();
    EXPECT_EQ(state.stage.rune_key, static_cast<std::int32_t>(std::floor((stage_pill_top(406.5f) + 35) * 64)));
    state.clock += 0.5f;
    draw_stage(state, default_opening_ms - 86'400'000 + 500);
    EXPECT_EQ(state.stage.rune_sprites[0].pixels().data(), first);
    // The opening moves the pill, and the rings are drawn into new sprites.
    draw_stage(state, default_opening_ms + 1000);
    EXPECT_EQ(state.stage.rune_key, static_cast<std::int32_t>(std::floor((stage_pill_top(343) + 35) * 64)));
}

TEST(Stage, TheSettledLogoIsDrawnFromItsShiftedCopiesAfterTheGlowIsLetGo)
{
    // Once the crest has settled the four shifted copies are made and the glowing logo they come
    // from is let go; the logo must still show in every later frame, at each quarter step.
    StageFixture fixture(5);
    UiState& state = fixture.state;
    auto logo_pixels = [&] {
        std::size_t drawn = 0;
        for (std::uint32_t y = 58; y < 536; ++y)
            for (std::uint32_t x = 0; x < 660; ++x)
                drawn += state.frame_canvas.at(x, y) != 0;
        return drawn;
    };
    state.frame_canvas.fill(0);
    draw_stage(state, default_opening_ms - 86'400'000);
    EXPECT_EQ(state.stage.logo_quarter_shifts.size(), 4u);
    EXPECT_FALSE(state.images.logo_glow);
    const std::size_t first = logo_pixels();
    for (const float step : {0.1f, 0.35f, 0.8f, 1.3f}) {
        state.clock += step;
        state.frame_canvas.fill(0);
        draw_stage(state, default_opening_ms - 86'400'000);
        EXPECT_GT(logo_pixels(), first * 9 / 10) << "after " << step << " s more";
    }
}

TEST(Stage, CutToContentKeepsEveryPixelOtherThanTransparentBlack)
{
    struct Dot {
        std::uint32_t x, y, word;
    };
    struct Case {
        const char* name;
        std::vector<Dot> dots;
        std::int32_t x, y;
        std::uint32_t width, height;
    };
    const Case cases[] = {
        {"nothing: one transparent pixel", {}, 0, 0, 1, 1},
        {"one pixel in a corner", {{9, 6, 0xFF102030}}, 9, 6, 1, 1},
        {"colour without alpha still counts", {{3, 2, 0x00000001}}, 3, 2, 1, 1},
        {"rows apart, columns apart", {{2, 1, 0x40404040}, {7, 5, 0x80000000}, {4, 3, 0x01000000}}, 2, 1, 6, 5},
        {"the whole pixmap", {{0, 0, 0x01010101}, {9, 6, 0x02020202}}, 0, 0, 10, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Pixmap pixmap = Pixmap::create_or_die(10, 7);
        pixmap.fill(0);
        for (const Dot& dot : c.dots)
            pixmap.at(dot.x, dot.y) = dot.word;
        const PlacedSprite cut = cut_to_content(pixmap);
        EXPECT_EQ(cut.x, c.x);
        EXPECT_EQ(cut.y, c.y);
        ASSERT_EQ(cut.pixels.width(), c.width);
        ASSERT_EQ(cut.pixels.height(), c.height);
        for (std::uint32_t y = 0; y < c.height; ++y)
            for (std::uint32_t x = 0; x < c.width; ++x)
                EXPECT_EQ(cut.pixels.at(x, y), c.dots.empty() ? 0u
                    : pixmap.at(x + static_cast<std::uint32_t>(c.x), y + static_cast<std::uint32_t>(c.y))) << x << "," << y;
    }
}

TEST(Stage, TheSettledLogoFromItsCutCopiesIsTheLogoFromWholeOnes)
{
    // The shifted copies keep only their content; laid over the frame where they were cut from,
    // they must give the frames the whole copies give, at every quarter step and both scales.
    for (const float scale : {1.0f, 2.0f}) {
        SCOPED_TRACE(scale);
        StageFixture fixture(5);
        UiState& state = fixture.state;
        apply_scale(state, scale);
        const std::int64_t now = default_opening_ms - 86'400'000;
        const std::uint32_t backdrop = pixel_word(40, 60, 80, 255);
        std::vector<Pixmap> cut_frames;
        for (const float step : {0.0f, 0.2f, 0.45f, 0.7f, 1.1f, 2.3f}) {
            state.clock = 10 + step;
            state.frame_canvas.fill(backdrop);
            draw_stage(state, now);
            cut_frames.push_back(state.frame_canvas.clone());
        }
        ASSERT_EQ(state.stage.logo_quarter_shifts.size(), 4u);
        // The same copies made whole again: as large as the glowing logo, one row taller.
        const std::uint32_t pad = state.images.logo_glow_pad;
        const std::uint32_t width = state.images.logo_scaled->width() + 2 * pad;
        const std::uint32_t height = state.images.logo_scaled->height() + 2 * pad + 1;
        std::size_t cut_pixels = 0;
        for (PlacedSprite& shift : state.stage.logo_quarter_shifts) {
            Pixmap whole = Pixmap::create_or_die(width, height);
            whole.fill(0);
            for (std::uint32_t y = 0; y < shift.pixels.height(); ++y)
                for (std::uint32_t x = 0; x < shift.pixels.width(); ++x)
                    whole.at(x + static_cast<std::uint32_t>(shift.x), y + static_cast<std::uint32_t>(shift.y)) = shift.pixels.at(x, y);
            cut_pixels += shift.pixels.pixel_count();
            shift = PlacedSprite{std::move(whole), 0, 0};
        }
        EXPECT_LT(cut_pixels, std::size_t{4} * width * height * 3 / 4); // the padding is mostly left out
        std::size_t i = 0;
        for (const float step : {0.0f, 0.2f, 0.45f, 0.7f, 1.1f, 2.3f}) {
            state.clock = 10 + step;
            state.frame_canvas.fill(backdrop);
            draw_stage(state, now);
            EXPECT_TRUE(std::equal(cut_frames[i].pixels().begin(), cut_frames[i].pixels().end(),
                state.frame_canvas.pixels().begin())) << "after " << step << " s";
            ++i;
        }
    }
}

TEST(Stage, PulseRingAroundTheStatusDotWhenOnline)
{
    StageFixture fixture(5);
    UiState& state = fixture.state;
    const auto dot_x = static_cast<std::uint32_t>(state.layout.pulse_x + 16.5f);
    const auto ring_x = static_cast<std::uint32_t>(state.layout.pulse_x + 16.5f + 6);
    state.frame_canvas.fill(0);
    draw_stage(state, default_opening_ms + 1000);
    EXPECT_EQ(state.frame_canvas.at(dot_x, 28), 0u); // offline: no pulse

    state.server_online = true;
    state.online_since = state.clock - 0.4f; // phase 0.25: the ring is growing
    state.frame_canvas.fill(0);
    draw_stage(state, default_opening_ms + 1000);
    EXPECT_EQ(state.frame_canvas.at(dot_x, 28), pixel_word(0x22, 0xC5, 0x5E, 255));
    EXPECT_GT(pixel_alpha(state.frame_canvas.at(ring_x, 28)), 0u);

    state.online_since = state.clock - 1.3f; // phase 0.81: only the dot
    state.frame_canvas.fill(0);
    draw_stage(state, default_opening_ms + 1000);
    EXPECT_EQ(state.frame_canvas.at(ring_x, 28), 0u);
}

TEST(RuneRings, HaveTheirArtInsideTheDesignSquare)
{
    for (const std::vector<FilledPath>& ring : {clockwise_rune_ring(), counter_clockwise_rune_ring()}) {
        ASSERT_FALSE(ring.empty());
        for (const FilledPath& part : ring) {
            const PathBounds bounds = part.path.bounds();
            EXPECT_GE(bounds.left, 20);
            EXPECT_GE(bounds.top, 20);
            EXPECT_LE(bounds.right, 500);
            EXPECT_LE(bounds.bottom, 500);
        }
    }
}

} // namespace
} // namespace torvane
