#include "platform/net.hpp"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace crv::plat {

namespace {

thread_local int t_last_error = 0;

struct ErrorPair {
    int system;
    int code;
};

// errno values and the WinSock numbers games know them by.
constexpr ErrorPair k_error_map[] = {
    {EINTR, 10004},        {EBADF, 10009},           {EACCES, 10013},
    {EFAULT, 10014},       {EINVAL, 10022},          {EMFILE, 10024},
    {EWOULDBLOCK, 10035},  {EINPROGRESS, 10036},     {EALREADY, 10037},
    {ENOTSOCK, 10038},     {EDESTADDRREQ, 10039},    {EMSGSIZE, 10040},
    {EPROTOTYPE, 10041},   {ENOPROTOOPT, 10042},     {EPROTONOSUPPORT, 10043},
    {ESOCKTNOSUPPORT, 10044}, {EOPNOTSUPP, 10045},   {EPFNOSUPPORT, 10046},
    {EAFNOSUPPORT, 10047}, {EADDRINUSE, 10048},      {EADDRNOTAVAIL, 10049},
    {ENETDOWN, 10050},     {ENETUNREACH, 10051},     {ENETRESET, 10052},
    {ECONNABORTED, 10053}, {ECONNRESET, 10054},      {ENOBUFS, 10055},
    {EISCONN, 10056},      {ENOTCONN, 10057},        {ESHUTDOWN, 10058},
    {ETOOMANYREFS, 10059}, {ETIMEDOUT, 10060},       {ECONNREFUSED, 10061},
    {ELOOP, 10062},        {ENAMETOOLONG, 10063},    {EHOSTDOWN, 10064},
    {EHOSTUNREACH, 10065}, {ENOTEMPTY, 10066},       {EUSERS, 10068},
    {EDQUOT, 10069},       {ESTALE, 10070},          {EREMOTE, 10071},
};

// Resolver results in WinSock numbering (host not found, try again, no
// recovery, no data).
constexpr int k_err_host_not_found = 11001;
constexpr int k_err_try_again = 11002;
constexpr int k_err_no_recovery = 11003;
constexpr int k_err_no_data = 11004;

int code_from_errno(int e) {
    // A write on a connection the peer has reset: WinSock reports the reset.
    if (e == EPIPE) return 10054;
    if (e == EAGAIN) return 10035;
    for (const ErrorPair& p : k_error_map) {
        if (p.system == e) return p.code;
    }
    return e;
}

void fail_with_errno() { t_last_error = code_from_errno(errno); }

int fd(SocketHandle socket) { return static_cast<int>(socket); }

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
    if (setsockopt(fd(socket), level, name, &value, sizeof value) == 0) return true;
    fail_with_errno();
    return false;
}

}  // namespace

bool net_start() {
    // The socket table holds 1024 sockets besides the program's own files;
    // a soft limit of 1024 open files would make the table unreachable.
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0) {
        constexpr rlim_t k_wanted = 4096;
        if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < k_wanted) {
            rlim_t target = k_wanted;
            if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < target) target = limit.rlim_max;
            if (target > limit.rlim_cur) {
                limit.rlim_cur = target;
                setrlimit(RLIMIT_NOFILE, &limit);
            }
        }
    }
    return true;
}

void net_stop() {}

int net_error() { return t_last_error; }

void set_net_error(int code) { t_last_error = code; }

std::string net_error_message(int code) {
    int e = -1;
    switch (code) {
    case 0: e = 0; break;
    case 8: e = ENOMEM; break;  // not enough resources (socket table full)
    case k_err_host_not_found: return gai_strerror(EAI_NONAME);
    case k_err_try_again: return gai_strerror(EAI_AGAIN);
    case k_err_no_recovery: return gai_strerror(EAI_FAIL);
    case k_err_no_data: return gai_strerror(EAI_NODATA);
    case k_err_not_initialised: return "Network layer not started";
    default:
        for (const ErrorPair& p : k_error_map) {
            if (p.code == code) e = p.system;
        }
        if (e < 0 && code > 0 && code < 10000) e = code;
    }
    if (e < 0) return {};
    char buffer[256];
    // The GNU strerror_r returns its text, which may not be the buffer.
    const char* text = strerror_r(e, buffer, sizeof buffer);
    if (text == nullptr || std::strncmp(text, "Unknown error", 13) == 0) return {};
    return text;
}

SocketHandle socket_open(bool udp) {
    int s = ::socket(AF_INET, (udp ? SOCK_DGRAM : SOCK_STREAM) | SOCK_CLOEXEC, 0);
    if (s < 0) {
        fail_with_errno();
        return k_invalid_socket;
    }
    return s;
}

bool socket_set_reuse_address(SocketHandle socket) {
    return set_int_option(socket, SOL_SOCKET, SO_REUSEADDR, 1);
}

bool socket_set_broadcast(SocketHandle socket) {
    if (set_int_option(socket, SOL_SOCKET, SO_BROADCAST, 1)) return true;
    // Some stacks take the flag as a single character.
    char flag = '1';
    if (setsockopt(fd(socket), SOL_SOCKET, SO_BROADCAST, &flag, sizeof flag) == 0) return true;
    fail_with_errno();
    return false;
}

bool socket_set_blocking(SocketHandle socket, bool blocking) {
    int flags = fcntl(fd(socket), F_GETFL, 0);
    if (flags < 0) {
        fail_with_errno();
        return false;
    }
    int wanted = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
    if (wanted != flags && fcntl(fd(socket), F_SETFL, wanted) < 0) {
        fail_with_errno();
        return false;
    }
    return true;
}

