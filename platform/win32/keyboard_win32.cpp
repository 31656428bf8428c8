#include "platform/keyboard.hpp"

#include "platform/win32/window_win32.hpp"

#include <array>
#include <cstring>

namespace crv::plat {

namespace {

// Bit 7 set while the key is down, by key code; fed by the window's
// keyboard messages.
std::array<std::uint8_t, 256> keys{};

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

}  // namespace

namespace win32 {

void note_key(LPARAM lparam, bool down) {
    const auto backend = static_cast<int>((lparam >> 16) & 0x1ff);
    int code = key_code_from_backend(backend);
    if (code != 0) keys[static_cast<std::size_t>(code)] = down ? 0x80 : 0;
}

void release_all_keys() { keys.fill(0); }

}  // namespace win32

// Keyboard messages always reach the window; there is nothing to open.
bool input_open() { return true; }
void input_close() {}

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
    // Windows sends no key-up for the first of two shift keys released
    // while the other is held; ask for the two sides separately.
    if ((GetKeyState(VK_LSHIFT) & 0x8000) == 0) keys[42] = 0;
    if ((GetKeyState(VK_RSHIFT) & 0x8000) == 0) keys[54] = 0;
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
