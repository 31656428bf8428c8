#include "net/lobby.hpp"

#include "runtime/app_state.hpp"
#include "net/lobby_frames.hpp"
#include "net/socket.hpp"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <deque>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace crv {

namespace {

using Clock = std::chrono::steady_clock;

enum Command : std::uint8_t {
    k_cmd_announce = 1,
    k_cmd_assigned = 2,
    k_cmd_message = 3,
    k_cmd_remove = 4,
    k_cmd_count = 101,
    k_cmd_player_id = 102,
    k_cmd_player_name = 103,
    k_cmd_hello = 104,
};

constexpr std::size_t k_header_size = 7;
constexpr std::uint16_t k_everyone = 0xFFFF;
constexpr std::uint16_t k_id_unannounced = 0xFFFE;
constexpr std::uint16_t k_id_waiting = 0xFFFC;
constexpr std::uint16_t k_id_refused = 0;
constexpr std::uint16_t k_first_id = 101;
constexpr std::uint16_t k_last_id = 65279;
constexpr std::size_t k_name_size = 128;
constexpr std::size_t k_announce_body = 4 + 4 + k_name_size;
constexpr std::size_t k_max_replies = 16;
constexpr int k_connect_ms = 5000;
constexpr int k_poll_ms = 20;
constexpr int k_idle_ms = 10;
// Bytes read from one connection in one pass, so that a flood on one
// connection cannot starve the others.
constexpr std::size_t k_read_budget = 256 * 1024;

using Frame = LobbyFrame;

struct Message {
    std::string body;
    std::uint16_t sender = 0;
};

struct LocalPlayer {
    std::uint64_t key = 0;  // tells the game thread's waits which entry is theirs
    std::uint16_t id = k_id_unannounced;
    bool hidden = false;
    // Its add_player gave up waiting. The entry stays until the host's
    // answer comes, so that later answers still meet their own players
    // (the host answers announcements in order), and is then removed.
    bool abandoned = false;
    std::string name;
    std::deque<Message> queue;
};

struct RemotePlayer {
    int socket = -1;  // the connection the player lives on
    std::uint16_t id = 0;
    std::uint8_t hidden = 0;
    std::uint8_t flag = 0;
    std::string name;
};

// One TCP connection with its partly received frame and its unsent bytes.
struct Connection {
    int socket = -1;
    std::uint32_t address = 0;  // the peer's
    std::string in;
    std::string out;
    std::size_t out_sent = 0;
    Clock::time_point opened;
    Clock::time_point frame_started;
    bool has_player = false;
    bool exempt = false;  // the host's own connection to itself
    bool closing = false;  // to be closed at the end of the pass
    bool ended = false;    // the peer closed it, or its bytes stopped making frames

    std::size_t backlog() const { return out.size() - out_sent; }
};

void put16(std::string& out, std::uint16_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}

std::uint16_t get16(const char* p) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(p[0]) |
                                      (static_cast<unsigned char>(p[1]) << 8));
}

void append_frame(std::string& out, std::uint8_t command, std::uint16_t receiver, std::uint16_t sender,
                  const char* body, std::size_t length) {
    out += static_cast<char>(command);
    put16(out, static_cast<std::uint16_t>(length));
    put16(out, receiver);
    put16(out, sender);
    out.append(body, length);
}

std::string body16(std::uint16_t v) {
    std::string s;
    put16(s, v);
    return s;
}

DynString bytes_to_text(const std::string& bytes) {
    DynString text;
    text.append_bytes(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    return text;
}

std::string name_from(const char* bytes, std::size_t length) {
    std::size_t n = 0;
    while (n < length && n < k_name_size - 1 && bytes[n] != 0) ++n;
    return std::string(bytes, n);
}

void sleep_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool assigned(std::uint16_t id) { return id >= 1 && id <= k_last_id; }

}  // namespace

struct NetLobby::State {
    // Serialises starting and stopping (and so every use of `thread`),
    // including a stop of every lobby at program end from another thread.
    std::mutex life;
    std::recursive_mutex lock;
    LobbyLimits next_limits;  // as the game set them
    LobbyLimits limits;       // in force since the last host or join

