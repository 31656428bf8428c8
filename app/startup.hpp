// Start-up: from the process entry to the game's first statement. Fills
// AppState from the project settings, writes the fresh debug log and brings
// the services up in their fixed order. Main thread, once.
#pragma once

#include <string>

namespace crv {

// The command line after the program name: leading blanks and tabs
// skipped, a quoted program name ends at its closing quote, an unquoted one
// at the first blank or tab, and the blanks and tabs after it skipped.
std::string argument_text(const char* command_line);
// Never returns.
[[noreturn]] void win_main(int show_command);
int runtime_startup(int show_command, const char* caption);

}  // namespace crv
