#include "net/socket.hpp"

#include "platform/net.hpp"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>

namespace crv {

namespace {

using plat::SocketAddress;
using plat::SocketHandle;

enum class EntryState : std::uint8_t { free, reserved, open };

struct SocketEntry {
    SocketHandle socket = plat::k_invalid_socket;
    SocketAddress address;
    bool is_udp = false;
    // Used by a thread of the run-time (the lobby's): only its owner
    // closes it, and only once that thread no longer uses it.
    bool held = false;
    EntryState state = EntryState::free;
};

// The table and the reference count. The lock is held only for table
// bookkeeping, never around a call that can wait.
struct SocketLayer {
    std::mutex lock;
    SocketEntry entries[k_socket_count];
    int references = 0;
    void (*before_shutdown_all)() = nullptr;
};

SocketLayer& layer() {
    static SocketLayer instance;
    return instance;
}

constexpr int k_max_single_receive = 1 << 20;
constexpr int k_connect_default_ms = 30000;
// How long one wait of a send or full-length receive lasts before it looks
// again; the waits repeat until the data has moved.
constexpr int k_poll_step_ms = 100;

std::atomic<int> g_progress_timeout_ms{k_sock_default_progress_ms};

using Clock = std::chrono::steady_clock;

// The no-progress deadline of the whole-data loops: restarted by every
// byte that moves.
class ProgressDeadline {
public:
    ProgressDeadline() : limit_(g_progress_timeout_ms.load()) { moved(); }
    void moved() { last_ = Clock::now(); }
    // What is left of the deadline in ms, at most one poll step; 0 once it
    // has passed.
    int next_wait_ms() const {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        last_ + std::chrono::milliseconds(limit_) - Clock::now())
                        .count();
        if (left <= 0) return 0;
        return left < k_poll_step_ms ? static_cast<int>(left) : k_poll_step_ms;
    }

private:
    int limit_;
    Clock::time_point last_;
};

void fail(int code) { plat::set_net_error(code); }

bool layer_started() {
    SocketLayer& l = layer();
    std::lock_guard<std::mutex> guard(l.lock);
    if (l.references > 0) return true;
    fail(plat::k_err_not_initialised);
    return false;
}

// Claims the free entry with the lowest number; -1 (error 8) when none is.
int reserve_entry() {
    SocketLayer& l = layer();
    std::lock_guard<std::mutex> guard(l.lock);
    for (int i = 0; i < k_socket_count; ++i) {
        if (l.entries[i].state == EntryState::free) {
            l.entries[i] = SocketEntry{};
            l.entries[i].state = EntryState::reserved;
            return i;
        }
    }
    fail(k_sock_error_table_full);
    return -1;
}

void release_entry(int number) {
    SocketLayer& l = layer();
    std::lock_guard<std::mutex> guard(l.lock);
    l.entries[number] = SocketEntry{};
}

void open_entry(int number, SocketHandle socket, SocketAddress address, bool is_udp) {
    SocketLayer& l = layer();
    std::lock_guard<std::mutex> guard(l.lock);
    SocketEntry& e = l.entries[number];
    e.socket = socket;
    e.address = address;
    e.is_udp = is_udp;
    e.state = EntryState::open;
}

// A copy of an open entry; false (error 10038) for any other number.
bool lookup(int number, SocketEntry* out) {
    if (number >= 0 && number < k_socket_count) {
        SocketLayer& l = layer();
        std::lock_guard<std::mutex> guard(l.lock);
        if (l.entries[number].state == EntryState::open) {
            *out = l.entries[number];
            return true;
        }
    }
    fail(plat::k_err_not_socket);
    return false;
}

void record_address(int number, SocketAddress address) {
    SocketLayer& l = layer();
    std::lock_guard<std::mutex> guard(l.lock);
    if (l.entries[number].state == EntryState::open) l.entries[number].address = address;
}

void close_handle(SocketHandle socket, bool is_udp, bool* ok) {
    if (!is_udp) {
        plat::socket_set_linger_off(socket);
        // A listening or never connected socket has nothing to shut down.
        int saved = plat::net_error();
        if (!plat::socket_shutdown(socket)) plat::set_net_error(saved);
    }
    bool closed = plat::socket_close(socket);
    if (ok != nullptr) *ok = closed;
}

// Held entries stay: their owner closes them once its thread is done.
void close_all_locked(SocketLayer& l) {
    for (SocketEntry& e : l.entries) {
        if (e.held) continue;
        if (e.state == EntryState::open) close_handle(e.socket, e.is_udp, nullptr);
        e = SocketEntry{};
    }
}

bool valid_port(int port) {
    if (port >= 0 && port <= 65535) return true;
    fail(plat::k_err_invalid_argument);
    return false;
}

std::uint32_t address_bits(std::int64_t address) {
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(address) & 0xFFFFFFFFu);
}

