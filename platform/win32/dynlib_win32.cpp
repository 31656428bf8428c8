#include "platform/dynlib.hpp"

#include <cstring>

#include "platform/win32/win32_api.hpp"

namespace crv::plat {

Library* library_open(const char* name) {
    if (name == nullptr || *name == 0) return nullptr;
    // A missing library must fail quietly, not stop the program with the
    // system's error box; LoadLibrary wants "\" in paths.
    DWORD old_mode = 0;
    SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &old_mode);
    HMODULE module = LoadLibraryW(win32::widen_path(name).c_str());
    SetThreadErrorMode(old_mode, nullptr);
    return reinterpret_cast<Library*>(module);
}

void* library_symbol(Library* library, const char* name) {
    if (library == nullptr || name == nullptr) return nullptr;
    FARPROC proc = GetProcAddress(reinterpret_cast<HMODULE>(library), name);
    void* address = nullptr;
    static_assert(sizeof address == sizeof proc);
    std::memcpy(&address, &proc, sizeof address);
    return address;
}

void library_close(Library* library) {
    if (library != nullptr) FreeLibrary(reinterpret_cast<HMODULE>(library));
}

}  // namespace crv::plat
