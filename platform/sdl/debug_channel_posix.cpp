#include "platform/debug_channel.hpp"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace crv::plat {

namespace {

int channel = -1;

bool write_all(const void* data, std::size_t count) {
    const char* p = static_cast<const char*>(data);
    while (count > 0) {
        ssize_t n = ::send(channel, p, count, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        count -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

bool debugger_connect_from_environment() {
    if (channel >= 0) return true;
    const char* path = std::getenv("CORVANE_DEBUGGER");
    if (path == nullptr || *path == 0) return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (std::strlen(path) >= sizeof address.sun_path) return false;
    std::strcpy(address.sun_path, path);
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return false;
    }
    ucred peer{};
    socklen_t length = sizeof peer;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 && peer.pid > 0)
        ::prctl(PR_SET_PTRACER, static_cast<unsigned long>(peer.pid), 0, 0, 0);
    channel = fd;
    return true;
}

bool debugger_attached() { return channel >= 0; }

void debugger_send(const char* bytes, std::size_t count) {
    if (channel < 0) return;
    std::uint8_t header[4];
    for (int i = 0; i < 4; ++i) header[i] = static_cast<std::uint8_t>(count >> (8 * i));
    if (!write_all(header, 4) || !write_all(bytes, count)) debugger_disconnect();
}

int debugger_wait_answer() {
    if (channel < 0) return -1;
    unsigned char byte = 0;
    for (;;) {
        ssize_t n = ::recv(channel, &byte, 1, 0);
        if (n == 1) return byte;
        if (n < 0 && errno == EINTR) continue;
        debugger_disconnect();
        return -1;
    }
}

void debugger_disconnect() {
    if (channel >= 0) ::close(channel);
    channel = -1;
}

}  // namespace crv::plat
