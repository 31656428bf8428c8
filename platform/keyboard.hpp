// The keyboard's live state, indexed by key code: the keyboard's scan codes
// as the run-time numbers them on every platform (escape 1, return 28, left
// alt 56, F4 62, keypad enter 156, cursor up 200, ...), and what a key
// types in the current layout. Main thread only.
#pragma once

#include <cstdint>

namespace crv::plat {

// Connects keyboard and mouse reading to the windowing system. False when
// the system's input devices are missing; keys then come from the window's
// messages where there are any (else read as released) and the mouse from
// the cursor. Calling it again is harmless.
bool input_open();
// Lets go of what input_open took.
void input_close();
// False when input_open made a keyboard device that could not take the
// keyboard (the window was not in front); the device stays and takes it
// on a later poll.
bool keyboard_acquired();

// Fills 256 bytes: 0x80 while the key is down, else 0. Brings in what the
// windowing system has delivered first; the window messages collected on
// the way stay queued for peek_message.
void keyboard_state(std::uint8_t states[256]);
// Key code of a backend key (used by the message translation); 0 if none.
int key_code_from_backend(int backend_scancode);
// The character (Latin-1, 1..255) that the key with this code types in the
// current keyboard layout with the modifiers held now (shift, caps lock,
// num lock, the layout's third-level shift, control); 0 when it types
// none.
int key_char(int code);

}  // namespace crv::plat
