#include "platform/events.hpp"

#include "platform/clock.hpp"
#include "platform/keyboard.hpp"
#include "platform/win32/window_win32.hpp"

#include <deque>

namespace crv::plat {

namespace {

std::deque<Message> pending;

void push(MessageKind kind, std::int32_t param, bool repeat = false, std::uint64_t ticks = 0) {
    pending.push_back(Message{kind, param, repeat, ticks != 0 ? ticks : counter_ticks()});
}

// A message older than this on the tick count is taken as stamped wrongly.
constexpr DWORD k_oldest_message_ms = 60000;

// The time the system gave the input message being handled, on the
// counter: its age on the tick count, taken back from the counter now. The
// tick count moves in steps, so a message can look younger than it is, or
// stamped ahead: that one counts as now.
std::uint64_t message_ticks() {
    const std::uint64_t now = counter_ticks();
    const DWORD age = GetTickCount() - static_cast<DWORD>(GetMessageTime());
    if (age > k_oldest_message_ms) return now;
    const std::uint64_t back = static_cast<std::uint64_t>(age) * counter_frequency() / 1000;
    return back < now ? now - back : now;
}

// Keys released elsewhere never reach this window: every key it had down
// goes up when the keyboard focus leaves.
void release_keys() {
    const std::array<std::uint8_t, 256> before = win32::release_all_keys();
    for (int code = 1; code < 256; ++code)
        if (before[static_cast<std::size_t>(code)] != 0) push(MessageKind::key_up, code);
}

// Set on helper windows and on windows being destroyed.
constexpr LONG_PTR k_silent = 1;

bool silent(HWND window) { return GetWindowLongPtrW(window, GWLP_USERDATA) == k_silent; }

// Alt+F4 is the run-time's own quit-key pair, read from the key states by
// the frame (which ends the game as "quit keys", the same way on every
// system), and the system's close shortcut. The system's close is held back
// until the game has had a keyboard poll to see the keys, or for a moment
// when it polls none (it waits in a pause), and then it closes the window.
struct PendingClose {
    HWND window = nullptr;
    ULONGLONG since = 0;
    bool polled = false;
};
PendingClose alt_f4;
constexpr ULONGLONG k_alt_f4_wait_ms = 500;

void release_alt_f4() {
    if (alt_f4.window == nullptr) return;
    if (!alt_f4.polled && GetTickCount64() - alt_f4.since < k_alt_f4_wait_ms) return;
    HWND window = alt_f4.window;
    alt_f4 = PendingClose{};
    if (IsWindow(window)) SendMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
}

}  // namespace

namespace win32 {

void mark_silent(HWND window) { SetWindowLongPtrW(window, GWLP_USERDATA, k_silent); }

LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (silent(window)) return DefWindowProcW(window, message, wparam, lparam);
    switch (message) {
        case WM_ERASEBKGND:
            push(MessageKind::erase_background, 0);
            return 1;
        case WM_CLOSE:
            // The game decides; the window stays until it is destroyed.
            push(MessageKind::close, 0);
            return 0;
        case WM_ACTIVATE:
            push(MessageKind::activate, static_cast<std::int32_t>(LOWORD(wparam)));
            if (LOWORD(wparam) == WA_INACTIVE) release_keys();
            // The default handling gives the window the keyboard focus.
            DefWindowProcW(window, message, wparam, lparam);
            return 0;
        case WM_KILLFOCUS:
            // Also when the focus goes to a child window (a video).
            release_keys();
            break;
        case WM_SYSCOMMAND: {
            const auto command = static_cast<std::int32_t>(wparam & 0xFFF0);
            push(MessageKind::system_command, command);
            // A running game keeps the screen on.
            if (command == k_command_screen_saver || command == k_command_monitor_power) return 0;
            break;
        }
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN: {
            constexpr LPARAM k_alt_held = LPARAM{1} << 29;
            // The key was down before: the system repeats it.
            constexpr LPARAM k_repeat = LPARAM{1} << 30;
            int code = note_key(lparam, true);
            if (code != 0) push(MessageKind::key_down, code, (lparam & k_repeat) != 0, message_ticks());
            if (message == WM_SYSKEYDOWN && wparam == VK_F4 && (lparam & k_alt_held) != 0) {
                if ((lparam & k_repeat) == 0 && alt_f4.window == nullptr)
                    alt_f4 = PendingClose{window, GetTickCount64(), false};
                return 0;
            }
            // The other system keys keep their meaning.
            if (message == WM_SYSKEYDOWN) break;
            return 0;
        }
        case WM_KEYUP: {
            int code = note_key(lparam, false);
            if (code != 0) push(MessageKind::key_up, code, false, message_ticks());
            return 0;
        }
        case WM_SYSKEYUP: {
            int code = note_key(lparam, false);
            if (code != 0) push(MessageKind::system_key_up, code, false, message_ticks());
            // Not handed on: releasing Alt would otherwise open the system
            // menu and hold the game in the menu's own message loop.
            return 0;
        }
        case WM_CHAR:
            // One UTF-16 unit; the run-time's characters are Latin-1.
            if (wparam > 0 && wparam < 256) push(MessageKind::character, static_cast<std::int32_t>(wparam));
            return 0;
        case WM_MOUSEWHEEL:
            note_wheel(GET_WHEEL_DELTA_WPARAM(wparam));
            return 0;
        case WM_SETCURSOR:
            // The class has no cursor of its own: the arrow over the client
            // area (hidden through the show count when the game hides it).
            if (LOWORD(lparam) == HTCLIENT) {
                SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)));
                return TRUE;
            }
            break;
        default:
            break;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

void collect_messages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Somebody asked the whole program to end.
            push(MessageKind::close, 0);
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    int shifts[2] = {};
    for (int i = 0, n = release_silent_shifts(shifts); i < n; ++i) push(MessageKind::key_up, shifts[i]);
    release_alt_f4();
}

void note_keyboard_polled() {
    if (alt_f4.window != nullptr) alt_f4.polled = true;
}

}  // namespace win32

bool peek_message(Message* out, bool remove) {
    win32::collect_messages();
    if (pending.empty()) return false;
    *out = pending.front();
    if (remove) pending.pop_front();
    return true;
}

}  // namespace crv::plat
