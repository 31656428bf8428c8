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

}  // namespace crv
