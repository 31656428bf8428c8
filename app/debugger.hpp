// The per-statement hook of programs built with debugger hooks, and the
// variable tables a debugger reads. Main thread only.
#pragma once

#include <cstdint>

namespace crv {

// Kinds of variable-table entries.
constexpr std::int32_t k_variable_number = 0;  // a double
constexpr std::int32_t k_variable_text = 1;    // a DynString
constexpr std::int32_t k_variable_array = 2;   // a DynArray

// One variable as a debugger sees it (24 bytes on 64-bit builds).
struct VariableEntry {
    const char* name;
    std::int32_t kind;
    const void* address;
};

struct VariableTable {
    std::int32_t count;
    const VariableEntry* entries;
};

// Reports the statement about to run.
void debug_line_hook(std::int32_t file, std::int32_t line, const VariableTable* locals);

}  // namespace crv
