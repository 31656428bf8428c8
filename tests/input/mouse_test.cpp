// The real mouse of the X server: position, buttons, motion and wheel, the
// screen orientation, the captured (relative) mode stopping at the screen
// edges, and a captured mouse let go during a debugger stop.
#include "runtime/app_state.hpp"
#include "app/debugger.hpp"
#include "runtime/log.hpp"
#include "platform/clock.hpp"
#include "platform/debug_channel.hpp"
#include "tests/input/input_fixture.hpp"
#include "tests/support/child_process.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#include <winternl.h>
#else
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

// After the test framework, whose names the X headers' macros would hit.
#include <X11/Xlib.h>
#endif

namespace crv::test {
namespace {

using MouseTest = InputDisplayTest;

struct MousePosition {
    std::int32_t x = -1, y = -1, left = -1, right = -1;
};

MousePosition read_state() {
    MousePosition m;
    mouse_state(&m.x, &m.y, &m.left, &m.right);
    return m;
}

TEST_F(MouseTest, PositionAndButtons) {
    EXPECT_EQ(mouse_count(), 1);
    mouse_select(3);  // there is only mouse 0
    pointer_to(30, 40);
    MousePosition m = read_state();
    EXPECT_EQ(m.x, 30);
    EXPECT_EQ(m.y, 40);
    EXPECT_EQ(m.left, 0);
    EXPECT_EQ(m.right, 0);
    double fx = 0, fy = 0, fl = 0, fr = 0;
    mouse_state(&fx, &fy, &fl, &fr);
    EXPECT_EQ(fx, 30.0);
    EXPECT_EQ(fy, 40.0);

    struct Case {
        int button;  // X button number
        int axis;    // mouse_axis kind that reports it
    };
    const Case cases[] = {{1, 3}, {3, 4}, {2, 5}};
    for (const Case& c : cases) {
        xdotool("mousedown " + std::to_string(c.button));
        EXPECT_TRUE(eventually([&] { return mouse_axis(c.axis) == 1; })) << "button " << c.button;
        for (int other = 3; other <= 5; ++other) {
            if (other == c.axis) continue;
            EXPECT_EQ(mouse_axis(other), 0) << "button " << c.button;
        }
        m = read_state();
        EXPECT_EQ(m.left, c.button == 1 ? 1 : 0);
        EXPECT_EQ(m.right, c.button == 3 ? 1 : 0);
        EXPECT_TRUE(input().read_all_mice());
        xdotool("mouseup " + std::to_string(c.button));
        EXPECT_TRUE(eventually([&] { return mouse_axis(c.axis) == 0; })) << "button " << c.button;
    }
    EXPECT_FALSE(input().read_all_mice());
    EXPECT_EQ(mouse_axis(6), 0);
    EXPECT_EQ(mouse_axis(-1), 0);
}

TEST_F(MouseTest, MotionCountsFromTheLastConsumingRead) {
    pointer_to(30, 40);
    read_state();
    EXPECT_EQ(mouse_axis(0), 0);
    pointer_to(50, 35);
    // Reading motion does not consume it.
    EXPECT_EQ(mouse_axis(0), 20);
    EXPECT_EQ(mouse_axis(1), -5);
    EXPECT_EQ(mouse_axis(0), 20);
    read_state();
    EXPECT_EQ(mouse_axis(0), 0);
    EXPECT_EQ(mouse_axis(1), 0);
}

TEST_F(MouseTest, WheelCountsUntilConsumingRead) {
    read_state();
    EXPECT_EQ(mouse_axis(2), 0);
    struct Step {
        int button;  // 4 away from the user, 5 toward
        int count;
    };
    const Step steps[] = {{4, 1}, {4, 2}, {4, 3}, {5, 2}};
    for (const Step& s : steps) {
        xdotool("click " + std::to_string(s.button));
        EXPECT_TRUE(eventually([&] { return mouse_axis(2) == s.count; })) << "expected " << s.count;
    }
    plat::sleep_ms(50);
    EXPECT_EQ(mouse_axis(2), 2);
    read_state();
    EXPECT_EQ(mouse_axis(2), 0);
}

TEST_F(MouseTest, PositionIsLimitedToTheScreen) {
    struct Case {
        int px, py;  // client position, possibly outside
        int x, y;
    };
    const Case cases[] = {{-20, 50, 0, 50}, {50, -30, 50, 0}, {k_window_width + 40, 10, k_window_width, 10},
                          {10, k_window_height + 7, 10, k_window_height}};
    for (const Case& c : cases) {
        pointer_to(c.px, c.py);
        MousePosition m = read_state();
        EXPECT_EQ(m.x, c.x) << c.px << "," << c.py;
        EXPECT_EQ(m.y, c.y) << c.px << "," << c.py;
    }
}

TEST_F(MouseTest, PositionAndMotionFollowTheOrientation) {
    // Physical (30, 40) and a physical move of (+10, +4), as the program
    // sees them under each orientation of the 320 x 240 screen.
    struct Case {
        int orientation;
        int x, y;
        int dx, dy;
    };
    const int w = k_window_width, h = k_window_height;
    const Case cases[] = {
        {0, 30, 40, 10, 4},
        {1, 40, w - 1 - 30, 4, -10},
        {2, w - 1 - 30, h - 1 - 40, -10, -4},
        {3, h - 1 - 40, 30, -4, 10},
    };
    for (const Case& c : cases) {
        renderer().set_orientation(c.orientation);
        pointer_to(30, 40);
        MousePosition m = read_state();
        EXPECT_EQ(m.x, c.x) << "orientation " << c.orientation;
        EXPECT_EQ(m.y, c.y) << "orientation " << c.orientation;
        pointer_to(40, 44);
        EXPECT_EQ(mouse_axis(0), c.dx) << "orientation " << c.orientation;
        EXPECT_EQ(mouse_axis(1), c.dy) << "orientation " << c.orientation;
        // The position moved the same way the motion says.
        m = read_state();
        EXPECT_EQ(m.x, c.x + c.dx) << "orientation " << c.orientation;
        EXPECT_EQ(m.y, c.y + c.dy) << "orientation " << c.orientation;
    }
}

TEST_F(MouseTest, CapturedMouseStopsAtTheEdges) {
    pointer_to(100, 100);
    input().set_mouse_mode(true);
    EXPECT_TRUE(input().mouse_exclusive());
    MousePosition start = read_state();
    EXPECT_EQ(start.x, 100);
    EXPECT_EQ(start.y, 100);

    xdotool("mousemove_relative -- 25 -12");
    ASSERT_TRUE(eventually([&] { return mouse_axis(0) == 25 && mouse_axis(1) == -12; }))
        << mouse_axis(0) << "," << mouse_axis(1);
    MousePosition m = read_state();
    EXPECT_EQ(m.x, 125);
    EXPECT_EQ(m.y, 88);

    // Far past the left edge: the position stops at 0 and motion back to the
    // right starts from there.
    xdotool("mousemove_relative -- -2000 0");
    ASSERT_TRUE(eventually([&] { return mouse_axis(0) <= -125; }));
    m = read_state();
    EXPECT_EQ(m.x, 0);
    xdotool("mousemove_relative -- 30 0");
    ASSERT_TRUE(eventually([&] { return mouse_axis(0) == 30; }));
    EXPECT_EQ(read_state().x, 30);

    // Past the right and bottom edges: the width and height themselves.
    xdotool("mousemove_relative -- 3000 3000");
    ASSERT_TRUE(eventually([&] { return mouse_axis(0) >= k_window_width - 30; }));
    m = read_state();
    EXPECT_EQ(m.x, k_window_width);
    EXPECT_EQ(m.y, k_window_height);

    // Letting the mouse go shows the cursor where the mouse had got to.
    input().set_mouse_mode(false);
    EXPECT_FALSE(input().mouse_exclusive());
    EXPECT_TRUE(eventually([&] {
        MousePosition now = read_state();
        return now.x == k_window_width && now.y == k_window_height;
    }));
}

#ifndef _WIN32
// Whether some other client holds the pointer grabbed, asked as another
// client of the X server would: by trying to grab it.
bool pointer_grabbed_elsewhere() {
    Display* d = XOpenDisplay(nullptr);
    if (d == nullptr) return false;
    int result = XGrabPointer(d, DefaultRootWindow(d), False, 0, GrabModeAsync, GrabModeAsync, 0, 0, CurrentTime);
    if (result == GrabSuccess) XUngrabPointer(d, CurrentTime);
    XCloseDisplay(d);
    return result == AlreadyGrabbed;
}

TEST_F(MouseTest, ADebuggerStopLetsACapturedMouseGo) {
    pointer_to(100, 100);
    input().set_mouse_mode(true);
    ASSERT_TRUE(eventually([] { return pointer_grabbed_elsewhere(); })) << "the captured mouse holds the pointer";

    // A debugger of our own on a socket; at the stop it looks at the
    // pointer before it answers.
    TempDir dir;
    std::string path = dir.file("debugger.sock");
    int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 1), 0);
    ::setenv("CORVANE_DEBUGGER", path.c_str(), 1);
    bool attached = plat::debugger_connect_from_environment();
    ::unsetenv("CORVANE_DEBUGGER");
    ASSERT_TRUE(attached);
    int connection = ::accept(listener, nullptr, nullptr);
    ASSERT_GE(connection, 0);
    std::string message;
    bool grabbed_at_stop = true;
    std::thread debugger([&] {
        unsigned char length[4];
        if (::read(connection, length, 4) != 4) return;
        message.resize(length[0] | (length[1] << 8));
        if (::read(connection, message.data(), message.size()) != static_cast<ssize_t>(message.size())) return;
        grabbed_at_stop = pointer_grabbed_elsewhere();
        char answer = 0;
        (void)!::write(connection, &answer, 1);
    });
    debugger_break(&debug_info());
    debugger.join();
    plat::debugger_disconnect();
    ::close(connection);
    ::close(listener);
    app_state.activate_request = false;

