// A game program that plays looping music and a sound effect while it
// presents frames until the music has restarted twice (or 20 seconds have
// passed), prints the restarts, the time between them and whether sound
// could be played, and ends through end_program.
// MEDIA_GAME_MUSIC names the music file, MEDIA_GAME_SOUND the effect.
#include "runtime/app_state.hpp"
#include "app/clock.hpp"
#include <corvane/app.hpp>
#include "app/media.hpp"
#include "app/present.hpp"
#include "app/termination.hpp"
#include "sound/sound.hpp"

#include <cstdio>
#include <cstdlib>

namespace crv {

void load_project_settings() {
    app_state.screen_width = 160;
    app_state.screen_height = 120;
    app_state.debug_mode = 1;
    app_state.frame_rate = 60;
    app_state.caption = "MediaGame";
}

void game_main() {
    std::printf("sound output %d\n", app_state.sound != nullptr && app_state.sound->device != nullptr ? 1 : 0);
    sound_load(std::getenv("MEDIA_GAME_SOUND"), 0, 2);
    std::printf("sound load error %d\n", last_error_code());
    sound_play(0, 0, 1);
    music_play(std::getenv("MEDIA_GAME_MUSIC"), 1);
    std::printf("music error %d\n", last_error_code());
    int restarts = 0;
    const double first = app_state.music_restart_time;
    double restart = first;
    // Only a hang guard: how long the frames take does not change the result.
    const double until = clock_ms() + 20000;
    while (restarts < 2 && clock_ms() < until) {
        present_frame();
        if (app_state.music_restart_time != restart) {
            ++restarts;
            restart = app_state.music_restart_time;
        }
    }
    std::printf("restarts %d playing %d\n", restarts, music_is_playing());
    // Each restart is due at least 500 ms after the one before.
    std::printf("spaced %d\n", restart - first >= 2 * 500 ? 1 : 0);
    std::fflush(stdout);
    end_program();
}

}  // namespace crv
