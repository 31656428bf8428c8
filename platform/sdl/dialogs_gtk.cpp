#include "platform/dialogs.hpp"

#include "platform/paths.hpp"

#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

// The dialogs are GTK 3 file choosers shown by the crv_file_dialog
// program (beside the executable, else on the PATH): GTK keeps its own
// connection to the display and its own main loop, which must not run
// inside the game's.

extern char** environ;

namespace crv::plat {

namespace {

constexpr const char* k_dialog_program = "crv_file_dialog";

std::string program_beside_executable() {
    std::string path = executable_path();
    const std::size_t cut = path.find_last_of('/');
    if (cut == std::string::npos) return std::string();
    return path.substr(0, cut + 1) + k_dialog_program;
}

bool spawn_dialog_program(const std::vector<std::string>& args, int output_fd, pid_t* pid) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output_fd, STDOUT_FILENO);
    int result = ENOENT;
    const std::string beside = program_beside_executable();
    if (!beside.empty() && ::access(beside.c_str(), X_OK) == 0)
        result = posix_spawn(pid, beside.c_str(), &actions, nullptr, argv.data(), environ);
    if (result != 0) result = posix_spawnp(pid, k_dialog_program, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return result == 0;
}

}  // namespace

bool file_dialog(bool open, const std::vector<FileFilter>& filters, const std::string& folder, std::string& chosen) {
    chosen.clear();
    std::vector<std::string> args{k_dialog_program, open ? "open" : "save", folder};
    for (const FileFilter& f : filters) {
        args.push_back(f.description);
        args.push_back(f.patterns);
    }
    int pipe_fds[2];
    if (::pipe2(pipe_fds, O_CLOEXEC) != 0) return false;
    pid_t pid = -1;
    const bool started = spawn_dialog_program(args, pipe_fds[1], &pid);
    ::close(pipe_fds[1]);
    if (!started) {
        ::close(pipe_fds[0]);
        return false;
    }
    std::string output;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(pipe_fds[0], buffer, sizeof buffer);
        if (n > 0) output.append(buffer, static_cast<std::size_t>(n));
        else if (n == 0 || errno != EINTR) break;
    }
    ::close(pipe_fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || output.empty()) return false;
    chosen = output;
    return true;
}

}  // namespace crv::plat
