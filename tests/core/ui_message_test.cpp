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

TEST(UiChannel, TheReceiverLearnsWhenTheLastSenderIsGone)
{
    auto channel = std::make_shared<UiChannel>();
    EXPECT_FALSE(channel->senders_disconnected()); // no sender yet is not a disconnection
    std::optional<UiSender> first(std::in_place, channel, [] {});
    std::optional<UiSender> copy(*first);
    EXPECT_EQ(channel->sender_count(), 2u);

    UiSender moved(std::move(*copy)); // a move hands the same sender on
    copy.reset();
    EXPECT_EQ(channel->sender_count(), 2u);
    send_ui_message(moved, ui_message::ServerStatus {true});
    {
        UiSender assigned = moved;
        assigned = *first; // one sender given up, another taken
        EXPECT_EQ(channel->sender_count(), 3u);
    }
    first.reset();
    EXPECT_FALSE(channel->senders_disconnected());
    {
        UiProgressSink sink(std::move(moved));
        sink.call(ui_message::ServerStatus {false});
    }
    EXPECT_EQ(channel->sender_count(), 0u);
    EXPECT_TRUE(channel->senders_disconnected());
    // What was sent before the last sender left is still delivered.
    EXPECT_TRUE(std::get<ui_message::ServerStatus>(*channel->try_receive()).online);
    EXPECT_FALSE(std::get<ui_message::ServerStatus>(*channel->try_receive()).online);
    EXPECT_FALSE(channel->try_receive());
}

TEST(UiChannel, WorkersThatEachHoldACopyDisconnectWhenAllHaveEnded)
{
    auto channel = std::make_shared<UiChannel>();
    std::vector<std::thread> workers;
    {
        UiSender sender(channel, [] {});
        for (int t = 0; t < 4; ++t)
            workers.emplace_back([copy = sender] {
                for (int i = 0; i < 100; ++i)
                    send_ui_message(copy, ui_message::ServerStatus {true});
            });
    }
    for (auto& w : workers)
        w.join();
    EXPECT_TRUE(channel->senders_disconnected());
    int received = 0;
    while (channel->try_receive())
        ++received;
    EXPECT_EQ(received, 400);
}

} // namespace
} // namespace torvane
