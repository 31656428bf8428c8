#include "platform/console.hpp"

#include <cstdio>
#include <fcntl.h>
#include <io.h>

#include "platform/win32/win32_api.hpp"

namespace crv::plat {

namespace {

// Puts the C stream and its descriptor (0 or 1) on the console device
// named, in text mode. freopen does it where the stream has a descriptor;
// a program started without standard handles (a window program, or one
// started detached) has streams without one, which some C libraries
// (Wine's among them) refuse to reopen: there the descriptor is made from
// a handle of the device and given to the stream.
bool reopen(std::FILE* stream, const char* device, const char* mode, int fd, DWORD std_handle) {
    if (_fileno(stream) >= 0 && std::freopen(device, mode, stream) != nullptr) {
        SetStdHandle(std_handle, reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))));
        return true;
    }
    HANDLE handle = CreateFileA(device, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const int opened = _open_osfhandle(reinterpret_cast<intptr_t>(handle), (fd == 0 ? _O_RDONLY : _O_WRONLY) | _O_TEXT);
    if (opened < 0) {
        CloseHandle(handle);
        return false;
    }
    const bool moved = opened == fd || _dup2(opened, fd) == 0;
    if (opened != fd) _close(opened);
    if (!moved) return false;
    SetStdHandle(std_handle, reinterpret_cast<HANDLE>(_get_osfhandle(fd)));
#ifndef _UCRT
    stream->_file = fd;
    stream->_flag = fd == 0 ? _IOREAD : _IOWRT;
    stream->_ptr = stream->_base = nullptr;
    stream->_cnt = 0;
#endif
    std::clearerr(stream);
    return _fileno(stream) == fd;
}

}  // namespace

// A console window of the system's own: standard input and output are
// reopened on it so that the C streams reach it. A console without a
// window (a program started with its console hidden, or by Wine from a
// Unix process without a terminal) is left for a new one: the process can
// belong to one console only, and the user is to see it.
bool console_open() {
    if (GetConsoleWindow() == nullptr) {
        FreeConsole();
        if (!AllocConsole()) return false;
    }
    std::fflush(stdout);
    bool ok = reopen(stdout, "CONOUT$", "w", 1, STD_OUTPUT_HANDLE);
    ok = reopen(stdin, "CONIN$", "r", 0, STD_INPUT_HANDLE) && ok;
    return ok;
}

}  // namespace crv::plat
