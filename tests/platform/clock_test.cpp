#include "platform/clock.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>

namespace torvane::platform {
namespace {

TEST(Clock, TicksFromUnixEpoch)
{
    EXPECT_EQ(ticks_from_unix(0, 0), 621355968000000000);
    EXPECT_EQ(ticks_from_unix(1, 500), 621355968010000005);
}

TEST(Clock, PreciseSystemTimeCountsFromYearOneInHundredNanoseconds)
{
    const std::int64_t before = ticks_from_unix(std::time(nullptr), 0);
    const std::int64_t ticks = system_time_ticks();
    const std::int64_t after = ticks_from_unix(std::time(nullptr) + 1, 0);
    EXPECT_GE(ticks, before);
    EXPECT_LE(ticks, after);
    EXPECT_LE(std::abs(unix_time_ms() - (ticks - unix_epoch_ticks) / 10000), 1000);
    // Precise: two readings in a row are not stuck on a coarse timer tick for long.
    std::int64_t first = system_time_ticks();
    std::int64_t later = first;
    for (int i = 0; i < 1000000 && later == first; ++i)
        later = system_time_ticks();
    EXPECT_GT(later, first);
    EXPECT_LT(later - first, 10000) << "finer than a millisecond";
}

TEST(Clock, TheSteadyClockNeverGoesBack)
{
    auto previous = std::chrono::steady_clock::now();
    for (int i = 0; i < 10000; ++i) {
        auto now = std::chrono::steady_clock::now();
        ASSERT_GE(now, previous);
        previous = now;
    }
}

} // namespace
} // namespace torvane::platform
