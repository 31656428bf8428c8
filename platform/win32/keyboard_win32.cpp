#include "platform/keyboard.hpp"

#include "platform/win32/dinput_win32.hpp"
#include "platform/win32/window_win32.hpp"

#include <array>
#include <cstring>

namespace crv::plat {

namespace {

// Bit 7 set while the key is down, by key code; fed by the window's
// keyboard messages. The keyboard's state when the DirectInput keyboard
// cannot be read.
std::array<std::uint8_t, 256> keys{};

// The DirectInput keyboard: non-exclusive, so the system keys keep working,
// and foreground, so it reads only while the game is in front. Its state
// is indexed by the same scan-code numbers as the run-time's key codes.
IDirectInputDevice8W* keyboard = nullptr;
// Whether it took the keyboard when it was made.
bool first_acquired = true;

bool bind_keyboard(IDirectInputDevice8W* device) {
    HWND window = win32::game_window();
    return window != nullptr && SUCCEEDED(device->SetDataFormat(&c_dfDIKeyboard)) &&
           SUCCEEDED(device->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND));
}

// Made once DirectInput and the game window both exist.
void make_keyboard() {
    if (keyboard != nullptr) return;
    IDirectInput8W* input = win32::direct_input();
    if (input == nullptr || win32::game_window() == nullptr) return;
    IDirectInputDevice8W* device = nullptr;
    if (FAILED(input->CreateDevice(GUID_SysKeyboard, &device, nullptr)) || device == nullptr) return;
    if (!bind_keyboard(device)) {
        device->Release();
        return;
    }
    keyboard = device;
    first_acquired = SUCCEEDED(keyboard->Acquire());
}

// The device's 256 bytes, after taking the keyboard again if it was lost
// (the window went to the back, or was made anew); false when it cannot
// be read now.
bool read_keyboard(std::uint8_t states[256]) {
    if (keyboard == nullptr) return false;
    // Lets the system bring its input queue up to date first.
    GetQueueStatus(QS_INPUT);
    if (FAILED(keyboard->Acquire())) {
        if (!bind_keyboard(keyboard) || FAILED(keyboard->Acquire())) return false;
    }
    BYTE device_state[256] = {};
    if (FAILED(keyboard->GetDeviceState(sizeof device_state, device_state))) return false;
    for (std::size_t i = 0; i < 256; ++i) states[i] = (device_state[i] & 0x80) != 0 ? 0x80 : 0;
    return true;
}

// Keypad keys typing digits while num lock is on: the layout maps their scan
// codes to the cursor-movement keys, which type nothing.
UINT keypad_digit_key(int code) {
    switch (code) {
        case 71: return VK_NUMPAD7;
        case 72: return VK_NUMPAD8;
        case 73: return VK_NUMPAD9;
        case 75: return VK_NUMPAD4;
        case 76: return VK_NUMPAD5;
        case 77: return VK_NUMPAD6;
        case 79: return VK_NUMPAD1;
        case 80: return VK_NUMPAD2;
        case 81: return VK_NUMPAD3;
        case 82: return VK_NUMPAD0;
        case 83: return VK_DECIMAL;
        default: return 0;
    }
}

// The keypad's operator keys type the same under every num lock state;
// some layouts (Wine's among them) map their scan codes to no key.
UINT keypad_operator_key(int code) {
    switch (code) {
        case 55: return VK_MULTIPLY;
        case 74: return VK_SUBTRACT;
        case 78: return VK_ADD;
        case 181: return VK_DIVIDE;
        default: return 0;
    }
}

}  // namespace

namespace win32 {

int note_key(LPARAM lparam, bool down) {
    const auto backend = static_cast<int>((lparam >> 16) & 0x1ff);
    int code = key_code_from_backend(backend);
    if (code != 0) keys[static_cast<std::size_t>(code)] = down ? 0x80 : 0;
    return code;
}

std::array<std::uint8_t, 256> release_all_keys() {
    std::array<std::uint8_t, 256> before = keys;
    keys.fill(0);
    return before;
}

int release_silent_shifts(int codes[2]) {
    int n = 0;
    if (keys[42] != 0 && (GetKeyState(VK_LSHIFT) & 0x8000) == 0) {
        keys[42] = 0;
        codes[n++] = 42;
    }
    if (keys[54] != 0 && (GetKeyState(VK_RSHIFT) & 0x8000) == 0) {
        keys[54] = 0;
        codes[n++] = 54;
    }
    return n;
}

}  // namespace win32

// Without DirectInput the keys still come from the window's messages.
bool input_open() {
    if (win32::direct_input() == nullptr) return false;
    make_keyboard();
    return true;
}

void input_close() {
    if (keyboard != nullptr) {
        keyboard->Unacquire();
        keyboard->Release();
    }
    keyboard = nullptr;
    first_acquired = true;
    win32::release_mouse();
}

bool keyboard_acquired() { return keyboard == nullptr || first_acquired; }

// The backend key is bits 16-24 of a keyboard message's lparam: the scan
// code, and the extended-key flag, which adds 0x80 as in the keyboard's own
// numbering (keypad enter 28 + 0x80 = 156, cursor up 72 + 0x80 = 200).
int key_code_from_backend(int backend_scancode) {
    if (backend_scancode <= 0 || backend_scancode > 0x1ff) return 0;
    const int scan = backend_scancode & 0xff;
    const bool extended = (backend_scancode & 0x100) != 0;
    // Num lock and pause share scan code 0x45 and tell themselves apart the
    // other way round: num lock arrives flagged extended, pause not.
    if (scan == 0x45) return extended ? 69 : 197;
    if (scan >= 0x80) return 0;
    return scan + (extended ? 0x80 : 0);
}

void keyboard_state(std::uint8_t states[256]) {
    win32::collect_messages();
    make_keyboard();
    if (read_keyboard(states)) {
        win32::note_keyboard_polled();
        return;
    }
    // The messages collected above have had their shift keys checked
    // (release_silent_shifts).
    std::memcpy(states, keys.data(), keys.size());
    win32::note_keyboard_polled();
}

int key_char(int code) {
    if (code <= 0 || code > 255) return 0;
    HKL layout = GetKeyboardLayout(0);
    const UINT scan = static_cast<UINT>(code & 0x7f);
    const bool extended = (code & 0x80) != 0;
    BYTE state[256] = {};
    if (!GetKeyboardState(state)) return 0;
    UINT key = 0;
    if (!extended && (state[VK_NUMLOCK] & 1) != 0 && (state[VK_SHIFT] & 0x80) == 0) key = keypad_digit_key(code);
    if (key == 0) key = keypad_operator_key(code);
    if (key == 0) key = MapVirtualKeyExW(scan | (extended ? 0xe000u : 0u), MAPVK_VSC_TO_VK_EX, layout);
    if (key == 0) return 0;
    wchar_t text[8] = {};
    // Flag 4: leave the layout's dead-key state as it is.
    int n = ToUnicodeEx(key, scan, state, text, 8, 4, layout);
    if (n < 0) {
        // A dead key: what it types depends on the next key. Asking again
        // takes it out of the layout's state where the flag is not known.
        ToUnicodeEx(key, scan, state, text, 8, 4, layout);
        return 0;
    }
    if (n != 1 || text[0] == 0 || text[0] > 255) return 0;
    return static_cast<int>(text[0]);
}

}  // namespace crv::plat
