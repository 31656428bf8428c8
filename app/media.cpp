#include "app/media.hpp"

#include "runtime/app_state.hpp"
#include "runtime/log.hpp"
#include "app/callbacks.hpp"
#include "app/clock.hpp"
#include "app/present.hpp"
#include <corvane/core.hpp>
#include "core/number_text.hpp"
#include "input/input.hpp"
#include "platform/clock.hpp"
#include "platform/files.hpp"
#include "platform/media_player.hpp"
#include "platform/window.hpp"
#include "render2d/rainbows.hpp"
#include "sys/resource.hpp"

#include <algorithm>
#include <string>

namespace crv {

namespace {

constexpr int k_error_no_such_file = 3;
// A looping piece repeats no sooner than this.
constexpr double k_min_loop_ms = 500;

double loop_length(plat::MediaPlayer* player) { return std::max(plat::media_length_ms(player), k_min_loop_ms); }

// The player opens names itself, so it gets them as the system spells them
// ("\" as "/", the letter case found on disk).
bool find_media(const DynString& file_name, std::string& path) {
    std::string resolved;
    if (!resolve_resource(video_pack(), file_name.text(), resolved, false)) return false;
    path = plat::system_path(resolved.c_str(), false);
    return true;
}

// A held button would end a video at once; it has to be let go first.
void wait_for_mouse_release(InputSystem* input) {
    if (input == nullptr) return;
    while (input->read_all_mice()) plat::sleep_ms(5);
}

bool user_interrupts(InputSystem* input) {
    if (input == nullptr) return false;
    return input->pop_char() >= 0 || input->read_all_mice();
}

}  // namespace

void music_play(const DynString& file_name, int loop) {
    set_error(0);
    music_stop();
    std::string resolved;
    if (!find_media(file_name, resolved)) {
        set_error(k_error_no_such_file);
        log_load_failure("music_play", file_name.text(), k_reason_not_found);
        return;
    }
    app_state.music_file_name = resolved.c_str();
    // The player has no window, so opening it disturbs neither the mouse
    // mode nor the keyboard focus.
    plat::MediaPlayer* player = plat::media_open_music(resolved.c_str());
    app_state.music_window = player;
    const double length = loop_length(player);
    app_state.music_restart_time = loop != 0 ? clock_ms() + length : 0;
    plat::media_seek_start(player);
    plat::media_play(player);
    if (app_state.music_volume != 1.0) {
        app_state.music_volume = 1.0;
        plat::media_set_volume(player, 1000);
    }
    set_paused(false);
}

void music_stop() {
    app_state.music_volume = -1;
    app_state.music_restart_time = 0;
    if (app_state.music_window != nullptr) {
        plat::media_stop(app_state.music_window);
        plat::media_close(app_state.music_window);
    }
    app_state.music_window = nullptr;
}

void music_restart() {
    plat::media_seek_start(app_state.music_window);
    plat::media_play(app_state.music_window);
}

void music_set_volume(double volume) {
    if (volume == app_state.music_volume) return;
    app_state.music_volume = volume;
    if (app_state.music_window != nullptr) plat::media_set_volume(app_state.music_window, to_int32(volume * 1000.0));
}

int music_is_playing() {
    plat::MediaPlayer* player = app_state.music_window;
    if (player == nullptr) return 0;
    if (app_state.music_restart_time > 0) return 1;
    // Positions run from 0 (the start) to the length.
    return plat::media_position_ms(player) < plat::media_length_ms(player) ? 1 : 0;
}

void music_pause(int pause) { music_pause_at(pause, clock_ms()); }

void music_pause_at(int pause, double now_ms) {
    plat::MediaPlayer* player = app_state.music_window;
    if (player == nullptr) return;
    if (pause != 0) {
        if (app_state.music_restart_time > 0) {
            app_state.music_pause_time = now_ms;
            app_state.music_restart_time = -app_state.music_restart_time;
        }
        plat::media_pause(player);
    } else {
        if (app_state.music_restart_time < 0)
            app_state.music_restart_time = -app_state.music_restart_time + (now_ms - app_state.music_pause_time);
        plat::media_resume(player);
    }
}

void music_loop_update() {
    if (app_state.music_restart_time > 0) music_loop_update_at(clock_ms());
}

void music_loop_update_at(double now_ms) {
    if (app_state.music_restart_time <= 0 || now_ms < app_state.music_restart_time) return;
    plat::MediaPlayer* player = app_state.music_window;
    app_state.music_restart_time = now_ms + loop_length(player);
    plat::media_play(player);
    plat::media_seek_start(player);
    plat::media_play(player);
}

VideoRect video_destination(int source_width, int source_height, int client_width, int client_height) {
    VideoRect rect{0, 0, client_width, client_height};
    if (source_width <= 0 || source_height <= 0) return rect;
    const double scale = std::min(static_cast<double>(client_width) / source_width,
                                  static_cast<double>(client_height) / source_height);
    rect.width = to_int32(source_width * scale);
    rect.height = to_int32(source_height * scale);
    rect.x = (client_width - rect.width) / 2;
    rect.y = (client_height - rect.height) / 2;
    return rect;
}

int video_play(const DynString& file_name, int loop) {
    std::string resolved;
    if (!find_media(file_name, resolved)) {
        log_load_failure("video_play", file_name.text(), k_reason_not_found);
        return k_error_no_such_file;
    }
    OpenGLRainbows* renderer = app_state.renderer;
    if (renderer == nullptr || renderer->window == nullptr) return k_error_no_such_file;
    renderer->flush();
    plat::MediaPlayer* player = plat::media_open_video(resolved.c_str(), renderer->window);
    if (!plat::media_opened(player)) {
        plat::media_close(player);
        return k_error_no_such_file;
    }

    // Positions run from 0 (the start) to the length.
    const double end = plat::media_length_ms(player);
    int source_width = 0, source_height = 0, client_width = 0, client_height = 0;
    plat::media_source_size(player, &source_width, &source_height);
    plat::window_get_client_size(renderer->window, &client_width, &client_height);
    const VideoRect rect = video_destination(source_width, source_height, client_width, client_height);
    plat::media_set_destination(player, rect.x, rect.y, rect.width, rect.height);

    InputSystem* input = app_state.input;
    if (input != nullptr) input->clear_chars();
    wait_for_mouse_release(input);

    plat::media_play(player);
    bool first_picture = true;
    for (;;) {
        const double position = plat::media_position_ms(player);
        if (loop == 0 && position >= end) break;
        if (user_interrupts(input)) break;
        music_loop_update();
        if (!pump_messages(*renderer, message_callback())) end_program();
        if (loop != 0 && position >= end) {
            plat::media_seek_start(player);
            plat::media_play(player);
        }
        if (plat::media_render(player, client_width, client_height, first_picture)) {
            first_picture = false;
            plat::gl_swap(renderer->window);
        } else {
            plat::sleep_ms(2);
        }
    }
    plat::media_stop(player);
    plat::media_close(player);
    renderer->reset_frame_state();
    return 0;
}

}  // namespace crv
