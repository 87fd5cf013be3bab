// What the launcher asks of the service behind its HTTPS host: the addresses, the limits on what it
// reads and the time-outs of each kind of run. The host is a deployment value
// (TORVANE_SERVICE_ORIGIN); the paths are fixed.
#pragma once

#include "build_config.hpp"
#include "platform/launcher_executable.hpp"

#include <cstddef>
#include <string>
#include <string_view>

namespace torvane::service {

// An address on a host: the origin (any trailing "/" dropped) and the path.
inline std::string origin_url(std::string_view origin, std::string_view path)
{
    while (origin.ends_with('/'))
        origin.remove_suffix(1);
    return std::string(origin) + std::string(path);
}

// An address on the launcher's host (TORVANE_SERVICE_ORIGIN).
inline std::string service_url(std::string_view path) { return origin_url(build::service_origin, path); }

// The launcher configuration document. Requests add "?t=" and the tick value so no cache answers.
inline std::string launcher_json_url() { return service_url("/launcher.json"); }

// Base of the signed client releases.
inline std::string client_base_url() { return service_url("/client"); }
// Below the client base: the current signed release list.
inline constexpr const char current_release_list_path[] = "/current.pmx";
// Below the client base: "/releases/" + release id + "/" + the entry's path as the list writes it.
inline constexpr const char releases_path[] = "/releases/";

// The file area of the launcher's self-update.
inline std::string files_base_url() { return service_url("/files"); }
// The launcher executable in the file area, requested as files_base_url() + "/" + this name +
// "?h=" + its SHA-256, and the top-level entry of launcher.json describing it ("Sha256", "Size").
// Each system's build publishes its own executable under its own name and entry
// (platform/launcher_executable.hpp), so that it never takes the other system's for itself.
using platform::launcher_download_name;
using platform::launcher_entry_key;

// Query keys: the request time in ticks, and the expected SHA-256 of a downloaded file.
inline constexpr const char time_query_key[] = "t";
inline constexpr const char hash_query_key[] = "h";

// Most bytes read of each document.
inline constexpr std::size_t launcher_json_fetch_limit = 4'194'304;       // configuration fetch
inline constexpr std::size_t launcher_json_self_update_limit = 1'048'576; // the self-update's read
inline constexpr std::size_t release_list_limit = 5'242'880;              // current.pmx
inline constexpr std::size_t manifest_limit = 67'108'864;                 // the JSON file manifest
// Attempts at fetching the release list.
inline constexpr int release_list_attempts = 4;

// Time-outs of the HTTP agent for each kind of run, in seconds.
struct AgentTimeouts {
    int connect_seconds;
    int read_seconds;
};
inline constexpr AgentTimeouts configuration_fetch_timeouts {5, 5};
inline constexpr AgentTimeouts self_update_timeouts {15, 60};
inline constexpr AgentTimeouts manifest_update_timeouts {30, 120};
inline constexpr AgentTimeouts release_update_timeouts {30, 120}; // also its download workers

} // namespace torvane::service
