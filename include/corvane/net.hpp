/// @defgroup net Networking
/// Networking for games: a table of 1024 numbered TCP and UDP sockets,
/// HTTP downloads, and the lobby message network (one process hosts a
/// lobby, others join it; each registers named players and sends them
/// texts).
///
/// **Lifetime:** crv::sock_init counts a reference and the last
/// crv::sock_shutdown closes every socket; program end closes everything,
/// the lobby included.
///
/// **Threads:** the socket functions may be called from any thread (a
/// socket number by one thread at a time); HTTP and the lobby from the game
/// thread.
///
/// **Failures** give -1, false, 0, an empty text or "NO_DATA"; the socket
/// layer keeps its own last error per thread, in WinSock numbering on every
/// platform (crv::sock_last_error, crv::sock_error_text): among others 8
/// table full, 10036 connect timed out, 10038 a socket number that is not
/// open, 10060 no progress in time (also the HTTP time-outs), 10061
/// refused, 10093 sock_init not called. Nothing
/// blocks for ever: sends and full receives give up after their time-outs,
/// downloads also when they get too slow or too large (see HTTP/1.0
/// downloads below). IPv4 addresses are host-byte-order integers.
///
/// **Examples:** @ref example_download (an HTTP GET sent through a socket
/// while the frame loop keeps drawing), @ref example_chat (a lobby with
/// players and messages).

/// @file
/// Sockets, HTTP downloads and the lobby network: see @ref net.
#pragma once

#include <corvane/dyn_string.hpp>

#include <cstdint>

