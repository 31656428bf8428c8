// The sound slots over a loopback output: what the game asks for is mixed
// into memory and the levels of the left and right sides are measured.
#include "sound/sound.hpp"

#include "runtime/app_state.hpp"
#include <corvane/core.hpp>
#include "sys/resource.hpp"
#include "tests/sound/wave_files.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/scoped_env.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace crv {
namespace {

constexpr int k_rate = k_sound_output_rate;
constexpr double k_amplitude = 16000.0;

struct Levels {
    double left = 0;   // root mean square, full scale 1.0
    double right = 0;
};

double db(double rms) { return 20.0 * std::log10(rms / (k_amplitude / 32768.0 / std::sqrt(2.0))); }

class SoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        plat::AudioDevice* device = plat::audio_open_loopback(k_rate);
        ASSERT_NE(device, nullptr) << "no loopback output";
        sound_system_start_on(device);
        set_error(0);
        // One second of 441 Hz: whole periods in every 50-frame block.
        tone_ = dir_.file("tone.wav");
        test::write_file(tone_, test::wave_file(test::sine(k_rate, 441, k_rate, k_amplitude)));
    }
    void TearDown() override { sound_system_stop(); }

    std::vector<float> render(int frames) {
        std::vector<float> out(static_cast<std::size_t>(frames) * 2);
        EXPECT_TRUE(plat::audio_render(app_state.sound->device, out.data(), frames));
        return out;
    }

    // Levels over the block after skipping the first frames of the mix.
    Levels measure(int frames = 2200) {
        render(100);
        std::vector<float> out = render(frames);
        Levels l;
        for (int i = 0; i < frames; ++i) {
            l.left += out[2 * i] * out[2 * i];
            l.right += out[2 * i + 1] * out[2 * i + 1];
        }
        l.left = std::sqrt(l.left / frames);
        l.right = std::sqrt(l.right / frames);
        return l;
    }

    test::TempDir dir_;
    std::string tone_;
};

struct LevelCase {
    double volume, pan;
    double left_db, right_db;  // NAN: silent
};

TEST_F(SoundTest, VolumeAndPanSetTheLevelOfEachSide) {
    const LevelCase cases[] = {
        {1.0, 0.0, 0, 0},           {0.5, 0.0, -50, -50},    {2.0, 0.0, 0, 0},
        {0.999, 0.0, -1, -1},       {0.0, 0.0, NAN, NAN},    {-1.0, 0.0, NAN, NAN},
        {1.0, -3.0, 0, NAN},        {1.0, 1.0, NAN, 0},      {1.0, 0.25, -25, 0},
        {0.8, -0.1, -20, -30},      {0.7, 0.5, -80, -30},
    };
    sound_load(tone_.c_str(), 1, 1);
    ASSERT_EQ(last_error_code(), 0);
    for (const LevelCase& c : cases) {
        SCOPED_TRACE("volume " + std::to_string(c.volume) + " pan " + std::to_string(c.pan));
        sound_stop(256);
        ASSERT_EQ(sound_play(1, c.pan, c.volume), 256);
        const Levels l = measure();
        if (std::isnan(c.left_db)) EXPECT_LT(l.left, 1e-7);
        else EXPECT_NEAR(db(l.left), c.left_db, 0.05);
        if (std::isnan(c.right_db)) EXPECT_LT(l.right, 1e-7);
        else EXPECT_NEAR(db(l.right), c.right_db, 0.05);
    }
}

TEST_F(SoundTest, StereoSidesStayApartAndPanAttenuatesOne) {
    // Left: the tone at full amplitude; right: the tone at a tenth (-20 dB).
    std::vector<std::int16_t> left = test::sine(k_rate, 441, k_rate, k_amplitude);
    std::vector<std::int16_t> frames;
    for (std::int16_t s : left) {
        frames.push_back(s);
        frames.push_back(static_cast<std::int16_t>(s / 10));
    }
    const std::string file = dir_.file("stereo.wav");
    test::write_file(file, test::wave_file(frames, 2));
    sound_load(file.c_str(), 2, 1);
    ASSERT_EQ(last_error_code(), 0);
    ASSERT_EQ(sound_play(2, 0.0, 1.0), 512);
    Levels l = measure();
    EXPECT_NEAR(db(l.left), 0, 0.05);
    EXPECT_NEAR(db(l.right), -20, 0.05);
    sound_stop(512);
    ASSERT_EQ(sound_play(2, 0.3, 1.0), 512);
    l = measure();
    EXPECT_NEAR(db(l.left), -30, 0.05);
    EXPECT_NEAR(db(l.right), -20, 0.05);
}

