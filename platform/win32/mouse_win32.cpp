#include "platform/mouse.hpp"

#include "platform/window.hpp"
#include "platform/win32/dinput_win32.hpp"
#include "platform/win32/window_win32.hpp"

namespace crv::plat {

namespace {

int wheel_units = 0;  // 120 per notch; partial notches of smooth wheels add up

// Relative mode is the DirectInput mouse, exclusive and foreground: the
// system hides the cursor, keeps it inside the window and reports motion,
// wheel and buttons through the device. Letting go of relative mode sets the
// device to non-exclusive, so that the cursor moves freely again.
IDirectInputDevice8W* mouse = nullptr;
bool relative = false;
DWORD level = DISCL_NONEXCLUSIVE | DISCL_FOREGROUND;
// The device's readings not yet taken: motion, and the buttons of the last
// reading.
int motion_x = 0;
int motion_y = 0;
int device_buttons = 0;
bool device_read = false;

bool bind_mouse(IDirectInputDevice8W* device) {
    HWND window = win32::game_window();
    return window != nullptr && SUCCEEDED(device->SetDataFormat(&c_dfDIMouse)) &&
           SUCCEEDED(device->SetCooperativeLevel(window, level));
}

bool make_mouse() {
    if (mouse != nullptr) return true;
    IDirectInput8W* input = win32::direct_input();
    if (input == nullptr || win32::game_window() == nullptr) return false;
    IDirectInputDevice8W* device = nullptr;
    if (FAILED(input->CreateDevice(GUID_SysMouse, &device, nullptr)) || device == nullptr) return false;
    mouse = device;
    return true;
}

void drop_mouse() {
    if (mouse == nullptr) return;
    mouse->Unacquire();
    mouse->Release();
    mouse = nullptr;
}

// Reads the captured mouse's state into the readings not yet taken. A
// device that lost the mouse (the window went to the back) takes it again;
// when even that fails it is bound anew and this reading has nothing.
void read_device() {
    device_read = false;
    if (!relative) return;
    if (mouse == nullptr) {
        // Made again after a failed capture, once the window can take it.
        if (!make_mouse()) return;
        if (!bind_mouse(mouse) || FAILED(mouse->Acquire())) return;
    }
    DIMOUSESTATE state{};
    if (FAILED(mouse->GetDeviceState(sizeof state, &state))) {
        if (FAILED(mouse->Acquire())) {
            if (bind_mouse(mouse)) mouse->Acquire();
            return;
        }
        if (FAILED(mouse->GetDeviceState(sizeof state, &state))) return;
    }
    motion_x += static_cast<int>(state.lX);
    motion_y += static_cast<int>(state.lY);
    wheel_units += static_cast<int>(state.lZ);
    device_buttons = ((state.rgbButtons[0] & 0x80) != 0 ? k_mouse_left : 0) |
                     ((state.rgbButtons[1] & 0x80) != 0 ? k_mouse_right : 0) |
                     ((state.rgbButtons[2] & 0x80) != 0 ? k_mouse_middle : 0);
    device_read = true;
}

}  // namespace

namespace win32 {

// While the captured mouse is read the wheel comes from the device; the
// window's wheel messages would count it twice.
void note_wheel(int delta) {
    if (!relative || mouse == nullptr) wheel_units += delta;
}

void release_mouse() {
    drop_mouse();
    relative = false;
    level = DISCL_NONEXCLUSIVE | DISCL_FOREGROUND;
    motion_x = motion_y = 0;
}

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
    read_device();
    if (device_read) {
        *buttons = device_buttons;
        return true;
    }
    // The physical buttons: left is the left one even when the user
    // swapped them for the pointer.
    *buttons = ((GetAsyncKeyState(VK_LBUTTON) & 0x8000) != 0 ? k_mouse_left : 0) |
               ((GetAsyncKeyState(VK_RBUTTON) & 0x8000) != 0 ? k_mouse_right : 0) |
               ((GetAsyncKeyState(VK_MBUTTON) & 0x8000) != 0 ? k_mouse_middle : 0);
    return true;
}

void mouse_warp_screen(int x, int y) { SetCursorPos(x, y); }

bool mouse_set_relative(bool on) {
    motion_x = motion_y = 0;
    if (!on) {
        relative = false;
        level = DISCL_NONEXCLUSIVE | DISCL_FOREGROUND;
        if (mouse != nullptr) {
            mouse->Unacquire();
            if (bind_mouse(mouse)) mouse->Acquire();
        }
        return true;
    }
    relative = true;
    level = DISCL_EXCLUSIVE | DISCL_FOREGROUND;
    if (!make_mouse()) return false;
    mouse->Unacquire();
    if (!bind_mouse(mouse) || FAILED(mouse->Acquire())) {
        // Made again on a later read.
        drop_mouse();
        return false;
    }
    // Motion from before the capture is not motion of the captured mouse.
    DIMOUSESTATE state{};
    mouse->GetDeviceState(sizeof state, &state);
    return true;
}

void mouse_take_motion(int* dx, int* dy) {
    win32::collect_messages();
    read_device();
    *dx = motion_x;
    *dy = motion_y;
    motion_x = motion_y = 0;
}

int mouse_take_wheel() {
    win32::collect_messages();
    read_device();
    int notches = wheel_units / WHEEL_DELTA;
    wheel_units -= notches * WHEEL_DELTA;
    return notches;
}

}  // namespace crv::plat
