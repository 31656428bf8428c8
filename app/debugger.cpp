#include "app/debugger.hpp"

#include "runtime/app_state.hpp"
#include <corvane/core.hpp>
#include "input/input.hpp"
#include "platform/debug_channel.hpp"

#include <cstdio>
#include <cstring>

namespace crv {

namespace {

constexpr int k_global_slots = 256;

std::int32_t breakpoint_files[k_breakpoint_slots];
std::int32_t breakpoint_lines[k_breakpoint_slots];
VariableEntry global_entries[k_global_slots];
std::int32_t global_count = 0;

DebugInfo record = {0, 0, 0, 1000, 0, 0, 0, 0, breakpoint_files, breakpoint_lines, nullptr, nullptr};
std::int32_t step_depth = 0;
std::int32_t call_depth = 0;

bool at_breakpoint(std::int32_t file, std::int32_t line) {
    std::int32_t n = record.breakpoint_count;
    if (n > k_breakpoint_slots) n = k_breakpoint_slots;
    for (std::int32_t i = 0; i < n; ++i)
        if (breakpoint_files[i] == file && breakpoint_lines[i] == line) return true;
    return false;
}

}  // namespace

DebugInfo& debug_info() { return record; }
std::int32_t debug_call_depth() { return call_depth; }
std::int32_t debug_step_depth() { return step_depth; }

DebugCall::DebugCall() { ++call_depth; }
DebugCall::~DebugCall() { --call_depth; }

void debug_register_global(const char* name, std::int32_t kind, const void* address) {
    if (global_count >= k_global_slots) return;
    global_entries[global_count++] = VariableEntry{name, kind, address};
}

void debug_unregister_global(const void* address) {
    for (std::int32_t i = 0; i < global_count; ++i) {
        if (global_entries[i].address != address) continue;
        for (std::int32_t j = i + 1; j < global_count; ++j) global_entries[j - 1] = global_entries[j];
        --global_count;
        return;
    }
}

void debug_line_hook(std::int32_t file, std::int32_t line, const VariableTable* locals) {
    app_state.current_file = file;
    app_state.current_line = line;
    bool stop = (record.command != 0 && call_depth <= step_depth) || record.break_request != 0 ||
                at_breakpoint(file, line);
    if (!stop) return;
    if (record.quit_request != 0) {
        set_error(0);
        end_program();
        return;
    }
    record.line = line;
    record.file = file;
    record.breakpoint_files = breakpoint_files;
    record.breakpoint_lines = breakpoint_lines;
    record.global_entries = global_entries;
    record.global_count = global_count;
    record.local_entries = locals != nullptr ? locals->entries : nullptr;
    record.local_count = locals != nullptr ? locals->count : 0;
    debugger_break(&record);

    std::int32_t command = record.command;
    if (command < 0 && command != k_command_step_out) return;
    switch (command) {
        case k_command_step_over:
            record.command = 1;
            step_depth = call_depth;
            break;
        case k_command_step_into:
            record.command = 1;
            step_depth = call_depth + 1;
            break;
        case k_command_step_out:
            record.command = 1;
            step_depth = call_depth - 1;
            break;
        case k_command_run:
            record.command = 0;
            step_depth = 0;
            break;
        default:
            break;
    }
    record.break_request = 0;
}

void debugger_break(const DebugInfo* address) {
    if (!plat::debugger_attached()) return;
    char text[40];
    std::snprintf(text, sizeof text, "BP%llx",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(address)));
    // The user works in the debugger meanwhile: a captured mouse is let go
    // before the stop is reported and taken back when the program goes on.
    if (app_state.input != nullptr) app_state.input->mouse_release_capture();
    plat::debugger_send(text, std::strlen(text));
    plat::debugger_wait_answer();
    app_state.paused = false;
    if (InputSystem* input = app_state.input) {
        input->mouse_restore_capture();
        input->poll_keyboard();
        for (int i = 0; i < input->mouse_count(); ++i) input->read_all_mice();
    }
    app_state.activate_request = true;
}

}  // namespace crv
