// The process entry of a game program: the show command (10, the default,
// unless CORVANE_SHOW_COMMAND says otherwise) and then win_main.
#include "app/startup.hpp"

#include <cstdlib>

int main() {
    const char* show = std::getenv("CORVANE_SHOW_COMMAND");
    crv::win_main(show != nullptr && *show != 0 ? std::atoi(show) : 10);
}
