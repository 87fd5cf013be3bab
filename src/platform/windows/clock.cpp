#include "platform/clock.hpp"

#include "platform/windows/win32.hpp"

namespace torvane::platform {

std::int64_t system_time_ticks()
{
    FILETIME now {};
    ::GetSystemTimePreciseAsFileTime(&now);
    return ticks_from_file_time(now);
}

std::int64_t unix_time_ms() { return (system_time_ticks() - unix_epoch_ticks) / 10000; }

} // namespace torvane::platform
