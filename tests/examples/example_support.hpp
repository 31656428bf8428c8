// Running the example programs from their tests: the pictures they present
// (captured as PPM files through CORVANE_CAPTURE_FRAMES), programs left
// running in the background while the test drives them, and waiting for
// what they write.
#pragma once

#include <chrono>
#include <cstdlib>
#include <cstdint>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <iterator>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

namespace crv::test {

struct Picture {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;  // rows top-down
    const std::uint8_t* at(int x, int y) const { return &rgb[(static_cast<std::size_t>(y) * width + x) * 3]; }
    bool near(int x, int y, std::int32_t colour, int tolerance = 8) const {
        const std::uint8_t* c = at(x, y);
        for (int i = 0; i < 3; ++i)
            if (std::abs(c[i] - ((colour >> (8 * i)) & 0xff)) > tolerance) return false;
        return true;
    }
    // Pixels of the rectangle for which the test holds.
    int count(int x0, int y0, int x1, int y1, const std::function<bool(const std::uint8_t*)>& test) const {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) n += test(at(x, y)) ? 1 : 0;
        return n;
    }
};

inline bool read_ppm(const std::string& path, Picture& p) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int max = 0;
    if (!(in >> magic >> p.width >> p.height >> max) || magic != "P6") return false;
    in.get();
    p.rgb.resize(static_cast<std::size_t>(p.width) * p.height * 3);
    return static_cast<bool>(in.read(reinterpret_cast<char*>(p.rgb.data()), static_cast<std::streamsize>(p.rgb.size())));
}

inline std::string read_whole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline bool wait_for(const std::function<bool()>& condition, int timeout_ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

// A program with arguments and extra environment variables, its standard
// output and error going to a file; killed by the destructor if it still
// runs.
class Background {
public:
    Background(const std::vector<std::string>& argv, const std::vector<std::pair<std::string, std::string>>& env,
               const std::string& output_file)
        : output_(output_file) {
        // The extra variables come first, so that getenv finds them before
        // an inherited one of the same name.
        std::vector<std::string> vars;
        for (const auto& [name, value] : env) vars.push_back(name + "=" + value);
        std::vector<char*> args, envp;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        for (auto& v : vars) envp.push_back(v.data());
        for (char** e = environ; *e != nullptr; ++e) envp.push_back(*e);
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, output_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;
    ~Background() {
        if (running()) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    bool started() const { return pid_ > 0; }
    bool running() {
        if (pid_ <= 0 || status_ != -1) return false;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 1000;
            return false;
        }
        return true;
    }
    // The exit code, or -1 when it has not ended in time.
    int wait(int timeout_ms) {
        wait_for([&] { return !running(); }, timeout_ms);
        return running() ? -1 : status_;
    }
    std::string output() const { return read_whole(output_); }
    // Waits until the output holds the text.
    bool wait_output(const std::string& text, int timeout_ms) {
        return wait_for([&] { return output().find(text) != std::string::npos; }, timeout_ms);
    }

private:
    std::string output_;
    pid_t pid_ = -1;
    int status_ = -1;
};

}  // namespace crv::test
