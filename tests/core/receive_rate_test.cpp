#include "core/receive_rate.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

namespace torvane {
namespace {

using namespace std::chrono_literals;
using Duration = ReceiveRateWatch::Duration;

// Feeds a receiving pattern to a watch with a 60 s window at 1,024 bytes a second, one look every
// 100 ms of waiting (as the agent looks at least that often), from a restart at 0 with nothing
// received. The waiting time of the first look that finds the transfer too slow, or none.
std::optional<Duration> first_too_slow(const std::function<std::uint64_t(Duration)>& received_by,
                                       Duration until, std::optional<Duration> restart_at = {})
{
    ReceiveRateWatch watch(60s, least_receive_bytes_per_second);
    watch.restart(0s, 0);
    for (Duration waited = 100ms; waited <= until; waited += 100ms) {
        if (restart_at && waited == *restart_at)
            watch.restart(waited, received_by(waited));
        if (watch.too_slow(waited, received_by(waited)))
            return waited;
    }
    return std::nullopt;
}

std::uint64_t whole_seconds(Duration waited) { return static_cast<std::uint64_t>(waited / 1s); }

TEST(ReceiveRateWatch, CutsATransferThatReceivesTooLittleOverAWindow)
{
    struct Case {
        const char* name;
        std::function<std::uint64_t(Duration)> received_by;
        Duration earliest; // the first look that may find it too slow
        Duration latest;   // the last one by which it must
    };
    const Case cases[] = {
        {"one byte every 20 s", [](Duration w) { return 1 + whole_seconds(w) / 20; }, 60s, 62s},
        {"nothing at all", [](Duration) { return 0; }, 60s, 62s},
        {"just under the rate", [](Duration w) { return whole_seconds(w) * 1023; }, 60s, 62s},
        // A short average passes these: each burst is 1.2 KB/s over five seconds.
        {"6 KB bursts every 30 s", [](Duration w) { return (1 + whole_seconds(w) / 30) * 6000; }, 60s, 62s},
        // A fast start does not buy a later drip: the span after the burst is what counts.
        {"1 MB in the first second, then one byte every 20 s",
         [](Duration w) { return w < 1s ? 0 : 1'000'000 + whole_seconds(w) / 20; }, 61s, 63s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto cut = first_too_slow(c.received_by, 300s);
        ASSERT_TRUE(cut);
        EXPECT_GE(*cut, c.earliest);
        EXPECT_LE(*cut, c.latest);
    }
}

TEST(ReceiveRateWatch, LeavesASlowButSteadyTransferAlone)
{
    struct Case {
        const char* name;
        std::function<std::uint64_t(Duration)> received_by;
    };
    const Case cases[] = {
        {"20 KB/s", [](Duration w) { return whole_seconds(w) * 20'000; }},
        {"the rate itself", [](Duration w) { return whole_seconds(w) * 1024; }},
        {"62 KB bursts every 59 s", [](Duration w) { return (1 + whole_seconds(w) / 59) * 62'000; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(first_too_slow(c.received_by, 600s), std::nullopt);
    }
}

TEST(ReceiveRateWatch, ARestartBeginsANewSpan)
{
    // Nothing at all, restarted at 50 s: no span of a whole window has passed since.
    auto nothing = [](Duration) -> std::uint64_t { return 0; };
    EXPECT_EQ(first_too_slow(nothing, 109s, 50s), std::nullopt);
    auto cut = first_too_slow(nothing, 300s, 50s);
    ASSERT_TRUE(cut);
    EXPECT_GE(*cut, 110s);

    // A stopped watch finds nothing too slow until it is restarted.
    ReceiveRateWatch watch(60s, least_receive_bytes_per_second);
    EXPECT_FALSE(watch.too_slow(1000s, 0));
    watch.restart(1000s, 0);
    watch.stop();
    EXPECT_FALSE(watch.too_slow(2000s, 0));
}

} // namespace
} // namespace torvane
