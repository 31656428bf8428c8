#include "tools/crvdbg/debuggee.hpp"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace crvdbg {

struct Debuggee::State {
    pid_t pid = -1;
    int listener = -1;
    int connection = -1;
    bool ever_attached = false;
    bool reaped = false;
    int status = 0;
    std::string folder;
    std::string socket_path;

    // Removes the socket's name once it is no longer needed.
    void forget_socket() {
        if (listener >= 0) ::close(listener);
        listener = -1;
        if (!socket_path.empty()) ::unlink(socket_path.c_str());
        if (!folder.empty()) ::rmdir(folder.c_str());
        socket_path.clear();
        folder.clear();
    }

    bool read_all(void* out, std::size_t n) {
        auto* p = static_cast<char*>(out);
        while (n > 0) {
            ssize_t got = ::recv(connection, p, n, 0);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) return false;
            p += got;
            n -= static_cast<std::size_t>(got);
        }
        return true;
    }
};

Debuggee::Debuggee() : state_(new State) {}

Debuggee::~Debuggee() {
    kill();
    if (state_->connection >= 0) ::close(state_->connection);
    state_->forget_socket();
}

bool Debuggee::start(const std::vector<std::string>& argv, std::string* error) {
    State& s = *state_;
    const char* temp = std::getenv("TMPDIR");
    std::string pattern = std::string(temp != nullptr && *temp != 0 ? temp : "/tmp") + "/crvdbg-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        *error = pattern + ": " + std::strerror(errno);
        return false;
    }
    s.folder = pattern;
    s.socket_path = s.folder + "/channel";
    s.listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (s.socket_path.size() >= sizeof address.sun_path) {
        *error = s.socket_path + ": name too long for a socket";
        return false;
    }
    std::strncpy(address.sun_path, s.socket_path.c_str(), sizeof address.sun_path - 1);
    if (s.listener < 0 || ::bind(s.listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(s.listener, 1) != 0) {
        *error = s.socket_path + ": " + std::strerror(errno);
        return false;
    }
    // The child reports a failed exec through this pipe (closed on a
    // successful exec).
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        *error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    s.pid = ::fork();
    if (s.pid == 0) {
        ::setenv("CORVANE_DEBUGGER", s.socket_path.c_str(), 1);
        ::execvp(args[0], args.data());
        int code = errno;
        (void)!::write(report[1], &code, sizeof code);
        ::_exit(127);
    }
    ::close(report[1]);
    int code = 0;
    bool exec_failed = s.pid > 0 && ::read(report[0], &code, sizeof code) == static_cast<ssize_t>(sizeof code);
    ::close(report[0]);
    if (s.pid < 0 || exec_failed) {
        *error = argv[0] + ": " + std::strerror(s.pid < 0 ? errno : code);
        if (s.pid > 0) wait_end();
        return false;
    }
    return true;
}

bool Debuggee::next_message(std::string* message) {
    State& s = *state_;
    if (s.connection < 0) {
        if (s.listener < 0) return false;
        // Until the program connects (or ends without doing so).
        while (s.connection < 0) {
            pollfd p{s.listener, POLLIN, 0};
            if (::poll(&p, 1, 200) > 0) s.connection = ::accept4(s.listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (s.connection < 0 && ::waitpid(s.pid, &s.status, WNOHANG) == s.pid) {
                s.reaped = true;
                s.forget_socket();
                return false;
            }
        }
        s.ever_attached = true;
        s.forget_socket();
    }
    unsigned char header[4];
    if (!s.read_all(header, 4)) return false;
    std::uint32_t n = header[0] | (header[1] << 8) | (header[2] << 16) | (static_cast<std::uint32_t>(header[3]) << 24);
    if (n > (1u << 24)) return false;
    message->assign(n, '\0');
    return n == 0 || s.read_all(message->data(), n);
}

void Debuggee::resume_break() {
    char byte = 1;
    (void)!::send(state_->connection, &byte, 1, MSG_NOSIGNAL);
}

bool Debuggee::attached() const { return state_->ever_attached; }

bool Debuggee::read(std::uint64_t address, void* out, std::size_t n) const {
    iovec local{out, n};
    iovec remote{reinterpret_cast<void*>(address), n};
    return process_vm_readv(state_->pid, &local, 1, &remote, 1, 0) == static_cast<ssize_t>(n);
}

bool Debuggee::write(std::uint64_t address, const void* data, std::size_t n) const {
    iovec local{const_cast<void*>(data), n};
    iovec remote{reinterpret_cast<void*>(address), n};
    return process_vm_writev(state_->pid, &local, 1, &remote, 1, 0) == static_cast<ssize_t>(n);
}

void Debuggee::kill() {
    if (state_->pid > 0 && !state_->reaped) ::kill(state_->pid, SIGTERM);
}

int Debuggee::wait_end() {
    State& s = *state_;
    if (s.pid <= 0) return 1;
    if (!s.reaped) {
        while (::waitpid(s.pid, &s.status, 0) < 0 && errno == EINTR) {
        }
        s.reaped = true;
    }
    return WIFEXITED(s.status) ? WEXITSTATUS(s.status) : 128 + WTERMSIG(s.status);
}

}  // namespace crvdbg
