// A resolved address read back with the system's own socket headers.
#pragma once

#include "platform/tcp_connect.hpp"

#include <cstdint>

namespace torvane::test {

enum class AddressFamily { V4, V6, Other };

AddressFamily address_family(const platform::SocketAddress& address);
// The port, in host order.
std::uint16_t address_port(const platform::SocketAddress& address);
// sizeof(sockaddr_in).
std::uint32_t ipv4_address_size();

} // namespace torvane::test
