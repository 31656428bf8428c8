#include "tests/input/input_fixture.hpp"

#include "runtime/app_state.hpp"
#include "app/present.hpp"
#include "platform/clock.hpp"
#include "platform/mouse.hpp"
#include "platform/window.hpp"
#include "tests/support/gl_window.hpp"

#include <atomic>
#include <chrono>
#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#endif

namespace crv::test {

void InputDisplayTest::SetUp() {
    renderer_ = &gl_renderer(k_window_width, k_window_height);
    renderer_->set_orientation(0);
    // Losing the focus must not pause the waits, nor Escape end the tests.
    app_state.debug_mode = 1;
    app_state.escape_quits = false;
    app_state.screen_width = k_window_width;
    app_state.screen_height = k_window_height;
    input_ = std::make_unique<InputSystem>(renderer_->window);
    input_->create_devices(renderer_->window, false);
    app_state.input = input_.get();
    xdotool("windowfocus --sync " + window_id());
    ASSERT_TRUE(eventually([&] { return plat::window_has_focus(renderer_->window); })) << "window has no focus";
    pointer_to(10, 10);
}

void InputDisplayTest::TearDown() {
    xdotool("keyup shift a mouseup 1 mouseup 2 mouseup 3");
    app_state.input = nullptr;
    input_.reset();
    renderer_->set_orientation(0);
}

#ifdef _WIN32
// Under Wine every window is also an X window, whose id Wine keeps in a
// property of the window; xdotool, a program of the host, is started like
// a Windows program and reaches it on the same X server.
std::string InputDisplayTest::window_id() const {
    auto hwnd = reinterpret_cast<HWND>(plat::window_native_id(renderer_->window));
    return std::to_string(reinterpret_cast<std::uintptr_t>(GetPropW(hwnd, L"__wine_x11_whole_window")));
}

// Wine starts host programs but gives no handle to wait on them: a host
// shell runs xdotool and leaves its exit status in a file, which appears
// (renamed into place whole) when it is done.
void InputDisplayTest::xdotool(const std::string& args) {
    static std::atomic<int> calls{0};
    const std::string done = "/tmp/crv-xdotool-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++calls);
    const std::string script = "xdotool " + args + " >/dev/null 2>&1; echo $? >" + done + ".part; mv " + done + ".part " + done;
    std::wstring line = L"sh -c \"";
    for (char c : script) line += static_cast<wchar_t>(static_cast<unsigned char>(c));
    line += L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(L"Z:\\bin\\sh", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &process))
        << "xdotool " << args;
    std::wstring status_file = L"Z:";
    for (char c : done) status_file += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    std::string status;
    for (int waited = 0; waited < 30000 && status.empty(); waited += 2) {
        HANDLE file = CreateFileW(status_file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            Sleep(2);
            continue;
        }
        char text[16] = {};
        DWORD n = 0;
        ReadFile(file, text, sizeof text - 1, &n, nullptr);
        CloseHandle(file);
        status.assign(text, n);
        if (status.empty()) status = "?";
    }
    DeleteFileW(status_file.c_str());
    EXPECT_EQ(status, "0\n") << "xdotool " << args;
}
#else
std::string InputDisplayTest::window_id() const { return std::to_string(plat::window_native_id(renderer_->window)); }

void InputDisplayTest::xdotool(const std::string& args) {
    std::string command = "xdotool " + args + " >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
}
#endif

bool InputDisplayTest::eventually(const std::function<bool()>& done, int timeout_ms) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        pump_messages(*renderer_, nullptr);
        if (input_ != nullptr) input_->poll_keyboard();
        if (done()) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        plat::sleep_ms(5);
    }
}

void InputDisplayTest::pointer_to(int x, int y) {
    xdotool("mousemove --window " + window_id() + " -- " + std::to_string(x) + " " + std::to_string(y));
    int px = 0, py = 0, buttons = 0;
    EXPECT_TRUE(eventually([&] {
        plat::mouse_cursor(renderer_->window, &px, &py, &buttons);
        return px == x && py == y;
    })) << "pointer at " << px << "," << py;
}

}  // namespace crv::test
