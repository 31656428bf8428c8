// The debugger interface of programs built with debugger hooks: the
// per-statement hook, the stop, the debug record a debugger reads and
// writes, and the variable tables. Main thread only.
//
// Layout of the record (little-endian, 64-bit builds): eight int32 at
// offsets 0..28 (breakpoint count, global variable count, local variable
// count, break request, file, line, quit request, command), then four
// 8-byte addresses at 32 (breakpoint files), 40 (breakpoint lines), 48
// (global entries) and 56 (local entries). A variable entry is 24 bytes:
// name address, kind (int32) and 4 bytes of padding, variable address.
//
// A stop sends "BP" + the record's address in lower-case hexadecimal to
// the attached debugger and waits for its one-byte answer; the debugger
// reads and writes the record and the variables only while the program
// waits. Without a debugger a stop costs only filling the record.
#pragma once

#include <cstddef>
#include <cstdint>

namespace crv {

// Kinds of variable-table entries.
constexpr std::int32_t k_variable_number = 0;  // a double
constexpr std::int32_t k_variable_text = 1;    // a DynString
constexpr std::int32_t k_variable_array = 2;   // a DynArray (of doubles in the road demo)

struct VariableEntry {
    const char* name;
    std::int32_t kind;
    const void* address;
};
static_assert(sizeof(VariableEntry) == 24 && offsetof(VariableEntry, kind) == 8 &&
              offsetof(VariableEntry, address) == 16);

// A routine's local table: the count of declared locals and the entries.
struct VariableTable {
    std::int32_t count;
    const VariableEntry* entries;
};

constexpr int k_breakpoint_slots = 1024;

// Debugger commands found in the record after a stop.
constexpr std::int32_t k_command_step_over = 0;
constexpr std::int32_t k_command_step_into = 1;
constexpr std::int32_t k_command_step_out = -1;
constexpr std::int32_t k_command_run = 100;

struct DebugInfo {
    std::int32_t breakpoint_count;
    std::int32_t global_count;
    std::int32_t local_count;
    std::int32_t break_request;
    std::int32_t file;
    std::int32_t line;
    std::int32_t quit_request;
    std::int32_t command;
    std::int32_t* breakpoint_files;
    std::int32_t* breakpoint_lines;
    const VariableEntry* global_entries;
    const VariableEntry* local_entries;
};
static_assert(sizeof(DebugInfo) == 64 && offsetof(DebugInfo, breakpoint_files) == 32 &&
              offsetof(DebugInfo, local_entries) == 56);

// The record and the stepping state (for tests and tools in-process).
DebugInfo& debug_info();
std::int32_t debug_call_depth();
std::int32_t debug_step_depth();

// Reports the statement about to run; stops when stepping, asked to break
// or at a breakpoint; ends the program when the debugger asked to quit.
void debug_line_hook(std::int32_t file, std::int32_t line, const VariableTable* locals);
// Hands control to the attached debugger (returns at once without one).
void debugger_break(const DebugInfo* record);

// The module's global variables, registered by static initialisers.
void debug_register_global(const char* name, std::int32_t kind, const void* address);
void debug_unregister_global(const void* address);

// Counts a game routine as entered for the debugger's call depth.
class DebugCall {
public:
    DebugCall();
    ~DebugCall();
    DebugCall(const DebugCall&) = delete;
    DebugCall& operator=(const DebugCall&) = delete;
};

}  // namespace crv
