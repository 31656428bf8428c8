#include "platform/debug_channel.hpp"

#include <string>

#include "platform/win32/win32_api.hpp"

// The channel is the system's debug output: each message is one debug-output
// string, and the program stays inside OutputDebugString until the debugger
// has handled the event, reading and writing this process's memory
// meanwhile. The debugger is the one the system reports; CORVANE_DEBUGGER
// is not read here. A break's answer is therefore already given when the
// send returns.

namespace crv::plat {

namespace {
bool g_detached = false;
}  // namespace

bool debugger_connect_from_environment() {
    g_detached = false;
    return debugger_attached();
}

bool debugger_attached() { return !g_detached && IsDebuggerPresent() != 0; }

void debugger_send(const char* bytes, std::size_t count) {
    if (!debugger_attached() || bytes == nullptr) return;
    // The string ends at its first zero byte; texts carry none.
    std::string message(bytes, count);
    OutputDebugStringA(message.c_str());
}

int debugger_wait_answer() { return debugger_attached() ? 0 : -1; }

void debugger_disconnect() { g_detached = true; }

}  // namespace crv::plat
