#include "app/present.hpp"

#include <corvane/keys.hpp>

#include "runtime/app_state.hpp"
#include "app/callbacks.hpp"
#include "app/frame_capture.hpp"
#include "app/gl_window.hpp"
#include "app/media.hpp"
#include "app/termination.hpp"
#include "gfx3d/rainbows3d.hpp"
#include "input/input.hpp"
#include "platform/clock.hpp"
#include "platform/window.hpp"
#include "render2d/rainbows.hpp"

#include <cstdio>

namespace crv {

namespace {

std::int64_t frames_presented = 0;

bool quit_key_down(InputSystem& input) {
    return app_state.escape_quits && (input.key_is_down(129) || input.key_is_down(key::escape));
}

// Keyboard poll, then one read per mouse the input object counts.
void refresh_input() {
    if (InputSystem* input = app_state.input) {
        input->reset_key_queries();
        input->poll_keyboard();
        for (int i = 0; i < input->mouse_count(); ++i) input->read_all_mice();
    }
}

void end_with_code_zero() {
    set_error(0);
    end_program();
}

void bring_window_forward() {
    std::puts("activate");
    if (app_state.main_window != nullptr) plat::window_raise(app_state.main_window);
    std::puts("ok");
    std::fflush(stdout);
    app_state.activate_request = false;
}

// Where activation messages do not resume the program (debug mode, auto
// pause off), a pause it asked for itself lasts until its window is active.
bool window_ends_pause() {
    if (app_state.debug_mode == 0 && app_state.auto_pause) return false;
    return app_state.main_window != nullptr && plat::window_has_focus(app_state.main_window);
}

// Looping music whose time is up starts again.
void music_loop_check() { music_loop_update(); }

// One pump as the waits do it: callback lookup, messages, end on failure.
void pump_for_wait() {
    OpenGLRainbows* renderer = app_state.renderer;
    if (renderer == nullptr) return;
    if (!pump_messages(*renderer, message_callback())) end_program();
}

}  // namespace

std::int64_t presented_frames() { return frames_presented; }

bool pump_messages(OpenGLRainbows& renderer, MessageCallback callback) {
    (void)renderer;
    plat::Message message{};
    for (;;) {
        if (callback != nullptr) {
            if (!plat::peek_message(&message, false)) break;
            callback();
            if (!plat::peek_message(&message, true)) break;
        } else if (!plat::peek_message(&message, true)) {
            break;
        }
        if (InputSystem* input = app_state.input) {
            if (message.kind == plat::MessageKind::character) input->offer_char(message.param);
            else input->offer_message(message, clock_ms_at(message.ticks));
        }
        window_proc(message);
    }
    return true;
}

bool swap_and_limit(OpenGLRainbows& renderer, MessageCallback callback) {
    if (renderer.current_surface >= 0) renderer.surface_use(-1);
    renderer.flush();
    capture_frame_if_requested(renderer, frames_presented);
    if (renderer.window != nullptr) plat::gl_swap(renderer.window);
    renderer.prepare_next_frame();
    return frame_limit(renderer, callback);
}

void present_frame() {
    if (app_state.activate_request) bring_window_forward();
    app_state.previous_frame_time = app_state.frame_time;
    app_state.frame_time = clock_ms();
    trace_frame_time(app_state.frame_time);
    while (app_state.paused) {
        // A request that came while paused (a debugger stop inside a
        // callback) is served here: the pause loop leaves at once while one
        // is pending, and would otherwise be re-entered turn after turn.
        if (app_state.activate_request) bring_window_forward();
        idle_step();
    }
    refresh_input();
    if (InputSystem* input = app_state.input) {
        if (quit_key_down(*input)) end_with_code_zero();
        if (input->key_is_down(key::left_alt) && input->key_is_down(key::f4)) end_with_code_zero();
    }
    finish_3d_shadow_pass();
    music_loop_check();
    MessageCallback callback = message_callback();
    OpenGLRainbows* renderer = app_state.renderer;
    if (renderer != nullptr) {
        pump_messages(*renderer, callback);
        ++frames_presented;
        if (!swap_and_limit(*renderer, callback)) end_with_code_zero();
        renderer->reset_frame_state();
        reset_3d_texture_variant();
    }
    // The keys handled up to here, the frame's wait included, are the
    // presses and releases of the frame the game starts now.
    if (InputSystem* input = app_state.input) input->end_key_frame();
}

void idle_step() {
    InputSystem* input = app_state.input;
    // The mouse as it is now: any change from here ends the wait.
    std::int32_t mouse_x = 0, mouse_y = 0;
    int mouse_buttons = 0;
    if (input != nullptr) input->mouse_peek(&mouse_x, &mouse_y, &mouse_buttons);
    for (int pass = 0; pass < 15; ++pass) {
        music_loop_check();
        pump_for_wait();
        if (app_state.paused) {
            std::puts("pause loop in showscreen/hibernate");
            std::fflush(stdout);
            while (app_state.paused && !app_state.activate_request) {
                music_loop_check();
                OpenGLRainbows* renderer = app_state.renderer;
                if (renderer != nullptr && !pump_messages(*renderer, message_callback())) end_with_code_zero();
                if (app_state.paused && window_ends_pause()) set_paused(false);
                if (!app_state.paused) break;
                plat::sleep_ms(200);
            }
            std::puts("pause loop ended");
            std::fflush(stdout);
            return;
        }
        refresh_input();
        if (input != nullptr) {
            if (quit_key_down(*input)) end_with_code_zero();
            for (int code = 0; code <= 254; ++code)
                if (input->key_is_down(code)) return;
            std::int32_t x = 0, y = 0;
            int buttons = 0;
            input->mouse_peek(&x, &y, &buttons);
            constexpr int k_left_and_right = 3;
            if (x != mouse_x || y != mouse_y || ((buttons ^ mouse_buttons) & k_left_and_right) != 0) return;
            for (int pad = input->joystick_count() - 1; pad >= 0; --pad)
                if (input->joystick_active(pad)) return;
        }
        plat::sleep_ms(5);
    }
}

void wait_for_key() {
    InputSystem* input = app_state.input;
    if (input == nullptr) return;
    input->clear_chars();
    while (input->pop_char() < 0) {
        music_loop_check();
        pump_for_wait();
        idle_step();
    }
    input->clear_chars();
}

void wait_for_mouse_button() {
    InputSystem* input = app_state.input;
    if (input == nullptr) return;
    // A button already held does not count: wait for its release first.
    // These two waits read the buttons directly, without pumping.
    while (input->read_all_mice()) plat::sleep_ms(5);
    while (!input->read_all_mice()) idle_step();
    while (input->read_all_mice()) plat::sleep_ms(5);
}

void set_paused(bool paused) {
    if (paused != app_state.paused) {
        app_state.paused = paused;
        call_game_callback(paused ? "CRV_ON_PAUSE" : "CRV_ON_RESUME");
    }
    app_state.paused = paused;
}

std::int32_t window_proc(const plat::Message& message) {
    switch (message.kind) {
        case plat::MessageKind::erase_background:
            return 1;
        case plat::MessageKind::close:
            end_program();
            return 0;
        case plat::MessageKind::activate:
            if (app_state.debug_mode == 0 && app_state.auto_pause && app_state.main_window != nullptr) {
                if (message.param == 1 || message.param == 2) {
                    plat::window_set_title(app_state.main_window, app_state.caption.text());
                    set_paused(false);
                } else if (message.param == 0) {
                    plat::window_set_title(app_state.main_window, (app_state.caption + " <pause>").text());
                    set_paused(true);
                }
            }
            return 0;
        case plat::MessageKind::system_key_up:
            return 0;
        case plat::MessageKind::system_command:
            if ((message.param & 0xFFF0) == plat::k_command_close) end_program();
            return 0;
        default:
            return 0;
    }
}

void set_screen_mode(int width, int height, int full_screen) {
    app_state.full_screen = full_screen;
    app_state.screen_height = height;
    app_state.screen_width = width;
    OpenGLRainbows* renderer = app_state.renderer;
    if (renderer == nullptr) return;
    if (width != 0) renderer->width = width;
    if (height != 0) renderer->height = height;
    if (full_screen != 0) fullscreen_mode(*renderer);
    else windowed_mode(*renderer);
    if (app_state.input != nullptr) app_state.input->set_mouse_mode(app_state.input->mouse_exclusive());
    if (app_state.input != nullptr) app_state.input->set_window(renderer->window);
    app_state.main_window = renderer->window;
    for (int i = 0; i < 5; ++i) present_frame();
}

}  // namespace crv
