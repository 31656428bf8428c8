// Music through the media player with its silent output (which keeps real
// time) or its file output (which writes what would be heard).
#include "app/media.hpp"

#include "app/app_state.hpp"
#include "app/clock.hpp"
#include "core/fatal.hpp"
#include "platform/clock.hpp"
#include "platform/media_player.hpp"
#include "tests/sound/wave_files.hpp"
#include "tests/support/child_process.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

namespace crv {
namespace {

constexpr int k_rate = 22050;

std::string tone_file(const test::TempDir& dir, const char* name, int ms, double amplitude = 12000) {
    const std::string path = dir.file(name);
    test::write_file(path, test::wave_file(test::sine(k_rate * ms / 1000, 441, k_rate, amplitude)));
    return path;
}

// Waits (up to limit_ms) for a condition, polling every 5 ms.
template <typename Condition>
bool wait_for(Condition done, int limit_ms) {
    const double until = clock_ms() + limit_ms;
    while (!done()) {
        if (clock_ms() > until) return false;
        plat::sleep_ms(5);
    }
    return true;
}

class MusicTest : public ::testing::Test {
protected:
    void SetUp() override {
        timer_init();
        plat::media_set_audio_outputs("null", "");
        set_error(0);
    }
    void TearDown() override {
        music_stop();
        plat::media_set_audio_outputs("null", "");
    }
    plat::MediaPlayer* player() { return app_state.music_window; }

