#include "update/config_fetch.hpp"

#include "core/config_json.hpp"
#include "core/service_endpoints.hpp"
#include "platform/clock.hpp"

#include <memory>

namespace torvane {

std::uint64_t request_tick_value(std::int64_t system_ticks)
{
    if (system_ticks < platform::unix_epoch_ticks)
        return static_cast<std::uint64_t>(platform::unix_epoch_ticks);
    std::uint64_t since_epoch = static_cast<std::uint64_t>(system_ticks - platform::unix_epoch_ticks);
    constexpr std::uint64_t ticks_per_ms = 10'000;
    return since_epoch / ticks_per_ms * ticks_per_ms + static_cast<std::uint64_t>(platform::unix_epoch_ticks);
}

std::string timed_request_url(std::string_view url)
{
    return std::string(url) + "?" + service::time_query_key + "=" +
           std::to_string(request_tick_value(platform::system_time_ticks()));
}

std::optional<LauncherConfig> fetch_launcher_config(const HttpAgent& agent, std::string_view document_url)
{
    auto response = agent.get(timed_request_url(document_url));
    if (!response)
        return std::nullopt;
    // A longer body is cut at the limit and then normally fails to parse.
    auto body = response->read_up_to(service::launcher_json_fetch_limit);
    if (!body)
        return std::nullopt;
    auto config = parse_launcher_config(*body);
    if (!config)
        return std::nullopt;
    return std::move(*config);
}

void launcher_config_fetch(const HttpAgent& agent, std::string_view document_url, const UiSender& sender)
{
    auto config = fetch_launcher_config(agent, document_url);
    if (config)
        send_ui_message(sender, ui_message::ConfigLoaded {std::make_unique<LauncherConfig>(std::move(*config))});
}

void launcher_config_fetch_worker(UiSender sender)
{
    auto agent = http_agent(service::configuration_fetch_timeouts.connect_seconds,
                            service::configuration_fetch_timeouts.read_seconds);
    if (agent)
        launcher_config_fetch(*agent, service::launcher_json_url(), sender);
}

} // namespace torvane
