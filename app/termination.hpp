// Program end and fatal errors. Every end of the program goes through
// end_program: the debug-mode lines, runtime_shutdown (the quit callback and
// the teardown of every service in a fixed order) and exit code 0 through
// std::exit. A fatal error is set_error followed by end_program.
// Main thread only.
#pragma once

#include "core/dyn_string.hpp"
#include "core/fatal.hpp"

namespace crv {

// Tears the run-time down; a second call does nothing.
void runtime_shutdown();
// Shuts down, starts the command line and exits.
void end_and_run(const DynString& command);
// Ends the program with error 21 when value is 0.
void assert_value(double value);

}  // namespace crv
