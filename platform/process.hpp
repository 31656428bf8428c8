// Starting other programs from a command line. Game thread.
#pragma once

namespace crv::plat {

// Starts the program a command line names (arguments split at blanks,
// double quotes group, backslash-quote is a literal quote), with this
// process's working directory and environment. With wait set, blocks until
// it ends and stores its exit status in *exit_code; without, the program
// is not left as a child of this process (nothing has to reap it). False
// when it cannot be started.
bool start_process(const char* command_line, bool wait, int* exit_code);

// Hands a document, folder or address to the desktop's opener (xdg-open),
// without waiting for it. False when the opener could not be started.
bool open_with_default_application(const char* target);

}  // namespace crv::plat
