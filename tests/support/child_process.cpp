#include "tests/support/child_process.hpp"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace crv::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "crv-test-XXXXXX").string();
    char* made = mkdtemp(pattern.data());
    path_ = made != nullptr ? made : "";
}

TempDir::~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::read(const std::string& name) const {
    std::ifstream in(file(name), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

namespace {

// Splits the stream of length-prefixed messages; answers "BP" messages.
void take_messages(std::string& pending, std::vector<std::string>& out, int fd, char answer) {
    while (pending.size() >= 4) {
        std::uint32_t n = 0;
        for (int i = 0; i < 4; ++i) n |= static_cast<std::uint32_t>(static_cast<unsigned char>(pending[i])) << (8 * i);
        if (pending.size() < 4 + n) break;
        std::string message = pending.substr(4, n);
        pending.erase(0, 4 + n);
        if (message.rfind("BP", 0) == 0) (void)!::write(fd, &answer, 1);
        out.push_back(std::move(message));
    }
}

}  // namespace

ChildResult run_child(const std::vector<std::string>& argv,
                      const std::vector<std::pair<std::string, std::string>>& env, bool with_debugger,
                      int timeout_ms, char answer_byte) {
    ChildResult result;
    TempDir socket_dir;
    std::string socket_path = socket_dir.file("debugger.sock");
    int listener = -1;
    if (with_debugger) {
        listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, socket_path.c_str(), sizeof address.sun_path - 1);
        ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener, 1);
    }
    int out_pipe[2];
    if (::pipe2(out_pipe, O_CLOEXEC) != 0) return result;
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out_pipe[1], 1);
        for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
        if (with_debugger) ::setenv("CORVANE_DEBUGGER", socket_path.c_str(), 1);
        else ::unsetenv("CORVANE_DEBUGGER");
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(out_pipe[1]);
    int connection = -1;
    std::string pending;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    bool out_open = true;
    bool debugger_open = with_debugger;
    while (out_open || debugger_open) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd fds[2];
        int count = 0;
        if (out_open) fds[count++] = {out_pipe[0], POLLIN, 0};
        int debugger_fd = connection >= 0 ? connection : listener;
        if (debugger_open) fds[count++] = {debugger_fd, POLLIN, 0};
        int ready = ::poll(fds, static_cast<nfds_t>(count), static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) break;
        char buffer[4096];
        for (int i = 0; i < count; ++i) {
            if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
            if (fds[i].fd == out_pipe[0]) {
                ssize_t n = ::read(out_pipe[0], buffer, sizeof buffer);
                if (n <= 0) out_open = false; else result.output.append(buffer, static_cast<std::size_t>(n));
            } else if (fds[i].fd == listener && connection < 0) {
                connection = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            } else {
                ssize_t n = ::read(connection, buffer, sizeof buffer);
                if (n <= 0) {
                    debugger_open = false;
                } else {
                    pending.append(buffer, static_cast<std::size_t>(n));
                    take_messages(pending, result.debugger_messages, connection, answer_byte);
                }
            }
        }
        // A child that exited without connecting leaves the listener idle.
        if (!out_open && connection < 0) debugger_open = false;
    }
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
    ::close(out_pipe[0]);
    if (connection >= 0) ::close(connection);
    if (listener >= 0) ::close(listener);
    return result;
}

}  // namespace crv::test
