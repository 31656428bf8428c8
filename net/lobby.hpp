// The lobby message network: one process hosts a lobby, others join it over
// TCP. Every participant registers named players; the host assigns their ids
// (101, 102, ...) and relays text messages to one player or to all.
//
// Wire frames (little-endian): command (1 byte), body length (2, at most
// 1024), receiver id (2; 0 the host, 0xFFFF everyone), sender id (2), body.
//
// A NetLobby owns a background thread that does all its socket traffic
// while the lobby runs; the game thread only touches the lobby's lists and
// queues under its recursive lock and waits for answers by polling (every
// 20 ms; requests, player registrations and sends held up by a host that
// stops reading give up after the request time-out, 5 seconds unless set).
// A lobby's sockets are held (see the socket layer): only its worker closes
// them, on its way out, and every stop joins the worker; at program end
// sock_shutdown_all stops every lobby of the process first.
//
// The host never waits on a peer: every connection has a bounded outgoing queue, and a connection that
// sends a malformed frame, a command the host does not take, a sender id
// that is not one of its own players, a frame it never finishes, or no
// player at all in time is closed and its players are recorded as left; so
// is one that stops reading while frames pile up for it.
//
// Nor can one peer use up the lobby: ids are never reused, so the host
// bounds the players a connection holds at once and the ids an address
// takes over the lobby's life (an announcement beyond either is answered as
// a refused player, id 0), and the connections an address holds at once (a
// connection beyond that is closed as soon as it is accepted). The limits
// count loopback addresses like any other, each on its own, so that
// 127.0.0.2 stands for another machine; the host's connection to itself is
// exempt.
//
// NetworkState is the run-time's network object: created at start-up,
// stopped and destroyed at program end; the net_* functions (declared in
// corvane/net.hpp) use its lobby.
// Failures give false, 0, an empty text or "NO_DATA"; nothing throws except
// std::bad_alloc.
#pragma once

#include <corvane/net.hpp>

#include <cstddef>
#include <memory>

namespace crv {

// What a peer may cost the host before it is disconnected or refused.
struct LobbyLimits {
    int request_ms = 5000;              // the game thread's waits for the host give up after this
    int handshake_ms = 10000;           // a connection registers a player within this
    int frame_ms = 10000;               // a frame, once begun, arrives whole within this
    std::size_t max_queued_bytes = 1 << 20;  // unsent bytes per connection
    int max_players_per_connection = k_lobby_default_players_per_connection;  // held at once
    int max_ids_per_address = k_lobby_default_ids_per_address;  // taken over the lobby's life
    int max_connections_per_address = k_lobby_default_connections_per_address;  // held at once
    int max_connections = 128;
    std::size_t max_messages_per_player = 4096;  // oldest dropped beyond this
    std::size_t max_left_players = 4096;         // oldest dropped beyond this
};

class NetLobby {
public:
    NetLobby();
    ~NetLobby();
    NetLobby(const NetLobby&) = delete;
    NetLobby& operator=(const NetLobby&) = delete;

    // Takes effect with the next host or join.
    void set_limits(const LobbyLimits& limits);
    // As last set.
    LobbyLimits limits();

    // Both stop a running lobby first. A port below 1 means 27910.
    bool host(int port);
    // True when the host answered the hello.
    bool join(const DynString& host_name, int port);
    // Stops the lobby: returns once its thread has ended and its sockets
    // are closed.
    void leave();
    bool is_running();

    // Registers a local player and waits for its id; 0 when the lobby stops
    // first, the host refuses the player or gives no id within the request
    // time-out (the player is then dropped, and removed from the host
    // should its id come later).
    int add_player(const DynString& name);
    // Removes one of this process's players (ids 1..65279).
    void remove_player(int id);
    // A message from a local player to one player, or to every visible
    // player but the sender when to is 0. False when the lobby does not
    // run, from is not a registered local player, to is out of range, the
    // text is longer than 1024 bytes, or the host has not taken what was
    // sent before within the request time-out.
    bool send(int from, int to, const DynString& text);
    // The oldest message for a local player, or an empty text.
    DynString receive(int id);
    int last_sender();

    int player_count();
    int player_id(int index);
    DynString player_name(int id);
    // Hosting: a player who left since the last call, else 0.
    int next_left_player();

    // What the host keeps for its peers right now: connections (its own
    // included), players, and addresses whose ids it counts. All 0 when not
    // hosting.
    struct Usage {
        std::size_t connections = 0;
        std::size_t players = 0;
        std::size_t addresses = 0;
    };
    Usage usage();

    struct State;

private:
    std::unique_ptr<State> state_;
};

class NetworkState {
public:
    NetLobby lobby;
};

// Start-up: creates app_state.network (the lobby and its lock).
void network_startup();
// Program end: stops the run-time's lobby and every other lobby of the
// process (joining their threads), closes every socket of the layer and
// destroys app_state.network.
void network_shutdown();

}  // namespace crv