namespace crv {

/// @addtogroup net
/// @{

/// @name Sockets
/// @{

/// Socket numbers run from 0 to k_socket_count - 1.
inline constexpr int k_socket_count = 1024;
/// Error code: every socket number is in use.
inline constexpr int k_sock_error_table_full = 8;
/// Error code: sock_connect gave up after its time-out.
inline constexpr int k_sock_error_timed_out = 10036;
/// Error code: a send, a full receive or a download made no progress in
/// time (the system's "timed out" code).
inline constexpr int k_sock_error_stalled = 10060;
/// The default no-progress deadline in ms (sock_set_progress_timeout).
inline constexpr int k_sock_default_progress_ms = 30000;
/// sock_receive: the peer closed or reset the connection.
inline constexpr int k_sock_closed = 0;
/// sock_receive: an error other than a closed connection.
inline constexpr int k_sock_error = -1;
/// sock_receive: nothing has arrived yet (non-blocking socket).
inline constexpr int k_sock_no_data = -2;

/// Takes a reference on the socket layer (starting it the first time).
bool sock_init();
/// Drops a reference; the last one closes every socket.
void sock_shutdown();
/// Sets the no-progress deadline of sock_send, sock_send_to and full-length
/// receives: when no byte has moved for this long the call fails with
/// error 10060. Process-wide; 0 or less restores the default of 30 s.
void sock_set_progress_timeout(int timeout_ms);
/// The current no-progress deadline in ms.
int sock_progress_timeout();
/// The host's IPv4 addresses as dotted texts separated by "|", "127.0.0.1"
/// last; at most 2047 characters.
DynString sock_my_addresses();
/// A TCP socket listening on port (all interfaces), or -1.
int sock_listen(int port);
/// A waiting connection of the listener as a new socket, or -1 (also when
/// none waits). The peer's address goes to *address when it is given.
int sock_accept(int listener, std::int64_t* address);
/// A TCP connection to host (name or dotted address), or -1. Time-out in
/// ms; 0, negative values and values above 30000 mean 30000.
int sock_connect(const DynString& host, int port, int timeout_ms);
/// A UDP socket bound to port (0: any), or -1.
int sock_udp_open(int port);
/// Sends the whole text: its length, or -1. Waits while the system's buffer
/// is full, but fails (10060) when the peer takes no byte within the
/// progress time-out.
int sock_send(int socket, const DynString& text);
/// Sends the whole text as one UDP datagram to address and port: its
/// length, or -1.
int sock_send_to(int socket, const DynString& text, std::int64_t address, int port);
/// One receive of up to max_length bytes into text (held exactly). Returns
/// the byte count, 0 when the peer closed or reset the connection, -1 on
/// other errors, -2 when no data has arrived yet; the text is empty for
/// results below 1. A UDP socket records the sender's address and port.
int sock_receive(int socket, DynString& text, int max_length);
/// Switches the socket between blocking and non-blocking (the default)
/// receives.
bool sock_set_blocking(int socket, bool blocking);
/// Closes the socket and frees its number.
bool sock_close(int socket);
/// The first address of a name, or -1. An empty name is this host's first
/// non-loopback address (else 127.0.0.1).
std::int64_t sock_resolve(const DynString& name);
/// The dotted text of an address.
DynString sock_address_text(std::int64_t address);
/// "%d %s" of the last error code and the system's text; empty when the
/// system has no text for the code.
DynString sock_error_text();
/// The calling thread's last socket error code (0: none).
int sock_last_error();
/// The address a socket records (peer after connect or accept, sender after
/// a UDP receive, else where it is bound); -1 for a number that is not open.
std::int64_t sock_address(int socket);
/// The port that goes with sock_address; -1 for a number that is not open.
int sock_port(int socket);
/// Where the system bound a socket locally.
bool sock_local_address(int socket, std::int64_t* address, int* port);
/// @}

/// @name HTTP/1.0 downloads
/// A plain GET; the body is everything after the response header until the
/// server closes the connection. No status codes, redirects, chunked bodies
/// or proxies: an error page is a body like any other, and a chunked body
/// is kept with its framing.
///
/// Every download ends, with default settings too. It fails with 10060
/// (k_sock_error_stalled) when no byte arrives for the idle time-out (30 s),
/// when the response header is not complete within the window after the
/// request, when fewer than 1 KiB arrive in any window once the transfer
/// has run for one, or when the whole call exceeds the total time-out
/// (none by default). The window is 30 s, or the idle time-out when that
/// is longer. It fails with 10040 (k_http_error_too_large) when the header
/// is longer than 64 KiB or the body than the maximum body size (1 GiB),
/// when the body is longer than its "Content-Length", and when that field
/// is not a number or appears twice with different values. It fails with
/// 10054 (k_http_error_cut_short) when the connection closes, or is reset,
/// before the header has ended or the announced "Content-Length" has
/// arrived. Without "Content-Length" (or with "Transfer-Encoding") the body
/// is whatever arrives until the server closes. So a server that keeps
/// sending at least the minimum rate holds the call until the maximum body
/// size is reached: a game that needs a shorter bound sets a total
/// time-out.
/// @{

/// The default idle time-out of a download in ms (http_set_idle_timeout).
inline constexpr int k_http_default_idle_ms = 30000;
/// The shortest window of the low-speed rule and of the header's time
/// limit, in ms (the idle time-out is the window when it is longer).
inline constexpr int k_http_low_speed_window_ms = 30000;
/// The bytes a download must receive in every window.
inline constexpr int k_http_low_speed_bytes = 1024;
/// The longest response header in bytes, its final empty line included.
inline constexpr int k_http_max_header_bytes = 64 * 1024;
/// The default maximum body size in bytes (http_set_max_body_size): above
/// a game's largest single downloads (a level pack, an update), and a
/// bound on the disk that a server sending without end can fill.
inline constexpr std::int64_t k_http_default_max_body_size = std::int64_t{1} << 30;
/// Error code: the response's header or body is over its limit, or its
/// "Content-Length" is unusable (the system's "message too long" code).
inline constexpr int k_http_error_too_large = 10040;
/// Error code: the connection ended before the header or the announced
/// body was complete (the system's "connection reset" code).
inline constexpr int k_http_error_cut_short = 10054;

/// Sets the idle time-out: no byte for this long ends a download; 0 or
/// less restores 30 s. A time-out above 30 s also widens the window of the
/// low-speed rule and the header's time limit.
void http_set_idle_timeout(int timeout_ms);
/// Sets the limit for a whole download call, connecting included; 0 or
/// less means none (the default).
void http_set_total_timeout(int timeout_ms);
/// Sets the maximum body size in bytes; 0 or less restores 1 GiB. A larger
/// body, or a "Content-Length" above it, fails the download (10040).
void http_set_max_body_size(std::int64_t bytes);
/// Saves the body to file_name, replacing an existing file only once the
/// transfer has succeeded: a failed download leaves no partial file and any
/// older file of that name untouched. The body goes to a temporary file
/// beside the target first (its name followed by ".part" and a number);
/// those that a killed process left behind are removed by the next
/// download of the same name. An empty host means this machine; timeout_ms
/// is the connect time-out as sock_connect takes it.
bool http_get_file(const DynString& host, const DynString& path, int port, const DynString& file_name,
                   int timeout_ms);
/// The body as text: at most max_length bytes, cut at the first zero byte;
/// empty when the download failed. The whole body is still received, under
/// the same limits as http_get_file.
DynString http_get_text(const DynString& host, const DynString& path, int port, int max_length, int timeout_ms);
/// @}

/// @name The lobby message network
/// The host assigns player ids (101, 102, ...) and relays each message to one
/// player or to all. The lobby's traffic runs on a background thread; the
/// calls that wait for the host (join, add_player, send) give up after 5 s.
///
/// Ids are never reused within a hosted lobby. So that no peer can use them
/// all up, or hold every connection, the host bounds what one peer may take:
/// - players one connection holds at once (default 64,
///   crv::net_set_players_per_connection);
/// - ids one address takes over the lobby's life, removed players included
///   (default 4096, crv::net_set_ids_per_address);
/// - connections one address holds at once (default 16,
///   crv::net_set_connections_per_address; at most 128 in all).
///
/// An announcement over either of the first two is answered as a refused
/// player (id 0): crv::net_add_player then returns 0, and crv::net_join
/// false when its own first registration is refused. A connection over the
/// third is closed as soon as the host accepts it: crv::net_join there
/// returns false at once. Every address counts on its own, loopback ones
/// included (127.0.0.1 and 127.0.0.2 are two addresses); the host's own
/// players count only against the limit per connection. The defaults leave
/// room for every real game, for several instances on one machine and for
/// a small LAN behind one address; the setters change the host's next
/// net_host.
/// @{

/// The port net_host uses for a port below 1.
inline constexpr int k_lobby_default_port = 27910;
/// The longest message text in bytes.
inline constexpr int k_lobby_max_body = 1024;
/// The default limit of net_set_players_per_connection.
inline constexpr int k_lobby_default_players_per_connection = 64;
/// The default quota of net_set_ids_per_address.
inline constexpr int k_lobby_default_ids_per_address = 4096;
/// The default limit of net_set_connections_per_address.
inline constexpr int k_lobby_default_connections_per_address = 16;

/// Hosts a lobby on port (below 1: 27910), leaving any lobby first.
bool net_host(int port);
/// Joins the lobby at host_name and port; true when the host answered.
bool net_join(const DynString& host_name, int port);
/// Leaves (or stops hosting) the lobby; returns once its thread has ended.
void net_leave();
/// True while hosting or joined.
bool net_is_running();
/// Registers a player of this process and returns the id the host gave it,
/// or 0 when the lobby stops, the host refuses or does not answer in time.
int net_add_player(const DynString& name);
/// Removes one of this process's players.
void net_remove_player(int id);
/// A message from a local player to one player, or to every player but the
/// sender when to is 0. False when the lobby does not run, from is not a
/// local player, to is out of range or the text is longer than 1024 bytes.
bool net_send(int from, int to, const DynString& text);
/// The oldest message for a local player, or "".
DynString net_receive(int id);
/// The sender of the message net_receive returned last.
int net_last_sender();
/// The number of players the lobby knows.
int net_player_count();
/// The id of the player at index (0..net_player_count() - 1), or 0.
int net_player_id(int index);
/// The name of a player, or "NO_DATA".
DynString net_player_name(int id);
/// Hosting: a player who left since the last call, else 0.
int net_next_left_player();
/// Sets how many players one connection may hold at once; a further
/// announcement is refused until one of them is removed. 0 or less
/// restores the default (64). Takes effect with the next net_host.
void net_set_players_per_connection(int limit);
/// Sets how many ids one address may take over a hosted lobby's life (the
/// ids of players removed since count too); a further announcement from
/// that address is refused for as long as the lobby is hosted. 0 or less
/// restores the default (4096). Takes effect with the next net_host.
void net_set_ids_per_address(int quota);
/// Sets how many connections one address may hold at once; a further one is
/// closed as soon as it is accepted. 0 or less restores the default (16).
/// Takes effect with the next net_host.
void net_set_connections_per_address(int limit);
/// @}

/// @}

}  // namespace crv
