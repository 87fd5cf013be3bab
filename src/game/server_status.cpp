#include "game/server_status.hpp"

#include "core/game_client_files.hpp"
#include "core/threads.hpp"
#include "build_config.hpp"
#include "platform/files.hpp"
#include "platform/tcp_connect.hpp"
#include "platform/unicode.hpp"

#include <thread>

namespace torvane {

namespace {

constexpr std::size_t host_offset = 32;
constexpr std::size_t host_size = 32;
constexpr std::size_t port_offset = 64;

std::uint32_t little_endian_32(std::string_view bytes, std::size_t at)
{
    std::uint32_t value = 0;
    for (std::size_t i = 4; i-- > 0;)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

} // namespace

std::uint32_t server_address_checksum(std::string_view payload)
{
    std::uint32_t u = 0xB43000;
    for (std::uint32_t k = 0; k < server_address_payload_size / 4; ++k) {
        std::uint32_t word = little_endian_32(payload, 4 * k);
        if (k % 2 == 1)
            u += word;
        else
            u ^= word;
        if (k % 4 == 0) {
            unsigned shift = k % 8 == 4 ? 5 : 1;
            u ^= (u + 0x5A18) >> shift;
        }
    }
    return u;
}

std::optional<ServerTarget> parse_server_address(std::string_view file_bytes)
{
    if (file_bytes.size() < server_address_file_size)
        return std::nullopt;
    if (server_address_checksum(file_bytes) != little_endian_32(file_bytes, server_address_payload_size))
        return std::nullopt;
    std::string payload(file_bytes.substr(0, server_address_payload_size));
    for (std::size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<char>(payload[i] ^ server_address_key[i % server_address_key.size()]);

    std::string_view host_bytes = std::string_view(payload).substr(host_offset, host_size);
    host_bytes = host_bytes.substr(0, host_bytes.find('\0'));
    std::string host_text = platform::utf8_lossy(host_bytes);
    ServerTarget target;
    target.host = std::string(platform::trim_unicode_white_space(host_text));
    target.port = static_cast<std::uint16_t>(static_cast<unsigned char>(payload[port_offset]) |
                                             (static_cast<unsigned char>(payload[port_offset + 1]) << 8));
    if (target.host.empty() || target.port == 0)
        return std::nullopt;
    return target;
}

std::optional<ServerTarget> read_server_address(const std::filesystem::path& game_folder)
{
    auto bytes = platform::read_file(game_folder / game_client::server_address_file, platform::document_read_limit);
    if (!bytes)
        return std::nullopt;
    return parse_server_address(*bytes);
}

std::optional<ServerTarget> server_target(const std::filesystem::path& game_folder, bool managed_update)
{
    if (managed_update)
        return ServerTarget{build::game_server_host, game_server_port};
    return read_server_address(game_folder);
}

bool probe_server(const std::optional<ServerTarget>& target)
{
    if (!target)
        return false;
    auto addresses = platform::resolve_tcp_addresses(target->host, target->port);
    if (!addresses)
        return false;
    for (const auto& address : *addresses)
        if (platform::tcp_connect_and_close(address, probe_connect_timeout))
            return true;
    return false;
}

void server_status_worker(UiSender sender, std::filesystem::path game_folder,
                          std::shared_ptr<std::atomic<bool>> stop, bool managed_update, ProbeSchedule schedule)
{
    for (;;) {
        bool online = probe_server(server_target(game_folder, managed_update));
        send_ui_message(sender, ui_message::ServerStatus{online});
        for (int i = 0; i < schedule.waits; ++i) {
            if (stop->load())
                return;
            std::this_thread::sleep_for(schedule.step);
        }
    }
}

void spawn_server_status_worker(UiSender sender, std::filesystem::path game_folder,
                                std::shared_ptr<std::atomic<bool>> stop, bool managed_update)
{
    spawn_detached(server_status_worker, std::move(sender), std::move(game_folder), std::move(stop), managed_update,
        ProbeSchedule{});
}

} // namespace torvane
