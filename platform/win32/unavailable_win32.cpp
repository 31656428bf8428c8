// The window, its messages and the devices are not in this backend yet:
// each call here fails the way its interface describes for a missing
// facility (no window, no input device, no sound device, no media, no
// dialog), so that everything else links and runs. Message box, beep,
// cursor and desktop mode are the real ones already.
#include "platform/audio.hpp"
#include "platform/dialogs.hpp"
#include "platform/events.hpp"
#include "platform/joystick.hpp"
#include "platform/keyboard.hpp"
#include "platform/media_player.hpp"
#include "platform/mouse.hpp"
#include "platform/window.hpp"

#include <cstring>

#include "platform/win32/win32_api.hpp"

namespace crv::plat {

Window* window_create(const char*, int, int, int) { return nullptr; }
void window_destroy(Window*) {}
void window_set_title(Window*, const char*) {}
const char* window_title(Window*) { return ""; }
void window_show(Window*) {}
void window_hide(Window*) {}
void window_raise(Window*) {}
void window_set_client_size(Window*, int, int) {}
void window_get_client_size(Window*, int* width, int* height) {
    if (width != nullptr) *width = 0;
    if (height != nullptr) *height = 0;
}
void window_set_position(Window*, int, int) {}
void window_get_position(Window*, int* x, int* y) {
    if (x != nullptr) *x = 0;
    if (y != nullptr) *y = 0;
}
bool window_has_focus(Window*) { return false; }
bool window_visible(Window*) { return false; }
bool window_set_fullscreen(Window*, int, int, int) { return false; }
void window_leave_fullscreen(Window*) {}
std::uint64_t window_native_id(Window*) { return 0; }

void gl_swap(Window*) {}
bool gl_make_current(Window*) { return false; }
void* gl_proc_address(const char*) { return nullptr; }

void desktop_mode(int* width, int* height, int* bits) {
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    bool known = EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode) != 0;
    if (width != nullptr) *width = known ? static_cast<int>(mode.dmPelsWidth) : GetSystemMetrics(SM_CXSCREEN);
    if (height != nullptr) *height = known ? static_cast<int>(mode.dmPelsHeight) : GetSystemMetrics(SM_CYSCREEN);
    if (bits != nullptr) *bits = known ? static_cast<int>(mode.dmBitsPerPel) : 32;
}

Rect work_area(Window*) {
    RECT r{};
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0)) return Rect{};
    return Rect{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

void message_box(const char* title, const char* text) {
    MessageBoxW(nullptr, win32::widen(text != nullptr ? text : "").c_str(),
                win32::widen(title != nullptr ? title : "").c_str(), MB_OK | MB_SETFOREGROUND);
}

void beep() { MessageBeep(MB_OK); }

void cursor_show(bool visible) {
    // ShowCursor counts; bring the count to exactly shown or hidden.
    if (visible) {
        while (ShowCursor(TRUE) < 0) {
        }
    } else {
        while (ShowCursor(FALSE) >= 0) {
        }
    }
}

void cursor_warp(Window*, int, int) {}

bool peek_message(Message*, bool) { return false; }

bool input_open() { return false; }
void input_close() {}
void keyboard_state(std::uint8_t states[256]) { std::memset(states, 0, 256); }
int key_code_from_backend(int) { return 0; }
int key_char(int) { return 0; }

bool mouse_cursor(Window*, int* x, int* y, int* buttons) {
    if (x != nullptr) *x = 0;
    if (y != nullptr) *y = 0;
    if (buttons != nullptr) *buttons = 0;
    return false;
}
void mouse_warp_screen(int, int) {}
bool mouse_set_relative(bool) { return false; }
void mouse_take_motion(int* dx, int* dy) {
    if (dx != nullptr) *dx = 0;
    if (dy != nullptr) *dy = 0;
}
int mouse_take_wheel() { return 0; }

bool joysticks_start() { return false; }
void joysticks_stop() {}
void joysticks_update() {}
int joystick_list(std::int64_t*, int) { return 0; }
Joystick* joystick_open(std::int64_t) { return nullptr; }
void joystick_close(Joystick*) {}
bool joystick_attached(Joystick*) { return false; }
const char* joystick_product_name(Joystick*) { return ""; }
bool joystick_read(Joystick*, JoystickState*) { return false; }
bool joystick_can_rumble(Joystick*) { return false; }
bool joystick_rumble(Joystick*, std::uint16_t, std::uint32_t) { return false; }

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