DynString bytes_to_text(const char* bytes, int count) {
    DynString text;
    if (count > 0) text.append_bytes(bytes, static_cast<std::uint32_t>(count));
    return text;
}

bool is_would_block(int code) {
    return code == plat::k_err_would_block;
}

// Waits a while for the socket to become ready; false on a wait error or
// when the deadline has passed without progress (error 10060).
bool wait_for_progress(SocketHandle socket, bool for_write, const ProgressDeadline& deadline) {
    int wait_ms = deadline.next_wait_ms();
    if (wait_ms == 0) {
        fail(k_sock_error_stalled);
        return false;
    }
    return plat::socket_wait(socket, for_write, wait_ms) >= 0;
}

int send_whole(const SocketEntry& e, const char* bytes, std::size_t count, const SocketAddress* to) {
    std::size_t done = 0;
    ProgressDeadline deadline;
    while (done < count) {
        long n = to != nullptr ? plat::socket_send_to(e.socket, bytes + done, count - done, *to)
                               : plat::socket_send(e.socket, bytes + done, count - done);
        if (n >= 0) {
            done += static_cast<std::size_t>(n);
            if (n > 0) deadline.moved();
            continue;
        }
        if (!is_would_block(plat::net_error()) || !wait_for_progress(e.socket, true, deadline)) return -1;
    }
    return static_cast<int>(done);
}

}  // namespace

bool sock_init() {
    SocketLayer& l = layer();
    std::lock_guard<std::mutex> guard(l.lock);
    if (l.references == 0) {
        if (!plat::net_start()) return false;
        for (SocketEntry& e : l.entries) {
            if (!e.held) e = SocketEntry{};
        }
    }
    ++l.references;
    return true;
}

void sock_shutdown() {
    SocketLayer& l = layer();
    std::lock_guard<std::mutex> guard(l.lock);
    if (l.references == 0) return;
    if (l.references == 1) {
        close_all_locked(l);
        plat::net_stop();
    }
    --l.references;
}

void sock_shutdown_all() {
    SocketLayer& l = layer();
    void (*before)() = nullptr;
    {
        std::lock_guard<std::mutex> guard(l.lock);
        before = l.before_shutdown_all;
    }
    // The threads that use held sockets end (and close them) first.
    if (before != nullptr) before();
    std::lock_guard<std::mutex> guard(l.lock);
    if (l.references == 0) return;
    close_all_locked(l);
    l.references = 0;
    plat::net_stop();
}

DynString sock_my_addresses() {
    constexpr std::size_t k_limit = 2047;
    const std::string loopback = "127.0.0.1";
    std::string text;
    for (std::uint32_t a : plat::host_ipv4_addresses()) {
        DynString dotted = sock_address_text(a);
        if (loopback == dotted.text()) continue;
        if (text.size() + dotted.length() + 1 + loopback.size() > k_limit) break;
        text += dotted.text();
        text += '|';
    }
    text += loopback;
    return DynString(text.c_str());
}

int sock_listen(int port) {
    if (!layer_started() || !valid_port(port)) return -1;
    int number = reserve_entry();
    if (number < 0) return -1;
    SocketHandle s = plat::socket_open(false);
    SocketAddress bound{0, static_cast<std::uint16_t>(port)};
    if (s != plat::k_invalid_socket && plat::socket_set_reuse_address(s) && plat::socket_bind(s, bound) &&
        plat::socket_listen(s, 10) && plat::socket_set_blocking(s, false)) {
        plat::socket_local_address(s, &bound);
        open_entry(number, s, bound, false);
        return number;
    }
    if (s != plat::k_invalid_socket) {
        int saved = plat::net_error();
        plat::socket_close(s);
        plat::set_net_error(saved);
    }
    release_entry(number);
    return -1;
}

int sock_accept(int listener, std::int64_t* address) {
    SocketEntry e;
    if (!lookup(listener, &e)) return -1;
    if (e.is_udp) {
        fail(0);
        return -1;
    }
    SocketAddress peer;
    SocketHandle s = plat::socket_accept(e.socket, &peer);
    if (s == plat::k_invalid_socket) return -1;
    int number = reserve_entry();
    if (number < 0) {
        plat::socket_close(s);
        fail(k_sock_error_table_full);
        return -1;
    }
    plat::socket_set_blocking(s, false);
    open_entry(number, s, peer, false);
    if (address != nullptr) *address = peer.address;
    return number;
}

