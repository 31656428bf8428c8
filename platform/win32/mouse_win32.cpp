#include "platform/mouse.hpp"

#include "platform/window.hpp"
#include "platform/win32/window_win32.hpp"

namespace crv::plat {

namespace {

int wheel_units = 0;  // 120 per notch; partial notches of smooth wheels add up

// Relative mode: the cursor is held in the middle of the window that has
// the focus and every read reports how far it was moved from there.
bool relative = false;
POINT anchor{};

bool anchor_point(POINT* p) {
    HWND focus = GetFocus();
    RECT r{};
    if (focus != nullptr && GetClientRect(focus, &r)) {
        POINT centre{(r.right - r.left) / 2, (r.bottom - r.top) / 2};
        ClientToScreen(focus, &centre);
        *p = centre;
        return true;
    }
    return false;
}

}  // namespace

namespace win32 {

void note_wheel(int delta) { wheel_units += delta; }

}  // namespace win32

bool mouse_cursor(Window* window, int* x, int* y, int* buttons) {
    *x = *y = *buttons = 0;
    POINT p{};
    if (!GetCursorPos(&p)) return false;
    if (window != nullptr) {
        int wx = 0, wy = 0;
        window_get_position(window, &wx, &wy);
        p.x -= wx;
        p.y -= wy;
    }
    *x = p.x;
    *y = p.y;
    // The physical buttons: left is the left one even when the user
    // swapped them for the pointer.
    *buttons = ((GetAsyncKeyState(VK_LBUTTON) & 0x8000) != 0 ? k_mouse_left : 0) |
               ((GetAsyncKeyState(VK_RBUTTON) & 0x8000) != 0 ? k_mouse_right : 0) |
               ((GetAsyncKeyState(VK_MBUTTON) & 0x8000) != 0 ? k_mouse_middle : 0);
    return true;
}

void mouse_warp_screen(int x, int y) { SetCursorPos(x, y); }

bool mouse_set_relative(bool on) {
    if (!on) {
        if (relative) ClipCursor(nullptr);
        relative = false;
        return true;
    }
    POINT centre{};
    if (!anchor_point(&centre)) return false;
    // The cursor stays inside the window so that no other window gets the
    // clicks.
    RECT area{};
    HWND focus = GetFocus();
    GetClientRect(focus, &area);
    MapWindowPoints(focus, nullptr, reinterpret_cast<POINT*>(&area), 2);
    ClipCursor(&area);
    anchor = centre;
    SetCursorPos(anchor.x, anchor.y);
    relative = true;
    return true;
}

void mouse_take_motion(int* dx, int* dy) {
    *dx = *dy = 0;
    if (!relative) return;
    win32::collect_messages();
    POINT p{};
    if (!GetCursorPos(&p)) return;
    *dx = p.x - anchor.x;
    *dy = p.y - anchor.y;
    if (*dx != 0 || *dy != 0) SetCursorPos(anchor.x, anchor.y);
}

int mouse_take_wheel() {
    win32::collect_messages();
    int notches = wheel_units / WHEEL_DELTA;
    wheel_units -= notches * WHEEL_DELTA;
    return notches;
}

}  // namespace crv::plat
