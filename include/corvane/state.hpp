// AppState: the run-time's one global record. A game fills its project
// settings (the first block of fields) in load_project_settings, before
// the window exists; start-up reads them once. The rest of the record is
// the run-time's own (window, flags, clocks, error state, the service
// objects); a game may read it, and change only the fields whose comment
// says so.
// Lifetime: from static initialisation to process exit. Threads: main
// thread only. Nothing here fails.
#pragma once

#include <corvane/dyn_string.hpp>

#include <cstdint>

namespace crv {

// The service objects the record owns; their classes are the run-time's
// own, a game never needs their insides.
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

// The global record; see the top of this file.
struct AppState {
    // ---- project settings: set by the game in load_project_settings ----
    std::int32_t screen_width = 0;     // client size of the window in pixels
    std::int32_t screen_height = 0;
    std::int32_t full_screen = 0;      // non-zero: full screen at that size
    std::int32_t mouse_exclusive = 0;  // non-zero: captured mouse, relative motion, no cursor
    std::int32_t frame_rate = 0;       // frames per second present_frame holds to; <= 0: 500
    std::int32_t debug_mode = 0;       // non-zero: the end writes its error state to the log, and no pause on deactivation
    std::int32_t multisample = 0;      // samples per pixel asked of the driver; 0: none
    // ---- filled by start-up ----
    std::int32_t desktop_width = 0;
    std::int32_t desktop_height = 0;
    DynString caption;       // window title; a project setting too
    DynString command_line;  // the whole command line, program name included
    plat::Window* main_window = nullptr;
    bool auto_pause = true;    // pause while the window is inactive (set_auto_pause)
    bool escape_quits = true;  // Escape ends the program (set_escape_quits)
    bool paused = false;
    bool activate_request = false;
    bool ending = false;
    bool quit_notified = false;
    // ---- clocks in milliseconds (clock_ms values) ----
    double frame_time = 0;
    double previous_frame_time = 0;
    double start_time = 0;
    // ---- error state (set_error) ----
    std::int32_t error_code = 0;
    std::int32_t error_line = 0;
    std::int32_t current_file = 0;  // the statement running, as the debugger hook reports it
    std::int32_t current_line = 0;
    // ---- the run-time's own ----
    void (*win32_callback)() = nullptr;
    CallbackState win32_callback_state = CallbackState::not_looked_up;
    plat::MediaPlayer* music_window = nullptr;
    // > 0: looping, restarts when clock_ms reaches it; 0: not looping;
    // < 0: looping but paused (the negated restart time).
    double music_restart_time = 0;
    double music_volume = -1;      // last volume sent (1 full); -1: send the next one
    double music_pause_time = 0;   // clock_ms when looping music was paused
    DynString music_file_name;     // the resolved name of the current piece

    // Service objects, created at start-up and destroyed by the program end.
    OpenGLRainbows* renderer = nullptr;
    Rainbows3D* engine3d = nullptr;
    InputSystem* input = nullptr;
    SoundDevice* sound = nullptr;
    SoundSlot* sound_slots = nullptr;  // table of k_sound_slot_count records
    NetworkState* network = nullptr;
    ResourcePack* packs[2] = {nullptr, nullptr};
};

// The one record of the process.
extern AppState app_state;

// Non-zero: Escape ends the program (the default); 0: Escape is an ordinary
// key. Alt+F4 and closing the window always end it.
void set_escape_quits(double value);
// Non-zero: the program pauses while its window is inactive (the default);
// 0: it runs on.
void set_auto_pause(double value);

}  // namespace crv
