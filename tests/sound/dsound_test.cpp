// The sound slots on the real DirectSound device: the volume and pan that
// each play sets on the channel's buffer, read back from DirectSound, and
// the window the device cooperates with. The Windows stage gives Wine a
// silent output device.
#include "sound/sound.hpp"

#include "runtime/app_state.hpp"
#include <corvane/core.hpp>
#include "platform/clock.hpp"
#include "platform/win32/audio_dsound.hpp"
#include "platform/window.hpp"
#include "tests/sound/wave_files.hpp"
#include "tests/support/child_process.hpp"

#include <gtest/gtest.h>

#include <cstdlib>

namespace crv {
namespace {

constexpr int k_rate = k_sound_output_rate;

class DirectSoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        plat::AudioDevice* device = plat::audio_open(k_rate);
        ASSERT_NE(device, nullptr) << "no sound output device";
        sound_system_start_on(device);
        set_error(0);
        tone_ = dir_.file("tone.wav");
        test::write_file(tone_, test::wave_file(test::sine(k_rate / 10, 441, k_rate, 8000)));
    }
    void TearDown() override { sound_system_stop(); }

    plat::AudioVoice* channel(int slot, int index) { return app_state.sound_slots[slot].channels[index]; }

    test::TempDir dir_;
    std::string tone_;
};

TEST_F(DirectSoundTest, VolumeAndPanOnTheBufferFollowTheTable) {
    struct Case {
        double volume, pan;
        long buffer_volume, buffer_pan;
    };
    const Case cases[] = {
        {1.0, 0.0, 0, 0},          {0.5, 0.0, -5000, 0},     {2.0, 0.0, 0, 0},       {0.999, 0.0, -100, 0},
        {0.0, 0.0, -10000, 0},     {-1.0, 0.0, -10000, 0},   {1.0, -3.0, 0, -10000}, {1.0, 1.0, 0, 10000},
        {0.8, -0.1, -2000, -1000}, {0.7, 0.25, -3000, 2500},
    };
    sound_load(tone_.c_str(), 1, 2);
    ASSERT_EQ(last_error_code(), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE("volume " + std::to_string(c.volume) + " pan " + std::to_string(c.pan));
        sound_stop_all();
        const int handle = sound_play(1, c.pan, c.volume);
        ASSERT_GE(handle, 256);
        long volume = 1, pan = 1;
        ASSERT_TRUE(plat::win32::dsound_voice_levels(channel(1, handle & 255), &volume, &pan));
        EXPECT_EQ(volume, c.buffer_volume);
        EXPECT_EQ(pan, c.buffer_pan);
    }
}

TEST_F(DirectSoundTest, AChannelPlaysToItsEndAndStopRewindsIt) {
    sound_load(tone_.c_str(), 2, 1);
    ASSERT_EQ(last_error_code(), 0);
    const int handle = sound_play(2, 0, 1);
    ASSERT_EQ(handle, 512);
    EXPECT_TRUE(sound_is_playing(handle));
    EXPECT_EQ(sound_play(2, 0, 1), -1);
    // A tenth of a second; the limit only keeps a broken device from
    // hanging the test.
    for (int waited = 0; sound_is_playing(handle) && waited < 15000; waited += 10) plat::sleep_ms(10);
    EXPECT_FALSE(sound_is_playing(handle));
    EXPECT_EQ(sound_play(2, 0, 1), handle);
    EXPECT_TRUE(sound_is_playing(handle));
    sound_stop(handle);
    EXPECT_FALSE(sound_is_playing(handle));
}

TEST_F(DirectSoundTest, TheCooperativeLevelFollowsTheNewestGameWindow) {
    sound_load(tone_.c_str(), 3, 1);
    ASSERT_EQ(last_error_code(), 0);
    plat::AudioDevice* device = app_state.sound->device;
    EXPECT_EQ(plat::win32::dsound_cooperative_window(device), GetDesktopWindow());
    if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "game windows need an X display under Wine";
    // A screen-mode change makes the new window before it destroys the old.
    plat::Window* first = plat::window_create("Sound", 160, 120, 0);
    ASSERT_NE(first, nullptr);
    ASSERT_GE(sound_play(3, 0, 1), 0);
    EXPECT_EQ(plat::win32::dsound_cooperative_window(device),
              reinterpret_cast<HWND>(static_cast<std::uintptr_t>(plat::window_native_id(first))));
    plat::Window* second = plat::window_create("Sound", 160, 120, 0);
    ASSERT_NE(second, nullptr);
    plat::window_destroy(first);
    sound_stop_all();
    ASSERT_GE(sound_play(3, 0, 1), 0);
    EXPECT_EQ(plat::win32::dsound_cooperative_window(device),
              reinterpret_cast<HWND>(static_cast<std::uintptr_t>(plat::window_native_id(second))));
    sound_stop_all();
    plat::window_destroy(second);
}

}  // namespace
}  // namespace crv
