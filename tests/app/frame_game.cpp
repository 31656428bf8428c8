// A small game program for the frame tests. CRV_TEST_GAME chooses what it
// does:
//   "pause"  - debug mode 0; presents frames for ever, printing each number
//   "screen" - switches to 480 x 320 or to CRV_TEST_SIZE ("<w>x<h>"), full
//              screen when CRV_TEST_FULL is 1; prints the frames that took,
//              the window size, and ends
//   "hidden" - prints whether the window is visible and ends
//   "multisample" - asks for 4 samples, clears to 0x3080C0 for a few
//              frames (CORVANE_CAPTURE_FRAMES saves them), prints the
//              sample count it got and ends
//   "selfpause" - debug mode 1; says "ready" after its first frame; once
//              its window is not active, pauses
//              itself and presents once more, then prints "resumed" and
//              presents frames until it is closed
//   "pausebreak" - as "selfpause", but a message arriving during the
//              pause asks for activation, as a debugger stop inside the
//              message callback would
//   "glext"  - prints the "GLEXT:" answers for an entry point the renderer
//              uses, the same name in other case, and a made-up name
//   "shell"  - opens a document (escape quits unless CRV_TEST_ESCAPE is 0),
//              then prints "after open" and ends
//   "notice" - sets software_notice_box from CRV_TEST_NOTICE_BOX ("0" off)
//              and sends its standard error to its standard output, where
//              the automation switch writes message boxes; then ends
// It defines the frame's four callbacks, which say when they are called.
#include "runtime/app_state.hpp"
#include <corvane/app.hpp>
#include "app/present.hpp"
#include "app/termination.hpp"
#include "platform/window.hpp"
#include "render2d/gl_api.hpp"
#include "render2d/rainbows.hpp"
#include "sys/foreign.hpp"
#include "sys/platform_info.hpp"

#include <cstdio>
#include <cstdlib>
#include <string>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace crv {

namespace {
std::string mode() {
    const char* m = std::getenv("CRV_TEST_GAME");
    return m != nullptr ? m : "";
}

void say(const char* text) {
    std::printf("%s\n", text);
    std::fflush(stdout);
}
void on_pause() { say("callback: pause"); }
void on_resume() { say("callback: resume"); }
void on_quit() { say("callback: quit"); }
void on_message() {
    static bool told = false;
    if (!told && mode() == "pause") say("callback: message");
    told = true;
    static bool asked = false;
    if (!asked && app_state.paused && mode() == "pausebreak") {
        asked = true;
        app_state.activate_request = true;
        say("callback: activation asked while paused");
    }
}
const CallByNameEntry callbacks[] = {
    {on_pause, "CRV_ON_PAUSE"},
    {on_resume, "CRV_ON_RESUME"},
    {on_quit, "CRV_ON_QUIT"},
    {on_message, "CRV_WIN32_MSG"},
    {nullptr, nullptr},
};
CallByNameTable callback_registration(callbacks);
}  // namespace

void load_project_settings() {
    app_state.screen_width = 320;
    app_state.screen_height = 200;
    app_state.full_screen = 0;
    app_state.debug_mode = mode() == "pause" ? 0 : 1;
    app_state.mouse_exclusive = 0;
    app_state.multisample = mode() == "multisample" ? 4 : 0;
    app_state.frame_rate = 60;
    app_state.caption = "FrameGame";
    if (mode() == "notice") {
        const char* box = std::getenv("CRV_TEST_NOTICE_BOX");
        app_state.software_notice_box = box == nullptr || std::string(box) != "0";
#ifdef _WIN32
        _dup2(1, 2);
#else
        dup2(1, 2);
#endif
    }
}

void game_main() {
    std::string m = mode();
    if (m == "pause") {
        for (long frame = 1;; ++frame) {
            present_frame();
            std::printf("frame %ld\n", frame);
            std::fflush(stdout);
        }
    }
    if (m == "screen") {
        const char* full = std::getenv("CRV_TEST_FULL");
        int width = 480, height = 320;
        if (const char* size = std::getenv("CRV_TEST_SIZE")) std::sscanf(size, "%dx%d", &width, &height);
        std::int64_t before = presented_frames();
        set_screen_mode(width, height, full != nullptr && std::string(full) == "1" ? 1 : 0);
        int w = 0, h = 0;
        plat::window_get_client_size(app_state.renderer->window, &w, &h);
        std::printf("frames %lld size %dx%d full %d\n", static_cast<long long>(presented_frames() - before), w, h,
                    app_state.renderer->full_screen_active ? 1 : 0);
    }
    if (m == "multisample") {
        app_state.renderer->set_clear_colour(0x3080C0);
        for (int i = 0; i < 6; ++i) present_frame();
        GLint samples = 0;
        glGetIntegerv(GL_SAMPLES, &samples);
        std::printf("samples %d\n", samples);
    }
    if (m == "selfpause" || m == "pausebreak") {
        // The pause starts while the window is not active.
        present_frame();
        say("ready");
        while (plat::window_has_focus(app_state.main_window)) present_frame();
        set_paused(true);
        present_frame();
        say("resumed");
        for (;;) present_frame();  // until the window is closed
    }
    if (m == "glext") {
        std::printf("glext %s %s %s\n", platform_info("GLEXT:glActiveTextureARB").text(),
                    platform_info("GLEXT:glactivetexturearb").text(),
                    platform_info("GLEXT:glNoSuchEntryPointARB").text());
    }
    if (m == "shell") {
        const char* escape = std::getenv("CRV_TEST_ESCAPE");
        set_escape_quits(escape != nullptr && std::string(escape) == "0" ? 0 : 1);
        shell_open("/no/such/document.txt");
        say("after open");
    }
    if (m == "hidden") {
        std::printf("visible %d\n", plat::window_visible(app_state.renderer->window) ? 1 : 0);
        present_frame();
    }
    std::fflush(stdout);
    end_program();
}

}  // namespace crv
