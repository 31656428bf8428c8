// Sound output for short effects: an output device, sample data loaded
// into it, and voices that play a sample with a level and a pan. Levels
// are hundredths of a decibel (0 full, -10000 silent); the pan takes
// hundredths of a decibel off one side (negative: the right side is
// attenuated, positive: the left). Each voice keeps its own play position,
// so several voices over one sample overlap.
// A device is opened once per process (or a loopback device for offline
// rendering) and closed after every sample and voice made on it is gone.
// Main thread only; mixing runs in the background on its own. Failures
// are results (null, false); nothing is logged here.
#pragma once

#include <cstddef>
#include <cstdint>

namespace crv::plat {

struct AudioDevice;
struct AudioSample;
struct AudioVoice;

// Integer PCM as it comes in a sound file: 8-bit unsigned or 16-bit signed
// little-endian samples, channels interleaved.
struct AudioFormat {
    int channels = 0;  // 1 or 2
    int samples_per_second = 0;
    int bits_per_sample = 0;  // 8 or 16
    int block_align = 0;      // bytes per frame: channels x bits / 8
};

// Whether a format is one of the above, with a rate a device can take
// (up to a million frames per second).
inline bool audio_format_usable(const AudioFormat& format) {
    return format.channels >= 1 && format.channels <= 2 &&
           (format.bits_per_sample == 8 || format.bits_per_sample == 16) &&
           format.block_align == format.channels * format.bits_per_sample / 8 && format.samples_per_second > 0 &&
           format.samples_per_second <= 1000000;
}

struct AudioCaps {
    int output_rate = 0;  // frames per second the device mixes at
    int max_voices = 0;   // voices that can exist at once
};

// The system's default output, mixing stereo at output_rate; null when no
// output device can be opened (no sound hardware, no sound server).
AudioDevice* audio_open(int output_rate);
// A device that mixes only when asked (audio_render), at output_rate.
AudioDevice* audio_open_loopback(int output_rate);
void audio_close(AudioDevice* device);
AudioCaps audio_caps(AudioDevice* device);
// Mixes the next frames of a loopback device into out (interleaved
// left/right floats, full scale 1.0). False for other devices.
bool audio_render(AudioDevice* device, float* out, int frames);

// Copies frames of sample data (bytes are cut to whole frames). Null when
// the format is not one of the above or the device refuses.
AudioSample* audio_sample_create(AudioDevice* device, const AudioFormat& format, const std::uint8_t* data,
                                 std::size_t bytes);
// Voices made on the sample must be destroyed first.
void audio_sample_destroy(AudioSample* sample);

// An idle voice at the start of the sample; null when the device has no
// voice left.
AudioVoice* audio_voice_create(AudioSample* sample);
void audio_voice_destroy(AudioVoice* voice);
// Plays once from the voice's position (the start after a stop or after the
// sample ran to its end). Volume and pan as described above.
bool audio_voice_play(AudioVoice* voice, int volume, int pan);
bool audio_voice_playing(AudioVoice* voice);
// Stops and goes back to the start.
void audio_voice_stop(AudioVoice* voice);

}  // namespace crv::plat
