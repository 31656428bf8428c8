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
// The game's operations are declared in corvane/sys.hpp.
#pragma once

#include <corvane/sys.hpp>

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

// The "ID" answer for a volume id (null: the id could not be read).
DynString machine_id_for(const std::uint32_t* volume_id);
// The two-letter code of the "LOCALE" answer for a Windows language id.
DynString locale_code(int language_id);
// "YYYY-MM-DD hh:mm:ss".
DynString format_time_text(int year, int month, int day, int hour, int minute, int second);

}  // namespace crv
