// TCP connections as far as a reachability probe needs them: resolve, connect within a time-out.
#pragma once

#include "platform/result.hpp"

#include <array>
#include <chrono>
#include <cstdint>
#include <string_view>
#include <vector>

namespace torvane::platform {

// One resolved socket address (IPv4 or IPv6), held as the system's address bytes.
struct SocketAddress {
    alignas(8) std::array<unsigned char, 128> storage{};
    std::uint32_t size = 0;
};

// The addresses of a host and port, in the order the system gives them: an IPv4 or IPv6 literal
// gives itself without a look-up, any other name goes through the system resolver. Fails with the
// resolver's text when the name cannot be resolved.
Result<std::vector<SocketAddress>> resolve_tcp_addresses(std::string_view host, std::uint16_t port);

// Opens a TCP connection to the address and closes it again at once. Fails with an OS error text
// when the connection is refused, fails, or is not established within the time-out.
Status tcp_connect_and_close(const SocketAddress& address, std::chrono::milliseconds timeout);

} // namespace torvane::platform
