// Opens the console window, writes a line to standard output, reads a line
// from standard input into the file CONSOLE_RESULT names, and has what the
// console shows recorded before ending: on Linux the terminal is asked to
// print its screen; on Windows the screen buffer is read into the file
// CONSOLE_SCREEN names.
#include "app/dialogs.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <unistd.h>

#ifdef _WIN32
#include "platform/win32/win32_api.hpp"

namespace {

void record_screen(const char* file) {
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (file == nullptr || !GetConsoleScreenBufferInfo(output, &info)) return;
    std::wstring text(static_cast<std::size_t>(info.dwSize.X) * static_cast<std::size_t>(info.dwSize.Y), L' ');
    DWORD read = 0;
    ReadConsoleOutputCharacterW(output, text.data(), static_cast<DWORD>(text.size()), COORD{0, 0}, &read);
    text.resize(read);
    // One line per row, without the blanks that fill it.
    std::wstring rows;
    const std::size_t width = static_cast<std::size_t>(info.dwSize.X);
    for (std::size_t at = 0; at < text.size(); at += width) {
        std::wstring row = text.substr(at, width);
        row.erase(row.find_last_not_of(L' ') + 1);
        rows += row + L'\n';
    }
    std::ofstream(file, std::ios::binary) << crv::plat::win32::narrow(rows);
}

}  // namespace
#endif

int main() {
    crv::console_open();
    if (isatty(STDOUT_FILENO) == 0 || isatty(STDIN_FILENO) == 0) {
        std::fprintf(stderr, "no console\n");
        return 2;
    }
#ifdef _WIN32
    // The name the test finds the window by.
    SetConsoleTitleW(L"Console");
#endif
    std::puts("written to standard output");
    std::fflush(stdout);
    char line[256] = {};
    if (std::fgets(line, sizeof line, stdin) == nullptr) return 3;
    std::ofstream(std::getenv("CONSOLE_RESULT"), std::ios::binary) << line;
#ifdef _WIN32
    record_screen(std::getenv("CONSOLE_SCREEN"));
#else
    std::fputs("\033[i", stdout);
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
#endif
    return 0;
}