    // Shared with the game thread: every access under the lock.
    std::list<LocalPlayer> local_players;
    std::deque<Frame> replies;
    std::deque<std::uint16_t> left_players;
    std::string game_out;       // frames the game thread queued for the host
    std::size_t host_backlog = 0;  // unsent bytes towards the host
    bool hosting = false;
    bool stop_request = false;
    bool running = false;
    bool holds_layer = false;
    std::uint16_t next_id = k_first_id;
    std::uint16_t query_id = 0;
    std::uint16_t last_sender = 0;
    std::uint64_t next_key = 1;
    int listen_socket = -1;
    int host_socket = -1;
    std::thread thread;

    // The background thread's own while it runs; reset by the game thread
    // only after joining it.
    Connection host_conn;
    std::vector<Connection> clients;  // grows and shrinks under the lock (usage reads its size)
    std::vector<RemotePlayer> remote_players;
    // Ids taken per peer address since hosting began; an entry per address
    // that took one, so at most one per id.
    std::unordered_map<std::uint32_t, int> ids_by_address;

    // --- background thread ---
    void run();
    bool read_frames(Connection& c, std::vector<Frame>& frames, Clock::time_point now, bool& busy);
    void flush(Connection& c, bool& busy);
    void queue_to(Connection& c, std::uint8_t command, std::uint16_t receiver, std::uint16_t sender,
                  const std::string& body);
    Connection* connection_of(int socket);
    bool may_take_id(const Connection& c) const;
    void handle_from_host(const Frame& f);
    void handle_from_client(Connection& c, const Frame& f);
    void close_client(Connection& c);
    void record_left(std::uint16_t id);
    void accept_one(bool& busy);
    void finish();

    // --- game thread (or the program's end) ---
    // Requests the stop, joins the worker and resets the lobby; with
    // `life` held.
    void stop_locked();
    int add_player(const std::string& name, bool hidden);
    std::optional<Frame> request(std::uint8_t command, const std::string& body);
    LocalPlayer* local(std::uint16_t id);
};

// ---------------------------------------------------------------------------
// Background thread

void NetLobby::State::run() {
    for (;;) {
        bool busy = false;
        {
            std::lock_guard<std::recursive_mutex> guard(lock);
            if (stop_request) break;
            for (LocalPlayer& p : local_players) {
                if (p.id != k_id_unannounced) continue;
                // Body: the player's id field and its flag bytes (hidden,
                // spare), then the zero-padded name.
                std::string body(k_announce_body, '\0');
                body[0] = static_cast<char>(p.id & 0xFF);
                body[1] = static_cast<char>(p.id >> 8);
                body[4] = p.hidden ? 1 : 0;
                std::memcpy(body.data() + 8, p.name.data(), p.name.size());
                append_frame(host_conn.out, k_cmd_announce, 0, 0, body.data(), body.size());
                p.id = k_id_waiting;
                busy = true;
            }
            if (!game_out.empty()) {
                host_conn.out += game_out;
                game_out.clear();
                busy = true;
            }
        }

        Clock::time_point now = Clock::now();
        bool host_lost = false;
        std::vector<Frame> from_host;
        flush(host_conn, busy);
        if (host_conn.closing || !read_frames(host_conn, from_host, now, busy)) host_lost = true;

        std::vector<std::pair<int, Frame>> from_clients;
        if (hosting) {
            accept_one(busy);
            for (Connection& c : clients) {
                std::vector<Frame> frames;
                // Frames that arrived before the end still count.
                if (!read_frames(c, frames, now, busy)) c.ended = true;
                for (Frame& f : frames) from_clients.emplace_back(c.socket, std::move(f));
            }
        }

        {
            std::lock_guard<std::recursive_mutex> guard(lock);
            for (const Frame& f : from_host) handle_from_host(f);
            for (const auto& [socket, f] : from_clients) {
                Connection* c = connection_of(socket);
                if (c != nullptr && !c->closing) handle_from_client(*c, f);
            }
            // Judged after this pass's frames: an announcement that has come
            // is not lost because the host was late to read it.
            for (Connection& c : clients) {
                if (!c.exempt && !c.has_player && now - c.opened > std::chrono::milliseconds(limits.handshake_ms))
                    c.closing = true;
            }
        }

        flush(host_conn, busy);
        for (Connection& c : clients) {
            if (!c.closing && !c.ended) flush(c, busy);
        }
        {
            std::lock_guard<std::recursive_mutex> guard(lock);
            for (Connection& c : clients) {
                if (c.closing || c.ended) close_client(c);
            }
            std::erase_if(clients, [](const Connection& c) { return c.socket < 0; });
            host_backlog = host_conn.backlog();
        }
        if (host_lost) break;
        if (!busy) sleep_ms(k_idle_ms);
    }
    finish();
}

