// DirectInput 8, shared by the keyboard, mouse and controller files of the
// Windows backend; not part of the platform interface. Main thread only.
// The interface is made on first use and kept for the life of the process;
// a system without DirectInput gives null and the files fall back to the
// plain window messages, cursor and WinMM calls.
#pragma once

#ifndef DIRECTINPUT_VERSION
#define DIRECTINPUT_VERSION 0x0800
#endif

#include "platform/win32/win32_api.hpp"

#include <dinput.h>

namespace crv::plat::win32 {

// The process's DirectInput 8 interface (not add-referenced), or null.
IDirectInput8W* direct_input();

// The window that devices are bound to (cooperative levels): the run-time's
// window that has the keyboard focus, else its first visible one; null
// when there is none yet.
HWND game_window();

// Lets go of the mouse device (the mouse file's), at input_close.
void release_mouse();

// Hands out this interface from now on instead of the system's (null goes
// back to the system's), so that tests can present devices of their own.
// Controllers are then looked for on every update rather than now and
// then. Devices made from the previous interface must be closed first.
void use_direct_input(IDirectInput8W* replacement);
// Whether controllers are looked for on every update.
bool direct_input_replaced();

}  // namespace crv::plat::win32
