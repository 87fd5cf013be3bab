#include "update/config_fetch.hpp"

#include "core/config_json.hpp"
#include "core/service_endpoints.hpp"
#include "update/time_query.hpp"

#include <memory>

namespace torvane {

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