void NetLobby::State::finish() {
    std::lock_guard<std::recursive_mutex> guard(lock);
    for (Connection& c : clients) {
        if (c.socket >= 0) sock_close_held(c.socket);
    }
    clients.clear();
    remote_players.clear();
    ids_by_address.clear();
    if (host_socket >= 0) sock_close_held(host_socket);
    if (listen_socket >= 0) sock_close_held(listen_socket);
    host_socket = listen_socket = -1;
    host_conn = Connection{};
    if (holds_layer) sock_shutdown();
    holds_layer = false;
    next_id = k_first_id;
    running = false;
}

bool NetLobby::State::read_frames(Connection& c, std::vector<Frame>& frames, Clock::time_point now, bool& busy) {
    if (c.socket < 0) return false;
    char block[16 * 1024];
    std::size_t budget = k_read_budget;
    bool completed = false;
    bool was_empty = c.in.empty();
    while (budget > 0) {
        int n = sock_receive_bytes(c.socket, block, static_cast<int>(sizeof block));
        if (n == k_sock_no_data) break;
        if (n <= 0) return false;
        busy = true;
        budget -= static_cast<std::size_t>(n) < budget ? static_cast<std::size_t>(n) : budget;
        c.in.append(block, static_cast<std::size_t>(n));
        bool damaged = false;
        std::size_t pos = take_lobby_frames(c.in, frames, damaged);
        if (damaged) return false;
        if (pos > 0) completed = true;
        c.in.erase(0, pos);
    }
    if (c.in.empty()) return true;
    if (was_empty || completed) {
        c.frame_started = now;
    } else if (now - c.frame_started > std::chrono::milliseconds(limits.frame_ms)) {
        return false;
    }
    return true;
}

void NetLobby::State::flush(Connection& c, bool& busy) {
    while (c.socket >= 0 && c.backlog() > 0) {
        std::size_t chunk = c.backlog() < (1u << 20) ? c.backlog() : (1u << 20);
        int n = sock_send_some(c.socket, c.out.data() + c.out_sent, static_cast<int>(chunk));
        if (n == -2) break;
        if (n < 0) {
            c.closing = true;
            break;
        }
        c.out_sent += static_cast<std::size_t>(n);
        busy = true;
    }
    if (c.out_sent == c.out.size()) {
        c.out.clear();
        c.out_sent = 0;
    } else if (c.out_sent > 64 * 1024) {
        c.out.erase(0, c.out_sent);
        c.out_sent = 0;
    }
}

void NetLobby::State::queue_to(Connection& c, std::uint8_t command, std::uint16_t receiver, std::uint16_t sender,
                               const std::string& body) {
    if (c.closing) return;
    std::size_t size = k_header_size + body.size();
    if (c.backlog() + size > limits.max_queued_bytes) {
        bool busy = false;
        flush(c, busy);
        // A peer that does not read its frames must not make the host hold
        // an unbounded amount for it: it is dropped instead.
        if (c.closing || c.backlog() + size > limits.max_queued_bytes) {
            c.closing = true;
            return;
        }
    }
    append_frame(c.out, command, receiver, sender, body.data(), body.size());
}

Connection* NetLobby::State::connection_of(int socket) {
    for (Connection& c : clients) {
        if (c.socket == socket) return &c;
    }
    return nullptr;
}

void NetLobby::State::record_left(std::uint16_t id) {
    left_players.push_back(id);
    while (left_players.size() > limits.max_left_players) left_players.pop_front();
}

