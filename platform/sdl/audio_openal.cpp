#include "platform/audio.hpp"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <vector>

// Every voice is a pair of mono sources pinned hard left and hard right,
// so that the level of each side is exactly the gain given to its source:
// a stereo sample is split into a left and a right buffer, a mono sample
// feeds both sources from one buffer.

namespace crv::plat {

struct AudioDevice {
    ALCdevice* device = nullptr;
    ALCcontext* context = nullptr;
    bool loopback = false;
    int output_rate = 0;
};

struct AudioSample {
    AudioDevice* device = nullptr;
    ALuint buffers[2] = {0, 0};  // left, right (one buffer for mono)
    int buffer_count = 0;
};

struct AudioVoice {
    AudioSample* sample = nullptr;
    ALuint sources[2] = {0, 0};  // left, right
};

namespace {

// Voices a device is asked to allow: two sources per channel of every
// sound slot the run-time can fill.
constexpr ALCint k_source_request = 4096 * 4 * 2;

LPALCLOOPBACKOPENDEVICESOFT loopback_open_proc() {
    if (alcIsExtensionPresent(nullptr, "ALC_SOFT_loopback") != ALC_TRUE) return nullptr;
    return reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
}

LPALCRENDERSAMPLESSOFT render_proc(ALCdevice* device) {
    return reinterpret_cast<LPALCRENDERSAMPLESSOFT>(alcGetProcAddress(device, "alcRenderSamplesSOFT"));
}

// The calls below act on the current context; one device is in use at a
// time, but a test may close one and open the next.
bool make_current(AudioDevice* device) {
    if (device == nullptr || device->context == nullptr) return false;
    if (alcGetCurrentContext() == device->context) return true;
    return alcMakeContextCurrent(device->context) == ALC_TRUE;
}

AudioDevice* finish_open(ALCdevice* al_device, bool loopback, int output_rate) {
    std::vector<ALCint> attributes;
    if (loopback) {
        attributes.insert(attributes.end(), {ALC_FORMAT_CHANNELS_SOFT, ALC_STEREO_SOFT, ALC_FORMAT_TYPE_SOFT,
                                             ALC_FLOAT_SOFT});
    }
    attributes.insert(attributes.end(), {ALC_FREQUENCY, output_rate, ALC_MONO_SOURCES, k_source_request,
                                         ALC_STEREO_SOURCES, 0});
    // Head-related filtering and the output limiter would both change the
    // levels a voice asks for.
    if (alcIsExtensionPresent(al_device, "ALC_SOFT_HRTF") == ALC_TRUE)
        attributes.insert(attributes.end(), {ALC_HRTF_SOFT, ALC_FALSE});
    if (alcIsExtensionPresent(al_device, "ALC_SOFT_output_limiter") == ALC_TRUE)
        attributes.insert(attributes.end(), {ALC_OUTPUT_LIMITER_SOFT, ALC_FALSE});
    attributes.push_back(0);

    ALCcontext* context = alcCreateContext(al_device, attributes.data());
    if (context == nullptr) {
        alcCloseDevice(al_device);
        return nullptr;
    }
    auto* device = new AudioDevice{al_device, context, loopback, output_rate};
    if (!make_current(device)) {
        alcDestroyContext(context);
        alcCloseDevice(al_device);
        delete device;
        return nullptr;
    }
    return device;
}

float side_gain(int hundredths_db) {
    if (hundredths_db <= -10000) return 0.0f;
    if (hundredths_db >= 0) return 1.0f;
    return static_cast<float>(std::pow(10.0, hundredths_db / 2000.0));
}

ALenum mono_format(int bits) { return bits == 8 ? AL_FORMAT_MONO8 : AL_FORMAT_MONO16; }

// One channel of interleaved frames as a mono block in the layout OpenAL
// takes (16-bit samples in the machine's byte order).
std::vector<std::uint8_t> extract_channel(const AudioFormat& format, const std::uint8_t* data, std::size_t frames,
                                          int channel) {
    const std::size_t bytes_per_sample = static_cast<std::size_t>(format.bits_per_sample / 8);
    std::vector<std::uint8_t> out(frames * bytes_per_sample);
    const std::size_t stride = static_cast<std::size_t>(format.block_align);
    const std::size_t offset = static_cast<std::size_t>(channel) * bytes_per_sample;
    for (std::size_t i = 0; i < frames; ++i) {
        const std::uint8_t* in = data + i * stride + offset;
        std::uint8_t* to = out.data() + i * bytes_per_sample;
        if (bytes_per_sample == 1) {
            to[0] = in[0];
        } else {
            auto value = static_cast<std::uint16_t>(in[0] | (in[1] << 8));
            if constexpr (std::endian::native == std::endian::big) {
                to[0] = static_cast<std::uint8_t>(value >> 8);
                to[1] = static_cast<std::uint8_t>(value);
            } else {
                to[0] = static_cast<std::uint8_t>(value);
                to[1] = static_cast<std::uint8_t>(value >> 8);
            }
        }
    }
    return out;
}

}  // namespace

AudioDevice* audio_open(int output_rate) {
    ALCdevice* al_device = alcOpenDevice(nullptr);
    if (al_device == nullptr) return nullptr;
    return finish_open(al_device, false, output_rate);
}

AudioDevice* audio_open_loopback(int output_rate) {
    LPALCLOOPBACKOPENDEVICESOFT open_loopback = loopback_open_proc();
    if (open_loopback == nullptr) return nullptr;
    ALCdevice* al_device = open_loopback(nullptr);
    if (al_device == nullptr) return nullptr;
    return finish_open(al_device, true, output_rate);
}

void audio_close(AudioDevice* device) {
    if (device == nullptr) return;
    if (alcGetCurrentContext() == device->context) alcMakeContextCurrent(nullptr);
    alcDestroyContext(device->context);
    alcCloseDevice(device->device);
    delete device;
}

AudioCaps audio_caps(AudioDevice* device) {
    AudioCaps caps;
    if (device == nullptr) return caps;
    ALCint value = 0;
    alcGetIntegerv(device->device, ALC_FREQUENCY, 1, &value);
    caps.output_rate = value;
    value = 0;
    alcGetIntegerv(device->device, ALC_MONO_SOURCES, 1, &value);
    caps.max_voices = value / 2;
    return caps;
}

bool audio_render(AudioDevice* device, float* out, int frames) {
    if (device == nullptr || !device->loopback || out == nullptr || frames < 0) return false;
    LPALCRENDERSAMPLESSOFT render = render_proc(device->device);
    if (render == nullptr) return false;
    render(device->device, out, frames);
    return true;
}

AudioSample* audio_sample_create(AudioDevice* device, const AudioFormat& format, const std::uint8_t* data,
                                 std::size_t bytes) {
    if (device == nullptr || data == nullptr || !audio_format_usable(format)) return nullptr;
    const std::size_t frames = bytes / static_cast<std::size_t>(format.block_align);
    if (frames == 0 || frames > 0x7fffffff / 4) return nullptr;
    if (!make_current(device)) return nullptr;

    auto* sample = new AudioSample;
    sample->device = device;
    sample->buffer_count = format.channels;
    alGetError();
    alGenBuffers(sample->buffer_count, sample->buffers);
    if (alGetError() != AL_NO_ERROR) {
        delete sample;
        return nullptr;
    }
    for (int channel = 0; channel < format.channels; ++channel) {
        std::vector<std::uint8_t> block = extract_channel(format, data, frames, channel);
        alBufferData(sample->buffers[channel], mono_format(format.bits_per_sample), block.data(),
                     static_cast<ALsizei>(block.size()), format.samples_per_second);
    }
    if (alGetError() != AL_NO_ERROR) {
        alDeleteBuffers(sample->buffer_count, sample->buffers);
        delete sample;
        return nullptr;
    }
    return sample;
}

void audio_sample_destroy(AudioSample* sample) {
    if (sample == nullptr) return;
    if (make_current(sample->device)) alDeleteBuffers(sample->buffer_count, sample->buffers);
    delete sample;
}

AudioVoice* audio_voice_create(AudioSample* sample) {
    if (sample == nullptr || !make_current(sample->device)) return nullptr;
    auto* voice = new AudioVoice;
    voice->sample = sample;
    alGetError();
    alGenSources(2, voice->sources);
    if (alGetError() != AL_NO_ERROR) {
        delete voice;
        return nullptr;
    }
    for (int side = 0; side < 2; ++side) {
        ALuint source = voice->sources[side];
        alSourcei(source, AL_SOURCE_RELATIVE, AL_TRUE);
        alSource3f(source, AL_POSITION, side == 0 ? -1.0f : 1.0f, 0.0f, 0.0f);
        alSourcef(source, AL_ROLLOFF_FACTOR, 0.0f);
        alSourcei(source, AL_LOOPING, AL_FALSE);
        alSourcef(source, AL_GAIN, 0.0f);
        alSourcei(source, AL_BUFFER, static_cast<ALint>(sample->buffers[side < sample->buffer_count ? side : 0]));
    }
    if (alGetError() != AL_NO_ERROR) {
        alDeleteSources(2, voice->sources);
        delete voice;
        return nullptr;
    }
    return voice;
}

void audio_voice_destroy(AudioVoice* voice) {
    if (voice == nullptr) return;
    if (make_current(voice->sample->device)) {
        alSourceStopv(2, voice->sources);
        alDeleteSources(2, voice->sources);
    }
    delete voice;
}

bool audio_voice_play(AudioVoice* voice, int volume, int pan) {
    if (voice == nullptr || !make_current(voice->sample->device)) return false;
    // Positive pan takes level off the left side, negative off the right.
    const int left = volume - std::max(pan, 0);
    const int right = volume - std::max(-pan, 0);
    alGetError();
    alSourcef(voice->sources[0], AL_GAIN, side_gain(left));
    alSourcef(voice->sources[1], AL_GAIN, side_gain(right));
    alSourcePlayv(2, voice->sources);
    return alGetError() == AL_NO_ERROR;
}

bool audio_voice_playing(AudioVoice* voice) {
    if (voice == nullptr || !make_current(voice->sample->device)) return false;
    ALint state = AL_STOPPED;
    alGetSourcei(voice->sources[0], AL_SOURCE_STATE, &state);
    return state == AL_PLAYING;
}

void audio_voice_stop(AudioVoice* voice) {
    if (voice == nullptr || !make_current(voice->sample->device)) return;
    alSourceRewindv(2, voice->sources);
}

}  // namespace crv::plat
