// A console window for a program without one: a terminal window on a new
// pseudo-terminal that becomes the process's standard input and output, so
// that later writes to standard output appear in it and typed lines can be
// read from standard input. The window stays until the program ends. Main
// thread only.
#pragma once

namespace crv::plat {

// False when no terminal window could be opened (no display, no terminal
// program); standard input and output are then left as they were.
bool console_open();

}  // namespace crv::plat
