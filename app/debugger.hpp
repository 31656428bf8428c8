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
// The hooks a game calls (debug_line_hook, DebugCall, the global
// registration and the variable tables) are declared in corvane/app.hpp.
#pragma once

#include <corvane/app.hpp>

#include <cstddef>
#include <cstdint>

namespace crv {

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

// Hands control to the attached debugger (returns at once without one).
void debugger_break(const DebugInfo* record);

}  // namespace crv