int sock_connect(const DynString& host, int port, int timeout_ms) {
    if (!layer_started() || !valid_port(port)) return -1;
    std::int64_t resolved = sock_resolve(host);
    if (resolved < 0) return -1;
    SocketAddress peer{address_bits(resolved), static_cast<std::uint16_t>(port)};
    if (peer.address == 0 && peer.port == 0) {
        fail(plat::k_err_invalid_argument);
        return -1;
    }
    if (timeout_ms <= 0 || timeout_ms > k_connect_default_ms) timeout_ms = k_connect_default_ms;

    int number = reserve_entry();
    if (number < 0) return -1;
    SocketHandle s = plat::socket_open(false);
    if (s == plat::k_invalid_socket) {
        release_entry(number);
        return -1;
    }
    auto give_up = [&](int code) {
        plat::socket_close(s);
        release_entry(number);
        fail(code);
        return -1;
    };
    if (!plat::socket_set_blocking(s, false)) return give_up(plat::net_error());
    if (!plat::socket_connect(s, peer)) {
        int code = plat::net_error();
        if (code != plat::k_err_would_block && code != plat::k_err_in_progress) return give_up(code);
        int ready = plat::socket_wait(s, true, timeout_ms);
        if (ready == 0) return give_up(k_sock_error_timed_out);
        if (ready < 0) return give_up(plat::net_error());
        int pending = plat::socket_pending_error(s);
        if (pending != 0) return give_up(pending);
    }
    open_entry(number, s, peer, false);
    return number;
}

int sock_udp_open(int port) {
    if (!layer_started() || !valid_port(port)) return -1;
    int number = reserve_entry();
    if (number < 0) return -1;
    SocketHandle s = plat::socket_open(true);
    SocketAddress bound{0, static_cast<std::uint16_t>(port)};
    if (s != plat::k_invalid_socket && plat::socket_set_reuse_address(s) &&
        (port == 0 || plat::socket_bind(s, bound)) && plat::socket_set_broadcast(s) &&
        plat::socket_set_blocking(s, false)) {
        if (port != 0) plat::socket_local_address(s, &bound);
        open_entry(number, s, bound, true);
        return number;
    }
    if (s != plat::k_invalid_socket) {
        int saved = plat::net_error();
        plat::socket_close(s);
        plat::set_net_error(saved);
    }
    release_entry(number);
    return -1;
}

int sock_send(int socket, const DynString& text) {
    SocketEntry e;
    if (!lookup(socket, &e)) return -1;
    if (e.is_udp) {
        // A UDP socket answers whoever it last heard from (or where it is
        // bound when it has heard nobody).
        if (e.address.address == 0 && e.address.port == 0) {
            fail(plat::k_err_invalid_argument);
            return -1;
        }
        return send_whole(e, text.text(), text.length(), &e.address);
    }
    return send_whole(e, text.text(), text.length(), nullptr);
}

int sock_send_to(int socket, const DynString& text, std::int64_t address, int port) {
    SocketEntry e;
    if (!lookup(socket, &e) || !valid_port(port)) return -1;
    if (!e.is_udp) return send_whole(e, text.text(), text.length(), nullptr);
    SocketAddress to{address_bits(address), static_cast<std::uint16_t>(port)};
    if (to.address == 0 && to.port == 0) {
        fail(plat::k_err_invalid_argument);
        return -1;
    }
    return send_whole(e, text.text(), text.length(), &to);
}

int sock_receive_bytes(int socket, void* bytes, int max_length) {
    SocketEntry e;
    if (!lookup(socket, &e)) return k_sock_error;
    if (max_length < 1) {
        fail(plat::k_err_invalid_argument);
        return k_sock_error;
    }
    long n;
    if (e.is_udp) {
        record_address(socket, SocketAddress{});
        SocketAddress from;
        n = plat::socket_receive_from(e.socket, bytes, static_cast<std::size_t>(max_length), &from);
        if (n >= 0) record_address(socket, from);
    } else {
        n = plat::socket_receive(e.socket, bytes, static_cast<std::size_t>(max_length));
    }
    if (n > 0) return static_cast<int>(n);
    if (n == 0) return k_sock_closed;
    int code = plat::net_error();
    if (code == plat::k_err_connection_reset) return k_sock_closed;
    if (is_would_block(code)) return k_sock_no_data;
    return k_sock_error;
}

int sock_receive(int socket, DynString& text, int max_length) {
    text = "";
    if (max_length > k_max_single_receive) max_length = k_max_single_receive;
    std::string buffer(static_cast<std::size_t>(max_length > 0 ? max_length : 1), '\0');
    int n = sock_receive_bytes(socket, buffer.data(), max_length);
    if (n > 0) text = bytes_to_text(buffer.data(), n);
    return n;
}

