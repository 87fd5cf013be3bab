// The moving backdrop behind the main screen (the hero image slowly zooming in and out under the
// shade layer) and the background render thread that draws it with the frosted panels.
#pragma once

#include "render/pixmap.hpp"
#include "ui/ui_state_types.hpp"
#include "ui/widgets.hpp"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace torvane {

// An unbounded channel with any number of senders and one receiver. Sending never blocks and
// fails once the receiver is gone; receiving blocks until a value arrives or every sender is gone.
template <class T>
class ChannelState {
public:
    bool send(T value)
    {
        {
            std::lock_guard lock(mutex_);
            if (!receiver_alive_)
                return false;
            queue_.push_back(std::move(value));
        }
        ready_.notify_one();
        return true;
    }

    std::optional<T> receive()
    {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [&] { return !queue_.empty() || senders_ == 0; });
        return pop_locked();
    }

    std::optional<T> try_receive()
    {
        std::lock_guard lock(mutex_);
        return pop_locked();
    }

    void add_sender()
    {
        std::lock_guard lock(mutex_);
        ++senders_;
    }

    void drop_sender()
    {
        {
            std::lock_guard lock(mutex_);
            --senders_;
        }
        ready_.notify_all();
    }

    // The receiver went away: queued values are released and later sends fail.
    void drop_receiver()
    {
        std::deque<T> dropped;
        std::lock_guard lock(mutex_);
        receiver_alive_ = false;
        dropped.swap(queue_);
    }

private:
    std::optional<T> pop_locked()
    {
        if (queue_.empty())
            return std::nullopt;
        T value = std::move(queue_.front());
        queue_.pop_front();
        return value;
    }

    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<T> queue_;
    int senders_ = 0;
    bool receiver_alive_ = true;
};

template <class T>
class ChannelSender {
public:
    explicit ChannelSender(std::shared_ptr<ChannelState<T>> state) : state_(std::move(state)) { state_->add_sender(); }
    ChannelSender(const ChannelSender& other) : ChannelSender(other.state_) {}
    ChannelSender(ChannelSender&& other) noexcept = default;
    ChannelSender& operator=(ChannelSender other) noexcept
    {
        std::swap(state_, other.state_);
        return *this;
    }
    ~ChannelSender()
    {
        if (state_)
            state_->drop_sender();
    }

    // False when the receiver has been dropped (the value is discarded).
    bool send(T value) { return state_->send(std::move(value)); }

private:
    std::shared_ptr<ChannelState<T>> state_;
};

template <class T>
class ChannelReceiver {
public:
    explicit ChannelReceiver(std::shared_ptr<ChannelState<T>> state) : state_(std::move(state)) {}
    ChannelReceiver(ChannelReceiver&&) noexcept = default;
    ChannelReceiver& operator=(ChannelReceiver&& other) noexcept
    {
        if (this != &other) {
            release();
            state_ = std::move(other.state_);
        }
        return *this;
    }
    ~ChannelReceiver() { release(); }

    // Waits for the next value; none once the channel is empty and every sender is gone.
    std::optional<T> receive() { return state_->receive(); }
    // The next value when one is waiting.
    std::optional<T> try_receive() { return state_->try_receive(); }

private:
    void release()
    {
        if (state_)
            state_->drop_receiver();
        state_.reset();
    }

    std::shared_ptr<ChannelState<T>> state_;
};

template <class T>
std::pair<ChannelSender<T>, ChannelReceiver<T>> make_channel()
{
    auto state = std::make_shared<ChannelState<T>>();
    return {ChannelSender<T>(state), ChannelReceiver<T>(state)};
}

// The zoom of the backdrop at a clock time: 1.02 to 1.08 and back over 36 s, eased.
float slideshow_zoom(float time);

// Draws one backdrop frame into the target: the opaque base colour, the hero image (already
// scaled for the scale at a zoom of 1.08) at the slideshow's zoom around the window's centre with
// opacity 0.55, then the shade layer. (hero_x, hero_y) is the hero's cover-fit offset in logical
// units.
void draw_background_slideshow(Pixmap& target, const Pixmap& hero, float scale, float hero_x, float hero_y,
    const Pixmap& shade, float time);

// What the background render thread is started with; it owns all of it.
struct BackgroundWorkerStart {
    ChannelReceiver<RenderJob> jobs;
    ChannelSender<Pixmap> frames;
    // The UI's own scaled hero and shade layer: neither changes while the worker lives.
    std::shared_ptr<const Pixmap> hero;
    std::shared_ptr<const Pixmap> shade;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    float scale = 1;
    float hero_x = 0;
    float hero_y = 0;
};

// The worker's memory between jobs: the pixmap the next backdrop is drawn into (empty once a
// result went out), the panels it last frosted, when, the layers it made then, and a spent
// backdrop handed back by the UI.
struct BackgroundWorker {
    Pixmap backdrop;
    std::vector<PanelRect> frosted_panels;
    float frosted_time = -100;
    std::vector<PanelLayer> layers;
    std::optional<Pixmap> spare;
};

// Whether a job may reuse the remembered glass: the same panels, and less than 1 s since it was
// made.
bool can_reuse_panels(const BackgroundWorker& worker, const RenderJob& job);

// Renders one job: the backdrop at the job's time, the glass made again unless it can be reused,
// and the backdrop with the glass composited on it. The glass is made from the bare backdrop
// before it is composited, so the result is drawn in place and handed over whole; the next job is
// drawn into the worker's spare when it has one of the size, else into a new pixmap.
Pixmap render_background_job(BackgroundWorker& worker, const BackgroundWorkerStart& start, const RenderJob& job);

// The thread body: renders each job it receives and sends the result back, until the job channel
// closes or the result cannot be delivered. A size a pixmap cannot have ends it at once.
void background_render_worker(BackgroundWorkerStart start);

// Starts the worker on a detached thread of its own; a thread that cannot be started ends the
// process.
void spawn_background_render_worker(BackgroundWorkerStart start);

} // namespace torvane
