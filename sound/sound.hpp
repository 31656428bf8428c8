// Sound effects: the sound device and the table of 4096 sound slots, each
// holding one loaded WAVE sound with one to four channels that play it, so
// that an effect can overlap itself. Playing hands out a channel handle,
// slot x 256 + channel index, through which the game asks whether the sound
// still plays and stops it.
// The device and the table are created at start-up and destroyed at program
// end (app_state.sound, app_state.sound_slots). Main thread only; the
// output mixes in the background. Failures set the error code ("no such
// file" 3, "out of memory" 7 for a slot number out of range) or return -1 /
// false; without an output device every load fails and every play returns
// -1, and the program runs on. The game's operations are declared in
// corvane/sound.hpp.
#pragma once

#include <corvane/sound.hpp>

#include "platform/audio.hpp"

#include <cstdint>

namespace crv {

// Output format the device mixes at.
constexpr int k_sound_output_rate = 22050;

class SoundDevice {
public:
    SoundDevice() = default;
    SoundDevice(const SoundDevice&) = delete;
    SoundDevice& operator=(const SoundDevice&) = delete;
    ~SoundDevice();

    plat::AudioDevice* device = nullptr;  // none when no output could be opened
    plat::AudioCaps caps;
};

class SoundSlot {
public:
    SoundSlot() = default;
    SoundSlot(const SoundSlot&) = delete;
    SoundSlot& operator=(const SoundSlot&) = delete;
    ~SoundSlot() { release(); }

    // Stops and frees every channel and the sound; the slot is empty again.
    void release();

    std::int32_t channel_count = 0;    // 1..4; 0 when empty
    std::int32_t current_channel = 0;  // the channel the next play tries first
    SoundDevice* device = nullptr;
    plat::AudioVoice* channels[k_sound_channel_limit] = {};
    plat::AudioSample* sample = nullptr;  // shared by the channels
};

// Start-up: the device on the system's default output (absent when there is
// none) and the empty slot table. The output is the process's, not the
// window's: it plays on whichever window is active and survives a window
// being re-created, so nothing here follows the window.
void sound_system_start();
// The same on an output the caller opened (a loopback device renders into
// memory); the sound system owns it from here on.
void sound_system_start_on(plat::AudioDevice* device);
// Program end: frees the slots from the last to the first, then the device.
void sound_system_stop();

}  // namespace crv
