#include "platform/random.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

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

TEST(RandomBytes, FillsBuffersOfEverySizeWithFreshBytes)
{
    std::vector<std::uint8_t> first(32), second(32);
    ASSERT_TRUE(random_bytes(first));
    ASSERT_TRUE(random_bytes(second));
    EXPECT_NE(first, second);
    std::vector<std::uint8_t> large(1 << 20, 0);
    ASSERT_TRUE(random_bytes(large));
    // Every byte value turns up in a mebibyte of random bytes.
    std::vector<bool> seen(256);
    for (std::uint8_t byte : large)
        seen[byte] = true;
    EXPECT_EQ(std::count(seen.begin(), seen.end(), true), 256);
    EXPECT_TRUE(random_bytes({}));
}

} // namespace
} // namespace torvane::platform
