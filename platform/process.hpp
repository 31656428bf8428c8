// Starting other programs from a command line. Game thread.
#pragma once

namespace crv::plat {

// The show command a program's first window takes when nothing else says
// (the system's "show default").
inline constexpr int k_show_default = 10;

// Starts the program a command line names (arguments split at blanks,
// double quotes group, backslash-quote is a literal quote), with this
// process's working directory and environment. With wait set, blocks until
// it ends and stores its exit status in *exit_code; without, the program
// is not left as a child of this process (nothing has to reap it). False
// when it cannot be started. show is the show command the program is
// started with (0 hidden, 1 normal, 2 minimised, 3 maximised, ...): on
// Windows it goes into the program's start-up information, on Linux
// programs open their windows as they choose and it has no effect.
bool start_process(const char* command_line, bool wait, int* exit_code, int show = k_show_default);

// The show command this process was started with: on Windows the one its
// start-up information carries, when it carries one; otherwise (and always
// on Linux) k_show_default.
int startup_show_command();

// Hands a document, folder or address to the desktop's opener (xdg-open),
// without waiting for it. False when the opener could not be started.
bool open_with_default_application(const char* target);

}  // namespace crv::plat
