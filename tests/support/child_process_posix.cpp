// Child processes on Linux: fork and exec, standard output through a pipe,
// the debugger channel through a Unix-domain socket named by
// CORVANE_DEBUGGER.
#include "tests/support/child_process.hpp"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace crv::test {

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

// In the child after fork: only async-signal-safe work until exec, apart
// from setenv, which is safe here because the test programs start children
// from one thread.
[[noreturn]] void exec_child(const std::vector<std::string>& argv, const EnvList& env, int out_fd) {
    ::dup2(out_fd, 1);
    for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
}

int exit_code_of(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

}  // namespace

ChildResult run_child(const std::vector<std::string>& argv, const EnvList& env, bool with_debugger, int timeout_ms,
                      char answer_byte, int /*show_command*/) {
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
    EnvList child_env = env;
    if (with_debugger) child_env.emplace_back("CORVANE_DEBUGGER", socket_path);
    pid_t pid = ::fork();
    if (pid == 0) {
        if (!with_debugger) ::unsetenv("CORVANE_DEBUGGER");
        exec_child(argv, child_env, out_pipe[1]);
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
    result.exit_code = exit_code_of(status);
    ::close(out_pipe[0]);
    if (connection >= 0) ::close(connection);
    if (listener >= 0) ::close(listener);
    return result;
}

ChildResult run_tool(const std::vector<std::string>& argv, int timeout_ms) {
    ChildResult result;
    int out_pipe[2], err_pipe[2];
    if (::pipe2(out_pipe, O_CLOEXEC) != 0) return result;
    if (::pipe2(err_pipe, O_CLOEXEC) != 0) {
        ::close(out_pipe[0]);
        ::close(out_pipe[1]);
        return result;
    }
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(err_pipe[1], 2);
        exec_child(argv, {}, out_pipe[1]);
    }
    ::close(out_pipe[1]);
    ::close(err_pipe[1]);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
    std::string* into[2] = {&result.output, &result.errors};
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        int ready = ::poll(fds, 2, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
            char buffer[4096];
            ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                into[i]->append(buffer, static_cast<std::size_t>(n));
            } else {
                ::close(fds[i].fd);
                fds[i].fd = -1;
            }
        }
    }
    for (const pollfd& p : fds)
        if (p.fd >= 0) ::close(p.fd);
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    result.exit_code = exit_code_of(status);
    return result;
}

struct ChildProcess::State {
    pid_t pid = -1;
    int out = -1;
    bool reaped = false;
    int exit_code = -1;
};

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const EnvList& env) : state_(new State) {
    int out_pipe[2];
    if (::pipe2(out_pipe, O_CLOEXEC) != 0) return;
    pid_t pid = ::fork();
    if (pid == 0) exec_child(argv, env, out_pipe[1]);
    ::close(out_pipe[1]);
    if (pid < 0) {
        ::close(out_pipe[0]);
        return;
    }
    state_->pid = pid;
    state_->out = out_pipe[0];
}

ChildProcess::~ChildProcess() {
    kill();
    if (state_->out >= 0) ::close(state_->out);
}

bool ChildProcess::started() const { return state_->pid > 0; }

long ChildProcess::id() const { return state_->pid; }

std::string ChildProcess::read_output(std::size_t count) {
    std::string text;
    while (state_->out >= 0 && text.size() < count) {
        char buffer[4096];
        ssize_t n = ::read(state_->out, buffer, std::min(sizeof buffer, count - text.size()));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

bool ChildProcess::wait(int timeout_ms, int* exit_code) {
    if (!started()) return false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!state_->reaped) {
        int status = 0;
        pid_t done = ::waitpid(state_->pid, &status, WNOHANG);
        if (done == state_->pid) {
            state_->reaped = true;
            state_->exit_code = exit_code_of(status);
        } else if (done < 0 || std::chrono::steady_clock::now() >= deadline) {
            return false;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    if (exit_code != nullptr) *exit_code = state_->exit_code;
    return true;
}

bool ChildProcess::kill() {
    if (!started() || state_->reaped) return false;
    int status = 0;
    bool was_running = ::waitpid(state_->pid, &status, WNOHANG) == 0;
    if (was_running) {
        ::kill(state_->pid, SIGKILL);
        ::waitpid(state_->pid, &status, 0);
    }
    state_->reaped = true;
    state_->exit_code = exit_code_of(status);
    return was_running;
}

RunningChild::RunningChild(const std::vector<std::string>& argv, const std::string& output_file,
                           const EnvList& env)
    : output_file_(output_file) {
    if (argv.empty()) return;
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    process_ = ::fork();
    if (process_ == 0) {
        int fd = ::open(output_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(fd, 1);
        ::dup2(fd, 2);
        for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
}

RunningChild::~RunningChild() {
    if (running()) {
        ::kill(static_cast<pid_t>(process_), SIGKILL);
        ::waitpid(static_cast<pid_t>(process_), nullptr, 0);
    }
}

bool RunningChild::running() {
    if (process_ <= 0 || status_ != -1) return false;
    int status = 0;
    if (::waitpid(static_cast<pid_t>(process_), &status, WNOHANG) == process_) {
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 1000;
        return false;
    }
    return true;
}

int RunningChild::wait(int timeout_ms) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (running()) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(static_cast<pid_t>(process_), SIGKILL);
            ::waitpid(static_cast<pid_t>(process_), nullptr, 0);
            status_ = -2;
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return status_ == 1000 ? -1 : status_;
}

std::string RunningChild::output() const {
    std::ifstream in(output_file_, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool RunningChild::wait_output(const std::string& text, int timeout_ms) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        if (output().find(text) != std::string::npos) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

}  // namespace crv::test
