#include "net/socket.hpp"

#include "net_test_util.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace crv {
namespace {

using test::as_bytes;
using test::bytes_text;
using test::receive_waiting;
using test::wait_until;

class SocketTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(sock_init()); }
    void TearDown() override {
        sock_set_progress_timeout(0);
        sock_shutdown_all();
    }

    // A connected pair: client from sock_connect, server from sock_accept.
    void connect_pair(int* client, int* server) {
        int listener = sock_listen(0);
        ASSERT_GE(listener, 0) << sock_error_text().text();
        *client = sock_connect("127.0.0.1", sock_port(listener), 2000);
        ASSERT_GE(*client, 0) << sock_error_text().text();
        std::int64_t peer = 0;
        *server = -1;
        ASSERT_TRUE(wait_until([&] { return (*server = sock_accept(listener, &peer)) >= 0; }));
        EXPECT_EQ(peer, 0x7F000001);
        sock_close(listener);
    }
};

TEST_F(SocketTest, TableHolds1024SocketsAndReusesTheLowestFreeNumber) {
    std::vector<int> sockets;
    for (int i = 0; i < k_socket_count; ++i) {
        int s = sock_udp_open(0);
        ASSERT_EQ(s, i) << sock_error_text().text();
        sockets.push_back(s);
    }
    EXPECT_EQ(sock_udp_open(0), -1);
    EXPECT_EQ(sock_last_error(), 8);
    EXPECT_EQ(sock_listen(0), -1);
    EXPECT_EQ(sock_last_error(), 8);
    EXPECT_EQ(std::string(sock_error_text().text()).rfind("8 ", 0), 0u) << sock_error_text().text();

    ASSERT_TRUE(sock_close(700));
    ASSERT_TRUE(sock_close(300));
    EXPECT_FALSE(sock_close(300));
    EXPECT_EQ(sock_udp_open(0), 300);
    EXPECT_EQ(sock_udp_open(0), 700);
}

TEST_F(SocketTest, LastReferenceClosesEverySocket) {
    ASSERT_TRUE(sock_init());  // a second reference
    int s = sock_udp_open(0);
    ASSERT_GE(s, 0);
    sock_shutdown();
    EXPECT_GE(sock_port(s), 0) << "one reference is still held";
    sock_shutdown();
    EXPECT_EQ(sock_port(s), -1);
    EXPECT_EQ(sock_udp_open(0), -1);
    EXPECT_EQ(sock_last_error(), 10093);
    ASSERT_TRUE(sock_init());
}

TEST_F(SocketTest, TcpReceiveReportsNoDataThenBytesThenClose) {
    int client = -1, server = -1;
    connect_pair(&client, &server);

    DynString text = "left over";
    EXPECT_EQ(sock_receive(server, text, 100), k_sock_no_data);
    EXPECT_TRUE(text.empty());

    const std::string payload("ab\0cd", 5);
    EXPECT_EQ(sock_send(client, bytes_text(payload)), 5);
    EXPECT_EQ(receive_waiting(server, text, 100), 5);
    EXPECT_EQ(as_bytes(text), payload);

    // A receive takes no more than it is allowed.
    EXPECT_EQ(sock_send(client, "0123456789"), 10);
    EXPECT_EQ(receive_waiting(server, text, 4), 4);
    EXPECT_EQ(as_bytes(text), "0123");
    EXPECT_EQ(receive_waiting(server, text, 100), 6);
    EXPECT_EQ(as_bytes(text), "456789");

    EXPECT_EQ(sock_receive(server, text, 0), k_sock_error);

    ASSERT_TRUE(sock_close(client));
    text = "x";
    EXPECT_EQ(receive_waiting(server, text, 100), k_sock_closed);
    EXPECT_TRUE(text.empty());
}

TEST_F(SocketTest, FullLengthReceiveWaitsForTheRestAfterTheFirstByte) {
    int client = -1, server = -1;
    connect_pair(&client, &server);
    char buffer[8] = {};
    EXPECT_EQ(sock_receive_full(server, buffer, 8), k_sock_no_data);

    sock_send(client, "abc");
    std::thread later([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        sock_send(client, "defgh");
    });
    ASSERT_TRUE(wait_until([&] { return sock_wait_readable(server, 10) == 1; }));
    EXPECT_EQ(sock_receive_full(server, buffer, 8), 8);
    later.join();
    EXPECT_EQ(std::string(buffer, 8), "abcdefgh");

    sock_send(client, "xy");
    sock_close(client);
    ASSERT_TRUE(wait_until([&] { return sock_wait_readable(server, 10) == 1; }));
    EXPECT_EQ(sock_receive_full(server, buffer, 8), k_sock_closed);
}

// A peer that stops taking or sending bytes makes the whole-data calls fail
// with 10060 once nothing has moved for the progress time-out.
TEST_F(SocketTest, WholeSendsAndFullReceivesGiveUpOnAStalledPeer) {
    int client = -1, server = -1;
    connect_pair(&client, &server);
    sock_set_progress_timeout(300);
    struct Result {
        int value = 0;
        int error = 0;
    };

    // More than the system's buffers on both sides take.
    const DynString big(std::string(64 << 20, 'b').c_str());
    auto sent = test::returns_within(20000, [&] { return Result{sock_send(client, big), sock_last_error()}; },
                                     [&] { sock_close(server); });
    ASSERT_TRUE(sent.has_value()) << "the send still waited long after its time-out";
    EXPECT_EQ(sent->value, -1);
    EXPECT_EQ(sent->error, k_sock_error_stalled);

    int reader = -1, writer = -1;
    connect_pair(&reader, &writer);
    sock_send(writer, "abc");
    char buffer[8] = {};
    ASSERT_TRUE(wait_until([&] { return sock_wait_readable(reader, 10) == 1; }));
    auto received = test::returns_within(
        20000, [&] { return Result{sock_receive_full(reader, buffer, 8), sock_last_error()}; },
        [&] { sock_close(writer); });
    ASSERT_TRUE(received.has_value()) << "the receive still waited long after its time-out";
    EXPECT_EQ(received->value, k_sock_error);
    EXPECT_EQ(received->error, k_sock_error_stalled);

}

