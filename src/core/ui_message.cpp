#include "core/ui_message.hpp"

namespace torvane {

std::optional<UiMessage> UiChannel::send(UiMessage message)
{
    std::lock_guard lock(mutex_);
    if (receiver_closed_)
        return message;
    queue_.push_back(std::move(message));
    return std::nullopt;
}

std::optional<UiMessage> UiChannel::try_receive()
{
    std::lock_guard lock(mutex_);
    if (queue_.empty())
        return std::nullopt;
    UiMessage message = std::move(queue_.front());
    queue_.pop_front();
    return message;
}

void UiChannel::close_receiver()
{
    std::deque<UiMessage> dropped;
    {
        std::lock_guard lock(mutex_);
        receiver_closed_ = true;
        dropped.swap(queue_);
    }
}

bool UiChannel::receiver_closed() const
{
    std::lock_guard lock(mutex_);
    return receiver_closed_;
}

bool UiChannel::senders_disconnected() const
{
    std::lock_guard lock(mutex_);
    return had_sender_ && senders_ == 0;
}

std::size_t UiChannel::sender_count() const
{
    std::lock_guard lock(mutex_);
    return senders_;
}

void UiChannel::add_sender()
{
    std::lock_guard lock(mutex_);
    ++senders_;
    had_sender_ = true;
}

void UiChannel::drop_sender()
{
    std::lock_guard lock(mutex_);
    if (senders_ == 0)
        fatal("UiChannel: more senders dropped than added");
    --senders_;
}

UiSender::UiSender(std::shared_ptr<UiChannel> channel, std::function<void()> wake)
    : channel_(std::move(channel)), wake_(std::move(wake))
{
    if (channel_)
        channel_->add_sender();
}

UiSender::UiSender(const UiSender& other) : channel_(other.channel_), wake_(other.wake_)
{
    if (channel_)
        channel_->add_sender();
}

UiSender::UiSender(UiSender&& other) noexcept : channel_(std::move(other.channel_)), wake_(std::move(other.wake_))
{
    other.channel_.reset();
}

UiSender& UiSender::operator=(const UiSender& other)
{
    if (this != &other) {
        UiSender copy(other);
        *this = std::move(copy);
    }
    return *this;
}

UiSender& UiSender::operator=(UiSender&& other) noexcept
{
    if (this != &other) {
        release();
        channel_ = std::move(other.channel_);
        wake_ = std::move(other.wake_);
        other.channel_.reset();
    }
    return *this;
}

UiSender::~UiSender() { release(); }

void UiSender::release()
{
    if (channel_)
        channel_->drop_sender();
    channel_.reset();
}

void send_ui_message(const UiSender& sender, UiMessage message)
{
    if (!sender.channel())
        return;
    if (sender.channel()->send(std::move(message)))
        return; // disconnected: the returned message is dropped here
    if (sender.wake())
        sender.wake()();
}

} // namespace torvane
