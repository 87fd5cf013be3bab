// What worker threads send to the UI thread: one message type over one unbounded channel.
#pragma once

#include "core/launcher_config.hpp"
#include "platform/result.hpp"

#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <variant>

namespace torvane {

struct ProgressReport {
    double sub_progress = 0.0;     // 0..1, the thin lower bar
    double progress = 0.0;         // 0..1, the main bar and its percent
    double bytes_per_second = 0.0; // 0 when none
    std::string text;              // phase label
    std::string detail;            // second line; empty means none
    bool operator==(const ProgressReport&) const = default;
};

namespace ui_message {

struct ServerStatus {
    bool online = false;
};
struct Progress {
    ProgressReport report;
};
// Ok carries the relaunch flag (the launcher executable was replaced); Err carries the message,
// where "cancelado" marks a cancellation.
struct Finished {
    Result<bool> outcome;
};
struct ConfigLoaded {
    std::unique_ptr<LauncherConfig> config;
};
struct ClientReady {
    std::filesystem::path game_folder;
};

} // namespace ui_message

using UiMessage = std::variant<ui_message::ServerStatus, ui_message::Progress, ui_message::Finished,
                               ui_message::ConfigLoaded, ui_message::ClientReady>;

// The channel itself: multi-producer, single-consumer, unbounded. Sends never block; a send after
// the receiver is gone gives the message back. The channel counts its senders (UiSender objects):
// once the last one is dropped, the receiver can tell that nothing more will come.
class UiChannel {
public:
    // Returns the message when the receiver has been dropped.
    std::optional<UiMessage> send(UiMessage message);
    // Non-blocking receive; none when the channel is empty.
    std::optional<UiMessage> try_receive();
    // Called when the receiving end goes away; later sends fail and queued messages are dropped.
    void close_receiver();
    bool receiver_closed() const;
    // True when senders existed and the last of them has been dropped. Messages they sent before
    // stay queued until received.
    bool senders_disconnected() const;
    // The senders alive now.
    std::size_t sender_count() const;

private:
    friend class UiSender;
    void add_sender();
    // drop_ui_channel_sender: one sender fewer; the last one marks the channel disconnected.
    void drop_sender();

    mutable std::mutex mutex_;
    std::deque<UiMessage> queue_;
    bool receiver_closed_ = false;
    std::size_t senders_ = 0;
    bool had_sender_ = false;
};

// The sending end together with the wake-up of the window that drains the channel. The wake-up
// stands for the window message posted after each successful send; the window host supplies it.
// Each UiSender (a copy included) counts as one sender of its channel until it is dropped; a
// moved-from sender has no channel and sends nothing.
class UiSender {
public:
    UiSender(std::shared_ptr<UiChannel> channel, std::function<void()> wake);
    UiSender(const UiSender& other);
    UiSender(UiSender&& other) noexcept;
    UiSender& operator=(const UiSender& other);
    UiSender& operator=(UiSender&& other) noexcept;
    ~UiSender();

    const std::shared_ptr<UiChannel>& channel() const { return channel_; }
    const std::function<void()>& wake() const { return wake_; }

private:
    void release();

    std::shared_ptr<UiChannel> channel_;
    std::function<void()> wake_;
};

// Sends the message and, when the send succeeded, wakes the window. A disconnected channel drops
// the message; no error reaches the caller.
void send_ui_message(const UiSender& sender, UiMessage message);

// The progress callback the updaters are given. Called from any of their threads.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual void call(UiMessage message) = 0;
};

// The GUI's sink: forwards to the UI channel.
class UiProgressSink final : public ProgressSink {
public:
    explicit UiProgressSink(UiSender sender) : sender_(std::move(sender)) {}
    void call(UiMessage message) override { send_ui_message(sender_, std::move(message)); }

private:
    UiSender sender_;
};

} // namespace torvane