void NetLobby::State::close_client(Connection& c) {
    for (const RemotePlayer& p : remote_players) {
        if (p.socket == c.socket) record_left(p.id);
    }
    std::erase_if(remote_players, [&](const RemotePlayer& p) { return p.socket == c.socket; });
    sock_close_held(c.socket);
    c.socket = -1;
}

void NetLobby::State::accept_one(bool& busy) {
    std::int64_t peer_address = 0;
    int s = sock_accept(listen_socket, &peer_address);
    if (s < 0) return;
    busy = true;
    Connection c;
    c.socket = s;
    c.address = static_cast<std::uint32_t>(peer_address);
    c.opened = Clock::now();
    std::int64_t own_address = 0;
    int own_port = -1;
    if (host_socket >= 0 && sock_local_address(host_socket, &own_address, &own_port))
        c.exempt = own_address == peer_address && own_port == sock_port(s);
    int from_address = 0;
    for (const Connection& other : clients) from_address += !other.exempt && other.address == c.address ? 1 : 0;
    // Refused before any byte is read: the peer sees its connection closed
    // and its join fail at once, instead of a slot held until the handshake
    // time-out.
    if (static_cast<int>(clients.size()) >= limits.max_connections ||
        (!c.exempt && from_address >= limits.max_connections_per_address)) {
        sock_close(s);
        return;
    }
    sock_hold(s);
    std::lock_guard<std::recursive_mutex> guard(lock);
    clients.push_back(std::move(c));
}

bool NetLobby::State::may_take_id(const Connection& c) const {
    if (next_id > k_last_id) return false;
    int own = 0;
    for (const RemotePlayer& p : remote_players) own += p.socket == c.socket ? 1 : 0;
    if (own >= limits.max_players_per_connection) return false;
    if (c.exempt) return true;
    auto taken = ids_by_address.find(c.address);
    return taken == ids_by_address.end() || taken->second < limits.max_ids_per_address;
}

void NetLobby::State::handle_from_host(const Frame& f) {
    switch (f.command) {
    case k_cmd_assigned:
        // Announcements are answered in the order they were sent.
        for (auto it = local_players.begin(); it != local_players.end(); ++it) {
            if (it->id != k_id_waiting) continue;
            if (it->abandoned) {
                // Nobody waits for this player any more: the host is told
                // to forget it again.
                if (assigned(f.receiver)) append_frame(host_conn.out, k_cmd_remove, 0, f.receiver, nullptr, 0);
                local_players.erase(it);
            } else {
                it->id = assigned(f.receiver) ? f.receiver : k_id_refused;
            }
            break;
        }
        break;
    case k_cmd_message:
        for (LocalPlayer& p : local_players) {
            if (p.id != f.receiver) continue;
            p.queue.push_back(Message{f.body, f.sender});
            while (p.queue.size() > limits.max_messages_per_player) p.queue.pop_front();
        }
        break;
    case k_cmd_count:
    case k_cmd_player_id:
    case k_cmd_player_name:
    case k_cmd_hello:
        replies.push_back(f);
        while (replies.size() > k_max_replies) replies.pop_front();
        break;
    default:
        break;
    }
}

