// Clocks of the operating system.
#pragma once

#include <cstdint>

namespace torvane::platform {

// 100-ns ticks between 0001-01-01 and 1970-01-01 (both UTC).
inline constexpr std::int64_t unix_epoch_ticks = 621355968000000000;

// The precise system time in 100-ns ticks since 0001-01-01 UTC.
std::int64_t system_time_ticks();

// A Unix time (seconds and nanoseconds) in 100-ns ticks since 0001-01-01 UTC.
constexpr std::int64_t ticks_from_unix(std::int64_t seconds, std::int64_t nanoseconds)
{
    return unix_epoch_ticks + seconds * 10000000 + nanoseconds / 100;
}

// Milliseconds since 1970-01-01 UTC.
std::int64_t unix_time_ms();

} // namespace torvane::platform
