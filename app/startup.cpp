#include "app/startup.hpp"

#include "runtime/app_state.hpp"
#include "app/clock.hpp"
#include "app/gl_window.hpp"
#include "runtime/log.hpp"
#include "app/present.hpp"
#include "app/termination.hpp"
#include "core/number_text.hpp"
#include <corvane/core.hpp>
#include "gfx3d/rainbows3d.hpp"
#include "input/input.hpp"
#include "net/lobby.hpp"
#include "platform/debug_channel.hpp"
#include "platform/paths.hpp"
#include "platform/window.hpp"
#include "render2d/rainbows.hpp"
#include "sound/sound.hpp"
#include "sys/foreign.hpp"
#include "sys/platform_info.hpp"
#include "sys/sys_lifecycle.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace crv {

std::string argument_text(const char* line) {
    const char* p = line;
    while (*p == ' ' || *p == '\t') ++p;
    if (*p == '"') {
        ++p;
        while (*p != 0 && *p != '"') ++p;
        if (*p == '"') ++p;
    } else {
        while (*p != 0 && *p != ' ' && *p != '\t') ++p;
    }
    while (*p == ' ' || *p == '\t') ++p;
    return std::string(p);
}

namespace {

// What the system services need of the window.
// "GLEXT:" answers from the renderer's own lookup, which takes an entry
// point only when its extension is advertised: the driver's lookup alone
// hands out an address for any name. Names the renderer does not use
// cannot be vouched for and answer no.
bool gl_entry_point_exists(const char* name) {
    const OpenGLRainbows* renderer = app_state.renderer;
    if (renderer == nullptr || renderer->window == nullptr) return false;
    const GlExtensions& e = renderer->ext;
    const struct {
        const char* name;
        bool present;
    } entry_points[] = {
        {"glActiveTextureARB", e.glActiveTextureARB != nullptr},
        {"glMultiTexCoord2fARB", e.glMultiTexCoord2fARB != nullptr},
        {"glClientActiveTextureARB", e.glClientActiveTextureARB != nullptr},
        {"glGenBuffersARB", e.glGenBuffersARB != nullptr},
        {"glBindBufferARB", e.glBindBufferARB != nullptr},
        {"glBufferDataARB", e.glBufferDataARB != nullptr},
        {"glDeleteBuffersARB", e.glDeleteBuffersARB != nullptr},
        {"glMapBufferARB", e.glMapBufferARB != nullptr},
        {"glUnmapBufferARB", e.glUnmapBufferARB != nullptr},
        {"glGetBufferParameterivARB", e.glGetBufferParameterivARB != nullptr},
        {"glCreateProgramObjectARB", e.glCreateProgramObjectARB != nullptr},
        {"glDeleteObjectARB", e.glDeleteObjectARB != nullptr},
        {"glCreateShaderObjectARB", e.glCreateShaderObjectARB != nullptr},
        {"glShaderSourceARB", e.glShaderSourceARB != nullptr},
        {"glCompileShaderARB", e.glCompileShaderARB != nullptr},
        {"glGetObjectParameterivARB", e.glGetObjectParameterivARB != nullptr},
        {"glAttachObjectARB", e.glAttachObjectARB != nullptr},
        {"glGetInfoLogARB", e.glGetInfoLogARB != nullptr},
        {"glLinkProgramARB", e.glLinkProgramARB != nullptr},
        {"glUseProgramObjectARB", e.glUseProgramObjectARB != nullptr},
        {"glGetUniformLocationARB", e.glGetUniformLocationARB != nullptr},
        {"glUniform1fARB", e.glUniform1fARB != nullptr},
        {"glUniform1iARB", e.glUniform1iARB != nullptr},
        {"glGetAttribLocationARB", e.glGetAttribLocationARB != nullptr},
        {"glVertexAttrib1fARB", e.glVertexAttrib1fARB != nullptr},
        {"glGenFramebuffersEXT", e.glGenFramebuffersEXT != nullptr},
        {"glDeleteFramebuffersEXT", e.glDeleteFramebuffersEXT != nullptr},
        {"glBindFramebufferEXT", e.glBindFramebufferEXT != nullptr},
        {"glGenRenderbuffersEXT", e.glGenRenderbuffersEXT != nullptr},
        {"glDeleteRenderbuffersEXT", e.glDeleteRenderbuffersEXT != nullptr},
        {"glBindRenderbufferEXT", e.glBindRenderbufferEXT != nullptr},
        {"glRenderbufferStorageEXT", e.glRenderbufferStorageEXT != nullptr},
        {"glCheckFramebufferStatusEXT", e.glCheckFramebufferStatusEXT != nullptr},
        {"glFramebufferTexture2DEXT", e.glFramebufferTexture2DEXT != nullptr},
        {"glFramebufferRenderbufferEXT", e.glFramebufferRenderbufferEXT != nullptr},
        {"glGetFramebufferAttachmentParameterivEXT", e.glGetFramebufferAttachmentParameterivEXT != nullptr},
    };
    for (const auto& entry : entry_points)
        if (std::strcmp(entry.name, name) == 0) return entry.present;
    return false;
}

void before_run_program() {
    OpenGLRainbows* renderer = app_state.renderer;
    if (renderer != nullptr && renderer->full_screen_active && renderer->window != nullptr)
        plat::window_leave_fullscreen(renderer->window);
}

void after_run_program() {
    OpenGLRainbows* renderer = app_state.renderer;
    if (renderer == nullptr || renderer->window == nullptr) return;
    if (renderer->full_screen_active)
        plat::window_set_fullscreen(renderer->window, renderer->width, renderer->height, 0);
    plat::window_raise(renderer->window);
}

// While input may end the program (Escape quits), opening a document ends
// it too, the way the quit keys do: error code 0 before the document is
// handed over, the end of the program after.
void before_shell_open() {
    if (app_state.escape_quits) set_error(0);
}

void after_shell_open() {
    if (app_state.escape_quits) end_program();
}

}  // namespace

