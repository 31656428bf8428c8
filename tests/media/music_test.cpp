// Music through the media player with its silent output (which keeps real
// time) or its file output (which writes what would be heard). On Windows
// the media window plays on the system's output (a silent device in the
// Windows stage).
#include "app/media.hpp"

#include "runtime/app_state.hpp"
#include "app/clock.hpp"
#include <corvane/core.hpp>
#include "platform/clock.hpp"
#include "platform/media_player.hpp"
#include "tests/sound/wave_files.hpp"
#include "tests/support/child_process.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace crv {
namespace {

constexpr int k_rate = 22050;

std::string tone_file(const test::TempDir& dir, const char* name, int ms, double amplitude = 12000) {
    const std::string path = dir.file(name);
    test::write_file(path, test::wave_file(test::sine(k_rate * ms / 1000, 441, k_rate, amplitude)));
    return path;
}

// Waits for a condition, polling every 5 ms. The limit only keeps a broken
// player from hanging the test: what the tests check never depends on how
// long anything took (the timing itself is measured by
// bench/media/music_timing.cpp).
constexpr int k_patience_ms = 15000;

template <typename Condition>
bool wait_for(Condition done) {
    const double until = clock_ms() + k_patience_ms;
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
    double position() { return plat::media_position_ms(player()); }
    double length() { return plat::media_length_ms(player()); }

    test::TempDir dir_;
};

TEST_F(MusicTest, PlaysOnceWithItsLengthAndPositionUntilTheEnd) {
    const std::string file = tone_file(dir_, "one second.wav", 1000);
    music_play(file.c_str(), 0);
    EXPECT_EQ(last_error_code(), 0);
    ASSERT_NE(player(), nullptr);
    EXPECT_TRUE(plat::media_opened(player()));
    EXPECT_EQ(std::string(app_state.music_file_name.text()), file);
    EXPECT_NEAR(length(), 1000, 1);
    EXPECT_EQ(app_state.music_restart_time, 0);

    // Held at its start, the piece is before its end and counts as playing.
    music_pause(1);
    plat::media_seek_start(player());
    ASSERT_TRUE(wait_for([&] { return position() < 100; })) << position();
    const double held = position();
    EXPECT_EQ(music_is_playing(), 1);
    EXPECT_EQ(position(), held);

    // Resumed, it moves on, and once it reaches its end it is over.
    music_pause(0);
    ASSERT_TRUE(wait_for([&] { return position() > held; }));
    ASSERT_TRUE(wait_for([] { return music_is_playing() == 0; }));
    EXPECT_NEAR(position(), 1000, 1);
    EXPECT_EQ(music_is_playing(), 0);

    // Restarting plays it again from the start: the position leaves the end.
    music_restart();
    ASSERT_TRUE(wait_for([] { return music_is_playing() == 1; }));
    EXPECT_LT(position(), 1000);
}

// The restart rule on a clock the test gives: frames of 60 Hz over 1.3 s
// of a looping 200 ms piece restart it at 500 and 1000 ms, each time 500
// ms on from the frame that noticed it.
TEST_F(MusicTest, AShortPieceLoopsEvery500Milliseconds) {
    const std::string file = tone_file(dir_, "short.wav", 200);
    const double before = clock_ms();
    music_play(file.c_str(), 1);
    const double after = clock_ms();
    const double first = app_state.music_restart_time;
    EXPECT_GE(first, before + 500);
    EXPECT_LE(first, after + 500);

    // Played out, a looping piece still counts as playing.
    ASSERT_TRUE(wait_for([&] { return position() >= length(); }));
    EXPECT_NEAR(length(), 200, 1);
    EXPECT_EQ(music_is_playing(), 1);

    const double start = first - 500, frame = 1000.0 / 60;
    std::vector<double> noticed;
    double due = first;
    for (int n = 0; start + n * frame < start + 1300; ++n) {
        const double now = start + n * frame;
        music_loop_update_at(now);
        if (app_state.music_restart_time != due) {
            noticed.push_back(now);
            due = app_state.music_restart_time;
            EXPECT_EQ(due, now + 500);
        }
    }
    ASSERT_EQ(noticed.size(), 2u);
    EXPECT_GE(noticed[0], first);
    EXPECT_LT(noticed[0], first + frame);
    EXPECT_GE(noticed[1], noticed[0] + 500);
    EXPECT_LT(noticed[1], noticed[0] + 500 + frame);

    // A late check restarts once and counts on from when it ran.
    music_loop_update_at(due + 1730);
    EXPECT_EQ(app_state.music_restart_time, due + 2230);

    // The run-time's own clock drives the same rule.
    app_state.music_restart_time = clock_ms() + 60000;
    const double waiting = app_state.music_restart_time;
    music_loop_update();
    EXPECT_EQ(app_state.music_restart_time, waiting);
    app_state.music_restart_time = clock_ms() - 1;
    const double t0 = clock_ms();
    music_loop_update();
    const double t1 = clock_ms();
    EXPECT_GE(app_state.music_restart_time, t0 + 500);
    EXPECT_LE(app_state.music_restart_time, t1 + 500);
}

TEST_F(MusicTest, ALoopingPieceStartsAgainFromTheStart) {
    music_play(tone_file(dir_, "tone.wav", 1000).c_str(), 1);
    const double restart = app_state.music_restart_time;
    // Played to its end, the piece waits there for the loop.
    ASSERT_TRUE(wait_for([&] { return position() >= length(); }));
    EXPECT_EQ(music_is_playing(), 1);
    music_loop_update_at(restart);
    // A piece longer than 500 ms loops after its own length.
    EXPECT_EQ(app_state.music_restart_time, restart + length());
    // The player went back to the start: its position leaves the end (for
    // the whole second the piece lasts).
    ASSERT_TRUE(wait_for([&] { return position() < length(); }));
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
    // The player holds still while paused.
    plat::sleep_ms(100);
    const double paused_at = position();
    plat::sleep_ms(250);
    EXPECT_NEAR(position(), paused_at, 1);

    music_pause_at(0, 15000.0);
    EXPECT_EQ(app_state.music_restart_time, restart + 10000.0);
    ASSERT_TRUE(wait_for([&] { return position() > paused_at + 100; }));

    // On the run-time's clock the restart moves by the time between the two
    // calls, however long that was.
    const double moved = app_state.music_restart_time;
    const double t0 = clock_ms();
    music_pause(1);
    const double t1 = clock_ms();
    plat::sleep_ms(300);
    const double t2 = clock_ms();
    music_pause(0);
    const double t3 = clock_ms();
    const double shift = app_state.music_restart_time - moved;
    EXPECT_GE(shift, t2 - t1 - 1e-6);
    EXPECT_LE(shift, t3 - t0 + 1e-6);

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

#ifndef _WIN32
// The Windows media window has no file output to measure.
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
    ASSERT_TRUE(wait_for([] { return music_is_playing() == 0; }));
    music_stop();
    const double level = written_level(full);
    EXPECT_NEAR(level, 12000 / 32768.0 / std::sqrt(2.0), 0.02);

    // An eighth of the volume is an eighth of the amplitude.
    plat::media_set_audio_outputs("pcm", quiet);
    plat::MediaPlayer* p = plat::media_open_music(tone.c_str());
    ASSERT_TRUE(plat::media_opened(p));
    plat::media_set_volume(p, 125);
    plat::media_play(p);
    ASSERT_TRUE(wait_for([p] { return plat::media_position_ms(p) >= plat::media_length_ms(p); }));
    plat::media_close(p);
    EXPECT_NEAR(written_level(quiet) / level, 0.125, 0.01);
}
#endif

}  // namespace
}  // namespace crv
