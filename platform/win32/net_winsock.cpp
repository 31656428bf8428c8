#include "platform/net.hpp"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "platform/win32/win32_api.hpp"

#include <iphlpapi.h>
#include <mstcpip.h>

#ifndef SIO_UDP_CONNRESET
#define SIO_UDP_CONNRESET _WSAIOW(IOC_VENDOR, 12)
#endif

// WinSock's error numbers are the ones games see on every platform, so they
// pass through unchanged. The calling thread's last error is kept here
// rather than in WSAGetLastError, which other system calls overwrite.

namespace crv::plat {

namespace {

thread_local int t_last_error = 0;

void fail_with_wsa() { t_last_error = WSAGetLastError(); }

SOCKET sock(SocketHandle socket) { return static_cast<SOCKET>(socket); }

sockaddr_in to_sockaddr(SocketAddress a) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(a.port);
    sa.sin_addr.s_addr = htonl(a.address);
    return sa;
}

SocketAddress from_sockaddr(const sockaddr_in& sa) {
    return SocketAddress{ntohl(sa.sin_addr.s_addr), ntohs(sa.sin_port)};
}

bool set_int_option(SocketHandle socket, int level, int name, int value) {
    if (setsockopt(sock(socket), level, name, reinterpret_cast<const char*>(&value), sizeof value) == 0) return true;
    fail_with_wsa();
    return false;
}

int clamp_length(std::size_t count) { return static_cast<int>(std::min<std::size_t>(count, INT_MAX)); }

}  // namespace

// WinSock is started once for the whole process and never stopped: the
// portable layer stops its own use of sockets while threads such as the
// lobby's may still hold some, and WSACleanup would close those under them.
// The system releases everything when the process ends.
bool net_start() {
    static const bool started = [] {
        WSADATA data{};
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

void net_stop() {}

int net_error() { return t_last_error; }

void set_net_error(int code) { t_last_error = code; }

std::string net_error_message(int code) {
    if (code < 0) return {};
    wchar_t* text = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                             reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (n == 0 || text == nullptr) return {};
    std::string message = win32::narrow(std::wstring_view(text, n));
    LocalFree(text);
    // The system's texts end in a full stop and a line break.
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ' ||
                                message.back() == '.'))
        message.pop_back();
    return message;
}

SocketHandle socket_open(bool udp) {
    SOCKET s = WSASocketW(AF_INET, udp ? SOCK_DGRAM : SOCK_STREAM, udp ? IPPROTO_UDP : IPPROTO_TCP, nullptr, 0,
                          WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET) {
        fail_with_wsa();
        return k_invalid_socket;
    }
    if (udp) {
        // Without this a datagram socket reports "connection reset" on its
        // next receive after a send reached a closed port; on the other
        // platform such sockets never fail that way.
        BOOL report = FALSE;
        DWORD returned = 0;
        WSAIoctl(s, SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &returned, nullptr, nullptr);
    }
    return static_cast<SocketHandle>(s);
}

bool socket_set_reuse_address(SocketHandle socket) { return set_int_option(socket, SOL_SOCKET, SO_REUSEADDR, 1); }

bool socket_set_broadcast(SocketHandle socket) { return set_int_option(socket, SOL_SOCKET, SO_BROADCAST, 1); }

bool socket_set_blocking(SocketHandle socket, bool blocking) {
    u_long non_blocking = blocking ? 0 : 1;
    if (ioctlsocket(sock(socket), FIONBIO, &non_blocking) == 0) return true;
    fail_with_wsa();
    return false;
}

