// The clocks, random bytes, disk space and heap calls of the Windows layer.
#include "platform/clock.hpp"
#include "platform/disk_space.hpp"
#include "platform/memory.hpp"
#include "platform/random.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace torvane::platform {
namespace {

TEST(WindowsClock, PreciseSystemTimeCountsFromYearOneInHundredNanoseconds)
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

TEST(WindowsClock, TheSteadyClockNeverGoesBack)
{
    auto previous = std::chrono::steady_clock::now();
    for (int i = 0; i < 10000; ++i) {
        auto now = std::chrono::steady_clock::now();
        ASSERT_GE(now, previous);
        previous = now;
    }
}

TEST(WindowsRandom, FillsBuffersOfEverySizeWithFreshBytes)
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

TEST(WindowsDiskSpace, TheCallersFreeBytesOrNothingForAMissingFolder)
{
    test::TempDir dir;
    auto available = available_disk_bytes(dir.path());
    ASSERT_TRUE(available);
    EXPECT_GT(*available, 0u);
    EXPECT_FALSE(available_disk_bytes(dir.path() / "missing" / "below"));
}

TEST(WindowsMemory, HeapCallsAreHarmless)
{
    keep_large_buffers_returnable();
    std::vector<std::uint8_t> buffer(4 << 20, 1);
    buffer = {};
    release_unused_memory();
    SUCCEED();
}

} // namespace
} // namespace torvane::platform
