// The game's optional callbacks ("CRV_ON_PAUSE", "CRV_ON_RESUME",
// "CRV_ON_QUIT", "CRV_WIN32_MSG"), found by name in the game's
// named-function table. A missing callback is not an error. Main thread.
#pragma once

#include "app/clock.hpp"

namespace crv {

// Calls the named game function when the game defines it.
void call_game_callback(const char* name);
// "CRV_WIN32_MSG", looked up once and cached in AppState; null when absent.
MessageCallback message_callback();

}  // namespace crv