void NetLobby::State::handle_from_client(Connection& c, const Frame& f) {
    if (f.command == k_cmd_announce) {
        if (f.body.size() < 8) {
            c.closing = true;
            return;
        }
        // Ids are never given twice, so each one a peer takes is gone for
        // the lobby's life: past its limits it is refused instead, in the
        // answer every peer already reads as a refused player.
        if (!may_take_id(c)) {
            queue_to(c, k_cmd_assigned, k_id_refused, 0, std::string());
            return;
        }
        if (!c.exempt) ++ids_by_address[c.address];
        RemotePlayer p;
        p.socket = c.socket;
        p.id = next_id++;
        p.hidden = static_cast<std::uint8_t>(f.body[4]);
        p.flag = static_cast<std::uint8_t>(f.body[5]);
        p.name = name_from(f.body.data() + 8, f.body.size() - 8);
        remote_players.push_back(std::move(p));
        c.has_player = true;
        queue_to(c, k_cmd_assigned, remote_players.back().id, 0, std::string());
        return;
    }

    // Everything else speaks for one of the connection's own players.
    bool own_sender = false;
    for (const RemotePlayer& p : remote_players) {
        if (p.id == f.sender && p.socket == c.socket) own_sender = true;
    }
    if (!own_sender) {
        c.closing = true;
        return;
    }

    switch (f.command) {
    case k_cmd_message:
        if (f.receiver == k_everyone) {
            for (const RemotePlayer& p : remote_players) {
                if (p.hidden != 0 || p.id == f.sender) continue;
                Connection* target = connection_of(p.socket);
                if (target != nullptr) queue_to(*target, k_cmd_message, p.id, f.sender, f.body);
            }
        } else {
            for (const RemotePlayer& p : remote_players) {
                if (p.id != f.receiver) continue;
                Connection* target = connection_of(p.socket);
                if (target != nullptr) queue_to(*target, k_cmd_message, p.id, f.sender, f.body);
                break;
            }
        }
        break;
    case k_cmd_remove:
        std::erase_if(remote_players, [&](const RemotePlayer& p) { return p.id == f.sender; });
        record_left(f.sender);
        break;
    case k_cmd_count: {
        std::uint16_t count = 0;
        for (const RemotePlayer& p : remote_players) count += p.hidden == 0 ? 1 : 0;
        queue_to(c, k_cmd_count, f.sender, 0, body16(count));
        break;
    }
    case k_cmd_player_id: {
        if (f.body.size() < 2) {
            c.closing = true;
            return;
        }
        std::uint16_t index = get16(f.body.data());
        std::uint16_t id = 0;
        for (const RemotePlayer& p : remote_players) {
            if (p.hidden != 0) continue;
            if (index == 0) {
                id = p.id;
                break;
            }
            --index;
        }
        queue_to(c, k_cmd_player_id, f.sender, 0, body16(id));
        break;
    }
    case k_cmd_player_name: {
        if (f.body.size() < 2) {
            c.closing = true;
            return;
        }
        std::uint16_t id = get16(f.body.data());
        std::string name = "NO_DATA";
        for (const RemotePlayer& p : remote_players) {
            if (p.id == id) {
                name = p.name;
                break;
            }
        }
        queue_to(c, k_cmd_player_name, f.sender, 0, name);
        break;
    }
    case k_cmd_hello:
        queue_to(c, k_cmd_hello, f.sender, 0, body16(1));
        break;
    default:
        c.closing = true;
        break;
    }
}

// ---------------------------------------------------------------------------
// Game thread

void NetLobby::State::stop_locked() {
    {
        std::lock_guard<std::recursive_mutex> guard(lock);
        if (running) stop_request = true;
    }
    // The worker closes its sockets on its way out; joining it (rather than
    // watching its running flag) is what makes its last socket call finish
    // before anything else may close or reuse those sockets.
    if (thread.joinable()) thread.join();
    std::lock_guard<std::recursive_mutex> guard(lock);
    // Sockets of a start that never got its thread going.
    if (host_socket >= 0) sock_close_held(host_socket);
    if (listen_socket >= 0) sock_close_held(listen_socket);
    host_socket = listen_socket = -1;
    if (holds_layer) sock_shutdown();
    holds_layer = false;
    local_players.clear();
    replies.clear();
    left_players.clear();
    game_out.clear();
    host_backlog = 0;
    host_conn = Connection{};
    clients.clear();
    remote_players.clear();
    ids_by_address.clear();
    hosting = stop_request = running = false;
    next_id = k_first_id;
    query_id = 0;
    last_sender = 0;
}

LocalPlayer* NetLobby::State::local(std::uint16_t id) {
    for (LocalPlayer& p : local_players) {
        if (p.id == id) return &p;
    }
    return nullptr;
}

