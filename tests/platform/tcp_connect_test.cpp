#include "platform/tcp_connect.hpp"
#include "socket_addresses.hpp"
#include "support/plain_http_server.hpp"
#include "support/system_error_texts.hpp"

#include <gtest/gtest.h>

#include <memory>

namespace torvane::platform {
namespace {

using namespace std::chrono_literals;

TEST(TcpConnect, ConnectsToAListenerAndReportsARefusal)
{
    auto listener = std::make_unique<test::PlainHttpServer>();
    listener->start();
    auto addresses = resolve_tcp_addresses("127.0.0.1", static_cast<std::uint16_t>(listener->port()));
    ASSERT_TRUE(addresses) << addresses.error();
    ASSERT_EQ(addresses->size(), 1u);
    Status connected = tcp_connect_and_close(addresses->front(), 2000ms);
    EXPECT_TRUE(connected) << connected.error();

    listener.reset();
    Status refused = tcp_connect_and_close(addresses->front(), 2000ms);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error(), test::system_error_texts().connection_refused);
}

TEST(TcpConnect, LiteralsNeedNoLookUpAndNamesGoThroughTheResolver)
{
    auto v4 = resolve_tcp_addresses("127.0.0.1", 44409);
    ASSERT_TRUE(v4);
    EXPECT_EQ(test::address_family(v4->front()), test::AddressFamily::V4);
    EXPECT_EQ(test::address_port(v4->front()), 44409);
    EXPECT_EQ(v4->front().size, test::ipv4_address_size());

    auto v6 = resolve_tcp_addresses("::1", 443);
    ASSERT_TRUE(v6);
    EXPECT_EQ(test::address_family(v6->front()), test::AddressFamily::V6);

    auto local = resolve_tcp_addresses("localhost", 8443);
    ASSERT_TRUE(local) << local.error();
    EXPECT_FALSE(local->empty());

    EXPECT_FALSE(resolve_tcp_addresses(std::string_view("local\0host", 10), 80));
}

} // namespace
} // namespace torvane::platform
