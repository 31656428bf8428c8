// Program end and fatal errors. Every end of the program goes through
// end_program: the debug-mode lines, runtime_shutdown (the quit callback and
// the teardown of every service in a fixed order) and exit code 0 through
// std::exit. A fatal error is set_error followed by end_program.
// Main thread only. end_program and set_error are declared in
// corvane/core.hpp, end_and_run and assert_value in corvane/app.hpp.
#pragma once

#include <corvane/app.hpp>

namespace crv {

// Tears the run-time down; a second call does nothing.
void runtime_shutdown();

}  // namespace crv
