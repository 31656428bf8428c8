#include "platform/audio.hpp"

#include "platform/win32/audio_dsound.hpp"
#include "platform/win32/window_win32.hpp"

#include <mmsystem.h>
#include <dsound.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

// The output device is DirectSound: a loaded sample is one static secondary
// buffer in the sample's own format, and every voice a duplicate of it
// (sharing its data) with its own position, volume and pan, which are
// DirectSound's units already. The loopback device has no DirectSound
// behind it: it is a small mixer of our own that renders into memory with
// DirectSound's level and pan law, so that what a game asks for can be
// measured without sound hardware.

namespace crv::plat {

struct AudioDevice {
    bool loopback = false;
    int output_rate = 0;
    IDirectSound* sound = nullptr;
    HWND cooperative = nullptr;
    std::vector<AudioVoice*> voices;  // loopback: the voices mixed
};

struct AudioSample {
    AudioDevice* device = nullptr;
    AudioFormat format;
    std::vector<std::uint8_t> bytes;  // whole frames; kept to refill a lost buffer
    IDirectSoundBuffer* buffer = nullptr;
    // Loopback: the frames as floats, one array per side (mono: one).
    std::vector<float> sides[2];
    std::size_t frames = 0;
};

struct AudioVoice {
    AudioSample* sample = nullptr;
    IDirectSoundBuffer* buffer = nullptr;
    // Loopback: position in frames as 32.32 fixed point, and the gains.
    bool playing = false;
    std::uint64_t position = 0;
    float gains[2] = {0, 0};
};

namespace {

// Voices a device allows: every channel of every sound slot the run-time
// can fill. DirectSound mixes in software without a limit of its own.
constexpr int k_max_voices = 4096 * 4;

// Flags of a sample's buffer: static, volume, pan, accurate play cursor;
// without volume and pan when the device refuses those.
constexpr DWORD k_buffer_flags = DSBCAPS_STATIC | DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_GETCURRENTPOSITION2;
constexpr DWORD k_plain_buffer_flags = DSBCAPS_STATIC | DSBCAPS_GETCURRENTPOSITION2;

template <typename T>
void release(T*& object) {
    if (object != nullptr) object->Release();
    object = nullptr;
}

// The cooperative level belongs to a window: the newest game window, or the
// desktop while there is none (a program that plays sound before or
// without its window). A screen-mode change makes a new window, so the
// level follows it whenever a voice is about to play.
void cooperate(AudioDevice* device) {
    HWND window = win32::newest_window();
    if (window == nullptr) window = GetDesktopWindow();
    if (window == device->cooperative && IsWindow(window)) return;
    if (SUCCEEDED(device->sound->SetCooperativeLevel(window, DSSCL_PRIORITY))) device->cooperative = window;
}

// The primary buffer mixes at 16-bit stereo at the device's rate.
void set_primary_format(AudioDevice* device) {
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
    IDirectSoundBuffer* primary = nullptr;
    if (FAILED(device->sound->CreateSoundBuffer(&desc, &primary, nullptr))) return;
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = static_cast<DWORD>(device->output_rate);
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    primary->SetFormat(&format);
    release(primary);
}

bool fill(IDirectSoundBuffer* buffer, const std::vector<std::uint8_t>& bytes) {
    void* first = nullptr;
    void* second = nullptr;
    DWORD first_size = 0, second_size = 0;
    if (FAILED(buffer->Lock(0, static_cast<DWORD>(bytes.size()), &first, &first_size, &second, &second_size, 0)))
        return false;
    const std::size_t head = std::min<std::size_t>(first_size, bytes.size());
    std::memcpy(first, bytes.data(), head);
    if (second != nullptr) std::memcpy(second, bytes.data() + head, std::min<std::size_t>(second_size, bytes.size() - head));
    buffer->Unlock(first, first_size, second, second_size);
    return true;
}

IDirectSoundBuffer* make_buffer(AudioDevice* device, const AudioFormat& format, const std::vector<std::uint8_t>& bytes) {
    WAVEFORMATEX wave{};
    wave.wFormatTag = WAVE_FORMAT_PCM;
    wave.nChannels = static_cast<WORD>(format.channels);
    wave.nSamplesPerSec = static_cast<DWORD>(format.samples_per_second);
    wave.wBitsPerSample = static_cast<WORD>(format.bits_per_sample);
    wave.nBlockAlign = static_cast<WORD>(format.block_align);
    wave.nAvgBytesPerSec = wave.nSamplesPerSec * wave.nBlockAlign;
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwBufferBytes = static_cast<DWORD>(bytes.size());
    desc.lpwfxFormat = &wave;
    IDirectSoundBuffer* buffer = nullptr;
    for (DWORD flags : {k_buffer_flags, k_plain_buffer_flags}) {
        desc.dwFlags = flags;
        if (SUCCEEDED(device->sound->CreateSoundBuffer(&desc, &buffer, nullptr))) break;
        buffer = nullptr;
    }
    if (buffer != nullptr && !fill(buffer, bytes)) release(buffer);
    return buffer;
}

// A buffer whose memory the system took back (another program took the
// device) gets it back with the sample's data in it.
bool restore_if_lost(AudioVoice* voice) {
    DWORD status = 0;
    if (FAILED(voice->buffer->GetStatus(&status)) || (status & DSBSTATUS_BUFFERLOST) == 0) return true;
    return SUCCEEDED(voice->buffer->Restore()) && fill(voice->buffer, voice->sample->bytes);
}

float side_gain(int hundredths_db) {
    if (hundredths_db <= DSBVOLUME_MIN) return 0.0f;
    if (hundredths_db >= 0) return 1.0f;
    return static_cast<float>(std::pow(10.0, hundredths_db / 2000.0));
}

void to_floats(AudioSample* sample) {
    const AudioFormat& f = sample->format;
    const std::size_t stride = static_cast<std::size_t>(f.block_align);
    const std::size_t width = static_cast<std::size_t>(f.bits_per_sample / 8);
    for (int c = 0; c < f.channels; ++c) {
        std::vector<float>& side = sample->sides[c];
        side.resize(sample->frames);
        for (std::size_t i = 0; i < sample->frames; ++i) {
            const std::uint8_t* in = sample->bytes.data() + i * stride + static_cast<std::size_t>(c) * width;
            if (width == 1) {
                side[i] = (static_cast<int>(in[0]) - 128) / 128.0f;
            } else {
                const auto value = static_cast<std::int16_t>(static_cast<std::uint16_t>(in[0] | (in[1] << 8)));
                side[i] = value / 32768.0f;
            }
        }
    }
}

// Adds one voice into out until it reaches its sample's end, where it stops
// and goes back to the start. Linear interpolation between frames.
void mix_voice(AudioVoice* voice, int output_rate, float* out, int frames) {
    const AudioSample* sample = voice->sample;
    const std::uint64_t step = (static_cast<std::uint64_t>(sample->format.samples_per_second) << 32) /
                               static_cast<std::uint64_t>(output_rate);
    const std::vector<float>& left = sample->sides[0];
    const std::vector<float>& right = sample->format.channels == 2 ? sample->sides[1] : sample->sides[0];
    for (int i = 0; i < frames; ++i) {
        const std::size_t at = static_cast<std::size_t>(voice->position >> 32);
        if (at >= sample->frames) {
            voice->playing = false;
            voice->position = 0;
            return;
        }
        const std::size_t next = at + 1 < sample->frames ? at + 1 : at;
        const float fraction = static_cast<float>(voice->position & 0xffffffffu) / 4294967296.0f;
        out[2 * i] += (left[at] + (left[next] - left[at]) * fraction) * voice->gains[0];
        out[2 * i + 1] += (right[at] + (right[next] - right[at]) * fraction) * voice->gains[1];
        voice->position += step;
    }
    // Played out with the last frame of the block: idle now, not later.
    if ((voice->position >> 32) >= sample->frames) {
        voice->playing = false;
        voice->position = 0;
    }
}

}  // namespace

AudioDevice* audio_open(int output_rate) {
    if (output_rate <= 0) return nullptr;
    IDirectSound* sound = nullptr;
    if (FAILED(DirectSoundCreate(nullptr, &sound, nullptr)) || sound == nullptr) return nullptr;
    auto* device = new (std::nothrow) AudioDevice;
    if (device == nullptr) {
        sound->Release();
        return nullptr;
    }
    device->output_rate = output_rate;
    device->sound = sound;
    cooperate(device);
    set_primary_format(device);
    return device;
}

AudioDevice* audio_open_loopback(int output_rate) {
    if (output_rate <= 0) return nullptr;
    auto* device = new (std::nothrow) AudioDevice;
    if (device == nullptr) return nullptr;
    device->loopback = true;
    device->output_rate = output_rate;
    return device;
}

void audio_close(AudioDevice* device) {
    if (device == nullptr) return;
    release(device->sound);
    delete device;
}

AudioCaps audio_caps(AudioDevice* device) {
    AudioCaps caps;
    if (device == nullptr) return caps;
    caps.output_rate = device->output_rate;
    caps.max_voices = k_max_voices;
    return caps;
}

bool audio_render(AudioDevice* device, float* out, int frames) {
    if (device == nullptr || !device->loopback || out == nullptr || frames < 0) return false;
    std::fill(out, out + 2 * static_cast<std::size_t>(frames), 0.0f);
    for (AudioVoice* voice : device->voices) {
        if (voice->playing) mix_voice(voice, device->output_rate, out, frames);
    }
    return true;
}

AudioSample* audio_sample_create(AudioDevice* device, const AudioFormat& format, const std::uint8_t* data,
                                 std::size_t bytes) {
    if (device == nullptr || data == nullptr || !audio_format_usable(format)) return nullptr;
    const std::size_t frames = bytes / static_cast<std::size_t>(format.block_align);
    // DirectSound buffers are at most 0x0FFFFFFF bytes.
    if (frames == 0 || frames * static_cast<std::size_t>(format.block_align) > DSBSIZE_MAX) return nullptr;

    auto* sample = new (std::nothrow) AudioSample;
    if (sample == nullptr) return nullptr;
    try {
        sample->device = device;
        sample->format = format;
        sample->frames = frames;
        sample->bytes.assign(data, data + frames * static_cast<std::size_t>(format.block_align));
        if (device->loopback) to_floats(sample);
    } catch (const std::bad_alloc&) {
        delete sample;
        return nullptr;
    }
    if (!device->loopback) {
        sample->buffer = make_buffer(device, format, sample->bytes);
        if (sample->buffer == nullptr) {
            delete sample;
            return nullptr;
        }
    }
    return sample;
}

void audio_sample_destroy(AudioSample* sample) {
    if (sample == nullptr) return;
    release(sample->buffer);
    delete sample;
}

AudioVoice* audio_voice_create(AudioSample* sample) {
    if (sample == nullptr) return nullptr;
    AudioDevice* device = sample->device;
    if (device->loopback && device->voices.size() >= static_cast<std::size_t>(k_max_voices)) return nullptr;
    auto* voice = new (std::nothrow) AudioVoice;
    if (voice == nullptr) return nullptr;
    voice->sample = sample;
    if (device->loopback) {
        try {
            device->voices.push_back(voice);
        } catch (const std::bad_alloc&) {
            delete voice;
            return nullptr;
        }
        return voice;
    }
    if (FAILED(device->sound->DuplicateSoundBuffer(sample->buffer, &voice->buffer)) || voice->buffer == nullptr) {
        delete voice;
        return nullptr;
    }
    return voice;
}

void audio_voice_destroy(AudioVoice* voice) {
    if (voice == nullptr) return;
    if (voice->buffer != nullptr) voice->buffer->Stop();
    release(voice->buffer);
    std::vector<AudioVoice*>& voices = voice->sample->device->voices;
    voices.erase(std::remove(voices.begin(), voices.end(), voice), voices.end());
    delete voice;
}

bool audio_voice_play(AudioVoice* voice, int volume, int pan) {
    if (voice == nullptr) return false;
    volume = std::clamp(volume, DSBVOLUME_MIN, DSBVOLUME_MAX);
    pan = std::clamp(pan, DSBPAN_LEFT, DSBPAN_RIGHT);
    if (voice->buffer == nullptr) {
        // Positive pan takes level off the left side, negative off the right.
        voice->gains[0] = side_gain(volume - std::max(pan, 0));
        voice->gains[1] = side_gain(volume - std::max(-pan, 0));
        voice->playing = true;
        return true;
    }
    cooperate(voice->sample->device);
    if (!restore_if_lost(voice)) return false;
    // A buffer without the controls plays at full level.
    voice->buffer->SetVolume(volume);
    voice->buffer->SetPan(pan);
    // A voice that is not playing is at its start or at its end; a play
    // starts from the start either way.
    if (!audio_voice_playing(voice)) voice->buffer->SetCurrentPosition(0);
    return SUCCEEDED(voice->buffer->Play(0, 0, 0));
}

bool audio_voice_playing(AudioVoice* voice) {
    if (voice == nullptr) return false;
    if (voice->buffer == nullptr) return voice->playing;
    DWORD status = 0;
    if (FAILED(voice->buffer->GetStatus(&status))) return false;
    return (status & DSBSTATUS_PLAYING) != 0;
}

void audio_voice_stop(AudioVoice* voice) {
    if (voice == nullptr) return;
    if (voice->buffer == nullptr) {
        voice->playing = false;
        voice->position = 0;
        return;
    }
    voice->buffer->Stop();
    voice->buffer->SetCurrentPosition(0);
}

bool win32::dsound_voice_levels(AudioVoice* voice, long* volume, long* pan) {
    if (voice == nullptr || voice->buffer == nullptr) return false;
    LONG v = 0, p = 0;
    if (FAILED(voice->buffer->GetVolume(&v)) || FAILED(voice->buffer->GetPan(&p))) return false;
    *volume = v;
    *pan = p;
    return true;
}

HWND win32::dsound_cooperative_window(AudioDevice* device) {
    return device != nullptr ? device->cooperative : nullptr;
}

}  // namespace crv::plat
