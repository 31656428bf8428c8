#include "tests/support/gl_window.hpp"

#include "runtime/app_state.hpp"
#include "app/gl_window.hpp"
#include "app/clock.hpp"
#include "platform/window.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/scoped_env.hpp"

#include <cstdlib>
#include <filesystem>
#include <string>

namespace crv::test {

OpenGLRainbows& gl_renderer(int width, int height) {
    static OpenGLRainbows* renderer = [] {
        // Keep the start-up log lines out of the user's temporary folder.
        static std::string log_dir = (std::filesystem::temp_directory_path() / "crv-gl-test-log").string();
        std::filesystem::create_directories(log_dir);
        set_env(k_temp_variable, log_dir.c_str());
        set_env("CORVANE_AUTOMATION", "1");
        timer_init();
        auto* r = new OpenGLRainbows();
        app_state.renderer = r;
        if (!create_gl_window(*r, 64, 48, 0, 0, 0)) return static_cast<OpenGLRainbows*>(nullptr);
        app_state.main_window = r->window;
        windowed_mode(*r);  // pixels of an unmapped window are undefined
        return r;
    }();
    if (renderer == nullptr) {
        ADD_FAILURE() << "no window: is DISPLAY set to a running X server?";
        std::abort();
    }
    if (renderer->width != width || renderer->height != height) {
        renderer->width = width;
        renderer->height = height;
        windowed_mode(*renderer);
    }
    return *renderer;
}

void GlTest::SetUp() {
    renderer_ = &gl_renderer();
    renderer_->set_orientation(0);
    renderer_->set_colour_key(k_default_colour_key);
    renderer_->set_clear_colour(0);
    renderer_->reset_frame_state();
}

}  // namespace crv::test
