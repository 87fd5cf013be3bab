// SDL's message box on X11, as the launcher needs it. SDL draws the box in a child process it
// forks for the box; that child takes its locale from the environment and draws the text in that
// locale's character set, so under a session without a UTF-8 locale (LANG unset) only the text's
// leading ASCII showed. Here the box's child always gets a UTF-8 character type, and its process id
// is reported, so that an owner can close the box when its window goes.
#pragma once

#include "platform/message_box.hpp"

#include <SDL.h>

#include <atomic>
#include <cstdint>
#include <sys/types.h>

namespace torvane::platform {

// Where a box's child process reports its id: memory shared with the child, 0 until it runs.
class BoxProcessSlot {
public:
    BoxProcessSlot();
    ~BoxProcessSlot();
    BoxProcessSlot(const BoxProcessSlot&) = delete;
    BoxProcessSlot& operator=(const BoxProcessSlot&) = delete;
    // The box's process while it may run; 0 before it started (or when it could not be shared).
    pid_t process() const { return slot_ ? slot_->load() : 0; }
    // Whether SDL has forked the box's process (or returned without one).
    bool forked() const { return forked_.load(); }

private:
    friend int show_sdl_message_box(std::uint32_t, const char*, const char*, SDL_Window*, BoxProcessSlot*);
    std::atomic<pid_t>* slot_ = nullptr;
    std::atomic<bool> forked_ = false;
};

// SDL's flag for the icon.
std::uint32_t sdl_message_box_flags(MessageIcon icon);

// SDL_ShowSimpleMessageBox with the box's own process in a UTF-8 character type; returns when the
// box is closed, with SDL's result (0: it was shown). The slot, when given, receives the box
// process's id as soon as it starts.
int show_sdl_message_box(std::uint32_t flags, const char* caption, const char* text, SDL_Window* parent,
    BoxProcessSlot* process = nullptr);

} // namespace torvane::platform