TEST_F(SoundTest, OneChannelRefusesASecondPlayUntilItEnds) {
    sound_load(tone_.c_str(), 7, 1);
    const int handle = sound_play(7, 0, 1);
    EXPECT_EQ(handle, 7 * 256);
    EXPECT_TRUE(sound_is_playing(handle));
    EXPECT_EQ(sound_play(7, 0, 1), -1);
    EXPECT_TRUE(sound_is_playing(handle));
    // Played out to its end, the channel is idle and free again.
    render(k_rate + 10);
    EXPECT_FALSE(sound_is_playing(handle));
    EXPECT_EQ(sound_play(7, 0, 1), handle);
    sound_stop(handle);
    EXPECT_FALSE(sound_is_playing(handle));
    EXPECT_EQ(sound_play(7, 0, 1), handle);
}

TEST_F(SoundTest, TheThirdPlayOnTwoChannelsRestartsTheFirst) {
    // A ramp shows where each channel is: the sample at position p is p.
    std::vector<std::int16_t> ramp(4000);
    for (std::size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<std::int16_t>(i * 8);
    const std::string file = dir_.file("ramp.wav");
    test::write_file(file, test::wave_file(ramp));
    sound_load(file.c_str(), 3, 2);
    EXPECT_EQ(sound_play(3, 0, 1), 3 * 256 + 0);
    render(1000);
    EXPECT_EQ(sound_play(3, 0, 1), 3 * 256 + 1);
    render(500);
    EXPECT_EQ(sound_play(3, 0, 1), 3 * 256 + 0);
    EXPECT_TRUE(sound_is_playing(3 * 256 + 0));
    EXPECT_TRUE(sound_is_playing(3 * 256 + 1));
    // Channel 1 has played 500 frames, channel 0 starts again at 0 (it would
    // be at 1500 had it not been restarted).
    std::vector<float> out = render(200);
    const double expected = (100 + 500 + 100) * 8 / 32768.0;
    EXPECT_NEAR(out[2 * 100], expected, 2 * 8 / 32768.0);
}

TEST_F(SoundTest, ChannelCountIsClampedToOneToFour) {
    sound_load(tone_.c_str(), 4, 0);
    EXPECT_EQ(app_state.sound_slots[4].channel_count, 1);
    EXPECT_EQ(sound_play(4, 0, 1), 1024);
    EXPECT_EQ(sound_play(4, 0, 1), -1);

    sound_load(tone_.c_str(), 5, 9);
    EXPECT_EQ(app_state.sound_slots[5].channel_count, 4);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(sound_play(5, 0, 1), 5 * 256 + i);
    EXPECT_EQ(sound_play(5, 0, 1), 5 * 256 + 0);
}

TEST_F(SoundTest, StopOneChannelEveryChannelOfASlotOrEverything) {
    sound_load(tone_.c_str(), 8, 2);
    sound_load(tone_.c_str(), 9, 1);
    const int a = sound_play(8, 0, 1), b = sound_play(8, 0, 1), c = sound_play(9, 0, 1);
    sound_stop(a);
    EXPECT_FALSE(sound_is_playing(a));
    EXPECT_TRUE(sound_is_playing(b));
    sound_stop(8 * 256 + 200);  // no such channel: the whole slot
    EXPECT_FALSE(sound_is_playing(b));
    EXPECT_TRUE(sound_is_playing(c));
    sound_stop(-1);
    EXPECT_TRUE(sound_is_playing(c));
    sound_stop_all();
    EXPECT_FALSE(sound_is_playing(c));
    EXPECT_LT(measure().left, 1e-7);
}

TEST_F(SoundTest, SlotNumbersOutOfRangeAreOutOfMemory) {
    sound_load(tone_.c_str(), 4096, 1);
    EXPECT_EQ(last_error_code(), 7);
    set_error(0);
    sound_load(tone_.c_str(), -1, 1);
    EXPECT_EQ(last_error_code(), 7);
    set_error(0);
    EXPECT_EQ(sound_play(4096, 0, 1), -1);
    EXPECT_EQ(last_error_code(), 7);
    set_error(0);
    EXPECT_FALSE(sound_is_playing(4096 * 256));
    EXPECT_EQ(last_error_code(), 7);
    // -1 is the handle of a failed play; asking about it is harmless.
    set_error(0);
    EXPECT_FALSE(sound_is_playing(-1));
    sound_stop(0x7fffffff);
    EXPECT_EQ(last_error_code(), 0);
}

TEST_F(SoundTest, UnreadableFilesAreNoSuchFileAndEmptyTheSlot) {
    sound_load(tone_.c_str(), 10, 1);
    ASSERT_EQ(last_error_code(), 0);
    const std::string not_riff = dir_.file("not_riff.wav");
    test::Bytes bytes = test::wave_file(test::sine(100, 441, k_rate, 1000));
    bytes[0] = 'r';
    test::write_file(not_riff, bytes);
    test::TempDir log_dir;
    test::ScopedEnv temp("TMPDIR", log_dir.path().c_str());
    test::ScopedEnv windows_temp("TMP", log_dir.path().c_str());  // where Windows keeps the log
    for (const std::string& name : {not_riff, dir_.file("missing.wav")}) {
        set_error(0);
        sound_load(name.c_str(), 10, 1);
        EXPECT_EQ(last_error_code(), 3) << name;
        EXPECT_EQ(app_state.sound_slots[10].channel_count, 0);
        EXPECT_EQ(sound_play(10, 0, 1), -1);
    }
    // The log tells a missing file from one it cannot play, and both from
    // a machine without sound; the error code stays the same.
    SoundDevice* device = app_state.sound;
    app_state.sound = nullptr;
    set_error(0);
    sound_load(tone_.c_str(), 10, 1);
    EXPECT_EQ(last_error_code(), 3);
    app_state.sound = device;
    EXPECT_EQ(log_dir.read("ErrorLog.txt"), "sound_load \"" + not_riff + "\": not a WAVE file it can play\n" +
                                                "sound_load \"" + dir_.file("missing.wav") + "\": file not found\n" +
                                                "sound_load \"" + tone_ + "\": no sound device\n");
}

TEST_F(SoundTest, ShortFmtChunkOfEighteenBytesLoadsFromMemory) {
    test::FmtFields f;
    f.size = 18;
    const test::Bytes file =
        test::riff({test::chunk("fmt ", test::fmt_body(f)), test::chunk("data", test::pcm16(test::sine(k_rate, 441, k_rate, k_amplitude)))});
    sound_load(memory_name(file.data(), static_cast<std::int32_t>(file.size())).c_str(), 11, 1);
    ASSERT_EQ(last_error_code(), 0);
    ASSERT_EQ(sound_play(11, 0, 1), 11 * 256);
    EXPECT_NEAR(db(measure().left), 0, 0.05);
}

TEST_F(SoundTest, NamesAreFoundIgnoringCaseWithEitherSeparator) {
    const std::string name = dir_.path() + "\\TONE.wav";
    sound_load(name.c_str(), 12, 1);
    EXPECT_EQ(last_error_code(), 0);
    EXPECT_EQ(sound_play(12, 0, 1), 12 * 256);
}

TEST(SoundWithoutOutput, LoadsFailAndPlaysReturnMinusOne) {
    test::TempDir dir;
    const std::string file = dir.file("tone.wav");
    test::write_file(file, test::wave_file(test::sine(1000, 441, k_rate, 1000)));
    sound_system_start_on(nullptr);
    set_error(0);
    sound_load(file.c_str(), 0, 1);
    EXPECT_EQ(last_error_code(), 3);
    EXPECT_EQ(sound_play(0, 0, 1), -1);
    EXPECT_FALSE(sound_is_playing(0));
    sound_stop_all();
    sound_system_stop();
    // Before start-up and after the end nothing is there to play either.
    set_error(0);
    sound_load(file.c_str(), 0, 1);
    EXPECT_EQ(last_error_code(), 3);
    EXPECT_EQ(sound_play(0, 0, 1), -1);
}

}  // namespace
}  // namespace crv
