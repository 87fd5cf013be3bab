// Starting the launcher's threads. A thread that cannot be started (the system is out of threads
// or of memory for their stacks) ends the process with one line, "failed to spawn thread": the
// launcher never goes on without a thread it asked for, nor ends with the standard library's text.
#pragma once

#include "platform/result.hpp"

#include <system_error>
#include <thread>
#include <utility>

namespace torvane {

// Runs the function with the arguments on a detached thread.
template <class Function, class... Arguments>
void spawn_detached(Function&& function, Arguments&&... arguments)
{
    try {
        std::thread(std::forward<Function>(function), std::forward<Arguments>(arguments)...).detach();
    } catch (const std::system_error&) {
        fatal("failed to spawn thread");
    }
}

// Runs the function with the arguments on a thread that is joined when the returned handle goes.
template <class Function, class... Arguments>
std::jthread spawn_joined(Function&& function, Arguments&&... arguments)
{
    try {
        return std::jthread(std::forward<Function>(function), std::forward<Arguments>(arguments)...);
    } catch (const std::system_error&) {
        fatal("failed to spawn thread");
    }
}

} // namespace torvane
