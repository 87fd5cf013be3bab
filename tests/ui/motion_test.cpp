#include "ui/motion.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace torvane {
namespace {

// The curve's y at x, solved to full double precision.
double reference_bezier(const BezierCurve& c, double p)
{
    auto coordinate = [](double c1, double c2, double u) {
        double v = 1 - u;
        return 3 * v * v * u * c1 + 3 * v * u * u * c2 + u * u * u;
    };
    double low = 0, high = 1;
    for (int i = 0; i < 200; ++i) {
        double u = (low + high) / 2;
        (coordinate(c.x1, c.x2, u) < p ? low : high) = u;
    }
    return coordinate(c.y1, c.y2, (low + high) / 2);
}

TEST(CubicBezierTest, FollowsEachCurveOfTheScreens)
{
    struct Case {
        const char* name;
        BezierCurve curve;
    };
    const Case cases[] = {
        {"ease", ease_curve},
        {"ease-in-out", ease_in_out_curve},
        {"ease-out", ease_out_curve},
        {"overshoot", overshoot_curve},
        {"strong overshoot", strong_overshoot_curve},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(cubic_bezier(c.curve, 0), 0);
        EXPECT_EQ(cubic_bezier(c.curve, -0.5f), 0);
        EXPECT_EQ(cubic_bezier(c.curve, NAN), 0);
        EXPECT_EQ(cubic_bezier(c.curve, 1), 1);
        EXPECT_EQ(cubic_bezier(c.curve, 1.5f), 1);
        for (float p : {0.01f, 0.1f, 0.25f, 0.5f, 0.75f, 0.9f, 0.99f})
            EXPECT_NEAR(cubic_bezier(c.curve, p), reference_bezier(c.curve, p), 2e-4) << "p = " << p;
    }
}

TEST(CubicBezierTest, KnownValues)
{
    EXPECT_NEAR(cubic_bezier(ease_curve, 0.5f), 0.8024, 1e-4);
    EXPECT_FLOAT_EQ(cubic_bezier(ease_in_out_curve, 0.5f), 0.5f);
    // The overshoot curves pass above 1 before settling.
    EXPECT_GT(cubic_bezier(strong_overshoot_curve, 0.7f), 1.0f);
    EXPECT_GT(cubic_bezier(strong_overshoot_curve, 0.7f), cubic_bezier(overshoot_curve, 0.7f));
}

TEST(TweenTest, ValueEasesFromStartToTarget)
{
    Tween tween{0, 100, 10, 0.5f};
    EXPECT_EQ(tween_value(tween, 9), 0);
    EXPECT_EQ(tween_value(tween, 10), 0);
    EXPECT_NEAR(tween_value(tween, 10.25f), 80.24f, 0.01f);
    EXPECT_EQ(tween_value(tween, 10.5f), 100);
    EXPECT_EQ(tween_value(tween, 50), 100);
    EXPECT_TRUE(tween_running(tween, 10.4f));
    EXPECT_FALSE(tween_running(tween, 10.5f));
}

TEST(TweenTest, ZeroDurationIsFinishedAtOnce)
{
    Tween tween{0, 1, 2, 0};
    EXPECT_EQ(tween_value(tween, 2), 1);
    EXPECT_EQ(tween_value(tween, 3), 1);
    EXPECT_EQ(tween_value(tween, 1), 0);
}

TEST(TweenTest, RetargetToSameTargetKeepsStart)
{
    Tween tween{0, 100, 1, 0.45f};
    retarget_tween(tween, 100.0000001f, 1.2f);
    EXPECT_EQ(tween, (Tween{0, 100, 1, 0.45f}));
}

TEST(TweenTest, RetargetHalfWayStartsFromShownValue)
{
    Tween tween{0, 100, 0, 1};
    retarget_tween(tween, 0, 0.5f);
    EXPECT_NEAR(tween.from, 80.24f, 0.01f);
    EXPECT_EQ(tween.to, 0);
    EXPECT_EQ(tween.start, 0.5f);
    EXPECT_EQ(tween.duration, 1);
    // A finished tween restarts from its target.
    Tween done{0, 100, 0, 1};
    retarget_tween(done, 50, 3);
    EXPECT_EQ(done.from, 100);
    EXPECT_EQ(done.to, 50);
}

TEST(SliderTest, PointerXGivesVolume)
{
    struct Case {
        float x;
        std::int32_t volume;
    };
    const Case cases[] = {
        {484.5f, 0}, {707.5f, 10}, {496, 1}, {1000, 10}, {0, 0}, {-1e30f, 0}, {NAN, 0}, {596, 5},
    };
    for (const Case& c : cases)
        EXPECT_EQ(volume_from_slider_x(c.x), c.volume) << "x = " << c.x;
}

class HoverTest : public testing::Test {
protected:
    UiState state;
    void SetUp() override
    {
        state.main_hits = {{0, 0, 100, 100, hit_id::link, 0}, {50, 50, 150, 150, hit_id::link, 1},
            {200, 0, 300, 50, hit_id::play, 0}};
        state.dialog_hits = {{0, 0, 500, 500, hit_id::dialog_body, 0}, {100, 100, 200, 200, hit_id::dialog_list_option, 3}};
    }
};

TEST_F(HoverTest, MainScreenTakesFirstHit)
{
    EXPECT_EQ(on_mouse_move(state, 60, 60), hit_id::link);
    EXPECT_EQ(state.hover_data, 0);
    EXPECT_EQ(on_mouse_move(state, 120, 120), hit_id::link);
    EXPECT_EQ(state.hover_data, 1);
    EXPECT_EQ(on_mouse_move(state, 150, 150), hit_id::none); // half-open edges
    EXPECT_EQ(state.pointer_x, 150);
    EXPECT_FALSE(state.settings.settings_dirty);
}

TEST_F(HoverTest, DialogTakesTopmostAndMarksRedraw)
{
    state.screen_mode = screen_settings_list;
    EXPECT_EQ(on_mouse_move(state, 150, 150), hit_id::dialog_list_option);
    EXPECT_EQ(state.settings.hovered_option, 3);
    EXPECT_TRUE(state.settings.settings_dirty);

    state.settings.settings_dirty = false;
    EXPECT_EQ(on_mouse_move(state, 160, 160), hit_id::dialog_list_option);
    EXPECT_FALSE(state.settings.settings_dirty); // same element: nothing to redraw

    EXPECT_EQ(on_mouse_move(state, 20, 20), hit_id::dialog_body);
    EXPECT_FALSE(state.settings.hovered_option);
    EXPECT_EQ(on_mouse_move(state, 900, 20), hit_id::dialog_outside);
}

TEST_F(HoverTest, SliderDragOnlyMovesVolume)
{
    state.screen_mode = screen_settings;
    state.settings.slider_dragging = true;
    state.settings.volume = 3;
    on_mouse_move(state, 707.5f, 150);
    EXPECT_EQ(state.settings.volume, 10);
    EXPECT_TRUE(state.settings.settings_dirty);
    EXPECT_EQ(state.hover_id, hit_id::none);

    state.settings.settings_dirty = false;
    on_mouse_move(state, 800, 150);
    EXPECT_FALSE(state.settings.settings_dirty); // still 10
}

TEST(SparkTest, GeneratorIsXorshiftTopBits)
{
    std::uint64_t s = 1;
    float u = next_uniform(s);
    // 1 -> 1 ^ (1 << 13) = 0x2001 -> ^ (>> 7) = 0x2041 -> ^ (<< 17) = 0x40822041.
    EXPECT_EQ(s, 0x40822041u);
    EXPECT_EQ(u, 0.0f); // the top 24 bits are still zero
    for (int i = 0; i < 1000; ++i) {
        float v = next_uniform(s);
        ASSERT_GE(v, 0.0f);
        ASSERT_LT(v, 1.0f);
    }
}

TEST(SparkTest, InitialSparksSpreadOverTheStage)
{
    UiState state;
    init_sparks(state, 12345);
    for (int i = 0; i < spark_count; ++i) {
        const Spark& spark = state.sparks[i];
        EXPECT_EQ(spark.color_variant, i % 3);
        EXPECT_GE(spark.x, 110);
        EXPECT_LE(spark.x, 550);
        EXPECT_GE(spark.y, 60);
        EXPECT_LE(spark.y, 530);
        EXPECT_GE(spark.lifetime, 3);
        EXPECT_LE(spark.lifetime, 7);
        EXPECT_GE(spark.size, 1.5f);
        EXPECT_LE(spark.size, 4.1f);
        EXPECT_EQ(spark.opacity, 0);
        EXPECT_EQ(spark.age, 0);
    }
}

TEST(SparkTest, FadesInAndOutAroundFullOpacityBand)
{
    UiState state;
    init_sparks(state, 7);
    Spark& spark = state.sparks[0];
    spark.lifetime = 4;
    spark.age = 0;
    struct Case {
        float age;
        float opacity;
    };
    const Case cases[] = {{0.3f, 0.45f}, {0.6f, 0.9f}, {2.0f, 0.9f}, {2.8f, 0.9f}, {3.4f, 0.45f}};
    float previous = 0;
    for (const Case& c : cases) {
        spark.lifetime = 4;
        update_sparks(state, c.age - previous);
        previous = c.age;
        EXPECT_NEAR(spark.opacity, c.opacity, 1e-4) << "age " << c.age;
    }
}

TEST(SparkTest, RespawnsLowOnTheStageKeepingSizeAndColour)
{
    UiState state;
    init_sparks(state, 99);
    Spark& spark = state.sparks[4];
    float size = spark.size;
    std::uint8_t variant = spark.color_variant;
    spark.age = spark.lifetime - 0.01f;
    spark.opacity = 0.3f;
    std::uint64_t before = state.spark_random;
    update_sparks(state, 0.02f);
    EXPECT_EQ(spark.age, 0);
    EXPECT_GE(spark.y, 470);
    EXPECT_LE(spark.y, 530);
    EXPECT_GE(spark.speed, 16);
    EXPECT_LE(spark.speed, 50);
    EXPECT_EQ(spark.size, size);
    EXPECT_EQ(spark.color_variant, variant);
    EXPECT_EQ(spark.opacity, 0.3f); // kept for this frame
    EXPECT_NE(state.spark_random, before);
}

} // namespace
} // namespace torvane
