// How closely music keeps time on the silent output, measured on the real
// clock (the tests check the rules on given clock values instead):
//  - a 1000 ms piece played once: time until music_is_playing turns 0;
//  - a 200 ms looping piece checked every 2 ms for 5 s: the intervals
//    between restarts (500 ms by the rule) and how far each restart time
//    lies from the moment of the check (500 ms);
//  - a pause of 300 ms on the real clock: how far the restart time moved.
// Usage: music_timing (prints one line per measurement).
#include "runtime/app_state.hpp"
#include "app/clock.hpp"
#include "app/media.hpp"
#include "platform/clock.hpp"
#include "platform/media_player.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

void put(std::ofstream& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((v >> (8 * i)) & 0xff));
}

// A 441 Hz tone, 16-bit mono at 22050 Hz.
std::string tone(const std::string& path, int ms) {
    const std::uint32_t rate = 22050, frames = rate * static_cast<std::uint32_t>(ms) / 1000;
    std::ofstream out(path, std::ios::binary);
    out << "RIFF";
    put(out, 36 + frames * 2, 4);
    out << "WAVEfmt ";
    put(out, 16, 4);
    put(out, 1, 2);
    put(out, 1, 2);
    put(out, rate, 4);
    put(out, rate * 2, 4);
    put(out, 2, 2);
    put(out, 16, 2);
    out << "data";
    put(out, frames * 2, 4);
    for (std::uint32_t i = 0; i < frames; ++i)
        put(out, static_cast<std::uint16_t>(static_cast<std::int16_t>(8000 * std::sin(i * 2 * 3.14159265 * 441 / rate))),
            2);
    return path;
}

void summary(const char* what, std::vector<double> values, double expected) {
    if (values.empty()) {
        std::printf("%s: none\n", what);
        return;
    }
    std::sort(values.begin(), values.end());
    std::printf("%s (expected %.0f ms): n %zu  min %.2f  median %.2f  max %.2f ms\n", what, expected, values.size(),
                values.front(), values[values.size() / 2], values.back());
}

}  // namespace

int main() {
    using namespace crv;
    timer_init();
    plat::media_set_audio_outputs("null", "");
    char folder[] = "/tmp/crv-music-XXXXXX";
    if (::mkdtemp(folder) == nullptr) return 1;
    const std::string dir = folder;

    const std::string second = tone(dir + "/second.wav", 1000);
    double started = clock_ms();
    music_play(second.c_str(), 0);
    while (music_is_playing() != 0 && clock_ms() - started < 10000) plat::sleep_ms(1);
    std::printf("1000 ms piece played once: ended after %.1f ms\n", clock_ms() - started);

    const std::string short_piece = tone(dir + "/short.wav", 200);
    music_play(short_piece.c_str(), 1);
    std::vector<double> intervals, ahead;
    double last = -1, restart = app_state.music_restart_time;
    started = clock_ms();
    while (clock_ms() - started < 5000) {
        music_loop_update();
        if (app_state.music_restart_time != restart) {
            const double now = clock_ms();
            restart = app_state.music_restart_time;
            ahead.push_back(restart - now);
            if (last >= 0) intervals.push_back(now - last);
            last = now;
        }
        plat::sleep_ms(2);
    }
    summary("200 ms looping piece: interval between restarts", intervals, 500);
    summary("200 ms looping piece: next restart after the check", ahead, 500);

    std::vector<double> moved;
    for (int i = 0; i < 5; ++i) {
        const double before = app_state.music_restart_time;
        music_pause(1);
        plat::sleep_ms(300);
        music_pause(0);
        moved.push_back(app_state.music_restart_time - before);
    }
    summary("pause of 300 ms: restart time moved by", moved, 300);

    music_stop();
    std::remove(second.c_str());
    std::remove(short_piece.c_str());
    ::rmdir(folder);
    return 0;
}
