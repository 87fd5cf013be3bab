// A resolved address read back with the system's own socket types. The reading is written once
// here, over sockaddr_in and the two address family constants; each system's socket_addresses.cpp
// (the only test files that include its socket headers) binds them.
#pragma once

#include "platform/tcp_connect.hpp"

#include <cstdint>
#include <cstring>

namespace torvane::test {

enum class AddressFamily { V4, V6, Other };

AddressFamily address_family(const platform::SocketAddress& address);
// The port, in host order.
std::uint16_t address_port(const platform::SocketAddress& address);
// sizeof(sockaddr_in).
std::uint32_t ipv4_address_size();

// The address's family, from the family field that every system address starts alike with
// (sockaddr_in's sin_family); inet and inet6 are the system's AF_INET and AF_INET6.
template <class InetAddress>
AddressFamily family_of(const platform::SocketAddress& address, int inet, int inet6)
{
    InetAddress in {};
    std::memcpy(&in, address.storage.data(), sizeof in);
    if (in.sin_family == inet)
        return AddressFamily::V4;
    return in.sin_family == inet6 ? AddressFamily::V6 : AddressFamily::Other;
}

// The port of an IPv4 or IPv6 address (at the same place in both), stored in network order: the
// high byte first.
template <class InetAddress>
std::uint16_t port_of(const platform::SocketAddress& address)
{
    InetAddress in {};
    std::memcpy(&in, address.storage.data(), sizeof in);
    unsigned char bytes[2];
    std::memcpy(bytes, &in.sin_port, sizeof bytes);
    return static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
}

} // namespace torvane::test
