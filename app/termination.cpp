#include "app/termination.hpp"

#include "runtime/app_state.hpp"
#include "runtime/log.hpp"
#include "app/media.hpp"
#include "gfx3d/rainbows3d.hpp"
#include "input/input.hpp"
#include "net/lobby.hpp"
#include "platform/paths.hpp"
#include "render2d/rainbows.hpp"
#include "sound/sound.hpp"
#include "sys/channels.hpp"
#include "sys/foreign.hpp"
#include "sys/sys_lifecycle.hpp"
#include "platform/debug_channel.hpp"
#include "platform/process.hpp"

#include <cstdio>
#include <cstdlib>

namespace crv {

void set_error(int code) {
    app_state.error_line = app_state.current_line;
    app_state.error_code = code;
}

int last_error_code() { return app_state.error_code; }

void debug_print(const DynString& text) {
    if (!plat::debugger_attached()) return;
    DynString message("TX");
    message += text;
    plat::debugger_send(message.text(), message.length());
}

void assert_value(double value) {
    if (value != 0) return;
    debug_print("Assertion: Value = " + DynString(0.0) + "\n");
    set_error(21);
    end_program();
}

void runtime_shutdown() {
    if (!app_state.quit_notified) {
        app_state.quit_notified = true;
        call_by_name("CRV_ON_QUIT");
    }
    // After the quit callback (which may still change them) and before the
    // folder changes (their names may be relative).
    held_files_save();
    if (app_state.renderer == nullptr) return;
    log_write("Shut down CRV\n");
    music_stop();
    enter_executable_folder();
    channels_close_all();
    network_shutdown();
    if (app_state.input != nullptr) app_state.input->release_devices();
    delete app_state.input;
    app_state.input = nullptr;
    sound_system_stop();
    // The renderer's destructor takes the window and its context with it.
    OpenGLRainbows* renderer = app_state.renderer;
    app_state.renderer = nullptr;
    app_state.main_window = nullptr;
    delete renderer;
    // After the renderer: the context is gone, so the engine frees only
    // its memory.
    delete app_state.engine3d;
    app_state.engine3d = nullptr;
    pack_contexts_release();
    foreign_release_all();
    log_write("crv is shut down\n");
}

void end_program() {
    if (app_state.ending) return;
    app_state.ending = true;
    if (app_state.debug_mode != 0) {
        log_write("-End On Line\n");
        const int numbers[4] = {app_state.error_code, app_state.error_line, app_state.current_line,
                                app_state.current_file};
        for (int n : numbers) {
            char line[16];
            std::snprintf(line, sizeof line, "%d\n", n);
            log_write(line);
        }
    }
    runtime_shutdown();
    // Windows repaints the desktop here; an X server redraws exposed areas
    // by itself.
    std::puts("exit");
    std::fflush(stdout);
    std::exit(0);
}

void end_and_run(const DynString& command) {
    runtime_shutdown();
    plat::start_process(command.text(), false, nullptr);
    std::exit(0);
}

}  // namespace crv