    EXPECT_EQ(message.rfind("BP", 0), 0u) << message;
    EXPECT_FALSE(grabbed_at_stop) << "the pointer stayed captured while the debugger had it";
    EXPECT_TRUE(input().mouse_exclusive());
    EXPECT_TRUE(eventually([] { return pointer_grabbed_elsewhere(); })) << "captured again after the stop";
    input().set_mouse_mode(false);
}

#else
// Whether the cursor is held inside part of the screen, as the system holds
// it for a captured mouse.
bool cursor_held() {
    RECT clip{};
    if (!GetClipCursor(&clip)) return false;
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int right = left + GetSystemMetrics(SM_CXVIRTUALSCREEN), bottom = top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
    return clip.left > left || clip.top > top || clip.right < right || clip.bottom < bottom;
}

// What the stand-in debugger saw when the debug-output event came.
struct StopSeen {
    std::string message;
    bool held = true;
};
StopSeen* stop_seen = nullptr;

// A debugger gets the debug-output event first; without one, the process's
// own first handlers do, while the program waits inside the call just as it
// does for a debugger.
LONG CALLBACK on_debug_output(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    if (record->ExceptionCode != DBG_PRINTEXCEPTION_C || stop_seen == nullptr || record->NumberParameters < 2)
        return EXCEPTION_CONTINUE_SEARCH;
    const auto* text = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
    stop_seen->message.assign(text, strnlen(text, static_cast<std::size_t>(record->ExceptionInformation[0])));
    stop_seen->held = cursor_held();
    return EXCEPTION_CONTINUE_SEARCH;
}

