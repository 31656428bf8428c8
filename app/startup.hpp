// Start-up: from the process entry to the game's first statement. Fills
// AppState from the project settings, writes the fresh debug log and brings
// the services up in their fixed order. Main thread, once. argument_text
// is declared in corvane/app.hpp.
#pragma once

#include <corvane/app.hpp>

#include <string>

namespace crv {

// Never returns.
[[noreturn]] void win_main(int show_command);
int runtime_startup(int show_command, const char* caption);

}  // namespace crv
