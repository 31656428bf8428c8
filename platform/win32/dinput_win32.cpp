#include "platform/win32/dinput_win32.hpp"

#include "platform/win32/window_win32.hpp"

namespace crv::plat::win32 {

namespace {

IDirectInput8W* system_interface = nullptr;
bool system_tried = false;
IDirectInput8W* replacement_interface = nullptr;

bool ours(HWND window) {
    wchar_t name[16] = {};
    if (GetClassNameW(window, name, 16) == 0 || lstrcmpW(name, k_window_class) != 0) return false;
    // Helper windows and windows on their way out are marked in their user
    // data.
    return GetWindowLongPtrW(window, GWLP_USERDATA) == 0;
}

BOOL CALLBACK first_visible(HWND window, LPARAM found) {
    if (!ours(window) || !IsWindowVisible(window)) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

}  // namespace

IDirectInput8W* direct_input() {
    if (replacement_interface != nullptr) return replacement_interface;
    if (!system_tried) {
        system_tried = true;
        void* made = nullptr;
        if (SUCCEEDED(DirectInput8Create(GetModuleHandleW(nullptr), DIRECTINPUT_VERSION, IID_IDirectInput8W, &made,
                                         nullptr)))
            system_interface = static_cast<IDirectInput8W*>(made);
    }
    return system_interface;
}

HWND game_window() {
    HWND focus = GetFocus();
    if (focus != nullptr && ours(focus)) return focus;
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), first_visible, reinterpret_cast<LPARAM>(&found));
    return found;
}

void use_direct_input(IDirectInput8W* replacement) {
    if (replacement != nullptr) replacement->AddRef();
    if (replacement_interface != nullptr) replacement_interface->Release();
    replacement_interface = replacement;
}

bool direct_input_replaced() { return replacement_interface != nullptr; }

}  // namespace crv::plat::win32
