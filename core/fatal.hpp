// The error state and the program end as the core values see them. Defined
// by the application frame (app/termination.cpp); declared here so that the
// value types can record errors and end the program without depending on
// the frame's other parts.
#pragma once

#include "core/dyn_string.hpp"

namespace crv {

// error_line = current_line, error_code = code.
void set_error(int code);
int last_error_code();
// Ends the process with exit code 0 after the shutdown sequence. Returns at
// once (and only then) when an end is already under way.
void end_program();
// "TX" + text to an attached debugger; nothing without one.
void debug_print(const DynString& text);

}  // namespace crv