bool socket_set_linger_off(SocketHandle socket) {
    linger l{};
    if (setsockopt(fd(socket), SOL_SOCKET, SO_LINGER, &l, sizeof l) == 0) return true;
    fail_with_errno();
    return false;
}

bool socket_bind(SocketHandle socket, SocketAddress local) {
    sockaddr_in sa = to_sockaddr(local);
    if (::bind(fd(socket), reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0) return true;
    fail_with_errno();
    return false;
}

bool socket_listen(SocketHandle socket, int backlog) {
    if (::listen(fd(socket), backlog) == 0) return true;
    fail_with_errno();
    return false;
}

bool socket_local_address(SocketHandle socket, SocketAddress* local) {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    if (::getsockname(fd(socket), reinterpret_cast<sockaddr*>(&sa), &len) != 0) {
        fail_with_errno();
        return false;
    }
    *local = from_sockaddr(sa);
    return true;
}

SocketHandle socket_accept(SocketHandle listener, SocketAddress* peer) {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    int s = ::accept4(fd(listener), reinterpret_cast<sockaddr*>(&sa), &len, SOCK_CLOEXEC);
    if (s < 0) {
        fail_with_errno();
        return k_invalid_socket;
    }
    if (peer != nullptr) *peer = from_sockaddr(sa);
    return s;
}

bool socket_connect(SocketHandle socket, SocketAddress peer) {
    sockaddr_in sa = to_sockaddr(peer);
    if (::connect(fd(socket), reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0) return true;
    fail_with_errno();
    return false;
}

int socket_wait(SocketHandle socket, bool for_write, int timeout_ms) {
    pollfd p{};
    p.fd = fd(socket);
    p.events = for_write ? POLLOUT : POLLIN;
    for (;;) {
        int n = ::poll(&p, 1, timeout_ms < 0 ? -1 : timeout_ms);
        if (n > 0) return 1;
        if (n == 0) return 0;
        if (errno != EINTR) {
            fail_with_errno();
            return -1;
        }
    }
}

int socket_pending_error(SocketHandle socket) {
    int error = 0;
    socklen_t len = sizeof error;
    if (getsockopt(fd(socket), SOL_SOCKET, SO_ERROR, &error, &len) != 0) {
        fail_with_errno();
        return t_last_error;
    }
    return error == 0 ? 0 : code_from_errno(error);
}

long socket_send(SocketHandle socket, const void* bytes, std::size_t count) {
    ssize_t n = ::send(fd(socket), bytes, count, MSG_NOSIGNAL);
    if (n < 0) fail_with_errno();
    return static_cast<long>(n);
}

long socket_send_to(SocketHandle socket, const void* bytes, std::size_t count, SocketAddress to) {
    sockaddr_in sa = to_sockaddr(to);
    ssize_t n = ::sendto(fd(socket), bytes, count, MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    if (n < 0) fail_with_errno();
    return static_cast<long>(n);
}

long socket_receive(SocketHandle socket, void* bytes, std::size_t count) {
    ssize_t n = ::recv(fd(socket), bytes, count, 0);
    if (n < 0) fail_with_errno();
    return static_cast<long>(n);
}

long socket_receive_from(SocketHandle socket, void* bytes, std::size_t count, SocketAddress* from) {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    ssize_t n = ::recvfrom(fd(socket), bytes, count, 0, reinterpret_cast<sockaddr*>(&sa), &len);
    if (n < 0) {
        fail_with_errno();
    } else if (from != nullptr && len >= sizeof sa && sa.sin_family == AF_INET) {
        *from = from_sockaddr(sa);
    }
    return static_cast<long>(n);
}

bool socket_shutdown(SocketHandle socket) {
    if (::shutdown(fd(socket), SHUT_RDWR) == 0) return true;
    fail_with_errno();
    return false;
}

bool socket_close(SocketHandle socket) {
    if (::close(fd(socket)) == 0) return true;
    fail_with_errno();
    return false;
}

bool resolve_ipv4(const char* name, std::uint32_t* address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    int rc = ::getaddrinfo(name, nullptr, &hints, &list);
    if (rc != 0) {
        switch (rc) {
        case EAI_AGAIN: t_last_error = k_err_try_again; break;
        case EAI_FAIL: t_last_error = k_err_no_recovery; break;
        case EAI_NODATA: t_last_error = k_err_no_data; break;
        case EAI_SYSTEM: fail_with_errno(); break;
        default: t_last_error = k_err_host_not_found; break;
        }
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
    if (!found) t_last_error = k_err_no_data;
    return found;
}

std::vector<std::uint32_t> host_ipv4_addresses() {
    std::vector<std::uint32_t> result;
    auto add = [&result](std::uint32_t a) {
        for (std::uint32_t known : result) {
            if (known == a) return;
        }
        result.push_back(a);
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
    // A host name often maps to loopback only; the interfaces tell the
    // addresses other machines reach this one by.
    ifaddrs* interfaces = nullptr;
    if (::getifaddrs(&interfaces) == 0) {
        for (ifaddrs* i = interfaces; i != nullptr; i = i->ifa_next) {
            if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET) continue;
            if ((i->ifa_flags & IFF_UP) == 0) continue;
            add(ntohl(reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr));
        }
        freeifaddrs(interfaces);
    }
    return result;
}

}  // namespace crv::plat
