#include "platform/process.hpp"

#include <cerrno>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace crv::plat {

namespace {

std::vector<std::string> split_command_line(const char* line) {
    std::vector<std::string> args;
    const char* p = line;
    for (;;) {
        while (*p == ' ' || *p == '\t') ++p;
        if (*p == 0) break;
        std::string arg;
        bool quoted = false;
        for (; *p != 0 && (quoted || (*p != ' ' && *p != '\t')); ++p) {
            if (*p == '\\' && p[1] == '"') {
                arg += '"';
                ++p;
            } else if (*p == '"') {
                quoted = !quoted;
            } else {
                arg += *p;
            }
        }
        args.push_back(std::move(arg));
    }
    return args;
}

}  // namespace

bool start_process(const char* command_line, bool wait, int* exit_code, int /*show*/) {
    if (exit_code != nullptr) *exit_code = 0;
    if (command_line == nullptr) return false;
    std::vector<std::string> args = split_command_line(command_line);
    if (args.empty()) return false;
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (!wait) {
        // Nobody waits for this program, so it must not stay our child (it
        // would remain a zombie after it ends): a short-lived intermediate
        // process starts it and exits at once, and the system adopts it.
        // The intermediate's exit status says whether the start worked.
        pid = ::fork();
        if (pid < 0) return false;
        if (pid == 0) {
            pid_t program = 0;
            ::_exit(posix_spawnp(&program, argv[0], nullptr, nullptr, argv.data(), environ) == 0 ? 0 : 1);
        }
        int status = 0;
        pid_t done = -1;
        while ((done = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
        }
        return done == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
    int status = 0;
    pid_t done = -1;
    while ((done = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
    }
    if (done == pid && exit_code != nullptr)
        *exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return true;
}

int startup_show_command() { return k_show_default; }

bool open_with_default_application(const char* target) {
    if (target == nullptr || *target == 0) return false;
    // A short-lived shell puts the opener in the background and exits, so
    // that no child of ours is left to reap.
    const char* argv[] = {"/bin/sh", "-c", "xdg-open \"$1\" >/dev/null 2>&1 &", "sh", target, nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return true;
}

}  // namespace crv::plat
