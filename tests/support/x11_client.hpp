// Test support: looking at and poking windows of other processes on the X
// server named by DISPLAY, as a user or a window manager would.
#pragma once

#include "tests/support/child_process.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace crv::test {

// The first top-level window whose title is exactly name; 0 after the time
// limit.
std::uint64_t find_window(const std::string& name, int timeout_ms);
std::string window_title(std::uint64_t window);
// The close request a window manager sends (WM_DELETE_WINDOW).
void send_close_request(std::uint64_t window);
void focus_window(std::uint64_t window);
// A small window of our own that takes the keyboard focus; destroyed by
// the destructor.
class FocusThief {
public:
    FocusThief();
    ~FocusThief();
    void take_focus();

private:
    std::uint64_t window_ = 0;
};
// Holds keys down for a moment with xdotool (combination as xdotool
// spells it, e.g. "Escape" or "alt+F4").
void press_keys(std::uint64_t window, const std::string& keys);
// Runs a shell command; its exit status.
int shell(const std::string& command);

// A program running in the background with extra environment variables;
// its standard output and error go to a file. Killed by the destructor when
// it still runs.
class RunningChild {
public:
    RunningChild(const std::vector<std::string>& argv, const std::string& output_file, const EnvList& env = {});
    RunningChild(const std::string& program, const std::string& output_file, const EnvList& env = {})
        : RunningChild(std::vector<std::string>{program}, output_file, env) {}
    ~RunningChild();
    RunningChild(const RunningChild&) = delete;
    RunningChild& operator=(const RunningChild&) = delete;

    bool started() const { return pid_ > 0; }
    // Exit code, or -1 when it did not exit in time (it is then killed).
    int wait(int timeout_ms);
    bool running();
    // What it has written so far, and a wait until that holds text.
    std::string output() const;
    bool wait_output(const std::string& text, int timeout_ms) const;

private:
    std::string output_file_;
    int pid_ = -1;
    int status_ = -1;
};

}  // namespace crv::test
