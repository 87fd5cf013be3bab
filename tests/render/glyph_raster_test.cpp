#include "render/glyph_raster.hpp"

#include "core/util.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

namespace torvane {
namespace {

const Color white{1, 1, 1, 1};
const Color black{0, 0, 0, 1};

// Sets or clears an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(TextGammaTest, ParsesWholeDecimalNumbers)
{
    struct Case {
        const char* text;
        std::optional<float> value;
    };
    const float inf = INFINITY;
    const Case cases[] = {
        {"2", 2.0f},       {"0", 0.0f},      {"1.5", 1.5f},     {"+1", 1.0f},  {"-0.5", -0.5f},
        {".5", 0.5f},      {"1.", 1.0f},     {"1e2", 100.0f},   {"1E-1", 0.1f}, {"2.5e+1", 25.0f},
        {"inf", inf},      {"Infinity", inf}, {"-INF", -inf},   {"1e999", inf}, {"1e-999", 0.0f},
        {"", std::nullopt}, {" 1", std::nullopt}, {"1 ", std::nullopt}, {"abc", std::nullopt},
        {"1e", std::nullopt}, {"e5", std::nullopt}, {".", std::nullopt}, {"-", std::nullopt},
        {"1.2.3", std::nullopt}, {"0x10", std::nullopt}, {"1,5", std::nullopt}, {"nan(1)", std::nullopt},
        {"infinit", std::nullopt}, {"++1", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parse_decimal_float(c.text), c.value) << '"' << c.text << '"';
    auto nan = parse_decimal_float("NaN");
    ASSERT_TRUE(nan);
    EXPECT_TRUE(std::isnan(*nan));
}

TEST(TextGammaTest, ReadsTheEnvironmentWithDefaults)
{
    struct Case {
        const char* tg0;
        const char* tgk;
        float expected_tg0, expected_tgk;
    };
    const Case cases[] = {
        {nullptr, nullptr, 1.0f, 1.4f},
        {"2", "0", 2.0f, 0.0f},
        {"1", "abc", 1.0f, 1.4f},
        {"0.5", "2 ", 0.5f, 1.4f},
        {"", "3e-1", 1.0f, 0.3f},
    };
    for (const Case& c : cases) {
        ScopedEnv tg0("PX_TG0", c.tg0), tgk("PX_TGK", c.tgk);
        TextGammaParams params = text_gamma_params_from_environment();
        EXPECT_EQ(params.tg0, c.expected_tg0) << (c.tg0 ? c.tg0 : "unset");
        EXPECT_EQ(params.tgk, c.expected_tgk) << (c.tgk ? c.tgk : "unset");
    }
}

TEST(TextGammaTest, ProcessParametersAreReadOnce)
{
    const TextGammaParams& first = init_text_gamma_params();
    const TextGammaParams before = first;
    ScopedEnv tg0("PX_TG0", "7"), tgk("PX_TGK", "7");
    const TextGammaParams& again = init_text_gamma_params();
    EXPECT_EQ(&again, &first);
    EXPECT_EQ(again.tg0, before.tg0);
    EXPECT_EQ(again.tgk, before.tgk);
}

TEST(CoverageTableTest, ReshapesByTextBrightness)
{
    const TextGammaParams defaults;
    auto black_table = coverage_table(defaults, Paint::solid(black));
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(black_table[i], i) << "black text keeps coverage linear";

    auto white_table = coverage_table(defaults, Paint::solid(white));
    struct Case {
        int alpha, expected;
    };
    const Case white_cases[] = {{0, 0}, {64, 128}, {127, 206}, {128, 207}, {255, 255}};
    for (const Case& c : white_cases)
        EXPECT_EQ(white_table[c.alpha], c.expected) << c.alpha;
    EXPECT_EQ(text_gamma_exponent(defaults, 1), 2.4f);
    EXPECT_EQ(text_gamma_exponent(defaults, 0), 1.0);

    // Half-transparent white saturates at half coverage.
    auto half_table = coverage_table(defaults, Paint::solid(Color{1, 1, 1, 0.5f}));
    EXPECT_EQ(half_table[127], 127);
    for (int i = 0; i < 256; ++i) {
        EXPECT_LE(half_table[i], 128) << i;
        if (i >= 128) {
            EXPECT_EQ(half_table[i], 128) << i;
        }
    }

    // A gradient counts as opaque white.
    ColorStop stops[] = {{0, black}, {1, Color{1, 0, 0, 1}}};
    auto gradient = Shader::linear_gradient({0, 0}, {100, 0}, stops);
    ASSERT_TRUE(gradient);
    EXPECT_EQ(coverage_table(defaults, Paint{*gradient}), white_table);
}

TEST(CoverageTableTest, FlatTuningGivesOneCurveForEveryColour)
{
    const TextGammaParams flat{2, 0};
    auto table = coverage_table(flat, Paint::solid(black));
    EXPECT_EQ(coverage_table(flat, Paint::solid(white)), table);
    EXPECT_EQ(coverage_table(flat, Paint::solid(Color{0.2f, 0.7f, 0.1f, 1})), table);
    EXPECT_EQ(table[64], 112); // 1 - (1 - 64/255)^2 = 0.4390
}

TEST(CoverageTableTest, ReshapingScalesPremultipliedChannels)
{
    std::array<std::uint8_t, 256> table{};
    for (int i = 0; i < 256; ++i)
        table[i] = std::uint8_t(i);
    table[64] = 128;
    table[200] = 100;

    Pixmap layer = Pixmap::create_or_die(5, 1);
    const std::uint32_t before[] = {
        pixel_word(64, 33, 0, 64),    // grows: channels doubled, rounded half up
        pixel_word(200, 150, 7, 200), // shrinks
        pixel_word(90, 90, 90, 128),  // table leaves 128 alone: untouched
        pixel_word(5, 6, 7, 0),       // alpha 0: untouched
        pixel_word(255, 255, 255, 255),
    };
    std::copy(std::begin(before), std::end(before), layer.pixels().begin());
    apply_coverage_table(layer, table);
    EXPECT_EQ(layer.at(0, 0), pixel_word(128, 66, 0, 128));
    EXPECT_EQ(layer.at(1, 0), pixel_word(100, 75, 4, 100)); // 7 * 100 / 200 = 3.5 rounds to 4
    EXPECT_EQ(layer.at(2, 0), before[2]);
    EXPECT_EQ(layer.at(3, 0), before[3]);
    EXPECT_EQ(layer.at(4, 0), before[4]);
}

class DrawGlyphRunTest : public testing::Test {
protected:
    void SetUp() override { font_ = load_font(embedded_font_bytes(EmbeddedFace::ManropeRegular)); }
    const Font& font() const { return *font_; }

    struct Ink {
        int left = INT32_MAX, top = INT32_MAX, right = -1, bottom = -1; // inclusive pixel bounds
        long total = 0;
        bool any() const { return right >= 0; }
    };
    // Where the pixmap differs from the background word.
    static Ink ink(const Pixmap& pixmap, std::uint32_t background)
    {
        Ink ink;
        for (std::uint32_t y = 0; y < pixmap.height(); ++y)
            for (std::uint32_t x = 0; x < pixmap.width(); ++x)
                if (std::uint32_t word = pixmap.at(x, y); word != background) {
                    ink.left = std::min(ink.left, int(x));
                    ink.right = std::max(ink.right, int(x));
                    ink.top = std::min(ink.top, int(y));
                    ink.bottom = std::max(ink.bottom, int(y));
                    ink.total += pixel_alpha(word);
                }
        return ink;
    }

    std::optional<Font> font_;
};

TEST_F(DrawGlyphRunTest, EmptyRunDrawsNothing)
{
    Pixmap pixmap = Pixmap::create_or_die(40, 40);
    Canvas canvas(pixmap);
    draw_glyph_run(canvas, font(), 10, 20, shape_run(font(), 12, 0, ""), Paint::solid(white));
    EXPECT_FALSE(ink(pixmap, 0).any());
}

TEST_F(DrawGlyphRunTest, InkStaysInsideTheRunBox)
{
    const std::uint32_t background = pixel_word(0, 0, 0, 255);
    Pixmap pixmap = Pixmap::create_or_die(200, 60);
    pixmap.fill(background);
    Canvas canvas(pixmap);
    ShapedRun run = shape_run(font(), 12, 0, "Jogar agora");
    draw_glyph_run(canvas, font(), 10, 30, run, Paint::solid(white));

    Ink drawn = ink(pixmap, background);
    ASSERT_TRUE(drawn.any());
    EXPECT_GE(drawn.left, 8);                              // x - 2
    EXPECT_LT(drawn.right, int(std::ceil(10 + run.width + 4)));
    EXPECT_GE(drawn.top, 30 - 13 - 3);                     // baseline - ascent - 3
    EXPECT_LT(drawn.bottom, 30 + 6 + 3);                   // baseline + size / 2 + 3
    EXPECT_LT(drawn.top, 22) << "capitals reach well above the baseline";
    EXPECT_GT(drawn.bottom, 30) << "the g descends below it";
    // White text on black stays grey-level: every pixel has r = g = b.
    for (std::uint32_t word : pixmap.pixels())
        ASSERT_TRUE(pixel_red(word) == pixel_green(word) && pixel_green(word) == pixel_blue(word));
}

TEST_F(DrawGlyphRunTest, WhiteCoverageIsTheBlackCoverageThroughTheTable)
{
    ShapedRun run = shape_run(font(), 13, 0, "Notícias 2024");
    auto draw = [&](Color color) {
        Pixmap pixmap = Pixmap::create_or_die(140, 40);
        Canvas canvas(pixmap);
        draw_glyph_run(canvas, font(), 4.3f, 24.6f, run, Paint::solid(color));
        return pixmap;
    };
    Pixmap black_text = draw(black), white_text = draw(white);
    auto table = coverage_table(init_text_gamma_params(), Paint::solid(white));
    int inked = 0;
    for (std::size_t i = 0; i < black_text.pixel_count(); ++i) {
        std::uint32_t coverage = pixel_alpha(black_text.pixels()[i]);
        ASSERT_EQ(pixel_alpha(white_text.pixels()[i]), table[coverage]) << i;
        inked += coverage != 0;
    }
    EXPECT_GT(inked, 100);
}

TEST_F(DrawGlyphRunTest, GlyphOutlinedOnceForAllSizes)
{
    ShapedRun small = shape_run(font(), 12, 0, "A"), large = shape_run(font(), 30, 0, "A");
    Pixmap pixmap = Pixmap::create_or_die(80, 80);
    Canvas canvas(pixmap);
    draw_glyph_run(canvas, font(), 5, 20, small, Paint::solid(white));
    draw_glyph_run(canvas, font(), 5, 60, large, Paint::solid(white));
    ASSERT_EQ(font().glyph_cache.size(), 1u);
    EXPECT_TRUE(font().glyph_cache.at(small.glyphs[0].glyph_id).has_value());

    // A lone space has no outline: nothing shows, and the miss is cached.
    Pixmap empty = Pixmap::create_or_die(40, 40);
    Canvas empty_canvas(empty);
    ShapedRun space = shape_run(font(), 12, 0, " ");
    draw_glyph_run(empty_canvas, font(), 5, 20, space, Paint::solid(white));
    EXPECT_FALSE(ink(empty, 0).any());
    ASSERT_EQ(font().glyph_cache.size(), 2u);
    EXPECT_FALSE(font().glyph_cache.at(space.glyphs[0].glyph_id).has_value());
}

TEST_F(DrawGlyphRunTest, CanvasTransformScalesTheText)
{
    ShapedRun run = shape_run(font(), 12, 0, "Hx");
    auto drawn = [&](float scale, float origin) {
        Pixmap pixmap = Pixmap::create_or_die(120, 120);
        Canvas canvas(pixmap, origin, origin, scale);
        draw_glyph_run(canvas, font(), origin + 5, origin + 25, run, Paint::solid(black));
        return ink(pixmap, 0);
    };
    Ink one = drawn(1, 0), two = drawn(2, 0), shifted = drawn(1, 30);
    ASSERT_TRUE(one.any() && two.any());
    EXPECT_NEAR(two.bottom - two.top + 1, 2 * (one.bottom - one.top + 1), 2);
    EXPECT_NEAR(two.right - two.left + 1, 2 * (one.right - one.left + 1), 2);
    EXPECT_EQ(shifted.left, one.left); // the origin moves the text back to the same pixels
    EXPECT_EQ(shifted.top, one.top);
    EXPECT_EQ(shifted.total, one.total);
}

TEST_F(DrawGlyphRunTest, RunOverTheCanvasEdgeKeepsItsVisiblePart)
{
    ShapedRun run = shape_run(font(), 16, 0, "Configurações");
    Pixmap whole = Pixmap::create_or_die(200, 50);
    Canvas whole_canvas(whole);
    draw_glyph_run(whole_canvas, font(), 20.5f, 30, run, Paint::solid(white));

    // The same text with the canvas starting inside it: the overlapping pixels agree.
    Pixmap part = Pixmap::create_or_die(60, 30);
    Canvas part_canvas(part, 50, 10, 1);
    draw_glyph_run(part_canvas, font(), 20.5f, 30, run, Paint::solid(white));
    ASSERT_TRUE(ink(part, 0).any());
    for (std::uint32_t y = 0; y < part.height(); ++y)
        for (std::uint32_t x = 0; x < part.width(); ++x)
            ASSERT_EQ(part.at(x, y), whole.at(x + 50, y + 10)) << x << "," << y;

    // A run too wide for one cairo surface at this scale (over 32767 pixels) still draws what the
    // canvas shows: here the inside of the first I's stem, covering it all.
    const std::string bars(40, 'I');
    ShapedRun wide = shape_run(font(), 12, 0, bars);
    const float s = 12 / font().units_per_em;
    const Path* stem = glyph_outline(font(), wide.glyphs[0].glyph_id);
    ASSERT_NE(stem, nullptr);
    ASSERT_GT((stem->bounds().right - stem->bounds().left) * s, 0.7f);
    ASSERT_GT(wide.width * 400, 32767);
    Pixmap zoomed = Pixmap::create_or_die(200, 200);
    Canvas zoomed_canvas(zoomed, 0, 0, 400);
    draw_glyph_run(zoomed_canvas, font(), -stem->bounds().left * s - 0.1f, 1.0f, wide, Paint::solid(white));
    for (std::uint32_t word : zoomed.pixels())
        ASSERT_EQ(word, 0xFFFFFFFFu);

    // Far away, huge or not a number: nothing drawn, nothing broken.
    Pixmap untouched = Pixmap::create_or_die(30, 30);
    Canvas canvas(untouched);
    draw_glyph_run(canvas, font(), 1e9f, 10, run, Paint::solid(white));
    draw_glyph_run(canvas, font(), -1e9f, 10, run, Paint::solid(white));
    draw_glyph_run(canvas, font(), NAN, NAN, run, Paint::solid(white));
    draw_glyph_run(canvas, font(), 0, 10, shape_run(font(), 1e7f, 0, "Configurações"), Paint::solid(white));
    EXPECT_FALSE(ink(untouched, 0).any());
}

} // namespace
} // namespace torvane
