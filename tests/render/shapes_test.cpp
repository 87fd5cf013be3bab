#include "render/shapes.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace torvane {
namespace {

using V = PathVerb;

std::vector<V> verbs_of(const Path& path) { return {path.verbs().begin(), path.verbs().end()}; }

TEST(RoundedRectPath, ClampsTheRadiusAndRefusesEmptyRectangles)
{
    EXPECT_FALSE(rounded_rect_path(0, 0, 0, 10, 2));
    EXPECT_FALSE(rounded_rect_path(0, 0, 10, -1, 2));
    EXPECT_FALSE(rounded_rect_path(0, 0, NAN, 10, 2));

    // Radius 0 or below: the sharp rectangle, four corners and a close.
    for (float radius : {0.0f, -3.0f}) {
        auto sharp = rounded_rect_path(1, 2, 10, 6, radius);
        ASSERT_TRUE(sharp);
        EXPECT_EQ(verbs_of(*sharp), (std::vector<V>{V::Move, V::Line, V::Line, V::Line, V::Close}));
    }

    // A radius above half the shorter side makes a pill: the corners meet in the middle of
    // the short sides, so the bounds stay the rectangle's.
    auto pill = rounded_rect_path(0, 0, 40, 10, 50);
    ASSERT_TRUE(pill);
    EXPECT_EQ(pill->points()[0], (PathPoint{5, 0}));
    EXPECT_EQ(pill->bounds().left, 0);
    EXPECT_EQ(pill->bounds().bottom, 10);
    EXPECT_EQ(pill->verbs().size(), 10u);
}

TEST(CirclePath, StartsAtTheRightmostPoint)
{
    auto circle = circle_path(12, 12, 9);
    ASSERT_TRUE(circle);
    EXPECT_EQ(verbs_of(*circle), (std::vector<V>{V::Move, V::Cubic, V::Cubic, V::Cubic, V::Cubic, V::Close}));
    EXPECT_EQ(circle->points()[0], (PathPoint{21, 12}));
    EXPECT_EQ(circle->points()[3], (PathPoint{12, 21}));
}

TEST(GradientLine, FollowsTheCssAngleConvention)
{
    struct Case {
        float angle;
        PathPoint start, end;
    };
    // The rectangle x 39, y 100, w 572, h 40.
    const Case cases[] = {
        {90, {39, 120}, {611, 120}},
        {0, {325, 140}, {325, 100}},
        {180, {325, 100}, {325, 140}},
    };
    for (const Case& c : cases) {
        GradientLine line = gradient_line(39, 100, 572, 40, c.angle);
        EXPECT_NEAR(line.start.x, c.start.x, 1e-3) << c.angle;
        EXPECT_NEAR(line.start.y, c.start.y, 1e-3) << c.angle;
        EXPECT_NEAR(line.end.x, c.end.x, 1e-3) << c.angle;
        EXPECT_NEAR(line.end.y, c.end.y, 1e-3) << c.angle;
    }
    // 135 degrees runs from the top-left towards the bottom-right, through the centre.
    GradientLine diagonal = gradient_line(0, 0, 100, 100, 135);
    EXPECT_LT(diagonal.start.x, 50);
    EXPECT_LT(diagonal.start.y, 50);
    EXPECT_NEAR(diagonal.start.x + diagonal.end.x, 100, 1e-3);
    EXPECT_NEAR(diagonal.end.x - diagonal.start.x, 100, 1e-3); // |cos|h + |sin|w along the diagonal
}

struct ShapeDrawing : ::testing::Test {
    Pixmap pixmap = Pixmap::create_or_die(40, 40);
    std::uint32_t alpha(int x, int y) const { return pixel_alpha(pixmap.at(std::uint32_t(x), std::uint32_t(y))); }
};

TEST_F(ShapeDrawing, CanvasOriginAndScaleMapLogicalUnits)
{
    // The logical square (10, 10)-(14, 14) lands on pixels (4, 4)-(12, 12).
    Canvas canvas(pixmap, 8, 8, 2);
    fill_round_rect(canvas, Paint::solid(Color{1, 0, 0, 1}), 10, 10, 4, 4, 0);
    EXPECT_EQ(pixmap.at(4, 4), 0xFFFF0000u);
    EXPECT_EQ(pixmap.at(11, 11), 0xFFFF0000u);
    EXPECT_EQ(alpha(3, 4), 0u);
    EXPECT_EQ(alpha(12, 12), 0u);
}

TEST_F(ShapeDrawing, StopsOutsideTheRangeAreClamped)
{
    // Stop positions NaN (as 0) and 1.5 (as 1): the left edge is red, the right edge blue.
    const ColorStop stops[] = {{NAN, Color{1, 0, 0, 1}}, {1.5f, Color{0, 0, 1, 1}}};
    Canvas canvas(pixmap);
    Paint paint{linear_gradient_shader(stops, 0, 0, 40, 40, 90)};
    fill_round_rect(canvas, paint, 0, 0, 40, 40, 0);
    EXPECT_GT(pixel_red(pixmap.at(0, 20)), 240u);
    EXPECT_GT(pixel_blue(pixmap.at(39, 20)), 240u);
    EXPECT_EQ(pixel_alpha(pixmap.at(20, 20)), 255u);
}

TEST_F(ShapeDrawing, OneStopGradientIsSolid)
{
    const ColorStop stops[] = {{0.3f, Color{0, 1, 0, 1}}};
    Shader shader = linear_gradient_shader(stops, 0, 0, 10, 10, 45);
    ASSERT_TRUE(shader.solid_color());
    EXPECT_EQ(*shader.solid_color(), (Color{0, 1, 0, 1}));
}

TEST_F(ShapeDrawing, BorderIsARingOneUnitWide)
{
    Canvas canvas(pixmap, 0, 0, 2);
    stroke_round_rect(canvas, Color{1, 1, 1, 1}, 2, 2, 16, 16, 0);
    // The ring covers pixels 4..5 and 34..35 (one unit at scale 2); the inside stays empty.
    EXPECT_EQ(alpha(4, 20), 255u);
    EXPECT_EQ(alpha(5, 20), 255u);
    EXPECT_EQ(alpha(6, 20), 0u);
    EXPECT_EQ(alpha(20, 20), 0u);
    EXPECT_EQ(alpha(35, 20), 255u);
    EXPECT_EQ(alpha(36, 20), 0u);
}

TEST_F(ShapeDrawing, NarrowBorderIsAFillAndTransparentBorderNothing)
{
    Canvas canvas(pixmap);
    stroke_round_rect(canvas, Color{1, 1, 1, 1}, 10, 10, 2, 20, 0);
    EXPECT_EQ(alpha(10, 20), 255u);
    EXPECT_EQ(alpha(11, 20), 255u);

    stroke_round_rect(canvas, Color{1, 1, 1, 0}, 20, 10, 10, 10, 2);
    fill_round_rect(canvas, Paint::solid(Color{1, 1, 1, 1}), 20, 10, 0, 10, 2);
    for (int x = 20; x < 31; ++x)
        EXPECT_EQ(alpha(x, 10), 0u) << x;
}

TEST_F(ShapeDrawing, RoundedCornersLeaveTheCornerPixelEmpty)
{
    Canvas canvas(pixmap);
    fill_round_rect(canvas, Paint::solid(Color{1, 1, 1, 1}), 0, 0, 40, 40, 12);
    EXPECT_EQ(alpha(0, 0), 0u);
    EXPECT_EQ(alpha(20, 0), 255u);
    EXPECT_EQ(alpha(20, 20), 255u);
}

TEST(StrokeOutline, DashListsMustBeUsable)
{
    auto line = [] {
        PathBuilder b;
        b.move_to(0, 0);
        b.line_to(100, 0);
        return b.finish();
    };
    struct Case {
        std::vector<float> dash;
        bool outline;
    };
    const Case cases[] = {
        {{4, 2}, true},
        {{24, 12, 4, 12}, true},
        {{4, 2, 1}, false},   // odd count
        {{4}, false},         // too short
        {{4, -2}, false},     // negative entry
        {{0, 0}, false},      // sum not positive
        {{INFINITY, 1}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(bool(stroke_outline(line(), 1, 2, std::span<const float>(c.dash))), c.outline) << c.dash.size();
    EXPECT_TRUE(stroke_outline(line(), 1, 2, std::nullopt));
    EXPECT_FALSE(stroke_outline(std::nullopt, 1, 2, std::nullopt));
}

struct Coverage : ::testing::Test {
    Pixmap pixmap = Pixmap::create_or_die(120, 40);
    void fill(const Path& path)
    {
        fill_path(pixmap, path, Paint::solid(Color{1, 1, 1, 1}), FillRule::Winding, Transform::identity());
    }
    std::uint32_t alpha(int x, int y) const { return pixel_alpha(pixmap.at(std::uint32_t(x), std::uint32_t(y))); }
};

TEST_F(Coverage, OutlineCoversTheStrokeWithButtCaps)
{
    PathBuilder b;
    b.move_to(10, 20);
    b.line_to(110, 20);
    auto outline = stroke_outline(b.finish(), 1, 6, std::nullopt);
    ASSERT_TRUE(outline);
    fill(*outline);
    EXPECT_EQ(alpha(60, 17), 255u);
    EXPECT_EQ(alpha(60, 22), 255u);
    EXPECT_EQ(alpha(60, 23), 0u);
    EXPECT_EQ(alpha(60, 16), 0u);
    EXPECT_EQ(alpha(9, 20), 0u); // butt cap: nothing beyond the end
    EXPECT_EQ(alpha(10, 20), 255u);
}

TEST_F(Coverage, DashesLeaveGaps)
{
    PathBuilder b;
    b.move_to(10, 20);
    b.line_to(110, 20);
    const float dash[] = {10, 10};
    auto outline = stroke_outline(b.finish(), 1, 4, std::span<const float>(dash));
    ASSERT_TRUE(outline);
    fill(*outline);
    EXPECT_EQ(alpha(15, 20), 255u); // first dash 10..20
    EXPECT_EQ(alpha(25, 20), 0u);   // gap 20..30
    EXPECT_EQ(alpha(35, 20), 255u);
    EXPECT_EQ(alpha(105, 20), 0u); // gap 100..110
}

TEST_F(Coverage, MiterJoinsFillTheCorner)
{
    PathBuilder b;
    b.move_to(20, 35);
    b.line_to(20, 10);
    b.line_to(60, 10);
    auto outline = stroke_outline(b.finish(), 1, 6, std::nullopt);
    ASSERT_TRUE(outline);
    fill(*outline);
    EXPECT_EQ(alpha(17, 7), 255u); // the outer corner of the miter
    EXPECT_EQ(alpha(40, 10), 255u);
    EXPECT_EQ(alpha(30, 20), 0u);
}

} // namespace
} // namespace torvane
