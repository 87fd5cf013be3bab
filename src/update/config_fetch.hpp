// The launcher configuration fetch: once per start of the window, a detached thread downloads the
// configuration document from the service and hands it to the UI thread.
#pragma once

#include "core/http_agent.hpp"
#include "core/launcher_config.hpp"
#include "core/ui_message.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace torvane {

// The `t` query value of a request made at the given system time (100-ns ticks since 0001-01-01
// UTC): the time cut to whole milliseconds, and the Unix epoch's value for any earlier time.
std::uint64_t request_tick_value(std::int64_t system_ticks);

// The address followed by "?t=" and the tick value of now, so that no cache answers the request.
std::string timed_request_url(std::string_view url);

// GETs the document address (with the time query) and reads the body through the 4 MiB limit; none
// on any failure (connection, TLS, status, body, parse).
std::optional<LauncherConfig> fetch_launcher_config(const HttpAgent& agent, std::string_view document_url);

// One fetch of the document: sends ConfigLoaded to the UI when it arrives and parses; nothing
// otherwise.
void launcher_config_fetch(const HttpAgent& agent, std::string_view document_url, const UiSender& sender);

// The thread body: an agent with 5 s time-outs, the service's launcher.json, at most one message.
// Every failure is silent. The sender is released when the thread ends.
void launcher_config_fetch_worker(UiSender sender);

} // namespace torvane
