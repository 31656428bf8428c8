#include "platform/console.hpp"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <termios.h>
#include <unistd.h>

// The console is an xterm in slave mode (-S): it is handed the master side
// of a new pseudo-terminal, announces its window by writing the window id
// as one line to it, and from then on shows what is written to the slave
// side, which becomes standard input and output.

extern char** environ;

namespace crv::plat {

namespace {

constexpr int k_announce_timeout_ms = 10000;

// The window-id line the terminal writes first; false when it does not
// come (the terminal could not open its window).
bool read_announcement(int slave) {
    char c = 0;
    for (;;) {
        pollfd p{slave, POLLIN, 0};
        const int ready = ::poll(&p, 1, k_announce_timeout_ms);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0 || (p.revents & POLLIN) == 0) return false;
        const ssize_t n = ::read(slave, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        if (c == '\n') return true;
    }
}

bool attach(FILE* stream, const char* name, const char* mode, int fd) {
    std::fflush(stream);
    if (std::freopen(name, mode, stream) == nullptr) return false;
    // The descriptor number stays the standard one, for code that writes
    // to the descriptor directly.
    if (::fileno(stream) != fd) {
        if (::dup2(::fileno(stream), fd) < 0) return false;
    }
    return true;
}

}  // namespace

bool console_open() {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) return false;
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        ::close(master);
        return false;
    }
    const char* slave_name = ::ptsname(master);
    if (slave_name == nullptr) {
        ::close(master);
        return false;
    }
    const std::string name = slave_name;
    const int slave = ::open(name.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        ::close(master);
        return false;
    }
    // The announcement must not be echoed back into the window.
    termios normal{};
    ::tcgetattr(slave, &normal);
    termios quiet = normal;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO | ICANON);
    ::tcsetattr(slave, TCSANOW, &quiet);

    const std::string number = name.substr(name.find_last_of('/') + 1);
    const std::string slave_option = "-S" + number + "/" + std::to_string(master);
    char program[] = "xterm";
    char title_option[] = "-T";
    char title[] = "Console";
    std::string option = slave_option;
    char* argv[] = {program, title_option, title, option.data(), nullptr};
    pid_t pid = -1;
    const bool started = ::posix_spawnp(&pid, program, nullptr, nullptr, argv, environ) == 0;
    // The terminal holds the master side from here on.
    ::close(master);
    if (!started || !read_announcement(slave)) {
        ::close(slave);
        return false;
    }
    ::tcsetattr(slave, TCSADRAIN, &normal);
    const bool attached = attach(stdin, name.c_str(), "r", STDIN_FILENO) && attach(stdout, name.c_str(), "w", STDOUT_FILENO);
    ::close(slave);
    return attached;
}

}  // namespace crv::plat