int NetLobby::State::add_player(const std::string& name, bool hidden) {
    std::uint64_t key;
    {
        std::lock_guard<std::recursive_mutex> guard(lock);
        if (!running) return 0;
        key = next_key++;
        LocalPlayer p;
        p.key = key;
        p.hidden = hidden;
        p.name = name_from(name.data(), name.size());
        local_players.push_back(std::move(p));
    }
    Clock::time_point give_up;
    {
        std::lock_guard<std::recursive_mutex> guard(lock);
        give_up = Clock::now() + std::chrono::milliseconds(limits.request_ms);
    }
    for (;;) {
        sleep_ms(k_poll_ms);
        std::lock_guard<std::recursive_mutex> guard(lock);
        auto it = local_players.begin();
        while (it != local_players.end() && it->key != key) ++it;
        if (it == local_players.end()) return 0;
        if (assigned(it->id)) return it->id;
        if (it->id == k_id_refused || !running) {
            local_players.erase(it);
            return 0;
        }
        if (Clock::now() >= give_up) {
            // Announced already: its answer may still come and must not be
            // taken for a later player's.
            if (it->id == k_id_waiting) {
                it->abandoned = true;
            } else {
                local_players.erase(it);
            }
            return 0;
        }
    }
}

std::optional<Frame> NetLobby::State::request(std::uint8_t command, const std::string& body) {
    std::uint16_t sender;
    {
        std::lock_guard<std::recursive_mutex> guard(lock);
        sender = query_id;
    }
    if (sender == 0) {
        int id = add_player("query", true);
        if (id == 0) return std::nullopt;
        sender = static_cast<std::uint16_t>(id);
        std::lock_guard<std::recursive_mutex> guard(lock);
        query_id = sender;
    }
    Clock::time_point give_up;
    {
        std::lock_guard<std::recursive_mutex> guard(lock);
        if (!running) return std::nullopt;
        replies.clear();
        append_frame(game_out, command, 0, sender, body.data(), body.size());
        give_up = Clock::now() + std::chrono::milliseconds(limits.request_ms);
    }
    while (Clock::now() < give_up) {
        sleep_ms(k_poll_ms);
        std::lock_guard<std::recursive_mutex> guard(lock);
        // A late answer to an earlier request of another kind is not this one's.
        while (!replies.empty() && replies.front().command != command) replies.pop_front();
        if (!replies.empty()) {
            Frame f = std::move(replies.front());
            replies.pop_front();
            return f;
        }
        if (!running) return std::nullopt;
    }
    return std::nullopt;
}

// ---------------------------------------------------------------------------
// Every lobby of the process, so that the program's end can stop their
// workers before the socket layer closes what is left.

namespace {

struct LobbyRegistry {
    std::mutex lock;
    std::vector<NetLobby::State*> live;
};

LobbyRegistry& registry() {
    static LobbyRegistry instance;
    return instance;
}

void stop_every_lobby() {
    LobbyRegistry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    for (NetLobby::State* s : r.live) {
        std::lock_guard<std::mutex> life(s->life);
        s->stop_locked();
    }
}

}  // namespace

NetLobby::NetLobby() : state_(std::make_unique<State>()) {
    LobbyRegistry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    r.live.push_back(state_.get());
    sock_set_before_shutdown_all(stop_every_lobby);
}

NetLobby::~NetLobby() {
    {
        std::lock_guard<std::mutex> life(state_->life);
        state_->stop_locked();
    }
    // Until here a stop of every lobby may still reach this one; it then
    // finds it stopped.
    LobbyRegistry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    std::erase(r.live, state_.get());
}

void NetLobby::set_limits(const LobbyLimits& limits) {
    std::lock_guard<std::recursive_mutex> guard(state_->lock);
    state_->next_limits = limits;
}

LobbyLimits NetLobby::limits() {
    std::lock_guard<std::recursive_mutex> guard(state_->lock);
    return state_->next_limits;
}

bool NetLobby::host(int port) {
    State& s = *state_;
    std::lock_guard<std::mutex> life(s.life);
    s.stop_locked();
    if (port < 1) port = k_lobby_default_port;
    if (port > 65535 || !sock_init()) return false;
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    s.limits = s.next_limits;
    s.holds_layer = true;
    s.listen_socket = sock_listen(port);
    if (s.listen_socket >= 0) {
        sock_hold(s.listen_socket);
        s.host_socket = sock_connect(DynString(), port, k_connect_ms);
    }
    if (s.host_socket < 0) {
        s.stop_locked();
        return false;
    }
    sock_hold(s.host_socket);
    s.host_conn.socket = s.host_socket;
    s.host_conn.opened = Clock::now();
    s.hosting = true;
    s.running = true;
    s.thread = std::thread([&s] { s.run(); });
    return true;
}

