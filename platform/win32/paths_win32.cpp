#include "platform/paths.hpp"

#include "platform/win32/win32_api.hpp"

namespace crv::plat {

// GetTempPath's own order: TMP, TEMP, the user's profile, the Windows folder.
std::string temp_folder() {
    wchar_t buffer[MAX_PATH + 2];
    DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
    std::string folder = n > 0 && n <= MAX_PATH + 1 ? win32::narrow_path(std::wstring_view(buffer, n)) : "C:/Windows/Temp/";
    if (folder.back() != '/') folder += '/';
    return folder;
}

std::string executable_path() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return std::string();
        if (n < buffer.size()) {
            buffer.resize(n);
            return win32::narrow_path(buffer);
        }
        if (buffer.size() >= 32768) return std::string();
        buffer.resize(buffer.size() * 2);
    }
}

// Windows keeps the command line as one text already; it is handed on as
// the program received it.
std::string command_line() { return win32::narrow(GetCommandLineW()); }

bool change_directory(const std::string& folder) {
    return !folder.empty() && SetCurrentDirectoryW(win32::widen(folder).c_str()) != 0;
}

}  // namespace crv::plat
