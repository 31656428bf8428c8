// The socket layer: a table of 1024 numbered TCP and UDP sockets for game
// programs, the HTTP download and the lobby. Sockets are non-blocking once
// set up: a receive reports "no data yet" (-2) instead of waiting.
//
// Lifetime: sock_init counts a reference; the last sock_shutdown (or
// sock_shutdown_all at program end) closes every socket in the table except
// held ones (below), which their owner closes after its thread has ended.
// Operations that need the layer fail with 10093 while no reference is held.
// Threads: any; the table is guarded by a short internal lock that is never
// held during a blocking call. A socket number is used by one thread at a
// time. Failures give -1, false or an empty text and leave an error code in
// WinSock numbering in the calling thread's last error (sock_error_text);
// the layer adds 8 (table full), 10036 (connect timed out), 10060 (a send or
// full-length receive made no progress in time) and 0 (accept on a UDP
// socket).
#pragma once

#include "core/dyn_string.hpp"

#include <cstdint>

namespace crv {

inline constexpr int k_socket_count = 1024;
inline constexpr int k_sock_error_table_full = 8;
inline constexpr int k_sock_error_timed_out = 10036;
inline constexpr int k_sock_error_stalled = 10060;
inline constexpr int k_sock_default_progress_ms = 30000;
// Results of a receive besides a byte count.
inline constexpr int k_sock_closed = 0;
inline constexpr int k_sock_error = -1;
inline constexpr int k_sock_no_data = -2;

bool sock_init();
void sock_shutdown();
// Program end: runs the hook below (which ends the threads that hold
// sockets), then closes every socket that is not held and drops every
// reference.
void sock_shutdown_all();
// Called first by sock_shutdown_all, on its thread, without the table's lock.
void sock_set_before_shutdown_all(void (*hook)());

// Held sockets belong to a thread of the run-time (the lobby's worker):
// sock_close refuses them (10038) and the last sock_shutdown and
// sock_shutdown_all leave them open, so that no socket is closed, and its
// number reused, while that thread may still be inside a call on it. The
// owner closes them with sock_close_held once its thread is done.
bool sock_hold(int socket);
bool sock_close_held(int socket);

// The no-progress deadline of sock_send, sock_send_to and the full-length
// receive: when no byte has moved for this long the call fails with error
// 10060. Process-wide; 0 or less restores the default of 30 s.
void sock_set_progress_timeout(int timeout_ms);
int sock_progress_timeout();

// The host's IPv4 addresses as dotted texts separated by "|", "127.0.0.1"
// last; at most 2047 characters.
DynString sock_my_addresses();

int sock_listen(int port);
// The peer's address (host byte order) goes to *address when it is given;
// the new socket records the peer's address and port.
int sock_accept(int listener, std::int64_t* address);
// Time-out in ms; 0, negative values and values above 30000 mean 30000.
int sock_connect(const DynString& host, int port, int timeout_ms);
int sock_udp_open(int port);
// Sends the whole text; waits while the system's buffer is full, but fails
// (10060, -1) when the peer takes no byte within the progress time-out.
int sock_send(int socket, const DynString& text);
// UDP: the whole text as one datagram to address (host byte order) and port.
int sock_send_to(int socket, const DynString& text, std::int64_t address, int port);
// One receive of up to max_length bytes into text (held exactly). Returns
// the byte count, 0 when the peer closed or reset the connection, -1 on
// other errors, -2 when no data has arrived yet; the text is empty for
// results below 1. A UDP socket records the sender's address and port.
int sock_receive(int socket, DynString& text, int max_length);
bool sock_set_blocking(int socket, bool blocking);
bool sock_close(int socket);
// The first address of a name in host byte order, or -1. An empty name is
// this host's first non-loopback address (else 127.0.0.1).
std::int64_t sock_resolve(const DynString& name);
DynString sock_address_text(std::int64_t address);
// "%d %s" of the last error code and the system's text; empty when the
// system has no text for the code.
DynString sock_error_text();
int sock_last_error();

// The address and port a socket records (peer after connect or accept,
// sender after a UDP receive, else where it is bound), host byte order; -1
// for a socket number that is not open.
std::int64_t sock_address(int socket);
int sock_port(int socket);
// Where the system bound a socket locally (address and port, host order).
bool sock_local_address(int socket, std::int64_t* address, int* port);

// Byte-level forms for the HTTP download and the lobby.
// One receive into bytes; results as sock_receive.
int sock_receive_bytes(int socket, void* bytes, int max_length);
// Repeats receives until count bytes have arrived: count on success, -2 when
// nothing at all had arrived, 0 when the peer closed or reset, -1 on errors
// and when no further byte arrives within the progress time-out (10060).
int sock_receive_full(int socket, void* bytes, int count);
// One non-blocking send: bytes accepted by the system (may be fewer than
// count), -2 when its buffer is full, -1 on errors.
int sock_send_some(int socket, const void* bytes, int count);
// Waits up to timeout_ms for data (or a close) on the socket: 1 ready,
// 0 time-out, -1 error.
int sock_wait_readable(int socket, int timeout_ms);

}  // namespace crv
