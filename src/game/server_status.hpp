// Whether the game server answers: a TCP connection tried every 15 s from a thread of its own, the
// outcome sent to the UI thread as UiMessage ServerStatus.
#pragma once

#include "core/ui_message.hpp"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace torvane {

// The port of the game server in managed mode; the host is the deployment's game server.
inline constexpr std::uint16_t game_server_port = 44409;

// Data/Local/Connect.msil: 444 scrambled bytes, then their checksum (32-bit little-endian); anything
// after byte 448 is ignored.
inline constexpr std::size_t server_address_payload_size = 444;
inline constexpr std::size_t server_address_file_size = 448;
// The payload is XORed with these bytes, repeated.
inline constexpr std::array<std::uint8_t, 3> server_address_key = {0x5B, 0x2E, 0xC7};

// Each connection attempt to one resolved address gives up after this long.
inline constexpr std::chrono::milliseconds probe_connect_timeout{500};

struct ServerTarget {
    std::string host;
    std::uint16_t port = 0;
    bool operator==(const ServerTarget&) const = default;
};

// The checksum of the first 444 bytes as stored (scrambled). `payload` must hold at least 444 bytes.
std::uint32_t server_address_checksum(std::string_view payload);

// The target a Connect.msil holds: nothing when it is shorter than 448 bytes, its checksum does not
// match, or its host is empty or its port 0. The host is the unscrambled bytes 32..63 up to the
// first NUL, with invalid UTF-8 replaced and white space trimmed; the port is bytes 64..65.
std::optional<ServerTarget> parse_server_address(std::string_view file_bytes);
// parse_server_address of <game folder>/Data/Local/Connect.msil; nothing when it is unreadable.
std::optional<ServerTarget> read_server_address(const std::filesystem::path& game_folder);

// What one probe connects to: the deployment's game server on game_server_port in managed mode,
// otherwise what the game folder's Connect.msil names.
std::optional<ServerTarget> server_target(const std::filesystem::path& game_folder, bool managed_update);

// One probe: resolves the target and tries its addresses in order, each within
// probe_connect_timeout, closing the first connection made at once. Online only when one connected.
bool probe_server(const std::optional<ServerTarget>& target);

// The waiting between probes: `waits` steps of `step`, the stop flag checked before each step.
struct ProbeSchedule {
    int waits = 150;
    std::chrono::milliseconds step{100};
};

// The status thread's body: probes, sends ServerStatus, waits, and again, until it sees the stop
// flag (within one step of its being set, or after the probe in progress).
void server_status_worker(UiSender sender, std::filesystem::path game_folder,
                          std::shared_ptr<std::atomic<bool>> stop, bool managed_update,
                          ProbeSchedule schedule = {});

// Starts server_status_worker on a detached thread.
void spawn_server_status_worker(UiSender sender, std::filesystem::path game_folder,
                                std::shared_ptr<std::atomic<bool>> stop, bool managed_update);

} // namespace torvane
