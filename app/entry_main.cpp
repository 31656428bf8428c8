// The process entry of a game program: the show command the system started
// it with (the start-up information on Windows; the default, 10, on
// Linux), unless CORVANE_SHOW_COMMAND overrides it, and then win_main.
#include "app/startup.hpp"
#include "platform/process.hpp"

#include <cstdlib>

int main() {
    const char* show = std::getenv("CORVANE_SHOW_COMMAND");
    crv::win_main(show != nullptr && *show != 0 ? std::atoi(show) : crv::plat::startup_show_command());
}
