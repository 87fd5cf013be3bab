#include "../socket_addresses.hpp"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace torvane::test {

AddressFamily address_family(const platform::SocketAddress& address)
{
    switch (reinterpret_cast<const sockaddr*>(address.storage.data())->sa_family) {
    case AF_INET:
        return AddressFamily::V4;
    case AF_INET6:
        return AddressFamily::V6;
    default:
        return AddressFamily::Other;
    }
}

std::uint16_t address_port(const platform::SocketAddress& address)
{
    return ntohs(reinterpret_cast<const sockaddr_in*>(address.storage.data())->sin_port);
}

std::uint32_t ipv4_address_size() { return sizeof(sockaddr_in); }

} // namespace torvane::test
