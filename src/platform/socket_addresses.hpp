// The system's socket addresses as SocketAddress values, written once for both systems' resolvers
// as templates over the system's own types (sockaddr_in and sockaddr_in6; addrinfo on Linux,
// ADDRINFOW on Windows), which only the files of each system include.
#pragma once

#include "platform/tcp_connect.hpp"

#include <cstdint>
#include <cstring>
#include <vector>

namespace torvane::platform {

// The bytes of one system address (sockaddr_in, sockaddr_in6).
template <class Address>
SocketAddress socket_address(const Address& address)
{
    static_assert(sizeof(Address) <= sizeof(SocketAddress::storage));
    SocketAddress out;
    std::memcpy(out.storage.data(), &address, sizeof address);
    out.size = sizeof address;
    return out;
}

// Every address of a resolver's list (its ai_next chain) in the list's order, leaving out any
// longer than a SocketAddress holds.
template <class AddressInfo>
std::vector<SocketAddress> socket_addresses(const AddressInfo* list)
{
    std::vector<SocketAddress> addresses;
    for (const AddressInfo* entry = list; entry; entry = entry->ai_next) {
        if (entry->ai_addrlen > sizeof(SocketAddress::storage))
            continue;
        SocketAddress address;
        std::memcpy(address.storage.data(), entry->ai_addr, entry->ai_addrlen);
        address.size = static_cast<std::uint32_t>(entry->ai_addrlen);
        addresses.push_back(address);
    }
    return addresses;
}

} // namespace torvane::platform
