#include "platform/linux/sdl_box_screen.hpp"

#include "platform/linux/sdl_message_box.hpp"

#include <signal.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace torvane::platform {

struct SdlBoxScreen::OpenBox {
    BoxProcessSlot process;
    std::atomic<bool> done = false;
    std::atomic<bool> shown = false;
    std::function<void()> show;
    // An SDL thread: SDL frees what it keeps per thread only for threads it started.
    SDL_Thread* thread = nullptr;
};

SdlBoxScreen::SdlBoxScreen() = default;

SdlBoxScreen::~SdlBoxScreen() { close_open_box(); }

void SdlBoxScreen::attach(SDL_Window* owner, std::uint32_t ended_event_type)
{
    owner_ = owner;
    ended_type_ = ended_event_type;
}

std::optional<BoxEnd> SdlBoxScreen::show_box(const OwnedMessageBox& next)
{
    auto box = std::make_unique<OpenBox>();
    OpenBox* open = box.get();
    box->show = [open, owner = owner_, ended_type = ended_type_, next] {
        open->shown = show_sdl_message_box(sdl_message_box_flags(next.icon), next.caption.c_str(), next.text.c_str(), owner,
                          &open->process)
            == 0;
        open->done = true;
        SDL_Event event {};
        event.type = ended_type;
        SDL_PushEvent(&event);
    };
    box->thread = SDL_CreateThread(
        [](void* shown) {
            static_cast<OpenBox*>(shown)->show();
            return 0;
        },
        "caixa", open);
    if (!box->thread) {
        // Without a thread the box is shown the old way: the window waits until it is closed.
        box->show();
        SDL_FlushEvent(ended_type_);
        return box->shown ? BoxEnd::Closed : BoxEnd::NotShown;
    }
    // The UI thread stands still until SDL has forked the box's process, so that the copy holds
    // none of the locks this thread may hold (the process allocates and talks to X).
    auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!open->process.forked() && std::chrono::steady_clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    box_ = std::move(box);
    return std::nullopt;
}

std::optional<BoxEnd> SdlBoxScreen::take_end()
{
    if (!box_ || !box_->done)
        return std::nullopt;
    SDL_WaitThread(box_->thread, nullptr);
    BoxEnd end = box_->shown ? BoxEnd::Closed : BoxEnd::NotShown;
    box_.reset();
    return end;
}

void SdlBoxScreen::close_open_box()
{
    if (!box_)
        return;
    // The box's process may not have started yet: end it once it has, until the box's thread has
    // seen it end. SIGKILL, as the process may ignore what the launcher ignores.
    while (!box_->done) {
        if (pid_t process = box_->process.process(); process > 0)
            ::kill(process, SIGKILL);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    SDL_WaitThread(box_->thread, nullptr);
    box_.reset();
    SDL_FlushEvent(ended_type_);
}

} // namespace torvane::platform
