#include "net/lobby.hpp"

#include "platform/net.hpp"
#include "runtime/app_state.hpp"
#include "net/socket.hpp"
#include "net_test_util.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace crv {
namespace {

using test::returns_within;
using test::wait_until;

// Polls a local player's queue until a message arrives.
std::string receive_one(NetLobby& lobby, int id, int timeout_ms = 5000) {
    std::string text;
    wait_until([&] {
        text = test::as_bytes(lobby.receive(id));
        return !text.empty();
    }, timeout_ms);
    return text;
}

std::set<int> left_players(NetLobby& host, std::size_t expected) {
    std::set<int> ids;
    wait_until([&] {
        while (int id = host.next_left_player()) ids.insert(id);
        return ids.size() >= expected;
    });
    return ids;
}

// A peer that speaks the wire format directly, well or badly. It connects
// from a local address of its choice (bound before connecting): another
// loopback address such as 127.0.0.2 stands for another machine.
class RawClient {
public:
    explicit RawClient(int port, const char* from = "127.0.0.1") {
        sock_init();  // the system's sockets need starting on some platforms
        std::uint32_t local = 0;
        std::uint32_t host = 0;
        if (!plat::resolve_ipv4(from, &local) || !plat::resolve_ipv4("127.0.0.1", &host)) return;
        socket_ = plat::socket_open(false);
        if (socket_ == plat::k_invalid_socket) return;
        bool ok = plat::socket_set_blocking(socket_, false) && plat::socket_bind(socket_, {local, 0});
        if (ok && !plat::socket_connect(socket_, {host, static_cast<std::uint16_t>(port)})) {
            int code = plat::net_error();
            ok = (code == plat::k_err_would_block || code == plat::k_err_in_progress) &&
                 plat::socket_wait(socket_, true, 5000) == 1 && plat::socket_pending_error(socket_) == 0;
        }
        if (!ok) reset();
    }
    ~RawClient() {
        reset();
        sock_shutdown();
    }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;
    bool connected() const { return socket_ != plat::k_invalid_socket; }

    // False when the connection ended or stayed full for seconds.
    bool send_raw(const std::string& bytes) {
        std::size_t done = 0;
        while (connected() && done < bytes.size()) {
            long n = plat::socket_send(socket_, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else if ((n < 0 && plat::net_error() != plat::k_err_would_block) ||
                       plat::socket_wait(socket_, true, 5000) != 1) {
                return false;
            }
        }
        return done == bytes.size();
    }

    static std::string frame(int command, int receiver, int sender, const std::string& body, int length = -1) {
        if (length < 0) length = static_cast<int>(body.size());
        std::string f;
        f += static_cast<char>(command);
        for (int v : {length, receiver, sender}) {
            f += static_cast<char>(v & 0xFF);
            f += static_cast<char>((v >> 8) & 0xFF);
        }
        return f + body;
    }

    void send_announce(const std::string& name) {
        std::string body(136, '\0');
        body.replace(8, name.size(), name);
        send_raw(frame(1, 0, 0, body));
    }

    // The host's answer to the oldest announcement not answered yet (other
    // frames are skipped): the id, 0 for a refused player, -1 when the
    // connection ends or nothing comes in time.
    int answer(int timeout_ms = 5000) {
        for (;;) {
            unsigned char header[7];
            if (!receive(header, sizeof header, timeout_ms)) return -1;
            std::string body(static_cast<std::size_t>(header[1] | (header[2] << 8)), '\0');
            if (!receive(body.data(), body.size(), timeout_ms)) return -1;
            if (header[0] == 2) return header[3] | (header[4] << 8);
        }
    }

    // Registers a player: the host's answer as above.
    int announce(const std::string& name) {
        send_announce(name);
        return answer();
    }

    // Whether the host closes (or resets) the connection in time; unread
    // data is skipped on the way.
    bool closed_by_host(int timeout_ms = 5000) {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        while (connected()) {
            char block[4096];
            long n = plat::socket_receive(socket_, block, sizeof block);
            if (n == 0 || (n < 0 && plat::net_error() != plat::k_err_would_block)) return true;
            int left = ms_until(end);
            if (left <= 0) return false;
            if (n < 0) plat::socket_wait(socket_, false, left);
        }
        return false;
    }

    bool readable(int timeout_ms) { return connected() && plat::socket_wait(socket_, false, timeout_ms) == 1; }

    // Closes at once; with unread data waiting this resets the connection.
    void reset() {
        if (!connected()) return;
        plat::socket_shutdown(socket_);
        plat::socket_close(socket_);
        socket_ = plat::k_invalid_socket;
    }

private:
    static int ms_until(std::chrono::steady_clock::time_point end) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        return static_cast<int>(left.count());
    }

