// The keyboard's live state, indexed by key code: the keyboard's scan codes
// as the run-time numbers them on every platform (escape 1, return 28, left
// alt 56, F4 62, keypad enter 156, cursor up 200, ...). Main thread only.
#pragma once

#include <cstdint>

namespace crv::plat {

// Fills 256 bytes: 0x80 while the key is down, else 0. Reflects the
// messages collected so far (peek_message refreshes it).
void keyboard_state(std::uint8_t states[256]);
// Key code of a backend key (used by the message translation); 0 if none.
int key_code_from_backend(int backend_scancode);

}  // namespace crv::plat
