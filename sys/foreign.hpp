// Reaching code by name: foreign functions bound from shared libraries,
// and the game program's own named subroutines (the call-by-name table,
// which also serves the frame's callbacks "CRV_ON_PAUSE", "CRV_ON_RESUME",
// "CRV_ON_QUIT" and "CRV_WIN32_MSG").
//
// How a C++ game program hands both over, at namespace scope in one of its
// own source files (static initialisation runs before start-up binds):
//
//     void on_pause() { ... }
//     void on_quit() { ... }
//     const crv::CallByNameEntry call_table[] = {
//         {on_pause, "CRV_ON_PAUSE"},
//         {on_quit, "CRV_ON_QUIT"},
//         {nullptr, nullptr},                  // the end of the table
//     };
//     crv::CallByNameTable call_table_registration(call_table);
//
//     double (*Cosine)(double) = nullptr;      // the slot the game calls through
//     crv::ForeignDeclaration cosine_declaration("libm.so.6", "cos", Cosine);
//
// Start-up then binds every declared slot (foreign_bind_all); a slot whose
// library or entry is missing stays null and the failure is logged, never
// fatal. Libraries stay loaded until foreign_release_all. The registry is
// created on first use. Game thread.
#pragma once

#include "core/dyn_string.hpp"

#include <type_traits>

namespace crv {

struct CallByNameEntry {
    void (*address)();
    const char* name;
};

// The program's one table, ended by an entry with a null address. It is
// read, never copied: it must outlive the program (a static array).
void set_call_by_name_table(const CallByNameEntry* table);

struct CallByNameTable {
    explicit CallByNameTable(const CallByNameEntry* table) { set_call_by_name_table(table); }
};

// Calls the subroutine of that exact name (case matters): 1 when found and
// called, 0 when not. A missing name other than "CRV_ON_QUIT" and
// "CRV_WIN32_MSG" sends a failure line to the debugger.
int call_by_name(const DynString& name);
void (*find_by_name(const DynString& name))();

// slot points at the game's function-pointer variable; it is set to null
// now and to the entry's address by binding.
void foreign_declare_slot(const char* library, const char* entry, void* slot);

template <typename F>
void foreign_declare(const char* library, const char* entry, F*& slot) {
    static_assert(std::is_function_v<F>, "a foreign slot is a function pointer");
    static_assert(sizeof(F*) == sizeof(void*));
    foreign_declare_slot(library, entry, &slot);
}

struct ForeignDeclaration {
    template <typename F>
    ForeignDeclaration(const char* library, const char* entry, F*& slot) {
        foreign_declare(library, entry, slot);
    }
};

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
