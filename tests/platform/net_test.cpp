#include "platform/net.hpp"

#include <gtest/gtest.h>

#include <cstring>

namespace crv {
namespace {

constexpr std::uint32_t k_loopback = 0x7f000001;

class PlatformNet : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(plat::net_start()); }
    void TearDown() override { plat::net_stop(); }

    // A loopback port that nothing listens on.
    static std::uint16_t closed_port(bool udp) {
        plat::SocketHandle s = plat::socket_open(udp);
        plat::SocketAddress local{k_loopback, 0};
        EXPECT_TRUE(plat::socket_bind(s, local));
        EXPECT_TRUE(plat::socket_local_address(s, &local));
        plat::socket_close(s);
        return local.port;
    }
};

TEST_F(PlatformNet, TcpLoopbackCarriesBytesAndReportsTheClose) {
    plat::SocketHandle listener = plat::socket_open(false);
    ASSERT_NE(listener, plat::k_invalid_socket);
    plat::SocketAddress local{k_loopback, 0};
    ASSERT_TRUE(plat::socket_bind(listener, local));
    ASSERT_TRUE(plat::socket_listen(listener, 4));
    ASSERT_TRUE(plat::socket_local_address(listener, &local));
    EXPECT_NE(local.port, 0);

    plat::SocketHandle client = plat::socket_open(false);
    ASSERT_TRUE(plat::socket_connect(client, local));
    ASSERT_EQ(plat::socket_wait(listener, false, 5000), 1);
    plat::SocketAddress peer{};
    plat::SocketHandle server = plat::socket_accept(listener, &peer);
    ASSERT_NE(server, plat::k_invalid_socket);
    EXPECT_EQ(peer.address, k_loopback);

    // Nothing to read yet: a non-blocking receive says "would block".
    ASSERT_TRUE(plat::socket_set_blocking(server, false));
    char buffer[8] = {};
    plat::set_net_error(0);
    EXPECT_EQ(plat::socket_receive(server, buffer, sizeof buffer), -1);
    EXPECT_EQ(plat::net_error(), plat::k_err_would_block);
    EXPECT_EQ(plat::socket_wait(server, false, 0), 0);

    EXPECT_EQ(plat::socket_send(client, "ping", 4), 4);
    ASSERT_EQ(plat::socket_wait(server, false, 5000), 1);
    EXPECT_EQ(plat::socket_receive(server, buffer, sizeof buffer), 4);
    EXPECT_EQ(std::memcmp(buffer, "ping", 4), 0);

    EXPECT_TRUE(plat::socket_close(client));
    ASSERT_EQ(plat::socket_wait(server, false, 5000), 1);
    EXPECT_EQ(plat::socket_receive(server, buffer, sizeof buffer), 0);
    plat::socket_close(server);
    plat::socket_close(listener);
}

TEST_F(PlatformNet, FailuresCarryWinSockNumbers) {
    plat::SocketHandle s = plat::socket_open(false);
    plat::set_net_error(0);
    EXPECT_FALSE(plat::socket_connect(s, {k_loopback, closed_port(false)}));
    EXPECT_EQ(plat::net_error(), 10061);  // refused
    plat::socket_close(s);

    plat::SocketHandle first = plat::socket_open(false);
    plat::SocketAddress taken{k_loopback, 0};
    ASSERT_TRUE(plat::socket_bind(first, taken));
    ASSERT_TRUE(plat::socket_listen(first, 1));
    ASSERT_TRUE(plat::socket_local_address(first, &taken));
    plat::SocketHandle second = plat::socket_open(false);
    EXPECT_FALSE(plat::socket_bind(second, taken));
    EXPECT_EQ(plat::net_error(), 10048);  // address in use
    plat::socket_close(second);
    plat::socket_close(first);

    for (int code : {10054, 10061, 11001}) EXPECT_FALSE(plat::net_error_message(code).empty()) << code;
    std::uint32_t address = 0;
    ASSERT_TRUE(plat::resolve_ipv4("127.0.0.1", &address));
    EXPECT_EQ(address, k_loopback);
}

// A datagram sent to a port nobody listens on must not make the sender's
// next receive fail: games poll one socket for all their peers.
TEST_F(PlatformNet, UdpIgnoresUnreachablePeers) {
    plat::SocketHandle a = plat::socket_open(true);
    plat::SocketHandle b = plat::socket_open(true);
    plat::SocketAddress at_a{k_loopback, 0};
    plat::SocketAddress at_b{k_loopback, 0};
    ASSERT_TRUE(plat::socket_bind(a, at_a));
    ASSERT_TRUE(plat::socket_bind(b, at_b));
    ASSERT_TRUE(plat::socket_local_address(a, &at_a));
    ASSERT_TRUE(plat::socket_local_address(b, &at_b));
    ASSERT_TRUE(plat::socket_set_blocking(a, false));

    EXPECT_EQ(plat::socket_send_to(a, "lost", 4, {k_loopback, closed_port(true)}), 4);
    // The unreachable report, if any, is queued before this datagram.
    EXPECT_EQ(plat::socket_send_to(b, "hello", 5, at_a), 5);
    ASSERT_EQ(plat::socket_wait(a, false, 5000), 1);
    char buffer[8] = {};
    plat::SocketAddress from{};
    EXPECT_EQ(plat::socket_receive_from(a, buffer, sizeof buffer, &from), 5);
    EXPECT_EQ(std::memcmp(buffer, "hello", 5), 0);
    EXPECT_EQ(from.port, at_b.port);
    EXPECT_EQ(plat::socket_receive_from(a, buffer, sizeof buffer, &from), -1);
    EXPECT_EQ(plat::net_error(), plat::k_err_would_block);
    plat::socket_close(a);
    plat::socket_close(b);
}

}  // namespace
}  // namespace crv
