#include "platform/files.hpp"
#include "platform/tcp_connect.hpp"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

namespace torvane::platform {
namespace {

using namespace std::chrono_literals;

// A listening socket on a free loopback port.
class Listener {
public:
    Listener()
    {
        WSADATA data {};
        ::WSAStartup(MAKEWORD(2, 2), &data);
        socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
        int length = sizeof address;
        if (::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && ::listen(socket_, 4) == 0
            && ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            port_ = ::ntohs(address.sin_port);
    }
    ~Listener() { close(); }
    void close()
    {
        if (socket_ != INVALID_SOCKET)
            ::closesocket(socket_);
        socket_ = INVALID_SOCKET;
    }
    std::uint16_t port() const { return port_; }

private:
    SOCKET socket_ = INVALID_SOCKET;
    std::uint16_t port_ = 0;
};

TEST(WindowsTcpConnect, ConnectsToAListenerAndReportsARefusal)
{
    Listener listener;
    ASSERT_NE(listener.port(), 0);
    auto addresses = resolve_tcp_addresses("127.0.0.1", listener.port());
    ASSERT_TRUE(addresses) << addresses.error();
    ASSERT_EQ(addresses->size(), 1u);
    Status connected = tcp_connect_and_close(addresses->front(), 2000ms);
    EXPECT_TRUE(connected) << connected.error();

    listener.close();
    Status refused = tcp_connect_and_close(addresses->front(), 2000ms);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error(), os_error_text(WSAECONNREFUSED));
}

TEST(WindowsTcpConnect, LiteralsNeedNoLookUpAndNamesGoThroughTheResolver)
{
    auto v4 = resolve_tcp_addresses("127.0.0.1", 44409);
    ASSERT_TRUE(v4);
    const auto* in = reinterpret_cast<const sockaddr_in*>(v4->front().storage.data());
    EXPECT_EQ(in->sin_family, AF_INET);
    EXPECT_EQ(::ntohs(in->sin_port), 44409);
    EXPECT_EQ(v4->front().size, sizeof(sockaddr_in));

    auto v6 = resolve_tcp_addresses("::1", 443);
    ASSERT_TRUE(v6);
    EXPECT_EQ(reinterpret_cast<const sockaddr_in6*>(v6->front().storage.data())->sin6_family, AF_INET6);

    auto local = resolve_tcp_addresses("localhost", 8443);
    ASSERT_TRUE(local) << local.error();
    EXPECT_FALSE(local->empty());

    EXPECT_FALSE(resolve_tcp_addresses(std::string_view("local\0host", 10), 80));
}

} // namespace
} // namespace torvane::platform
