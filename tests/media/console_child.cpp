// Opens the console window, writes a line to standard output, reads a line
// from standard input into the file CONSOLE_RESULT names, and asks the
// terminal to print its screen before ending.
#include "app/dialogs.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <unistd.h>

int main() {
    crv::console_open();
    if (isatty(STDOUT_FILENO) == 0 || isatty(STDIN_FILENO) == 0) {
        std::fprintf(stderr, "no console\n");
        return 2;
    }
    std::puts("written to standard output");
    char line[256] = {};
    if (std::fgets(line, sizeof line, stdin) == nullptr) return 3;
    std::ofstream(std::getenv("CONSOLE_RESULT")) << line;
    std::fputs("\033[i", stdout);
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    return 0;
}
