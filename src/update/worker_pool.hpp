// The update's scoped worker pools: a fixed number of threads running one body, all joined before
// the caller goes on.
#pragma once

#include "core/threads.hpp"

#include <thread>
#include <vector>

namespace torvane {

template <class Body>
void run_scoped_workers(int count, const Body& body)
{
    std::vector<std::jthread> workers;
    workers.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        workers.push_back(spawn_joined([&body] { body(); }));
}

} // namespace torvane
