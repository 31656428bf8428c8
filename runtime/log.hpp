// The debug log: "ErrorLog.txt" in the temporary folder, re-created at each
// start and appended one text at a time (open, append, close; five tries,
// then the text is dropped silently). Main thread. log_write, which games
// call too, is declared in corvane/core.hpp.
#pragma once

#include <corvane/core.hpp>

#include <string>

namespace crv {

std::string log_path();
// Deletes the log and writes its first line.
void log_start_fresh();
// One line for a game's load that failed: the call, the name it tried and
// the reason, as in: sprite_load "ship.png": file not found
void log_load_failure(const char* call, const char* name, const char* reason);

}  // namespace crv
