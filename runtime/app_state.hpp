// The shared run-time state: the AppState record (declared with the game's
// headers, corvane/state.hpp) sits below the subsystems, which all read
// it; the application frame (app/) fills it at start-up and drives it.
// Main thread only.
#pragma once

#include <corvane/state.hpp>
