// The connection to an attached debugger: a stream socket named by the
// CORVANE_DEBUGGER environment variable. Each message is a 4-byte
// little-endian length and its bytes. A closed or failed connection
// detaches: sends are dropped and waits return at once. Main thread.
#pragma once

#include <cstddef>

namespace crv::plat {

// Connects when CORVANE_DEBUGGER names a socket and lets the debugger read
// and write this process's memory. Returns whether a debugger is attached.
bool debugger_connect_from_environment();
bool debugger_attached();
void debugger_send(const char* bytes, std::size_t count);
// Blocks until the debugger answers with one byte; -1 when it detached.
int debugger_wait_answer();
void debugger_disconnect();

}  // namespace crv::plat
