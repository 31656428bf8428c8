// A small game program for the frame tests. CRV_TEST_GAME chooses what it
// does:
//   "pause"  - debug mode 0; presents frames for ever, printing each number
//   "screen" - switches to 480 x 320 (full screen when CRV_TEST_FULL is 1),
//              prints the frames that took, the window size, and ends
//   "hidden" - prints whether the window is visible and ends
// It defines the frame's four callbacks, which say when they are called.
#include "app/app_state.hpp"
#include "app/game_module.hpp"
#include "app/present.hpp"
#include "app/termination.hpp"
#include "platform/window.hpp"
#include "render2d/rainbows.hpp"
#include "sys/foreign.hpp"

#include <cstdio>
#include <cstdlib>
#include <string>

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
    app_state.multisample = 0;
    app_state.frame_rate = 60;
    app_state.caption = "FrameGame";
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
        std::int64_t before = presented_frames();
        set_screen_mode(480, 320, full != nullptr && std::string(full) == "1" ? 1 : 0);
        int w = 0, h = 0;
        plat::window_get_client_size(app_state.renderer->window, &w, &h);
        std::printf("frames %lld size %dx%d full %d\n", static_cast<long long>(presented_frames() - before), w, h,
                    app_state.renderer->full_screen_active ? 1 : 0);
    }
    if (m == "hidden") {
        std::printf("visible %d\n", plat::window_visible(app_state.renderer->window) ? 1 : 0);
        present_frame();
    }
    std::fflush(stdout);
    end_program();
}

}  // namespace crv
