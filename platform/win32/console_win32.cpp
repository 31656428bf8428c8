#include "platform/console.hpp"

#include <cstdio>

#include "platform/win32/win32_api.hpp"

namespace crv::plat {

// A console of the system's own: standard input and output are reopened on
// it so that the C streams reach it.
bool console_open() {
    if (GetConsoleWindow() == nullptr && !AllocConsole()) return false;
    std::fflush(stdout);
    bool ok = std::freopen("CONOUT$", "w", stdout) != nullptr;
    ok = std::freopen("CONIN$", "r", stdin) != nullptr && ok;
    return ok;
}

}  // namespace crv::plat
