// AppState: the run-time's one global record (settings, window, flags,
// clocks, error state) and the owning pointers of the run-time's service
// objects. It sits below the subsystems, which all read it; the
// application frame (app/) fills it at start-up and drives it. Lives from
// static initialisation to process exit. Main thread only.
#pragma once

#include "core/dyn_string.hpp"

#include <cstdint>

namespace crv {

class OpenGLRainbows;
class Rainbows3D;
class InputSystem;
class SoundDevice;
class SoundSlot;
class NetworkState;
class ResourcePack;

namespace plat {
struct Window;
struct MediaPlayer;
}  // namespace plat

// Whether the optional window-message callback has been looked up.
enum class CallbackState : std::int32_t { not_looked_up, absent, present };

struct AppState {
    std::int32_t screen_width = 0;
    std::int32_t screen_height = 0;
    std::int32_t full_screen = 0;
    std::int32_t mouse_exclusive = 0;
    std::int32_t frame_rate = 0;
    std::int32_t debug_mode = 0;
    std::int32_t multisample = 0;
    std::int32_t desktop_width = 0;
    std::int32_t desktop_height = 0;
    DynString caption;
    DynString command_line;
    plat::Window* main_window = nullptr;
    bool auto_pause = true;
    bool escape_quits = true;
    bool paused = false;
    bool activate_request = false;
    bool ending = false;
    bool quit_notified = false;
    double frame_time = 0;
    double previous_frame_time = 0;
    double start_time = 0;
    std::int32_t error_code = 0;
    std::int32_t error_line = 0;
    std::int32_t current_file = 0;
    std::int32_t current_line = 0;
    void (*win32_callback)() = nullptr;
    CallbackState win32_callback_state = CallbackState::not_looked_up;
    plat::MediaPlayer* music_window = nullptr;
    // > 0: looping, restarts when clock_ms reaches it; 0: not looping;
    // < 0: looping but paused (the negated restart time).
    double music_restart_time = 0;
    double music_volume = -1;      // last volume sent (1 full); -1: send the next one
    double music_pause_time = 0;   // clock_ms when looping music was paused
    DynString music_file_name;     // the resolved name of the current piece

    // Service objects, created at start-up and destroyed by runtime_shutdown.
    OpenGLRainbows* renderer = nullptr;
    Rainbows3D* engine3d = nullptr;
    InputSystem* input = nullptr;
    SoundDevice* sound = nullptr;
    SoundSlot* sound_slots = nullptr;  // table of k_sound_slot_count records
    NetworkState* network = nullptr;
    ResourcePack* packs[2] = {nullptr, nullptr};
};

extern AppState app_state;

// Sets the escape-quits flag from a number (non-zero: Escape ends).
void set_escape_quits(double value);
void set_auto_pause(double value);

}  // namespace crv