TEST_F(SocketTest, SendingToAPeerThatHasGoneFailsWithoutEndingTheProcess) {
    int client = -1, server = -1;
    connect_pair(&client, &server);
    // Unread data makes the close a reset.
    sock_send(client, "unread");
    ASSERT_TRUE(wait_until([&] { return sock_wait_readable(server, 10) == 1; }));
    sock_close(server);
    int result = 0;
    ASSERT_TRUE(wait_until([&] { return (result = sock_send(client, "more data")) < 0; }));
    EXPECT_EQ(result, -1);
    EXPECT_EQ(sock_last_error(), 10054);
}

TEST_F(SocketTest, ConnectReportsRefusalAndTimeOut) {
    int port = test::free_tcp_port();
    EXPECT_EQ(sock_connect("127.0.0.1", port, 1000), -1);
    EXPECT_EQ(sock_last_error(), 10061);
    EXPECT_EQ(std::string(sock_error_text().text()), "10061 Connection refused");

    // A listener whose queue of unaccepted connections is full lets further
    // attempts go unanswered, which is a time-out on every system.
    int listener = sock_listen(0);
    ASSERT_GE(listener, 0);
    int result = 0;
    for (int i = 0; i < 64 && result >= 0; ++i) result = sock_connect("127.0.0.1", sock_port(listener), 200);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(sock_last_error(), k_sock_error_timed_out);
}

TEST_F(SocketTest, NamesAndAddresses) {
    EXPECT_EQ(sock_resolve("127.0.0.1"), 2130706433);
    EXPECT_EQ(sock_resolve("localhost"), 2130706433);
    EXPECT_EQ(sock_resolve("no-such-host.invalid"), -1);
    EXPECT_TRUE(sock_last_error() == 11001 || sock_last_error() == 11002) << sock_last_error();

    struct Case {
        std::int64_t address;
        const char* text;
    };
    for (Case c : {Case{2130706433, "127.0.0.1"}, Case{0xC0A80A01, "192.168.10.1"}, Case{0, "0.0.0.0"},
                   Case{0xFFFFFFFF, "255.255.255.255"}, Case{-1, "255.255.255.255"}}) {
        EXPECT_EQ(std::string(sock_address_text(c.address).text()), c.text);
    }

    // This host: the list ends with loopback, and the empty name is the
    // first other address when there is one.
    std::string mine = sock_my_addresses().text();
    ASSERT_GE(mine.size(), 9u);
    EXPECT_EQ(mine.substr(mine.size() - 9), "127.0.0.1");
    std::int64_t self = sock_resolve("");
    ASSERT_GE(self, 0);
    if (mine == "127.0.0.1") {
        EXPECT_EQ(self, 2130706433);
    } else {
        EXPECT_EQ(mine.rfind(std::string(sock_address_text(self).text()) + "|", 0), 0u) << mine;
    }
}

TEST_F(SocketTest, UdpDatagramsCarryTheSendersAddress) {
    int a = sock_udp_open(0);
    int b = sock_udp_open(0);
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    int bound = sock_udp_open(test::free_tcp_port());
    ASSERT_GE(bound, 0) << sock_error_text().text();
    int port = sock_port(bound);

    EXPECT_EQ(sock_send_to(a, "ping", 0x7F000001, port), 4);
    DynString text;
    EXPECT_EQ(receive_waiting(bound, text, 100), 4);
    EXPECT_EQ(as_bytes(text), "ping");
    std::int64_t a_address = 0;
    int a_port = 0;
    ASSERT_TRUE(sock_local_address(a, &a_address, &a_port));
    EXPECT_EQ(sock_address(bound), 0x7F000001);
    EXPECT_EQ(sock_port(bound), a_port);

    // A plain send answers the last sender.
    EXPECT_EQ(sock_send(bound, "pong"), 4);
    EXPECT_EQ(receive_waiting(a, text, 100), 4);
    EXPECT_EQ(as_bytes(text), "pong");
    EXPECT_EQ(sock_port(a), port);

    EXPECT_EQ(sock_send_to(b, "x", 0, 0), -1);
    EXPECT_EQ(sock_receive(b, text, 100), k_sock_no_data);
    EXPECT_EQ(sock_accept(bound, nullptr), -1);
    EXPECT_EQ(sock_last_error(), 0);
}

TEST_F(SocketTest, OperationsOnUnknownSocketsFail) {
    DynString text;
    for (int s : {-1, 5, k_socket_count, 100000}) {
        EXPECT_EQ(sock_send(s, "x"), -1);
        EXPECT_EQ(sock_receive(s, text, 10), k_sock_error);
        EXPECT_FALSE(sock_close(s));
        EXPECT_EQ(sock_last_error(), 10038);
    }
    EXPECT_EQ(sock_listen(70000), -1);
}

}  // namespace
}  // namespace crv