int runtime_startup(int show_command, const char* caption) {
    plat::debugger_connect_from_environment();
    log_start_fresh();
    log_write("debug works at all\n");
    app_state.auto_pause = true;
    log_write("timer\n");
    timer_init();
    log_write("rbow\n");
    app_state.renderer = new OpenGLRainbows();
    OpenGLRainbows& renderer = *app_state.renderer;
    log_write("rbow init\n");
    if (!create_gl_window(renderer, app_state.screen_width, app_state.screen_height, 0, app_state.frame_rate,
                          app_state.multisample))
        return 0;

    app_state.main_window = renderer.window;
    SysFrameHooks hooks;
    hooks.gl_entry_point_exists = gl_entry_point_exists;
    hooks.before_run_program = before_run_program;
    hooks.after_run_program = after_run_program;
    hooks.before_shell_open = before_shell_open;
    hooks.after_shell_open = after_shell_open;
    set_sys_frame_hooks(hooks);
    plat::window_set_title(renderer.window, caption);
    log_write("Cptn\n");
    app_state.caption = caption;
    random_seed(static_cast<std::uint32_t>(to_int32(clock_since_start())));
    log_write("Network\n");
    network_startup();
    app_state.engine3d = new Rainbows3D(&renderer);
    log_write("Input\n");
    app_state.input = new InputSystem(app_state.main_window);
    log_write("Window mode\n");
    if (app_state.full_screen != 0) fullscreen_mode(renderer);
    else windowed_mode(renderer);
    app_state.main_window = renderer.window;
    log_write("Create DXin\n");
    app_state.input->create_devices(app_state.main_window, app_state.mouse_exclusive != 0);
    log_write("reptr\n");
    renderer.font_select(0);
    app_state.input->set_window(renderer.window);

    log_write("getexe\n");
    DynString folder = executable_folder();
    log_write("cd\n");
    enter_executable_folder();
    log_write(("exepath=curdir= " + folder + "\n").text());
    pack_contexts_create();

    app_state.frame_time = app_state.previous_frame_time = app_state.start_time = clock_ms();
    renderer.set_clear_colour(0);
    swap_and_limit(renderer, nullptr);
    renderer.set_viewport(0, 0, 0, 0);
    renderer.font_install_builtin(0);
    renderer.load_default_font();  // the first default font file found, into slot 0
    renderer.font_select(0);
    app_state.paused = false;
    app_state.frame_time = app_state.previous_frame_time = app_state.start_time = clock_ms();

    if (show_command == 0) {
        hide_and_leave_fullscreen(renderer);
        plat::window_hide(renderer.window);
    }
    // Mouse mode: captured without a cursor, or the arrow cursor.
    app_state.input->set_mouse_mode(app_state.mouse_exclusive != 0);
    foreign_bind_all();
    // Sound: the device (absent without an output) and the empty slot table.
    sound_system_start();
    log_write("Init Finalized\n");
    return 0;
}

}  // namespace crv
