#include "sound/sound.hpp"

#include "runtime/app_state.hpp"
#include "runtime/log.hpp"
#include <corvane/core.hpp>
#include "core/number_text.hpp"
#include "sound/wave_reader.hpp"
#include "sys/resource.hpp"

#include <algorithm>
#include <memory>
#include <string>

namespace crv {

namespace {

constexpr int k_error_no_such_file = 3;
constexpr int k_error_out_of_memory = 7;

bool slot_in_range(int slot) { return slot >= 0 && slot < k_sound_slot_count; }

SoundSlot* slot_record(int slot) {
    if (app_state.sound_slots == nullptr || !slot_in_range(slot)) return nullptr;
    return &app_state.sound_slots[slot];
}

void stop_channel(SoundSlot& slot, int channel) { plat::audio_voice_stop(slot.channels[channel]); }

// The whole file, from disk or from memory (a packed or "mem://" sound).
bool read_resource(const DynString& file_name, std::unique_ptr<std::uint8_t[]>& bytes, std::size_t& size) {
    std::string stream_name;
    resolve_resource(general_pack(), file_name.text(), stream_name, true);
    ResourceStream stream;
    if (stream_name.empty() || !stream.open_read(stream_name.c_str())) return false;
    const std::int32_t length = stream.stream_size();
    if (length <= 0) return false;
    bytes.reset(new std::uint8_t[static_cast<std::size_t>(length)]);
    std::int32_t got = 0;
    if (!stream.read(bytes.get(), length, &got) || got != length) return false;
    size = static_cast<std::size_t>(length);
    return true;
}

// Null when the slot holds the sound, else why it does not.
const char* load_into(SoundSlot& slot, SoundDevice& device, const DynString& file_name, int channel_count) {
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t size = 0;
    if (!read_resource(file_name, bytes, size)) return k_reason_not_found;
    WaveSound wave;
    if (!read_wave(bytes.get(), size, wave)) return "not a WAVE file it can play";
    slot.sample = plat::audio_sample_create(device.device, wave.format, wave.samples, wave.sample_bytes);
    if (slot.sample == nullptr) return "the sound device refused the sound";
    slot.device = &device;
    for (int i = 0; i < channel_count; ++i) {
        slot.channels[i] = plat::audio_voice_create(slot.sample);
        if (slot.channels[i] == nullptr) {
            slot.release();
            return "the sound device has no voice left";
        }
        slot.channel_count = i + 1;
    }
    return nullptr;
}

}  // namespace

SoundDevice::~SoundDevice() { plat::audio_close(device); }

void SoundSlot::release() {
    for (plat::AudioVoice*& voice : channels) {
        if (voice == nullptr) continue;
        plat::audio_voice_stop(voice);
        plat::audio_voice_destroy(voice);
        voice = nullptr;
    }
    plat::audio_sample_destroy(sample);
    sample = nullptr;
    channel_count = 0;
    current_channel = 0;
}

void sound_system_start() { sound_system_start_on(plat::audio_open(k_sound_output_rate)); }

void sound_system_start_on(plat::AudioDevice* device) {
    sound_system_stop();
    app_state.sound = new SoundDevice;
    app_state.sound_slots = new SoundSlot[k_sound_slot_count];
    app_state.sound->device = device;
    if (device != nullptr) app_state.sound->caps = plat::audio_caps(device);
}

void sound_system_stop() {
    // An array delete destroys the records from the last to the first; every
    // voice and sample goes before the device they were made on.
    delete[] app_state.sound_slots;
    app_state.sound_slots = nullptr;
    delete app_state.sound;
    app_state.sound = nullptr;
}

void sound_load(const DynString& file_name, int slot_number, int channel_count) {
    if (!slot_in_range(slot_number)) {
        set_error(k_error_out_of_memory);
        return;
    }
    SoundSlot* slot = slot_record(slot_number);
    if (slot != nullptr) slot->release();
    channel_count = std::clamp(channel_count, 1, k_sound_channel_limit);
    SoundDevice* device = app_state.sound;
    const char* failure = nullptr;
    if (device == nullptr || device->device == nullptr)
        failure = "no sound device";
    else if (slot == nullptr)
        failure = "out of memory";
    else
        failure = load_into(*slot, *device, file_name, channel_count);
    if (failure != nullptr) {
        set_error(k_error_no_such_file);
        log_load_failure("sound_load", file_name.text(), failure);
    }
}

int sound_play(int slot_number, double pan, double volume) {
    if (!slot_in_range(slot_number)) {
        set_error(k_error_out_of_memory);
        return -1;
    }
    SoundSlot* slot = slot_record(slot_number);
    if (slot == nullptr || slot->channel_count == 0) return -1;

    const int pan_units = to_int32(std::clamp(pan, -1.0, 1.0) * 10000.0);
    const int level = std::max(to_int32(std::min(volume * 100.0, 100.0)), 0);

    int channel = slot->current_channel;
    if (plat::audio_voice_playing(slot->channels[channel])) {
        // A single channel is never cut off; with more, the next one in
        // turn is taken, even when it still plays.
        if (slot->channel_count == 1) return -1;
        channel = (channel + 1) % slot->channel_count;
        slot->current_channel = channel;
        if (plat::audio_voice_playing(slot->channels[channel])) stop_channel(*slot, channel);
    }
    if (!plat::audio_voice_play(slot->channels[channel], level * 100 - 10000, pan_units)) return -1;
    return slot_number * 256 + channel;
}

bool sound_is_playing(int handle) {
    // -1 is what a failed play hands out; asking about it is no error.
    if (handle < 0) return false;
    const int slot_number = handle >> 8;
    const int channel = handle & 255;
    if (!slot_in_range(slot_number)) {
        set_error(k_error_out_of_memory);
        return false;
    }
    SoundSlot* slot = slot_record(slot_number);
    if (slot == nullptr || channel >= slot->channel_count) return false;
    return plat::audio_voice_playing(slot->channels[channel]);
}

void sound_stop(int handle) {
    if (handle < 0) return;
    SoundSlot* slot = slot_record(handle >> 8);
    if (slot == nullptr || slot->channel_count == 0) return;
    const int channel = handle & 255;
    if (channel < slot->channel_count) {
        stop_channel(*slot, channel);
        return;
    }
    for (int i = 0; i < slot->channel_count; ++i) stop_channel(*slot, i);
}

void sound_stop_all() {
    if (app_state.sound_slots == nullptr) return;
    for (int s = 0; s < k_sound_slot_count; ++s) {
        SoundSlot& slot = app_state.sound_slots[s];
        for (int i = 0; i < slot.channel_count; ++i) stop_channel(slot, i);
    }
}

}  // namespace crv
