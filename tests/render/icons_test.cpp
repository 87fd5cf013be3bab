#include "render/icons.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace torvane {
namespace {

using V = PathVerb;

struct Parsed {
    std::vector<V> verbs;
    std::vector<PathPoint> points;
};

Parsed parse(std::string_view data)
{
    PathBuilder builder;
    parse_svg_path(builder, data);
    auto path = builder.finish();
    if (!path)
        return {};
    return {{path->verbs().begin(), path->verbs().end()}, {path->points().begin(), path->points().end()}};
}

TEST(NextPathNumber, ReadsTheNumberGrammar)
{
    struct Case {
        const char* data;
        std::vector<float> numbers;
    };
    const Case cases[] = {
        {"0.5.5", {0.5f, 0.5f}},
        {"1-2", {1, -2}},
        {"1e2", {100}},
        {"1e", {0}},      // the taken text "1e" is not a number
        {"1e-1,2", {0.1f, 2}},
        {" ,\t+3", {3}},
        {"-", {0}},
        {".", {0}},
        {"-.5e+1", {-5}},
    };
    for (const Case& c : cases) {
        PathCursor cursor{c.data, 0};
        for (float expected : c.numbers)
            EXPECT_FLOAT_EQ(next_path_number(cursor), expected) << c.data;
    }
}

TEST(NextPathNumber, NoNumberGivesZeroAndStaysPut)
{
    PathCursor cursor{"M1", 0};
    EXPECT_EQ(next_path_number(cursor), 0.0f);
    EXPECT_EQ(cursor.position, 0u);
}

TEST(ParseSvgPath, Commands)
{
    struct Case {
        const char* name;
        const char* data;
        std::vector<V> verbs;
        std::vector<PathPoint> points;
    };
    const Case cases[] = {
        {"absolute move then relative horizontal line", "M3 12h18", {V::Move, V::Line}, {{3, 12}, {21, 12}}},
        {"implicit relative line after a relative move", "m1 1 2 2", {V::Move, V::Line}, {{1, 1}, {3, 3}}},
        {"two open contours", "M0 0L10 10M10 0L0 10", {V::Move, V::Line, V::Move, V::Line}, {{0, 0}, {10, 10}, {10, 0}, {0, 10}}},
        {"data starting with a number moves", "5 6 7 8", {V::Move, V::Line}, {{5, 6}, {7, 8}}},
        {"vertical lines", "M1 1V5v2", {V::Move, V::Line, V::Line}, {{1, 1}, {1, 5}, {1, 7}}},
        {"zero-radius arc is a line", "M1 1A0 5 0 0 1 9 9", {V::Move, V::Line}, {{1, 1}, {9, 9}}},
        {"S stops the parse", "M0 0L5 5S1 1 2 2L9 9", {V::Move, V::Line}, {{0, 0}, {5, 5}}},
        {"T stops the parse", "M0 0L5 5T1 1L9 9", {V::Move, V::Line}, {{0, 0}, {5, 5}}},
        {"a number after a close ends the parse", "M0 0L1 1Z 5 5", {V::Move, V::Line, V::Close}, {{0, 0}, {1, 1}}},
        {"a stray character ends the parse", "M0 0L1 1#L5 5", {V::Move, V::Line}, {{0, 0}, {1, 1}}},
        {"quadratic, relative", "M1 1q1 0 2 2", {V::Move, V::Quad}, {{1, 1}, {2, 1}, {3, 3}}},
        {"close returns to the subpath start", "M2 2h4zl1 1", {V::Move, V::Line, V::Close, V::Move, V::Line}, {{2, 2}, {6, 2}, {2, 2}, {3, 3}}},
    };
    for (const Case& c : cases) {
        Parsed parsed = parse(c.data);
        EXPECT_EQ(parsed.verbs, c.verbs) << c.name;
        EXPECT_EQ(parsed.points, c.points) << c.name;
    }
}

TEST(ParseSvgPath, ChatBubbleRelativeLine)
{
    // "M4 5h16v11H9l-4 3v-3H4z": after H9 the line goes from (9, 16) to (5, 19), then up to (5, 16).
    Parsed parsed = parse("M4 5h16v11H9l-4 3v-3H4z");
    ASSERT_GE(parsed.points.size(), 7u);
    EXPECT_EQ(parsed.points[3], (PathPoint{9, 16}));
    EXPECT_EQ(parsed.points[4], (PathPoint{5, 19}));
    EXPECT_EQ(parsed.points[5], (PathPoint{5, 16}));
}

PathPoint cubic_point(PathPoint p0, PathPoint p1, PathPoint p2, PathPoint p3, float t)
{
    float u = 1 - t;
    return {u * u * u * p0.x + 3 * u * u * t * p1.x + 3 * u * t * t * p2.x + t * t * t * p3.x,
        u * u * u * p0.y + 3 * u * u * t * p1.y + 3 * u * t * t * p2.y + t * t * t * p3.y};
}

TEST(ParseSvgPath, TrophyArcIsTheLowerHalfCircle)
{
    // From (17, 8), radii 5, flags 0 1, relative end -10 0: two quarter arcs through (12, 13).
    Parsed parsed = parse("M17 8a5 5 0 0 1-10 0");
    ASSERT_EQ(parsed.verbs, (std::vector<V>{V::Move, V::Cubic, V::Cubic}));
    const auto& p = parsed.points;
    EXPECT_NEAR(p[3].x, 12, 1e-4);
    EXPECT_NEAR(p[3].y, 13, 1e-4);
    EXPECT_NEAR(p[6].x, 7, 1e-4);
    EXPECT_NEAR(p[6].y, 8, 1e-4);
    // Every point of the arc lies on the circle about (12, 8), below its centre.
    for (int segment = 0; segment < 2; ++segment) {
        PathPoint start = p[std::size_t(segment) * 3];
        for (float t : {0.25f, 0.5f, 0.75f}) {
            PathPoint q = cubic_point(start, p[std::size_t(segment) * 3 + 1], p[std::size_t(segment) * 3 + 2], p[std::size_t(segment) * 3 + 3], t);
            EXPECT_NEAR(std::hypot(q.x - 12, q.y - 8), 5, 0.01);
            EXPECT_GT(q.y, 8);
        }
    }
}

TEST(ParseSvgPath, CompactArcFlags)
{
    // Flags 0 and 1 run straight into the end x: "0110 0" is large 0, sweep 1, x 10, y 0.
    Parsed parsed = parse("M0 0a5 5 0 0110 0");
    ASSERT_FALSE(parsed.points.empty());
    EXPECT_NEAR(parsed.points.back().x, 10, 1e-4);
    EXPECT_NEAR(parsed.points.back().y, 0, 1e-4);
}

TEST(Icons, BuiltInDataParsesWhole)
{
    IconSet icons;
    struct Case {
        const char* name;
        const IconPath& icon;
        bool stroke, fill;
        std::size_t stroke_moves;
    };
    const Case cases[] = {
        {"globe", icons.globe, true, false, 4},
        {"chat", icons.chat, true, true, 4},
        {"trophy", icons.trophy, true, false, 6},
        {"gem", icons.gem, true, false, 4},
        {"sun", icons.sun, true, false, 9},
        {"sun small", icons.sun_small, true, false, 9},
        {"arrow", icons.arrow, true, false, 2},
        {"clock", icons.clock, true, false, 2},
        {"play", icons.play, false, true, 0},
        {"close", icons.close, true, false, 2},
        {"chevron", icons.chevron, true, false, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(bool(c.icon.stroke), c.stroke) << c.name;
        EXPECT_EQ(bool(c.icon.fill), c.fill) << c.name;
        if (c.icon.stroke) {
            auto verbs = c.icon.stroke->verbs();
            EXPECT_EQ(std::size_t(std::count(verbs.begin(), verbs.end(), V::Move)), c.stroke_moves) << c.name;
        }
    }
    // The sun's disc radius is the argument: the circle starts at (12 + r, 12).
    EXPECT_EQ(icons.sun.stroke->points()[0], (PathPoint{15.5f, 12}));
    EXPECT_EQ(icons.sun_small.stroke->points()[0], (PathPoint{15.2f, 12}));
}

struct IconDrawing : ::testing::Test {
    Pixmap pixmap = Pixmap::create_or_die(60, 60);
    std::uint32_t alpha(int x, int y) const { return pixel_alpha(pixmap.at(std::uint32_t(x), std::uint32_t(y))); }
};

TEST_F(IconDrawing, PlayFillsItsTriangleScaledToTheSize)
{
    Canvas canvas(pixmap, 0, 0, 2);
    // Grid 24 over 24 logical units at scale 2: grid unit = 2 pixels.
    draw_icon(canvas, play_icon(), 0, 0, 24, icon_grid, Color{1, 1, 1, 1}, 0);
    EXPECT_EQ(alpha(24, 24), 255u);  // (12, 12) is inside the triangle
    EXPECT_EQ(alpha(10, 24), 0u);    // x 5 is left of it
    EXPECT_EQ(alpha(24, 8), 0u);     // above it
}

TEST_F(IconDrawing, CloseCrossStrokesBothDiagonals)
{
    Canvas canvas(pixmap);
    draw_icon(canvas, close_icon(), 10, 10, 40, close_icon_grid, Color{1, 1, 1, 1}, 1.6f);
    EXPECT_GT(alpha(30, 30), 200u); // the crossing
    EXPECT_GT(alpha(15, 15), 200u);
    EXPECT_GT(alpha(45, 15), 200u);
    EXPECT_EQ(alpha(30, 15), 0u);
}

TEST_F(IconDrawing, ThinStrokesAreFaintHairlines)
{
    Canvas canvas(pixmap);
    // A 0.25-pixel line: drawn one pixel wide at about a quarter of the coverage.
    draw_icon(canvas, close_icon(), 10, 10, 40, close_icon_grid, Color{1, 1, 1, 1}, 0.0625f);
    std::uint32_t a = alpha(20, 20);
    EXPECT_GT(a, 20u);
    EXPECT_LT(a, 110u);
}

} // namespace
} // namespace torvane