int sock_receive_full(int socket, void* bytes, int count) {
    SocketEntry e;
    if (!lookup(socket, &e)) return k_sock_error;
    char* out = static_cast<char*>(bytes);
    int done = 0;
    ProgressDeadline deadline;
    while (done < count) {
        int n = sock_receive_bytes(socket, out + done, count - done);
        if (n > 0) {
            done += n;
            deadline.moved();
        } else if (n == k_sock_no_data) {
            if (done == 0) return k_sock_no_data;
            if (!wait_for_progress(e.socket, false, deadline)) return k_sock_error;
        } else {
            return n;
        }
    }
    return done;
}

int sock_send_some(int socket, const void* bytes, int count) {
    SocketEntry e;
    if (!lookup(socket, &e)) return -1;
    if (count <= 0) return 0;
    long n = plat::socket_send(e.socket, bytes, static_cast<std::size_t>(count));
    if (n >= 0) return static_cast<int>(n);
    return is_would_block(plat::net_error()) ? -2 : -1;
}

int sock_wait_readable(int socket, int timeout_ms) {
    SocketEntry e;
    if (!lookup(socket, &e)) return -1;
    return plat::socket_wait(e.socket, false, timeout_ms);
}

bool sock_set_blocking(int socket, bool blocking) {
    SocketEntry e;
    if (!lookup(socket, &e)) return false;
    return plat::socket_set_blocking(e.socket, blocking);
}

namespace {

// Takes the entry out of the table and closes its handle. A held socket is
// not the game's to close (its owner's thread may be using it), so only its
// owner passes `owner`.
bool close_entry(int socket, bool owner) {
    SocketEntry e;
    {
        if (socket < 0 || socket >= k_socket_count) {
            fail(plat::k_err_not_socket);
            return false;
        }
        SocketLayer& l = layer();
        std::lock_guard<std::mutex> guard(l.lock);
        if (l.entries[socket].state != EntryState::open || (l.entries[socket].held && !owner)) {
            fail(plat::k_err_not_socket);
            return false;
        }
        e = l.entries[socket];
        l.entries[socket] = SocketEntry{};
    }
    bool ok = false;
    close_handle(e.socket, e.is_udp, &ok);
    return ok;
}

}  // namespace

bool sock_close(int socket) { return close_entry(socket, false); }

bool sock_hold(int socket) {
    if (socket >= 0 && socket < k_socket_count) {
        SocketLayer& l = layer();
        std::lock_guard<std::mutex> guard(l.lock);
        if (l.entries[socket].state == EntryState::open) {
            l.entries[socket].held = true;
            return true;
        }
    }
    fail(plat::k_err_not_socket);
    return false;
}

bool sock_close_held(int socket) { return close_entry(socket, true); }

void sock_set_before_shutdown_all(void (*hook)()) {
    SocketLayer& l = layer();
    std::lock_guard<std::mutex> guard(l.lock);
    l.before_shutdown_all = hook;
}

void sock_set_progress_timeout(int timeout_ms) {
    g_progress_timeout_ms = timeout_ms > 0 ? timeout_ms : k_sock_default_progress_ms;
}

int sock_progress_timeout() { return g_progress_timeout_ms.load(); }

std::int64_t sock_resolve(const DynString& name) {
    if (!layer_started()) return -1;
    std::uint32_t address = 0;
    if (name.empty()) {
        for (std::uint32_t a : plat::host_ipv4_addresses()) {
            if ((a >> 24) != 127) return a;
        }
        if (plat::resolve_ipv4("127.0.0.1", &address) || plat::resolve_ipv4("localhost.local", &address))
            return address;
        return -1;
    }
    if (!plat::resolve_ipv4(name.text(), &address)) return -1;
    return address;
}

DynString sock_address_text(std::int64_t address) {
    std::uint32_t a = address_bits(address);
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", static_cast<int>(a >> 24), static_cast<int>((a >> 16) & 255),
                  static_cast<int>((a >> 8) & 255), static_cast<int>(a & 255));
    return DynString(text);
}

int sock_last_error() { return plat::net_error(); }

DynString sock_error_text() {
    int code = plat::net_error();
    std::string message = plat::net_error_message(code);
    if (message.empty()) return DynString();
    std::string text = std::to_string(code) + " " + message;
    return DynString(text.c_str());
}

std::int64_t sock_address(int socket) {
    SocketEntry e;
    if (!lookup(socket, &e)) return -1;
    return e.address.address;
}

bool sock_local_address(int socket, std::int64_t* address, int* port) {
    SocketEntry e;
    SocketAddress local;
    if (!lookup(socket, &e) || !plat::socket_local_address(e.socket, &local)) return false;
    if (address != nullptr) *address = local.address;
    if (port != nullptr) *port = local.port;
    return true;
}

int sock_port(int socket) {
    SocketEntry e;
    if (!lookup(socket, &e)) return -1;
    return e.address.port;
}

}  // namespace crv
