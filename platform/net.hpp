// Socket primitives: IPv4 TCP and UDP sockets, name resolution and the
// host's own addresses. Stateless apart from the calling thread's last error,
// which every failing call sets in WinSock numbering (10035 would block,
// 10036 in progress, 10054 reset, 10061 refused, 11001 host not found ...),
// so that games see the same codes on every platform. Successful calls leave
// the last error as it was. Any thread; a handle is used by one thread at a
// time. Sending never raises a signal when the peer has gone away.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace crv::plat {

// An open socket of the system; opaque to callers.
using SocketHandle = std::intptr_t;
inline constexpr SocketHandle k_invalid_socket = -1;

// Error numbers (WinSock numbering) that callers test for.
inline constexpr int k_err_invalid_argument = 10022;
inline constexpr int k_err_would_block = 10035;
inline constexpr int k_err_in_progress = 10036;
inline constexpr int k_err_not_socket = 10038;
inline constexpr int k_err_connection_reset = 10054;
inline constexpr int k_err_not_initialised = 10093;

// IPv4 address and port, both in host byte order.
struct SocketAddress {
    std::uint32_t address = 0;
    std::uint16_t port = 0;
};

// Prepares the process for socket use (raises the open-file limit so that
// a full socket table fits); false when sockets cannot be used at all.
bool net_start();
void net_stop();

// The last error of the calling thread; 0 when nothing failed yet.
int net_error();
void set_net_error(int code);
// The system's text for an error number as net_error gives it; empty when
// the system has none.
std::string net_error_message(int code);

SocketHandle socket_open(bool udp);
bool socket_set_reuse_address(SocketHandle socket);
bool socket_set_broadcast(SocketHandle socket);
bool socket_set_blocking(SocketHandle socket, bool blocking);
// Close without lingering: unsent data is dropped.
bool socket_set_linger_off(SocketHandle socket);
bool socket_bind(SocketHandle socket, SocketAddress local);
bool socket_listen(SocketHandle socket, int backlog);
// Where the socket is bound (the system's choice of port after binding 0).
bool socket_local_address(SocketHandle socket, SocketAddress* local);
SocketHandle socket_accept(SocketHandle listener, SocketAddress* peer);
// Starts a connection. A non-blocking socket fails with k_err_would_block or
// k_err_in_progress while the connection is still being made.
bool socket_connect(SocketHandle socket, SocketAddress peer);
// Waits until the socket can be written (for_write) or read. 1 ready, 0 time
// limit reached, -1 error. A negative time-out waits without limit.
int socket_wait(SocketHandle socket, bool for_write, int timeout_ms);
// The error a pending connect ended with (0 when it succeeded).
int socket_pending_error(SocketHandle socket);
// Bytes sent or received, or -1 with the last error set. A receive of 0
// means the peer closed the connection.
long socket_send(SocketHandle socket, const void* bytes, std::size_t count);
long socket_send_to(SocketHandle socket, const void* bytes, std::size_t count, SocketAddress to);
long socket_receive(SocketHandle socket, void* bytes, std::size_t count);
long socket_receive_from(SocketHandle socket, void* bytes, std::size_t count, SocketAddress* from);
bool socket_shutdown(SocketHandle socket);
bool socket_close(SocketHandle socket);

// The first IPv4 address the system resolver gives for a name or dotted
// address; false with the last error set when there is none.
bool resolve_ipv4(const char* name, std::uint32_t* address);
// This host's IPv4 addresses: those of its host name, then those of its
// active interfaces, each once, in that order (loopback included).
std::vector<std::uint32_t> host_ipv4_addresses();

}  // namespace crv::plat