    bool receive(void* bytes, std::size_t count, int timeout_ms) {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        std::size_t done = 0;
        while (connected() && done < count) {
            long n = plat::socket_receive(socket_, static_cast<char*>(bytes) + done, count - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                continue;
            }
            if (n == 0 || plat::net_error() != plat::k_err_would_block) return false;
            int left = ms_until(end);
            if (left <= 0) return false;
            plat::socket_wait(socket_, false, left);
        }
        return done == count;
    }

    plat::SocketHandle socket_ = plat::k_invalid_socket;
};

// A host that speaks the wire format from a thread of its own: it answers
// the hello and the first `answered` announcements, holds back the others
// until answer_all, notes the players it is told to remove, and can stop
// reading altogether.
class FakeHost {
public:
    explicit FakeHost(int answered) : answered_(answered) {
        sock_init();
        listener_ = sock_listen(0);
        port_ = sock_port(listener_);
        thread_ = std::thread([this] { serve(); });
    }
    ~FakeHost() {
        done_ = true;
        thread_.join();
        if (connection_ >= 0) sock_close(connection_);
        sock_close(listener_);
        sock_shutdown();
    }
    int port() const { return port_; }
    void answer_all() { answer_all_ = true; }
    void stop_reading() { stop_reading_ = true; }
    std::vector<int> removed() {
        std::lock_guard<std::mutex> guard(lock_);
        return removed_;
    }

private:
    void send_frame(int command, int receiver, const std::string& body) {
        sock_send(connection_, test::bytes_text(RawClient::frame(command, receiver, 0, body)));
    }

