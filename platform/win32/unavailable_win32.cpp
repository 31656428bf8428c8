// The devices are not in this backend yet: each call here fails the way its
// interface describes for a missing facility (no game controller, no sound
// device, no media, no dialog), so that everything else links and runs.
#include "platform/audio.hpp"
#include "platform/dialogs.hpp"
#include "platform/media_player.hpp"

namespace crv::plat {

AudioDevice* audio_open(int) { return nullptr; }
AudioDevice* audio_open_loopback(int) { return nullptr; }
void audio_close(AudioDevice*) {}
AudioCaps audio_caps(AudioDevice*) { return AudioCaps{}; }
bool audio_render(AudioDevice*, float*, int) { return false; }
AudioSample* audio_sample_create(AudioDevice*, const AudioFormat&, const std::uint8_t*, std::size_t) {
    return nullptr;
}
void audio_sample_destroy(AudioSample*) {}
AudioVoice* audio_voice_create(AudioSample*) { return nullptr; }
void audio_voice_destroy(AudioVoice*) {}
bool audio_voice_play(AudioVoice*, int, int) { return false; }
bool audio_voice_playing(AudioVoice*) { return false; }
void audio_voice_stop(AudioVoice*) {}

void media_set_audio_outputs(const std::string&, const std::string&) {}
MediaPlayer* media_open_music(const char*) { return nullptr; }
MediaPlayer* media_open_video(const char*, Window*) { return nullptr; }
void media_close(MediaPlayer*) {}
bool media_opened(MediaPlayer*) { return false; }
double media_length_ms(MediaPlayer*) { return 0; }
double media_position_ms(MediaPlayer*) { return 0; }
bool media_source_size(MediaPlayer*, int*, int*) { return false; }
void media_play(MediaPlayer*) {}
void media_pause(MediaPlayer*) {}
void media_resume(MediaPlayer*) {}
void media_seek_start(MediaPlayer*) {}
void media_stop(MediaPlayer*) {}
void media_set_volume(MediaPlayer*, int) {}
int media_volume(MediaPlayer*) { return 0; }
void media_set_destination(MediaPlayer*, int, int, int, int) {}
bool media_render(MediaPlayer*, int, int, bool) { return false; }

bool file_dialog(bool, const std::vector<FileFilter>&, const std::string&, std::string&) { return false; }

}  // namespace crv::plat
