#include "platform/random.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

namespace torvane::platform {
namespace {

TEST(RandomBytes, FillsTheWholeBufferWithFreshBytes)
{
    std::array<std::uint8_t, 64> first {}, second {};
    ASSERT_TRUE(random_bytes(first));
    ASSERT_TRUE(random_bytes(second));
    EXPECT_NE(first, second);
    // A buffer left partly unfilled would keep a run of zeros at its end.
    EXPECT_NE(std::count(first.begin() + 48, first.end(), 0), 16);
}

} // namespace
} // namespace torvane::platform
