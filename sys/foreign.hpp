// Reaching code by name: foreign functions bound from shared libraries,
// and the game program's own named subroutines (the call-by-name table,
// which also serves the frame's callbacks "CRV_ON_PAUSE", "CRV_ON_RESUME",
// "CRV_ON_QUIT" and "CRV_WIN32_MSG"). How a game hands both over, and the
// operations it calls, are in corvane/sys.hpp; this is the binding side.
//
// Start-up binds every declared slot (foreign_bind_all); a slot whose
// library or entry is missing stays null and the failure is logged, never
// fatal. Libraries stay loaded until foreign_release_all. The registry is
// created on first use. Game thread.
#pragma once

#include <corvane/sys.hpp>

namespace crv {

bool foreign_has_declarations();
// Start-up: logs "Delay load DLLs" when anything is declared, then binds
// every declaration in order.
void foreign_bind_all();
// Loads the library once (its name compared ignoring case), stores the
// entry's address in the slot (null when missing) and reports failures
// through the debugger and the log.
void foreign_bind(const char* library, const char* entry, void* slot);
// How many libraries binding has loaded so far.
int foreign_module_count();
// Program end: frees the libraries in loading order and the registry.
void foreign_release_all();

}  // namespace crv