PEB* own_peb() {
    using QueryFn = LONG(WINAPI*)(HANDLE, PROCESSINFOCLASS, void*, ULONG, ULONG*);
    FARPROC found = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess");
    if (found == nullptr) return nullptr;
    QueryFn query = nullptr;
    std::memcpy(&query, &found, sizeof query);
    PROCESS_BASIC_INFORMATION basic{};
    if (query(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0) return nullptr;
    return basic.PebBaseAddress;
}

TEST_F(MouseTest, ADebuggerStopLetsACapturedMouseGo) {
    pointer_to(100, 100);
    input().set_mouse_mode(true);
    ASSERT_TRUE(eventually([] { return cursor_held(); })) << "the captured mouse holds the cursor";

    // The system reports a debugger through the process's "being debugged"
    // flag; the stand-in is the handler above.
    PEB* peb = own_peb();
    ASSERT_NE(peb, nullptr);
    peb->BeingDebugged = 1;
    ASSERT_TRUE(plat::debugger_connect_from_environment());
    StopSeen seen;
    stop_seen = &seen;
    void* handler = AddVectoredExceptionHandler(1, on_debug_output);
    debugger_break(&debug_info());
    RemoveVectoredExceptionHandler(handler);
    stop_seen = nullptr;
    peb->BeingDebugged = 0;
    plat::debugger_disconnect();
    app_state.activate_request = false;

    EXPECT_EQ(seen.message.rfind("BP", 0), 0u) << seen.message;
    EXPECT_FALSE(seen.held) << "the cursor stayed held while the debugger had it";
    EXPECT_TRUE(input().mouse_exclusive());
    EXPECT_TRUE(eventually([] { return cursor_held(); })) << "captured again after the stop";
    input().set_mouse_mode(false);
    EXPECT_FALSE(cursor_held());
}
#endif

TEST_F(MouseTest, DevicesMadeForACapturedMouse) {
    pointer_to(60, 70);
    log_start_fresh();
    InputSystem captured(renderer().window);
    captured.create_devices(renderer().window, true);
    app_state.input = &captured;
    EXPECT_TRUE(captured.mouse_exclusive());
    MousePosition m = read_state();
    EXPECT_EQ(m.x, 60);
    EXPECT_EQ(m.y, 70);
    xdotool("mousemove_relative -- 9 4");
    EXPECT_TRUE(eventually([&] { return mouse_axis(0) == 9 && mouse_axis(1) == 4; }));
    // The capture took: no failure lines.
    std::FILE* log = std::fopen(log_path().c_str(), "rb");
    ASSERT_NE(log, nullptr);
    char text[256] = {};
    std::size_t n = std::fread(text, 1, sizeof text - 1, log);
    std::fclose(log);
    EXPECT_EQ(std::string(text, n), "Start new log...\n");
    captured.release_devices();
    app_state.input = &input();
}

}  // namespace
}  // namespace crv::test
