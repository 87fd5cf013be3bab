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
