#include "platform/process_ids.hpp"

#include <cerrno>
#include <signal.h>
#include <unistd.h>

namespace torvane::platform {

std::uint32_t current_process_id() { return static_cast<std::uint32_t>(::getpid()); }

bool process_running(std::uint32_t id)
{
    const auto pid = static_cast<pid_t>(id);
    return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

} // namespace torvane::platform
