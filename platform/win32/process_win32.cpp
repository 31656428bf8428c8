#include "platform/process.hpp"

#include <string>

#include "platform/win32/win32_api.hpp"

#include <shellapi.h>

namespace crv::plat {

// CreateProcess splits the command line by the same rules the interface
// states (its child's C run-time does), so the line is handed over whole.
bool start_process(const char* command_line, bool wait, int* exit_code, int show) {
    if (exit_code != nullptr) *exit_code = 0;
    if (command_line == nullptr) return false;
    std::wstring line = win32::widen(command_line);
    if (line.find_first_not_of(L" \t") == std::wstring::npos) return false;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(show);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return false;
    CloseHandle(info.hThread);
    // A process that nobody waits for leaves nothing behind once its
    // handle is closed.
    if (wait) {
        WaitForSingleObject(info.hProcess, INFINITE);
        DWORD code = 0;
        if (GetExitCodeProcess(info.hProcess, &code) && exit_code != nullptr) *exit_code = static_cast<int>(code);
    }
    CloseHandle(info.hProcess);
    return true;
}

int startup_show_command() {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    return (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : k_show_default;
}

bool open_with_default_application(const char* target) {
    if (target == nullptr || *target == 0) return false;
    std::wstring wide = win32::widen(target);
    // Values above 32 mean success.
    HINSTANCE result = ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace crv::plat