bool NetLobby::join(const DynString& host_name, int port) {
    State& s = *state_;
    {
        std::lock_guard<std::mutex> life(s.life);
        s.stop_locked();
        if (port < 1) port = k_lobby_default_port;
        if (port > 65535 || !sock_init()) return false;
        std::lock_guard<std::recursive_mutex> guard(s.lock);
        s.limits = s.next_limits;
        s.holds_layer = true;
        s.host_socket = sock_connect(host_name, port, k_connect_ms);
        if (s.host_socket < 0) {
            s.stop_locked();
            return false;
        }
        sock_hold(s.host_socket);
        s.host_conn.socket = s.host_socket;
        s.host_conn.opened = Clock::now();
        s.running = true;
        s.thread = std::thread([&s] { s.run(); });
    }
    std::optional<Frame> reply = s.request(k_cmd_hello, std::string());
    if (reply && reply->body.size() >= 2 && get16(reply->body.data()) == 1) return true;
    std::lock_guard<std::mutex> life(s.life);
    s.stop_locked();
    return false;
}

void NetLobby::leave() {
    std::lock_guard<std::mutex> life(state_->life);
    state_->stop_locked();
}

bool NetLobby::is_running() {
    std::lock_guard<std::recursive_mutex> guard(state_->lock);
    return state_->running;
}

int NetLobby::add_player(const DynString& name) {
    return state_->add_player(std::string(name.text(), name.length()), false);
}

void NetLobby::remove_player(int id) {
    if (id < 1 || id > k_last_id) return;
    State& s = *state_;
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    if (!s.running) return;
    auto it = s.local_players.begin();
    while (it != s.local_players.end() && it->id != id) ++it;
    // Only this process's own players can be removed from here: the host
    // would take any other sender id as a forged frame.
    if (it == s.local_players.end()) return;
    std::uint16_t sender = static_cast<std::uint16_t>(id);
    append_frame(s.game_out, k_cmd_remove, 0, sender, nullptr, 0);
    s.local_players.erase(it);
    if (s.query_id == sender) s.query_id = 0;
}

bool NetLobby::send(int from, int to, const DynString& text) {
    if (to == 0) to = k_everyone;
    if (from < 1 || from > k_last_id || to < 1 || to > k_everyone || text.length() > k_lobby_max_body) return false;
    State& s = *state_;
    std::unique_lock<std::recursive_mutex> guard(s.lock);
    Clock::time_point give_up = Clock::now() + std::chrono::milliseconds(s.limits.request_ms);
    for (;;) {
        if (!s.running || s.local(static_cast<std::uint16_t>(from)) == nullptr) return false;
        // The host drains what we send; wait while it is behind rather than
        // queueing without bound, but not for a host that stopped reading.
        if (s.game_out.size() + s.host_backlog <= s.limits.max_queued_bytes) break;
        if (Clock::now() >= give_up) return false;
        guard.unlock();
        sleep_ms(1);
        guard.lock();
    }
    append_frame(s.game_out, k_cmd_message, static_cast<std::uint16_t>(to), static_cast<std::uint16_t>(from),
                 text.text(), text.length());
    return true;
}

DynString NetLobby::receive(int id) {
    if (id < 1 || id > k_last_id) return DynString();
    State& s = *state_;
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    LocalPlayer* p = s.local(static_cast<std::uint16_t>(id));
    if (p == nullptr || p->queue.empty()) return DynString();
    Message m = std::move(p->queue.front());
    p->queue.pop_front();
    s.last_sender = m.sender;
    return bytes_to_text(m.body);
}

int NetLobby::last_sender() {
    std::lock_guard<std::recursive_mutex> guard(state_->lock);
    return state_->last_sender;
}

int NetLobby::player_count() {
    std::optional<Frame> reply = state_->request(k_cmd_count, std::string());
    if (!reply || reply->body.size() < 2) return 0;
    return get16(reply->body.data());
}

