#include "platform/linux/sdl_message_box.hpp"

#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <string_view>

namespace torvane::platform {

namespace {

// Set on the thread that shows a box while SDL may fork the box's process from it; the child
// starts as a copy of that thread, so only a box's child finds it set.
thread_local bool box_fork_pending = false;
thread_local std::atomic<pid_t>* box_fork_process = nullptr; // shared with the child
thread_local std::atomic<bool>* box_fork_forked = nullptr;

bool names_utf8(std::string_view locale)
{
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    std::string_view::size_type dot = locale.find('.');
    if (dot == std::string_view::npos)
        return false;
    std::string codeset;
    for (char c : locale.substr(dot + 1)) {
        if (c == '@')
            break;
        if (c != '-')
            codeset.push_back(lower(c));
    }
    return codeset == "utf8";
}

// Runs in every forked child, first thing; acts only in a box's child, which is single-threaded
// and sets its locale from the environment right after (LC_ALL first, then LC_CTYPE, then LANG).
void on_fork_child()
{
    if (!box_fork_pending)
        return;
    box_fork_pending = false;
    if (box_fork_process)
        box_fork_process->store(::getpid());
    const char* chosen = nullptr;
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) {
            chosen = value;
            break;
        }
    }
    if (!chosen || !names_utf8(chosen))
        ::setenv("LC_ALL", "C.UTF-8", 1);
}

// Runs in the parent right after every fork, in the thread that forked.
void on_fork_parent()
{
    if (box_fork_pending && box_fork_forked)
        box_fork_forked->store(true);
}

void watch_box_forks()
{
    static std::once_flag registered;
    std::call_once(registered, [] { ::pthread_atfork(nullptr, on_fork_parent, on_fork_child); });
}

} // namespace

BoxProcessSlot::BoxProcessSlot()
{
    void* shared = ::mmap(nullptr, sizeof(std::atomic<pid_t>), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (shared != MAP_FAILED)
        slot_ = new (shared) std::atomic<pid_t>(0);
}

BoxProcessSlot::~BoxProcessSlot()
{
    if (slot_)
        ::munmap(slot_, sizeof(std::atomic<pid_t>));
}

std::uint32_t sdl_message_box_flags(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information:
        return SDL_MESSAGEBOX_INFORMATION;
    case MessageIcon::Warning:
        return SDL_MESSAGEBOX_WARNING;
    case MessageIcon::Error:
        break;
    }
    return SDL_MESSAGEBOX_ERROR;
}

int show_sdl_message_box(std::uint32_t flags, const char* caption, const char* text, SDL_Window* parent,
    BoxProcessSlot* process)
{
    watch_box_forks();
    box_fork_pending = true;
    box_fork_process = process ? process->slot_ : nullptr;
    box_fork_forked = process ? &process->forked_ : nullptr;
    int result = SDL_ShowSimpleMessageBox(flags, caption, text, parent);
    box_fork_pending = false;
    box_fork_process = nullptr;
    box_fork_forked = nullptr;
    if (process)
        process->forked_ = true;
    return result;
}

} // namespace torvane::platform
