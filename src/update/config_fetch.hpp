// The launcher configuration fetch: once per start of the window, a detached thread downloads the
// configuration document from the service and hands it to the UI thread.
#pragma once

#include "core/http_agent.hpp"
#include "core/launcher_config.hpp"
#include "core/ui_message.hpp"

#include <optional>
#include <string>
#include <string_view>

namespace torvane {

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
