// Shared libraries loaded at run time. A Library stays loaded until
// library_close. Failures give null. Game thread.
#pragma once

namespace crv::plat {

struct Library;

// Loads by name with the system's search rules (a name holding "/" is a path).
Library* library_open(const char* name);
// The address of an exported symbol, or null.
void* library_symbol(Library* library, const char* name);
void library_close(Library* library);

}  // namespace crv::plat