    void serve() {
        std::string in;
        int next_id = 101;
        int held = 0;
        while (!done_) {
            if (connection_ < 0) connection_ = sock_accept(listener_, nullptr);
            char block[4096];
            int n = connection_ >= 0 && !stop_reading_ ? sock_receive_bytes(connection_, block, sizeof block) : -2;
            if (n > 0) in.append(block, static_cast<std::size_t>(n));
            while (in.size() >= 7) {
                std::size_t length = static_cast<unsigned char>(in[1]) | (static_cast<unsigned char>(in[2]) << 8);
                if (in.size() < 7 + length) break;
                int command = static_cast<unsigned char>(in[0]);
                int sender = static_cast<unsigned char>(in[5]) | (static_cast<unsigned char>(in[6]) << 8);
                in.erase(0, 7 + length);
                if (command == 104) send_frame(104, sender, std::string("\x01\x00", 2));
                if (command == 1 && answered_ > 0) {
                    --answered_;
                    send_frame(2, next_id++, "");
                } else if (command == 1) {
                    ++held;
                }
                if (command == 4) {
                    std::lock_guard<std::mutex> guard(lock_);
                    removed_.push_back(sender);
                }
            }
            if (answer_all_) {
                answered_ = 1 << 30;
                for (; held > 0; --held) send_frame(2, next_id++, "");
            }
            if (n <= 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    int answered_;
    int listener_ = -1;
    int connection_ = -1;
    int port_ = 0;
    std::atomic<bool> done_{false};
    std::atomic<bool> answer_all_{false};
    std::atomic<bool> stop_reading_{false};
    std::mutex lock_;
    std::vector<int> removed_;
    std::thread thread_;
};

// Short enough for quick tests, long enough that a well-behaved peer on a
// loaded machine is never taken for a silent one.
LobbyLimits short_limits() {
    LobbyLimits limits;
    limits.handshake_ms = 1000;
    limits.frame_ms = 1000;
    limits.max_queued_bytes = 64 * 1024;
    limits.max_messages_per_player = 1000000;
    return limits;
}

// A host with one player ("alice") and a joined lobby with one ("bob").
class LobbyTest : public ::testing::Test {
protected:
    void SetUp() override {
        port_ = test::free_tcp_port();
        host_.set_limits(short_limits());
        ASSERT_TRUE(host_.host(port_));
        alice_ = host_.add_player("alice");
        ASSERT_TRUE(client_.join("127.0.0.1", port_));
        bob_ = client_.add_player("bob");
    }

    int port_ = 0;
    NetLobby host_;
    NetLobby client_;
    int alice_ = 0;
    int bob_ = 0;
};

TEST_F(LobbyTest, IdsMessagesAndQueries) {
    // The joined lobby's query player took 102.
    EXPECT_EQ(alice_, 101);
    EXPECT_EQ(bob_, 103);
    NetLobby second;
    ASSERT_TRUE(second.join("127.0.0.1", port_));
    int carol = second.add_player("carol");
    EXPECT_EQ(carol, 105);

    ASSERT_TRUE(client_.send(bob_, carol, "to carol"));
    EXPECT_EQ(receive_one(second, carol), "to carol");
    EXPECT_EQ(second.last_sender(), bob_);

    // To everyone: every other visible player, never back to the sender.
    ASSERT_TRUE(host_.send(alice_, 0, "all"));
    EXPECT_EQ(receive_one(client_, bob_), "all");
    EXPECT_EQ(receive_one(second, carol), "all");
    EXPECT_EQ(client_.last_sender(), alice_);
    std::string bytes("a\0b", 3);
    ASSERT_TRUE(second.send(carol, 0, test::bytes_text(bytes)));
    EXPECT_EQ(receive_one(host_, alice_), bytes);
    EXPECT_EQ(receive_one(client_, bob_), bytes);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(host_.receive(alice_).empty()) << "the host's own broadcast came back";
    EXPECT_TRUE(second.receive(carol).empty()) << "carol's broadcast came back";

    // Queries see the visible players only; query players are hidden.
    EXPECT_EQ(second.player_count(), 3);
    std::vector<int> ids;
    for (int i = 0; i < 4; ++i) ids.push_back(host_.player_id(i));
    EXPECT_EQ(ids, (std::vector<int>{101, 103, 105, 0}));
    EXPECT_EQ(std::string(client_.player_name(carol).text()), "carol");
    EXPECT_EQ(std::string(client_.player_name(4321).text()), "NO_DATA");
    EXPECT_EQ(std::string(host_.player_name(alice_).text()), "alice");
}

TEST_F(LobbyTest, SendRefusesWhatTheHostWouldNotTake) {
    EXPECT_FALSE(client_.send(alice_, bob_, "not my player"));
    EXPECT_FALSE(client_.send(bob_, 70000, "no such id"));
    EXPECT_FALSE(client_.send(bob_, alice_, DynString(std::string(1025, 'x').c_str())));
    EXPECT_TRUE(client_.send(bob_, alice_, DynString(std::string(1024, 'x').c_str())));
    EXPECT_EQ(receive_one(host_, alice_).size(), 1024u);
    EXPECT_TRUE(client_.receive(999).empty());
}

TEST_F(LobbyTest, PlayersLeaving) {
    // Ids outside 1..65279 and ids of other processes' players send nothing.
    client_.remove_player(0);
    client_.remove_player(65280);
    client_.remove_player(alice_);
    client_.remove_player(bob_);
    EXPECT_EQ(left_players(host_, 1), std::set<int>{bob_});
    EXPECT_TRUE(client_.is_running());
    EXPECT_EQ(std::string(host_.player_name(bob_).text()), "NO_DATA");

    NetLobby other;
    ASSERT_TRUE(other.join("127.0.0.1", port_));
    int dave = other.add_player("dave");
    other.leave();
    EXPECT_FALSE(other.is_running());
    EXPECT_EQ(left_players(host_, 2), (std::set<int>{dave - 1, dave}));
    EXPECT_EQ(host_.next_left_player(), 0);
    EXPECT_EQ(client_.next_left_player(), 0) << "only the host keeps the list";

    // The host going away ends the joined lobby.
    host_.leave();
    EXPECT_TRUE(wait_until([&] { return !client_.is_running(); }));
    EXPECT_FALSE(client_.send(bob_, alice_, "gone"));
    EXPECT_EQ(client_.add_player("late"), 0);
}

TEST(LobbyStart, JoinFailsWhereNoHostListens) {
    NetLobby lobby;
    EXPECT_FALSE(lobby.join("127.0.0.1", test::free_tcp_port()));
    EXPECT_FALSE(lobby.is_running());
    EXPECT_EQ(lobby.add_player("nobody"), 0);
    EXPECT_EQ(std::string(lobby.player_name(101).text()), "NO_DATA");
    EXPECT_EQ(lobby.player_count(), 0);

    // A second host on a port in use fails; the first goes on.
    int port = test::free_tcp_port();
    NetLobby first, second;
    ASSERT_TRUE(first.host(port));
    EXPECT_FALSE(second.host(port));
    EXPECT_EQ(first.add_player("still here"), 101);
}

TEST(LobbyStart, JoiningThreadsGetDistinctIdsAndTheHostsBroadcast) {
    int port = test::free_tcp_port();
    NetLobby host;
    ASSERT_TRUE(host.host(port));
    int host_player = host.add_player("host");
    ASSERT_EQ(host_player, 101);

    constexpr int k_threads = 4;
    std::atomic<int> joined{0};
    std::atomic<bool> broadcast_sent{false};
    std::vector<int> ids(k_threads);
    std::vector<std::string> heard(k_threads);
    std::vector<std::thread> threads;
    for (int t = 0; t < k_threads; ++t) {
        threads.emplace_back([&, t] {
            NetLobby lobby;
            if (!lobby.join("127.0.0.1", port)) return;
            ids[t] = lobby.add_player(DynString(("player" + std::to_string(t)).c_str()));
            lobby.send(ids[t], host_player, DynString(std::to_string(t).c_str()));
            ++joined;
            wait_until([&] { return broadcast_sent.load(); }, 10000);
            heard[t] = receive_one(lobby, ids[t]);
            lobby.leave();
        });
    }
    ASSERT_TRUE(wait_until([&] { return joined == k_threads; }, 15000));
    std::set<std::string> from_threads;
    for (int i = 0; i < k_threads; ++i) from_threads.insert(receive_one(host, host_player));
    EXPECT_EQ(from_threads, (std::set<std::string>{"0", "1", "2", "3"}));
    EXPECT_EQ(host.player_count(), 1 + k_threads);
    host.send(host_player, 0, "go");
    broadcast_sent = true;
    for (std::thread& t : threads) t.join();
    std::set<int> distinct(ids.begin(), ids.end());
    EXPECT_EQ(distinct.size(), static_cast<std::size_t>(k_threads));
    for (int id : ids) EXPECT_GT(id, 101);
    for (const std::string& h : heard) EXPECT_EQ(h, "go");
}

// Peers that misbehave are disconnected; everyone else carries on.
struct Misbehaviour {
    const char* name;
    bool registers;
    std::function<void(RawClient&, int own, int other)> act;
};

TEST_F(LobbyTest, HostDropsMisbehavingPeersAndCarriesOn) {
    const Misbehaviour cases[] = {
        {"body longer than 1024", true,
         [](RawClient& c, int own, int) { c.send_raw(RawClient::frame(3, 0xFFFF, own, std::string(1025, 'x'))); }},
        {"truncated frame", true,
         [](RawClient& c, int own, int) { c.send_raw(RawClient::frame(3, 0xFFFF, own, "short", 100)); }},
        {"unknown command", true, [](RawClient& c, int own, int) { c.send_raw(RawClient::frame(77, 0, own, "")); }},
        {"command only the host sends", true,
         [](RawClient& c, int own, int) { c.send_raw(RawClient::frame(2, own, own, "")); }},
        {"sender of another connection", true,
         [](RawClient& c, int, int other) { c.send_raw(RawClient::frame(3, 0xFFFF, other, "forged")); }},
        {"request without its index", true,
         [](RawClient& c, int own, int) { c.send_raw(RawClient::frame(102, 0, own, "")); }},
        {"announcement without its fields", false,
         [](RawClient& c, int, int) { c.send_raw(RawClient::frame(1, 0, 0, "abc")); }},
        {"message before any player", false,
         [](RawClient& c, int, int) { c.send_raw(RawClient::frame(3, 0xFFFF, 101, "forged")); }},
        {"silence", false, [](RawClient&, int, int) {}},
        {"a trickle of bytes", false, [](RawClient& c, int, int) { c.send_raw(std::string(3, '\x01')); }},
    };
    int round = 0;
    for (const Misbehaviour& m : cases) {
        SCOPED_TRACE(m.name);
        RawClient raw(port_);
        ASSERT_TRUE(raw.connected());
        int own = 0;
        if (m.registers) {
            own = raw.announce("raw");
            ASSERT_GT(own, 0);
        }
        m.act(raw, own, alice_);
        EXPECT_TRUE(raw.closed_by_host());
        if (m.registers) {
            EXPECT_EQ(left_players(host_, 1), std::set<int>{own});
        }

        std::string text = "after " + std::to_string(round++);
        ASSERT_TRUE(client_.send(bob_, alice_, DynString(text.c_str())));
        EXPECT_EQ(receive_one(host_, alice_), text);
        ASSERT_TRUE(host_.send(alice_, 0, DynString(text.c_str())));
        EXPECT_EQ(receive_one(client_, bob_), text);
    }
    EXPECT_EQ(host_.player_count(), 2);
}

TEST_F(LobbyTest, PeerThatStopsReadingIsDroppedWithoutLosingOthersFrames) {
    RawClient raw(port_);
    int stalled = raw.announce("stalled");
    ASSERT_GT(stalled, 0);

    // Broadcast until the stalled peer's backlog passes the limit; the
    // system's buffers take a few megabytes first.
    const std::string payload(1000, 'm');
    int sent = 0;
    int left = 0;
    while (left == 0 && sent < 40000) {
        for (int i = 0; i < 100; ++i, ++sent) {
            ASSERT_TRUE(client_.send(bob_, 0, DynString((std::to_string(sent) + payload).c_str())));
        }
        left = host_.next_left_player();
    }
    if (left == 0) {
        std::set<int> ids = left_players(host_, 1);
        ASSERT_FALSE(ids.empty()) << "the stalled peer was never dropped";
        left = *ids.begin();
    }
    EXPECT_EQ(left, stalled) << sent;

    // Every frame reached alice, in order.
    for (int i = 0; i < sent; ++i) {
        std::string text = receive_one(host_, alice_);
        ASSERT_EQ(text, std::to_string(i) + payload);
    }
    EXPECT_TRUE(raw.closed_by_host());
}

TEST_F(LobbyTest, PeerResettingItsConnectionDuringSendsIsDropped) {
    RawClient raw(port_);
    int resetting = raw.announce("resetting");
    ASSERT_GT(resetting, 0);
    const std::string payload(1000, 'r');
    for (int i = 0; i < 200; ++i) ASSERT_TRUE(client_.send(bob_, 0, DynString(payload.c_str())));
    ASSERT_TRUE(wait_until([&] { return raw.readable(10); }));
    raw.reset();
    for (int i = 0; i < 200; ++i) ASSERT_TRUE(client_.send(bob_, 0, DynString(payload.c_str())));
    EXPECT_EQ(left_players(host_, 1), std::set<int>{resetting});
    for (int i = 0; i < 400; ++i) ASSERT_EQ(receive_one(host_, alice_), payload) << i;
    EXPECT_TRUE(host_.is_running());
}

TEST(NetworkState, StartUpAndShutDownWireTheRunTimesLobby) {
    EXPECT_FALSE(net_host(test::free_tcp_port()));
    EXPECT_EQ(std::string(net_player_name(101).text()), "NO_DATA");

    network_startup();
    ASSERT_NE(app_state.network, nullptr);
    int port = test::free_tcp_port();
    ASSERT_TRUE(net_host(port));
    EXPECT_TRUE(net_is_running());
    int me = net_add_player("me");
    EXPECT_EQ(me, 101);

    NetLobby peer;
    ASSERT_TRUE(peer.join("127.0.0.1", port));
    int other = peer.add_player("other");
    ASSERT_TRUE(net_send(me, other, "hello"));
    EXPECT_EQ(receive_one(peer, other), "hello");
    ASSERT_TRUE(peer.send(other, me, "back"));
    ASSERT_TRUE(wait_until([&] { return !net_receive(me).empty() || false; }));
    EXPECT_EQ(net_last_sender(), other);
    EXPECT_EQ(net_player_count(), 2);
    EXPECT_EQ(net_player_id(1), other);

    // The program's end stops every lobby of the process, the peer's too,
    // before any socket is closed: none is left running afterwards.
    network_shutdown();
    EXPECT_EQ(app_state.network, nullptr);
    EXPECT_FALSE(net_is_running());
    EXPECT_FALSE(peer.is_running());
    EXPECT_EQ(peer.add_player("after the end"), 0);
}

// Socket calls a game makes on numbers it does not own leave a running
// lobby's sockets alone.
TEST_F(LobbyTest, GameSocketCallsDoNotPullSocketsFromUnderTheLobby) {
    const struct {
        const char* name;
        std::function<void()> act;
    } cases[] = {
        {"sock_close on every number",
         [] {
             for (int n = 0; n < k_socket_count; ++n) sock_close(n);
         }},
        {"more sock_shutdown calls than sock_init calls",
         [] {
             sock_init();
             for (int i = 0; i < 8; ++i) sock_shutdown();
         }},
    };
    int round = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.act();
        std::string text = "still here " + std::to_string(round++);
        ASSERT_TRUE(client_.send(bob_, alice_, DynString(text.c_str())));
        EXPECT_EQ(receive_one(host_, alice_), text);
        ASSERT_TRUE(host_.send(alice_, bob_, DynString(text.c_str())));
        EXPECT_EQ(receive_one(client_, bob_), text);
        EXPECT_TRUE(host_.is_running());
        EXPECT_TRUE(client_.is_running());
    }

    // The end of the program stops both lobbies before it returns; they
    // start again afterwards.
    sock_shutdown_all();
    EXPECT_FALSE(host_.is_running());
    EXPECT_FALSE(client_.is_running());
    ASSERT_TRUE(host_.host(port_));
    ASSERT_TRUE(client_.join("127.0.0.1", port_));
    EXPECT_GT(client_.add_player("again"), 0);
}


// The game thread never waits on the host without a limit.
TEST(LobbyDeadlines, AddPlayerGivesUpWhenTheHostNeverAnswers) {
    FakeHost fake(1);  // the query player of the join is answered, no other
    NetLobby lobby;
    LobbyLimits limits;
    limits.request_ms = 1000;
    lobby.set_limits(limits);
    ASSERT_TRUE(lobby.join("127.0.0.1", fake.port()));

    std::optional<int> id = returns_within(15000, [&] { return lobby.add_player("unanswered"); },
                                           [&] { lobby.leave(); });
    ASSERT_TRUE(id.has_value()) << "add_player still waited long after its time-out";
    EXPECT_EQ(*id, 0);
    EXPECT_TRUE(lobby.is_running());

    // The late answer belongs to the dropped player, not to the next one:
    // the host is told to forget it again, and the next player gets its own.
    fake.answer_all();
    EXPECT_TRUE(wait_until([&] { return fake.removed() == std::vector<int>{102}; }));
    EXPECT_EQ(lobby.add_player("next"), 103);
}

TEST(LobbyDeadlines, SendGivesUpOnAHostThatStopsReading) {
    FakeHost fake(1 << 20);
    NetLobby lobby;
    LobbyLimits limits;
    limits.request_ms = 1000;
    limits.max_queued_bytes = 64 * 1024;
    lobby.set_limits(limits);
    ASSERT_TRUE(lobby.join("127.0.0.1", fake.port()));
    int me = lobby.add_player("me");
    ASSERT_GT(me, 0);
    fake.stop_reading();

    // The system's buffers take a few megabytes before the queue fills.
    const DynString payload(std::string(1000, 's').c_str());
    std::optional<int> sent = returns_within(60000, [&] {
        int n = 0;
        while (n < 200000 && lobby.send(me, 101, payload)) ++n;
        return n;
    }, [&] { lobby.leave(); });
    ASSERT_TRUE(sent.has_value()) << "send still waited long after its time-out";
    EXPECT_LT(*sent, 200000);
    EXPECT_TRUE(lobby.is_running());
}

// Peers that try to use up the lobby. Each stands for another machine by
// connecting from 127.0.0.2, and a well-behaved joiner from this machine
// must still get in. They go through the run-time's lobby and its setters,
// as a game would.
constexpr const char* k_other_machine = "127.0.0.2";

// The run-time's network object for one test, ended on every way out.
struct RunTimeNetwork {
    RunTimeNetwork() { network_startup(); }
    ~RunTimeNetwork() { network_shutdown(); }
    NetLobby& lobby() { return app_state.network->lobby; }
};

// Joins from this machine and registers a player; its id, or 0.
int well_behaved_joiner(NetLobby& joiner, int port) {
    if (!joiner.join("127.0.0.1", port)) return 0;
    return joiner.add_player("welcome");
}

TEST(LobbyAbuse, APeerTakingIdsIsRefusedPastItsLimits) {
    // The second row sets 0, which restores the defaults after the first.
    const struct {
        const char* name;
        int set_per_connection;
        int set_per_address;
        int per_connection;
        int per_address;
    } cases[] = {
        {"limits set small", 5, 23, 5, 23},
        {"defaults", 0, 0, k_lobby_default_players_per_connection, k_lobby_default_ids_per_address},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RunTimeNetwork network;
        net_set_players_per_connection(c.set_per_connection);
        net_set_ids_per_address(c.set_per_address);
        int port = test::free_tcp_port();
        ASSERT_TRUE(net_host(port));
        ASSERT_EQ(net_add_player("host"), 101);

        // Round after round each of the taker's connections announces one
        // player more than a connection may hold, then removes those it
        // got: the extra one is refused, and once the address has had its
        // quota, shared by its connections, every one is.
        constexpr int k_connections = 4;
        std::vector<std::unique_ptr<RawClient>> takers;
        for (int i = 0; i < k_connections; ++i) {
            takers.push_back(std::make_unique<RawClient>(port, k_other_machine));
            ASSERT_TRUE(takers.back()->connected());
        }
        // Until the quota is reached, or a round gives nothing.
        std::set<int> ids;
        for (std::size_t before = 1; ids.size() < static_cast<std::size_t>(c.per_address) && ids.size() != before;) {
            before = ids.size();
            for (auto& taker : takers) {
                for (int i = 0; i <= c.per_connection; ++i) taker->send_announce("taker");
            }
            for (auto& taker : takers) {
                bool refused = false;
                for (int i = 0; i <= c.per_connection; ++i) {
                    int id = taker->answer();
                    ASSERT_GE(id, 0) << "no answer";
                    if (id == 0) {
                        refused = true;
                        continue;
                    }
                    ASSERT_FALSE(refused) << "an id after a refusal";
                    ASSERT_TRUE(ids.insert(id).second) << "id " << id << " given twice";
                    taker->send_raw(RawClient::frame(4, 0, id, ""));
                }
                ASSERT_TRUE(refused) << "more players at once than a connection may hold";
            }
        }
        EXPECT_EQ(ids.size(), static_cast<std::size_t>(c.per_address));
        // Once the last removals are in, the host holds only its own player.
        EXPECT_TRUE(wait_until([&] { return network.lobby().usage().players == 1; }));

        // A flood of further announcements is refused and leaves the host
        // keeping no more than before: its own connection and player, the
        // taker's connections, and the count of one address.
        RawClient& flooder = *takers.front();
        for (int i = 0; i < 1000; ++i) flooder.send_announce("flood");
        int refused = 0;
        for (int i = 0; i < 1000; ++i) refused += flooder.answer() == 0 ? 1 : 0;
        EXPECT_EQ(refused, 1000);
        NetLobby::Usage usage = network.lobby().usage();
        EXPECT_EQ(usage.connections, 1u + k_connections);
        EXPECT_EQ(usage.players, 1u);
        EXPECT_EQ(usage.addresses, 1u);

        // The quota is the address's for the lobby's life: a connection
        // opened after the taker's have gone gets no id either.
        takers.clear();
        RawClient later(port, k_other_machine);
        EXPECT_EQ(later.announce("later"), 0);

        NetLobby joiner;
        int welcome = well_behaved_joiner(joiner, port);
        EXPECT_GT(welcome, 0);
        EXPECT_EQ(std::string(joiner.player_name(welcome).text()), "welcome");
        joiner.leave();
    }
}

TEST(LobbyAbuse, APeerTakingConnectionsIsRefusedAtAccept) {
    // By default the peer tries more than the host's table holds (128,
    // its own connection among them): without a limit per address it would
    // fill every slot.
    const struct {
        const char* name;
        int set;
        int allowed;
        int attempts;
    } cases[] = {
        {"default", 0, k_lobby_default_connections_per_address, 130},
        {"raised", 40, 40, 45},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RunTimeNetwork network;
        net_set_connections_per_address(c.set);
        int port = test::free_tcp_port();
        ASSERT_TRUE(net_host(port));
        ASSERT_EQ(net_add_player("host"), 101);

        // Each connection registers a player, as a joiner's does; one over
        // the limit is closed by the host without an answer.
        std::vector<std::unique_ptr<RawClient>> held;
        int refused = 0;
        for (int i = 0; i < c.attempts; ++i) {
            auto peer = std::make_unique<RawClient>(port, k_other_machine);
            ASSERT_TRUE(peer->connected()) << i;
            int id = peer->announce("holder");
            if (id > 0) {
                held.push_back(std::move(peer));
            } else if (id == -1 && peer->closed_by_host()) {
                ++refused;
            }
        }
        EXPECT_EQ(held.size(), static_cast<std::size_t>(c.allowed));
        EXPECT_EQ(refused, c.attempts - c.allowed);

        // While the peer holds its connections, a joiner from this machine
        // gets in, and the host keeps no more than the limit for the peer.
        NetLobby joiner;
        int welcome = well_behaved_joiner(joiner, port);
        EXPECT_GT(welcome, 0);
        NetLobby::Usage usage = network.lobby().usage();
        EXPECT_EQ(usage.connections, static_cast<std::size_t>(c.allowed) + 2);  // + its own and the joiner's
        EXPECT_EQ(usage.players, static_cast<std::size_t>(c.allowed) + 3);      // + its own and the joiner's two
        EXPECT_TRUE(joiner.send(welcome, 101, "in"));
        EXPECT_EQ(receive_one(network.lobby(), 101), "in");
        joiner.leave();
    }
}

}  // namespace
}  // namespace crv
