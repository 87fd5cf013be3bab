#include "render/shaping.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace torvane {
namespace {

class ShapingTest : public testing::Test {
protected:
    static void SetUpTestSuite() { manrope_ = new Font(*load_font(embedded_font_bytes(EmbeddedFace::ManropeRegular))); }
    static void TearDownTestSuite() { delete manrope_; }
    const Font& manrope() const { return *manrope_; }
    float width_of(std::string_view text, float size = 12) const { return shape_run(manrope(), size, 0, text).width; }

private:
    static Font* manrope_;
};
Font* ShapingTest::manrope_ = nullptr;

TEST_F(ShapingTest, EmptyTextGivesNoGlyphs)
{
    ShapedRun run = shape_run(manrope(), 11.5f, 3, "");
    EXPECT_TRUE(run.glyphs.empty());
    EXPECT_EQ(run.width, 0);
    EXPECT_EQ(run.size, 11.5f);
}

TEST_F(ShapingTest, ClustersAreByteOffsets)
{
    auto glyphs = shape_glyphs(manrope(), "açb", Figures::Proportional);
    ASSERT_EQ(glyphs.size(), 3u);
    EXPECT_EQ(glyphs[0].cluster, 0u);
    EXPECT_EQ(glyphs[1].cluster, 1u);
    EXPECT_EQ(glyphs[2].cluster, 3u); // "ç" takes two bytes
}

TEST_F(ShapingTest, PositionsAreScaledAdvances)
{
    const float size = 12, scale = size / 2000;
    auto glyphs = shape_glyphs(manrope(), "Hoje", Figures::Proportional);
    ShapedRun run = shape_run(manrope(), size, 0, "Hoje");
    ASSERT_EQ(run.glyphs.size(), glyphs.size());
    float pen = 0;
    for (std::size_t i = 0; i < glyphs.size(); ++i) {
        EXPECT_EQ(run.glyphs[i].glyph_id, glyphs[i].glyph_id);
        EXPECT_FLOAT_EQ(run.glyphs[i].x, pen + glyphs[i].x_offset * scale);
        EXPECT_FLOAT_EQ(run.glyphs[i].y, -(glyphs[i].y_offset * scale));
        pen += glyphs[i].x_advance * scale;
    }
    EXPECT_FLOAT_EQ(run.width, pen);
}

TEST_F(ShapingTest, ExtraSpacingFollowsEveryCluster)
{
    const float size = 12, scale = size / 2000;
    auto glyphs = shape_glyphs(manrope(), "ab", Figures::Proportional);
    ASSERT_EQ(glyphs.size(), 2u);
    ShapedRun run = shape_run(manrope(), size, 2, "ab");
    EXPECT_FLOAT_EQ(run.width, (glyphs[0].x_advance + glyphs[1].x_advance) * scale + 4);
    EXPECT_FLOAT_EQ(run.glyphs[1].x, glyphs[0].x_advance * scale + 2);

    // A base with a combining mark is one cluster and gets the spacing once.
    auto unspaced = shape_run(manrope(), size, 0, "e\u0301x");
    auto spaced = shape_run(manrope(), size, 1.5f, "e\u0301x");
    EXPECT_FLOAT_EQ(spaced.width, unspaced.width + 3);
}

TEST_F(ShapingTest, TabularDigitsShareOneAdvance)
{
    auto advances = [&](Figures figures) {
        std::set<std::int32_t> seen;
        for (const ShapedGlyph& g : shape_glyphs(manrope(), "0123456789", figures))
            seen.insert(g.x_advance);
        return seen;
    };
    EXPECT_EQ(advances(Figures::Tabular).size(), 1u);
    EXPECT_GT(advances(Figures::Proportional).size(), 1u);
}

TEST_F(ShapingTest, EllipsizeKeepsTextThatFits)
{
    const std::string text = "Servidor online";
    const float width = width_of(text);
    // The largest max_width whose slack no longer covers the text, and the smallest that does.
    float exact = width - 0.01f;
    while (exact + 0.01f < width)
        exact = std::nextafter(exact, INFINITY);
    while (exact + 0.01f >= width)
        exact = std::nextafter(exact, -INFINITY);
    const float too_small = exact;
    exact = std::nextafter(exact, INFINITY);
    ASSERT_EQ(exact + 0.01f, width);

    EXPECT_EQ(ellipsize_to_width(manrope(), 12, exact, text), text);
    EXPECT_EQ(ellipsize_to_width(manrope(), 12, width + 50, text), text);
    std::string cut = ellipsize_to_width(manrope(), 12, too_small, text);
    EXPECT_EQ(cut, "Servidor onli\u2026") << "largest prefix with its ellipsis within the width";
    EXPECT_LE(width_of(cut), too_small + 0.01f);
}

TEST_F(ShapingTest, EllipsizeCases)
{
    struct Case {
        const char* name;
        std::string text;
        std::string fitted; // the candidate whose width is the limit
        std::string expected;
    };
    const Case cases[] = {
        {"trailing spaces dropped", "Ab  cdefgh", "Ab  \u2026", "Ab\u2026"},
        {"inner spaces kept", "Novo  evento da semana", "Novo  ev\u2026", "Novo  ev\u2026"},
        {"whole characters", "ação ação ação", "açã\u2026", "açã\u2026"},
        {"nothing fits", "Atualizando", "\u2026", "\u2026"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ellipsize_to_width(manrope(), 12, width_of(c.fitted), c.text), c.expected) << c.name;

    EXPECT_EQ(ellipsize_to_width(manrope(), 12, width_of("\u2026") - 1, "Atualizando"), "\u2026");
    EXPECT_EQ(ellipsize_to_width(manrope(), 12, 0, "Atualizando"), "\u2026");
    EXPECT_EQ(ellipsize_to_width(manrope(), 12, 0, ""), "");
}

TEST_F(ShapingTest, EllipsizeKeepsMalformedBytes)
{
    // A stray continuation byte counts as one character and is never split or dropped.
    std::string text = "ab\x80" "cdefghijklmnop";
    std::string cut = ellipsize_to_width(manrope(), 12, width_of("ab\x80" "c\u2026"), text);
    EXPECT_EQ(cut, "ab\x80" "c\u2026");
}

} // namespace
} // namespace torvane
