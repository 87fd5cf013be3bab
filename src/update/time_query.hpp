// The "t" query value of the service's documents: the request time in 100-ns ticks since
// 0001-01-01 UTC at millisecond precision, so that no cache between launcher and service answers.
#pragma once

#include "core/service_endpoints.hpp"
#include "platform/clock.hpp"

#include <cstdint>
#include <string>
#include <string_view>

namespace torvane {

// The value for a system time in ticks: cut to whole milliseconds; a time before 1970 gives the
// tick value of 1970-01-01.
constexpr std::uint64_t time_query_ticks(std::int64_t system_ticks)
{
    if (system_ticks < platform::unix_epoch_ticks)
        return static_cast<std::uint64_t>(platform::unix_epoch_ticks);
    std::int64_t milliseconds = (system_ticks - platform::unix_epoch_ticks) / 10000;
    return static_cast<std::uint64_t>(milliseconds * 10000 + platform::unix_epoch_ticks);
}

inline std::uint64_t time_query_ticks_now() { return time_query_ticks(platform::system_time_ticks()); }

// The address followed by "?t=" and the value of now, so that no cache answers the request.
inline std::string timed_request_url(std::string_view url)
{
    return std::string(url) + "?" + service::time_query_key + "=" + std::to_string(time_query_ticks_now());
}

} // namespace torvane