    test::TempDir dir_;
};

TEST_F(MusicTest, PlaysOnceWithItsLengthAndPositionUntilTheEnd) {
    const std::string file = tone_file(dir_, "one second.wav", 1000);
    const double started = clock_ms();
    music_play(file.c_str(), 0);
    EXPECT_EQ(last_error_code(), 0);
    ASSERT_NE(player(), nullptr);
    EXPECT_TRUE(plat::media_opened(player()));
    EXPECT_EQ(std::string(app_state.music_file_name.text()), file);
    EXPECT_NEAR(plat::media_length_ms(player()), 1000, 1);
    EXPECT_EQ(app_state.music_restart_time, 0);

    plat::sleep_ms(400);
    const double position = plat::media_position_ms(player());
    EXPECT_GT(position, 150);
    EXPECT_LT(position, 800);
    EXPECT_EQ(music_is_playing(), 1);

    ASSERT_TRUE(wait_for([] { return music_is_playing() == 0; }, 3000));
    // The silent output reports the end once the last samples are queued,
    // up to a quarter of a second before they would have been heard.
    EXPECT_GT(clock_ms() - started, 600) << clock_ms() - started;
    EXPECT_NEAR(plat::media_position_ms(player()), 1000, 1) << clock_ms() - started;

    // Restarting plays it from the start again.
    music_restart();
    plat::sleep_ms(100);
    EXPECT_EQ(music_is_playing(), 1);
    EXPECT_LT(plat::media_position_ms(player()), 500);
}

TEST_F(MusicTest, AShortPieceLoopsEvery500Milliseconds) {
    const std::string file = tone_file(dir_, "short.wav", 200);
    const double before = clock_ms();
    music_play(file.c_str(), 1);
    const double first_restart = app_state.music_restart_time;
    EXPECT_GE(first_restart, before + 500);
    EXPECT_LE(first_restart, clock_ms() + 500);

    // Between restarts the piece has ended, but looping music counts as playing.
    plat::sleep_ms(300);
    EXPECT_EQ(music_is_playing(), 1);

    std::vector<double> restarts;
    double last = first_restart;
    while (clock_ms() < first_restart + 700) {
        music_loop_update();
        if (app_state.music_restart_time != last) {
            restarts.push_back(clock_ms());
            last = app_state.music_restart_time;
            EXPECT_NEAR(last - restarts.back(), 500, 10);
        }
        plat::sleep_ms(2);
    }
    ASSERT_EQ(restarts.size(), 2u);
    EXPECT_NEAR(restarts[0], first_restart, 20);
    EXPECT_NEAR(restarts[1] - restarts[0], 500, 20);
}

TEST_F(MusicTest, ALoopingPieceStartsAgainFromTheStart) {
    music_play(tone_file(dir_, "tone.wav", 800).c_str(), 1);
    const double restart = app_state.music_restart_time;
    while (clock_ms() < restart - 30) plat::sleep_ms(2);
    EXPECT_GT(plat::media_position_ms(player()), 600);
    while (clock_ms() < restart) plat::sleep_ms(1);
    music_loop_update();
    EXPECT_GT(app_state.music_restart_time, restart);
    plat::sleep_ms(100);
    EXPECT_LT(plat::media_position_ms(player()), 250);
    EXPECT_EQ(music_is_playing(), 1);
}

TEST_F(MusicTest, PausingMovesTheRestartTimeByThePausedTime) {
    const std::string file = tone_file(dir_, "tone.wav", 1000);
    music_play(file.c_str(), 1);
    const double restart = app_state.music_restart_time;

    music_pause_at(1, 5000.0);
    EXPECT_EQ(app_state.music_restart_time, -restart);
    // A paused piece is not restarted however late it is.
    music_loop_update_at(restart + 60000.0);
    EXPECT_EQ(app_state.music_restart_time, -restart);
    plat::sleep_ms(100);
    const double paused_at = plat::media_position_ms(player());
    plat::sleep_ms(250);
    EXPECT_NEAR(plat::media_position_ms(player()), paused_at, 1);

    music_pause_at(0, 15000.0);
    EXPECT_EQ(app_state.music_restart_time, restart + 10000.0);
    plat::sleep_ms(250);
    EXPECT_GT(plat::media_position_ms(player()), paused_at + 100);

    // The same on the real clock.
    const double moved = app_state.music_restart_time;
    music_pause(1);
    plat::sleep_ms(300);
    music_pause(0);
    EXPECT_NEAR(app_state.music_restart_time - moved, 300, 60);

    // Music that does not loop keeps no restart time through a pause.
    music_play(file.c_str(), 0);
    music_pause_at(1, 1000.0);
    EXPECT_EQ(app_state.music_restart_time, 0);
    music_pause_at(0, 2000.0);
    EXPECT_EQ(app_state.music_restart_time, 0);
    EXPECT_EQ(music_is_playing(), 1);
}

TEST_F(MusicTest, VolumeIsSentOnlyWhenItChangesAndAlwaysAfterAStop) {
    const std::string file = tone_file(dir_, "tone.wav", 1000);
    music_play(file.c_str(), 0);
    EXPECT_EQ(app_state.music_volume, 1.0);
    EXPECT_EQ(plat::media_volume(player()), 1000);

    music_set_volume(0.25);
    EXPECT_EQ(plat::media_volume(player()), 250);
    // Changed behind the run-time's back: the same value again sends nothing.
    plat::media_set_volume(player(), 700);
    music_set_volume(0.25);
    EXPECT_EQ(plat::media_volume(player()), 700);
    music_set_volume(0.5);
    EXPECT_EQ(plat::media_volume(player()), 500);

    music_stop();
    EXPECT_EQ(app_state.music_volume, -1);
    EXPECT_EQ(player(), nullptr);
    EXPECT_EQ(music_is_playing(), 0);
    music_set_volume(0.3);  // nothing to send it to; remembered
    EXPECT_EQ(app_state.music_volume, 0.3);

    music_play(file.c_str(), 0);
    EXPECT_EQ(app_state.music_volume, 1.0);
    EXPECT_EQ(plat::media_volume(player()), 1000);
}

TEST_F(MusicTest, NamesAreFoundIgnoringCaseWithEitherSeparator) {
    tone_file(dir_, "Theme.WAV", 300);
    std::string name = dir_.path() + "\\theme.wav";
    music_play(name.c_str(), 0);
    EXPECT_EQ(last_error_code(), 0);
    EXPECT_TRUE(plat::media_opened(player()));
    EXPECT_NEAR(plat::media_length_ms(player()), 300, 1);
}

TEST_F(MusicTest, MissingFileIsErrorThreeAfterTheOldPieceStopped) {
    music_play(tone_file(dir_, "tone.wav", 1000).c_str(), 1);
    ASSERT_EQ(music_is_playing(), 1);
    music_play(dir_.file("missing.ogg").c_str(), 1);
    EXPECT_EQ(last_error_code(), 3);
    EXPECT_EQ(player(), nullptr);
    EXPECT_EQ(app_state.music_restart_time, 0);
    EXPECT_EQ(music_is_playing(), 0);
    music_play("", 0);
    EXPECT_EQ(last_error_code(), 3);
}

TEST_F(MusicTest, AFileThePlayerCannotReadIsNotDetected) {
    const std::string file = dir_.file("notes.ogg");
    test::write_file(file, test::Bytes(5000, 'x'));
    music_play(file.c_str(), 1);
    EXPECT_EQ(last_error_code(), 0);
    ASSERT_NE(player(), nullptr);
    EXPECT_FALSE(plat::media_opened(player()));
    EXPECT_EQ(music_is_playing(), 1);  // looping
    const double restart = app_state.music_restart_time;
    music_loop_update_at(restart);
    EXPECT_EQ(app_state.music_restart_time, restart + 500);
    music_pause(1);
    music_pause(0);
    music_set_volume(0.5);
    music_play(file.c_str(), 0);
    EXPECT_EQ(music_is_playing(), 0);
}

// Root mean square of the samples in a WAVE file the file output wrote
// (16-bit integers or 32-bit floats), full scale 1.0.
double written_level(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const test::Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::size_t pos = 12;
    int tag = 0, bits = 0;
    while (pos + 8 <= bytes.size()) {
        const char* id = reinterpret_cast<const char*>(&bytes[pos]);
        std::uint32_t size = 0;
        std::memcpy(&size, &bytes[pos + 4], 4);
        const std::size_t body = pos + 8;
        if (std::strncmp(id, "fmt ", 4) == 0) {
            tag = bytes[body] | (bytes[body + 1] << 8);
            bits = bytes[body + 14] | (bytes[body + 15] << 8);
        } else if (std::strncmp(id, "data", 4) == 0) {
            const std::size_t end = std::min<std::size_t>(bytes.size(), body + size);
            double sum = 0;
            std::size_t count = 0;
            for (std::size_t p = body; p + bits / 8 <= end; p += bits / 8, ++count) {
                double v = 0;
                if (tag == 3 || bits == 32) {
                    float f = 0;
                    std::memcpy(&f, &bytes[p], 4);
                    v = f;
                } else {
                    std::int16_t s = 0;
                    std::memcpy(&s, &bytes[p], 2);
                    v = s / 32768.0;
                }
                sum += v * v;
            }
            return count == 0 ? 0 : std::sqrt(sum / count);
        }
        pos = body + size;
    }
    return 0;
}

TEST_F(MusicTest, TheWrittenOutputCarriesTheToneAtTheVolumeAsked) {
    const std::string tone = tone_file(dir_, "tone.wav", 500, 12000);
    const std::string full = dir_.file("full.wav"), quiet = dir_.file("quiet.wav");

    plat::media_set_audio_outputs("pcm", full);
    music_play(tone.c_str(), 0);
    ASSERT_TRUE(wait_for([] { return music_is_playing() == 0; }, 5000));
    music_stop();
    const double level = written_level(full);
    EXPECT_NEAR(level, 12000 / 32768.0 / std::sqrt(2.0), 0.02);

    // An eighth of the volume is an eighth of the amplitude.
    plat::media_set_audio_outputs("pcm", quiet);
    plat::MediaPlayer* p = plat::media_open_music(tone.c_str());
    ASSERT_TRUE(plat::media_opened(p));
    plat::media_set_volume(p, 125);
    plat::media_play(p);
    ASSERT_TRUE(wait_for([p] { return plat::media_position_ms(p) >= plat::media_length_ms(p); }, 5000));
    plat::media_close(p);
    EXPECT_NEAR(written_level(quiet) / level, 0.125, 0.01);
}

}  // namespace
}  // namespace crv
