#include "core/ui_message.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace torvane {
namespace {

TEST(UiChannel, EachSendersMessagesStayInOrderAcrossThreads)
{
    auto channel = std::make_shared<UiChannel>();
    std::atomic<int> wakes = 0;
    UiSender sender(channel, [&] { ++wakes; });

    constexpr int threads = 4, per_thread = 500;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            for (int i = 0; i < per_thread; ++i)
                send_ui_message(sender, ui_message::Progress {ProgressReport {.progress = double(i), .text = std::to_string(t)}});
        });
    for (auto& w : workers)
        w.join();

    std::vector<int> last(threads, -1);
    int received = 0;
    while (auto message = channel->try_receive()) {
        auto& progress = std::get<ui_message::Progress>(*message);
        int t = std::stoi(progress.report.text);
        EXPECT_GT(int(progress.report.progress), last[t]);
        last[t] = int(progress.report.progress);
        ++received;
    }
    EXPECT_EQ(received, threads * per_thread);
    EXPECT_EQ(wakes, threads * per_thread);
}

TEST(UiChannel, SendAfterReceiverIsGoneHasNoEffect)
{
    auto channel = std::make_shared<UiChannel>();
    int wakes = 0;
    UiSender sender(channel, [&] { ++wakes; });
    send_ui_message(sender, ui_message::ServerStatus {true});
    channel->close_receiver();
    send_ui_message(sender, ui_message::ConfigLoaded {std::make_unique<LauncherConfig>()});
    EXPECT_EQ(wakes, 1);
    EXPECT_FALSE(channel->try_receive()); // the queued message was dropped with the receiver
}

} // namespace
} // namespace torvane
