#include "../socket_addresses.hpp"

#include <netinet/in.h>
#include <sys/socket.h>

namespace torvane::test {

AddressFamily address_family(const platform::SocketAddress& address) { return family_of<sockaddr_in>(address, AF_INET, AF_INET6); }
std::uint16_t address_port(const platform::SocketAddress& address) { return port_of<sockaddr_in>(address); }
std::uint32_t ipv4_address_size() { return sizeof(sockaddr_in); }

} // namespace torvane::test
