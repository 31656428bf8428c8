// Shared by the window, message, keyboard and mouse files of the Windows
// backend; not part of the platform interface. Main thread only: the window
// procedure runs on the thread that created the window, inside the message
// pump or inside the user calls that send messages.
#pragma once

#include "platform/win32/win32_api.hpp"

#include <array>
#include <cstdint>
#include <string>

namespace crv::plat::win32 {

// The class every window of the run-time is made with.
constexpr wchar_t k_window_class[] = L"Corvane";

// Window procedure of that class (messages file). It turns what the game
// handles into portable messages and keeps the keyboard state.
LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// A window marked this way is being destroyed (or is only a helper window):
// its procedure does the default handling and queues nothing.
void mark_silent(HWND window);

// Takes every waiting Win32 message of the thread off the queue, translates
// and dispatches it, so that the portable messages and key states are
// current.
void collect_messages();

// Key state from the keyboard messages: lparam is the message's, whose
// bits 16-24 hold the scan code and the extended-key flag. The key code, 0
// for a key the run-time does not know.
int note_key(LPARAM lparam, bool down);
// Called after the keys were handed to the game.
void note_keyboard_polled();
// Forgets every held key, for when the keyboard focus leaves; the state
// before (0x80 for each key that was down).
std::array<std::uint8_t, 256> release_all_keys();
// Windows sends no key-up for the first of two shift keys released while
// the other is held: a shift key noted down that the system has up is
// forgotten here. Writes the codes released so (at most 2) and counts them.
int release_silent_shifts(int codes[2]);

// Wheel motion in the system's units (120 per notch).
void note_wheel(int delta);

// The game window made last and not destroyed yet (null when there is
// none): the window that the sound device cooperates with and that the
// file dialogs are owned by. A screen-mode change makes a new window
// before it destroys the old one.
HWND newest_window();

// The run-time's texts are Latin-1, whose bytes are the first 256 UTF-16
// code units.
inline std::wstring latin1_wide(const char* text) {
    std::wstring wide;
    if (text == nullptr) return wide;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p)
        wide += static_cast<wchar_t>(*p);
    return wide;
}

}  // namespace crv::plat::win32