int NetLobby::player_id(int index) {
    if (index < 0 || index > 0xFFFF) return 0;
    std::optional<Frame> reply = state_->request(k_cmd_player_id, body16(static_cast<std::uint16_t>(index)));
    if (!reply || reply->body.size() < 2) return 0;
    return get16(reply->body.data());
}

DynString NetLobby::player_name(int id) {
    if (id < 0 || id > 0xFFFF) return DynString("NO_DATA");
    std::optional<Frame> reply = state_->request(k_cmd_player_name, body16(static_cast<std::uint16_t>(id)));
    if (!reply) return DynString("NO_DATA");
    return DynString(name_from(reply->body.data(), reply->body.size()).c_str());
}

int NetLobby::next_left_player() {
    State& s = *state_;
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    if (!s.hosting || s.left_players.empty()) return 0;
    int id = s.left_players.front();
    s.left_players.pop_front();
    return id;
}

NetLobby::Usage NetLobby::usage() {
    State& s = *state_;
    std::lock_guard<std::recursive_mutex> guard(s.lock);
    Usage u;
    if (!s.hosting) return u;
    u.connections = s.clients.size();
    u.players = s.remote_players.size();
    u.addresses = s.ids_by_address.size();
    return u;
}

// ---------------------------------------------------------------------------

void network_startup() {
    if (app_state.network == nullptr) app_state.network = new NetworkState;
}

void network_shutdown() {
    if (app_state.network != nullptr) {
        app_state.network->lobby.leave();
        delete app_state.network;
        app_state.network = nullptr;
    }
    // Stops the process's other lobbies too (through the layer's hook)
    // before their sockets would be closed.
    sock_shutdown_all();
}

bool net_host(int port) { return app_state.network != nullptr && app_state.network->lobby.host(port); }
bool net_join(const DynString& host_name, int port) {
    return app_state.network != nullptr && app_state.network->lobby.join(host_name, port);
}
void net_leave() {
    if (app_state.network != nullptr) app_state.network->lobby.leave();
}
bool net_is_running() { return app_state.network != nullptr && app_state.network->lobby.is_running(); }
int net_add_player(const DynString& name) {
    return app_state.network != nullptr ? app_state.network->lobby.add_player(name) : 0;
}
void net_remove_player(int id) {
    if (app_state.network != nullptr) app_state.network->lobby.remove_player(id);
}
bool net_send(int from, int to, const DynString& text) {
    return app_state.network != nullptr && app_state.network->lobby.send(from, to, text);
}
DynString net_receive(int id) { return app_state.network != nullptr ? app_state.network->lobby.receive(id) : DynString(); }
int net_last_sender() { return app_state.network != nullptr ? app_state.network->lobby.last_sender() : 0; }
int net_player_count() { return app_state.network != nullptr ? app_state.network->lobby.player_count() : 0; }
int net_player_id(int index) { return app_state.network != nullptr ? app_state.network->lobby.player_id(index) : 0; }
DynString net_player_name(int id) {
    return app_state.network != nullptr ? app_state.network->lobby.player_name(id) : DynString("NO_DATA");
}
int net_next_left_player() { return app_state.network != nullptr ? app_state.network->lobby.next_left_player() : 0; }

namespace {

// Changes one limit of the run-time's lobby for its next host.
void set_lobby_limit(int LobbyLimits::*field, int value, int default_value) {
    if (app_state.network == nullptr) return;
    NetLobby& lobby = app_state.network->lobby;
    LobbyLimits limits = lobby.limits();
    limits.*field = value > 0 ? value : default_value;
    lobby.set_limits(limits);
}

}  // namespace

void net_set_players_per_connection(int limit) {
    set_lobby_limit(&LobbyLimits::max_players_per_connection, limit, k_lobby_default_players_per_connection);
}
void net_set_ids_per_address(int quota) {
    set_lobby_limit(&LobbyLimits::max_ids_per_address, quota, k_lobby_default_ids_per_address);
}
void net_set_connections_per_address(int limit) {
    set_lobby_limit(&LobbyLimits::max_connections_per_address, limit, k_lobby_default_connections_per_address);
}

}  // namespace crv
