#include "platform/dynlib.hpp"

#include <dlfcn.h>

namespace crv::plat {

Library* library_open(const char* name) {
    if (name == nullptr || *name == 0) return nullptr;
    return static_cast<Library*>(::dlopen(name, RTLD_NOW | RTLD_LOCAL));
}

void* library_symbol(Library* library, const char* name) {
    if (library == nullptr || name == nullptr) return nullptr;
    return ::dlsym(library, name);
}

void library_close(Library* library) {
    if (library != nullptr) ::dlclose(library);
}

}  // namespace crv::plat
