// The game program's questions about its surroundings (platform_info), the
// environment, starting other programs and opening documents. Answers never
// fail: unknown keys and facts the system does not offer answer "NO_DATA"
// (or the documented fallback). Game thread.
//
// The window-related steps belong to the application frame, which plugs
// them in through SysFrameHooks: whether an OpenGL entry point exists (the
// "GLEXT:" key), leaving and restoring full screen and re-activating the
// window around run_program, and the end-on-input handling around
// shell_open. Unset hooks do nothing ("GLEXT:" then answers "0").
#pragma once

#include "core/dyn_string.hpp"

#include <cstdint>

namespace crv {

struct SysFrameHooks {
    // True when the OpenGL entry point of that name is present: its
    // extension is advertised and the driver gave its address.
    bool (*gl_entry_point_exists)(const char* name) = nullptr;
    // Around run_program: before starting the program (leave full screen),
    // and afterwards whether it started or not (restore full screen, make the
    // window active and give it the keyboard focus).
    void (*before_run_program)() = nullptr;
    void (*after_run_program)() = nullptr;
    // Around shell_open: the end-on-input pre-end step before, and the end
    // of the program after, when that mode is on.
    void (*before_shell_open)() = nullptr;
    void (*after_shell_open)() = nullptr;
};
void set_sys_frame_hooks(const SysFrameHooks& hooks);

// What the game program's build supplies for "COMPILED", "HOSTID" and
// "VERSION". Until set: this library's build date and time, "00000000" and
// "000.000". The texts must outlive the program (string literals).
struct ProgramBuildInfo {
    const char* compiled = nullptr;
    const char* host_id = nullptr;
    const char* version = nullptr;
};
void set_program_build_info(const ProgramBuildInfo& info);

DynString platform_info(const DynString& key);
// The "ID" answer for a volume id (null: the id could not be read).
DynString machine_id_for(const std::uint32_t* volume_id);
// The two-letter code of the "LOCALE" answer for a Windows language id.
DynString locale_code(int language_id);
// "YYYY-MM-DD hh:mm:ss".
DynString format_time_text(int year, int month, int day, int hour, int minute, int second);

// The empty text when unset; an empty name gives every "name=value" entry,
// each followed by "\n".
DynString env_get(const DynString& name);
// An empty value removes the variable.
void env_set(const DynString& name, const DynString& value);
// Starts the command line; with wait set, blocks until the program ends and
// stores its exit status. 1 when it started, 0 when not. show has no effect
// here: programs open their own windows.
int run_program(const DynString& command, double wait, double show, double& exit_code);
void shell_open(const DynString& target);
void sleep_ms(double milliseconds);

}  // namespace crv
