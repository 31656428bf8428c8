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
// socket). The game's operations are declared in corvane/net.hpp; this
// header adds what the HTTP download and the lobby use.
#pragma once

#include <corvane/net.hpp>

namespace crv {

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
