#include "render/path.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace torvane {
namespace {

using V = PathVerb;

TEST(PathBuilder, FinishNeedsTwoVerbsAndFiniteBounds)
{
    PathBuilder one;
    one.move_to(1, 1);
    EXPECT_FALSE(one.finish());

    PathBuilder infinite;
    infinite.move_to(0, 0);
    infinite.line_to(INFINITY, 0);
    EXPECT_FALSE(infinite.finish());

    PathBuilder line;
    line.move_to(1, 2);
    line.line_to(5, -3);
    auto path = line.finish();
    ASSERT_TRUE(path);
    EXPECT_EQ(path->bounds().left, 1);
    EXPECT_EQ(path->bounds().top, -3);
    EXPECT_EQ(path->bounds().right, 5);
    EXPECT_EQ(path->bounds().bottom, 2);
}

TEST(PathBuilder, MoveAfterMoveReplacesIt)
{
    PathBuilder builder;
    builder.move_to(1, 1);
    builder.move_to(4, 4);
    builder.line_to(5, 5);
    auto path = builder.finish();
    ASSERT_TRUE(path);
    EXPECT_EQ(std::vector<V>(path->verbs().begin(), path->verbs().end()), (std::vector<V>{V::Move, V::Line}));
    EXPECT_EQ(path->points()[0], (PathPoint{4, 4}));
}

TEST(PathBuilder, SegmentAfterCloseStartsAtTheContourStart)
{
    PathBuilder builder;
    builder.move_to(2, 3);
    builder.line_to(8, 3);
    builder.close();
    builder.close(); // no second close verb
    builder.line_to(8, 9);
    auto path = builder.finish();
    ASSERT_TRUE(path);
    EXPECT_EQ(std::vector<V>(path->verbs().begin(), path->verbs().end()),
        (std::vector<V>{V::Move, V::Line, V::Close, V::Move, V::Line}));
    EXPECT_EQ(path->points()[2], (PathPoint{2, 3}));
}

TEST(Transform, AfterAppliesTheFirstTransformFirst)
{
    Transform scale = Transform::scale(2, 3);
    Transform move = Transform::translate(10, 20);
    PathPoint p = move.after(scale).map({1, 1});
    EXPECT_EQ(p, (PathPoint{12, 23}));
    PathPoint q = scale.after(move).map({1, 1});
    EXPECT_EQ(q, (PathPoint{22, 63}));
}

} // namespace
} // namespace torvane
