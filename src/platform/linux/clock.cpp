#include "platform/clock.hpp"

#include <time.h>

namespace torvane::platform {

std::int64_t system_time_ticks()
{
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return ticks_from_unix(now.tv_sec, now.tv_nsec);
}

std::int64_t unix_time_ms()
{
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

} // namespace torvane::platform
