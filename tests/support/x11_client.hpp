// Test support: looking at and poking windows of other processes as a user
// or a window manager would: on Linux on the X server named by DISPLAY
// (x11_client.cpp), on Windows through the window manager of the system
// (window_client_win32.cpp). Main thread of the test program.
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
// Holds keys down for a moment (combination as xdotool spells it, e.g.
// "Escape" or "alt+F4"): with xdotool on Linux, as the keyboard's messages
// to the window on Windows.
void press_keys(std::uint64_t window, const std::string& keys);
// The size of the screen the windows are on; false when it cannot be told.
bool screen_size(int* width, int* height);
// The window's inside as the screen shows it, taken from outside the
// program, saved as a binary PPM file (rows top-down); false when it cannot
// be taken.
bool save_screenshot(std::uint64_t window, const std::string& ppm_path);
// Runs a shell command; its exit status.
int shell(const std::string& command);

// Runs xdotool, the X server's keyboard and mouse driver of the host, with
// these arguments (as xdotool takes them; single quotes group words), its
// output dropped; its exit status, or -1 when it could not be run. On
// Windows the tests run under Wine, whose windows are X windows on the same
// server: xdotool is started as a host program from there. Any thread.
int host_xdotool(const std::string& args);
// The window's id as xdotool takes it: the window itself on Linux, under
// Wine the X window Wine made for it.
std::string x_window_id(std::uint64_t window);

}  // namespace crv::test