bool socket_set_linger_off(SocketHandle socket) {
    linger l{};
    if (setsockopt(sock(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l) == 0)
        return true;
    fail_with_wsa();
    return false;
}

bool socket_bind(SocketHandle socket, SocketAddress local) {
    sockaddr_in sa = to_sockaddr(local);
    if (::bind(sock(socket), reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0) return true;
    fail_with_wsa();
    return false;
}

bool socket_listen(SocketHandle socket, int backlog) {
    if (::listen(sock(socket), backlog) == 0) return true;
    fail_with_wsa();
    return false;
}

bool socket_local_address(SocketHandle socket, SocketAddress* local) {
    sockaddr_in sa{};
    int len = sizeof sa;
    if (::getsockname(sock(socket), reinterpret_cast<sockaddr*>(&sa), &len) != 0) {
        fail_with_wsa();
        return false;
    }
    *local = from_sockaddr(sa);
    return true;
}

SocketHandle socket_accept(SocketHandle listener, SocketAddress* peer) {
    sockaddr_in sa{};
    int len = sizeof sa;
    SOCKET s = ::accept(sock(listener), reinterpret_cast<sockaddr*>(&sa), &len);
    if (s == INVALID_SOCKET) {
        fail_with_wsa();
        return k_invalid_socket;
    }
    SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    if (peer != nullptr) *peer = from_sockaddr(sa);
    return static_cast<SocketHandle>(s);
}

bool socket_connect(SocketHandle socket, SocketAddress peer) {
    sockaddr_in sa = to_sockaddr(peer);
    if (::connect(sock(socket), reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0) return true;
    fail_with_wsa();
    return false;
}

// A connection that fails shows in the exception set, not the write set.
int socket_wait(SocketHandle socket, bool for_write, int timeout_ms) {
    fd_set ready;
    fd_set failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(sock(socket), &ready);
    FD_SET(sock(socket), &failed);
    timeval limit{};
    limit.tv_sec = timeout_ms / 1000;
    limit.tv_usec = (timeout_ms % 1000) * 1000;
    int n = ::select(0, for_write ? nullptr : &ready, for_write ? &ready : nullptr, &failed,
                     timeout_ms < 0 ? nullptr : &limit);
    if (n > 0) return 1;
    if (n == 0) return 0;
    fail_with_wsa();
    return -1;
}

int socket_pending_error(SocketHandle socket) {
    int error = 0;
    int len = sizeof error;
    if (getsockopt(sock(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &len) != 0) {
        fail_with_wsa();
        return t_last_error;
    }
    return error;
}

long socket_send(SocketHandle socket, const void* bytes, std::size_t count) {
    int n = ::send(sock(socket), static_cast<const char*>(bytes), clamp_length(count), 0);
    if (n == SOCKET_ERROR) fail_with_wsa();
    return n;
}

long socket_send_to(SocketHandle socket, const void* bytes, std::size_t count, SocketAddress to) {
    sockaddr_in sa = to_sockaddr(to);
    int n = ::sendto(sock(socket), static_cast<const char*>(bytes), clamp_length(count), 0,
                     reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    if (n == SOCKET_ERROR) fail_with_wsa();
    return n;
}

long socket_receive(SocketHandle socket, void* bytes, std::size_t count) {
    int n = ::recv(sock(socket), static_cast<char*>(bytes), clamp_length(count), 0);
    if (n == SOCKET_ERROR) fail_with_wsa();
    return n;
}

long socket_receive_from(SocketHandle socket, void* bytes, std::size_t count, SocketAddress* from) {
    sockaddr_in sa{};
    int len = sizeof sa;
    int n = ::recvfrom(sock(socket), static_cast<char*>(bytes), clamp_length(count), 0,
                       reinterpret_cast<sockaddr*>(&sa), &len);
    if (n == SOCKET_ERROR) {
        fail_with_wsa();
    } else if (from != nullptr && len >= static_cast<int>(sizeof sa) && sa.sin_family == AF_INET) {
        *from = from_sockaddr(sa);
    }
    return n;
}

bool socket_shutdown(SocketHandle socket) {
    if (::shutdown(sock(socket), SD_BOTH) == 0) return true;
    fail_with_wsa();
    return false;
}

bool socket_close(SocketHandle socket) {
    if (::closesocket(sock(socket)) == 0) return true;
    fail_with_wsa();
    return false;
}

// getaddrinfo answers with WinSock numbers (11001 host not found ...).
bool resolve_ipv4(const char* name, std::uint32_t* address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    int rc = ::getaddrinfo(name, nullptr, &hints, &list);
    if (rc != 0) {
        t_last_error = rc;
        return false;
    }
    bool found = false;
    for (addrinfo* a = list; a != nullptr && !found; a = a->ai_next) {
        if (a->ai_family == AF_INET && a->ai_addr != nullptr) {
            *address = ntohl(reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr.s_addr);
            found = true;
        }
    }
    freeaddrinfo(list);
    if (!found) t_last_error = WSANO_DATA;
    return found;
}

std::vector<std::uint32_t> host_ipv4_addresses() {
    std::vector<std::uint32_t> result;
    auto add = [&result](std::uint32_t a) {
        if (std::find(result.begin(), result.end(), a) == result.end()) result.push_back(a);
    };
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) == 0) {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* list = nullptr;
        if (::getaddrinfo(name, nullptr, &hints, &list) == 0) {
            for (addrinfo* a = list; a != nullptr; a = a->ai_next) {
                if (a->ai_family == AF_INET && a->ai_addr != nullptr)
                    add(ntohl(reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr.s_addr));
            }
            freeaddrinfo(list);
        }
    }
    // The active interfaces: the addresses other machines reach this one by.
    ULONG size = 16 * 1024;
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::vector<unsigned char> buffer(size);
        auto* adapters = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data());
        ULONG rc = GetAdaptersAddresses(AF_INET,
                                        GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
                                        nullptr, adapters, &size);
        if (rc == ERROR_BUFFER_OVERFLOW) continue;
        if (rc != NO_ERROR) break;
        for (IP_ADAPTER_ADDRESSES* a = adapters; a != nullptr; a = a->Next) {
            if (a->OperStatus != IfOperStatusUp) continue;
            for (IP_ADAPTER_UNICAST_ADDRESS* u = a->FirstUnicastAddress; u != nullptr; u = u->Next) {
                const sockaddr* sa = u->Address.lpSockaddr;
                if (sa != nullptr && sa->sa_family == AF_INET)
                    add(ntohl(reinterpret_cast<const sockaddr_in*>(sa)->sin_addr.s_addr));
            }
        }
        break;
    }
    // Windows does not always list its loopback interface.
    add(INADDR_LOOPBACK);
    return result;
}

}  // namespace crv::plat
