// The Windows headers in the order they must come (WinSock before
// windows.h), and the conversions between the run-time's UTF-8 names and the
// UTF-16 the wide Win32 calls take. Used by the files of this backend and by
// the Windows parts of the tools and the test support that start programs.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace crv::plat::win32 {

// Bytes that are not UTF-8 are taken as the ANSI code page, so that a name
// typed in an older game still reaches the right file.
inline std::wstring widen(std::string_view text) {
    if (text.empty()) return std::wstring();
    const int size = static_cast<int>(text.size());
    UINT page = CP_UTF8;
    int count = MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (count <= 0) {
        page = CP_ACP;
        count = MultiByteToWideChar(page, 0, text.data(), size, nullptr, 0);
        if (count <= 0) return std::wstring();
    }
    std::wstring wide(static_cast<std::size_t>(count), L'\0');
    MultiByteToWideChar(page, page == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0, text.data(), size, wide.data(), count);
    return wide;
}

inline std::string narrow(std::wstring_view text) {
    if (text.empty()) return std::string();
    const int size = static_cast<int>(text.size());
    const int count = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (count <= 0) return std::string();
    std::string utf8(static_cast<std::size_t>(count), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, utf8.data(), count, nullptr, nullptr);
    return utf8;
}

// Names handed back to the run-time use "/" like those of the other backend.
inline std::string narrow_path(std::wstring_view text) {
    std::string path = narrow(text);
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    return path;
}

// Some calls (LoadLibrary, the shell) want "\" only.
inline std::wstring widen_path(std::string_view text) {
    std::wstring wide = widen(text);
    for (wchar_t& c : wide) {
        if (c == L'/') c = L'\\';
    }
    return wide;
}

// One command line for CreateProcess, each argument quoted so that
// CommandLineToArgvW and the C run-time split it back out unchanged.
inline std::wstring command_line(const std::vector<std::string>& argv) {
    std::wstring line;
    for (const std::string& text : argv) {
        const std::wstring arg = widen(text);
        if (!line.empty()) line += L' ';
        if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
            line += arg;
            continue;
        }
        line += L'"';
        std::size_t backslashes = 0;
        for (wchar_t c : arg) {
            if (c == L'\\') {
                ++backslashes;
                continue;
            }
            if (c == L'"') backslashes = backslashes * 2 + 1;
            line.append(backslashes, L'\\');
            backslashes = 0;
            line += c;
        }
        line.append(backslashes * 2, L'\\');
        line += L'"';
    }
    return line;
}

}  // namespace crv::plat::win32
