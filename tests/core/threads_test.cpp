#include "core/threads.hpp"

#include "support/thread_failure.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>

namespace torvane {
namespace {

using namespace std::chrono_literals;

TEST(Threads, StartAndRunTheirFunction)
{
    std::atomic<int> ran = 0;
    spawn_detached([&ran](int add) { ran += add; }, 2);
    {
        std::jthread joined = spawn_joined([&ran] { ran += 1; });
    }
    for (int i = 0; i < 500 && ran != 3; ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(ran, 3);
}

TEST(ThreadsDeathTest, AThreadThatCannotStartEndsTheProcessWithOneLine)
{
    EXPECT_DEATH(
        {
            if (!test::make_thread_starts_fail())
                std::_Exit(3);
            spawn_detached([] {});
        },
        "torvane: failed to spawn thread");
    EXPECT_DEATH(
        {
            if (!test::make_thread_starts_fail())
                std::_Exit(3);
            std::jthread joined = spawn_joined([] {});
        },
        "torvane: failed to spawn thread");
}

} // namespace
} // namespace torvane
