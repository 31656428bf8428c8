#include "tests/input/input_fixture.hpp"

#include "runtime/app_state.hpp"
#include "app/present.hpp"
#include "platform/clock.hpp"
#include "platform/mouse.hpp"
#include "platform/window.hpp"
#include "tests/support/gl_window.hpp"
#include "tests/support/x11_client.hpp"

#include <chrono>

namespace crv::test {

void InputDisplayTest::SetUp() {
    renderer_ = &gl_renderer(k_window_width, k_window_height);
    renderer_->set_orientation(0);
    // Losing the focus must not pause the waits, nor Escape end the tests.
    app_state.debug_mode = 1;
    app_state.escape_quits = false;
    app_state.screen_width = k_window_width;
    app_state.screen_height = k_window_height;
    input_ = std::make_unique<InputSystem>(renderer_->window);
    input_->create_devices(renderer_->window, false);
    app_state.input = input_.get();
    xdotool("windowfocus --sync " + window_id());
    ASSERT_TRUE(eventually([&] { return plat::window_has_focus(renderer_->window); })) << "window has no focus";
    pointer_to(10, 10);
}

void InputDisplayTest::TearDown() {
    xdotool("keyup shift a mouseup 1 mouseup 2 mouseup 3");
    app_state.input = nullptr;
    input_.reset();
    renderer_->set_orientation(0);
}

std::string InputDisplayTest::window_id() const { return x_window_id(plat::window_native_id(renderer_->window)); }

void InputDisplayTest::xdotool(const std::string& args) { EXPECT_EQ(host_xdotool(args), 0) << "xdotool " << args; }

bool InputDisplayTest::eventually(const std::function<bool()>& done, int timeout_ms) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        pump_messages(*renderer_, nullptr);
        if (input_ != nullptr) input_->poll_keyboard();
        if (done()) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        plat::sleep_ms(5);
    }
}

void InputDisplayTest::pointer_to(int x, int y) {
    xdotool("mousemove --window " + window_id() + " -- " + std::to_string(x) + " " + std::to_string(y));
    int px = 0, py = 0, buttons = 0;
    EXPECT_TRUE(eventually([&] {
        plat::mouse_cursor(renderer_->window, &px, &py, &buttons);
        return px == x && py == y;
    })) << "pointer at " << px << "," << py;
}

}  // namespace crv::test
