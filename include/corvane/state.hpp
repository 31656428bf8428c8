/// @file
/// AppState: the run-time's one global record (part of @ref app).
///
/// A game fills its project settings (the first block of fields) in
/// crv::load_project_settings, before the window exists; start-up reads
/// them once. The rest of the record is the run-time's own (window, flags,
/// clocks, error state, the service objects); a game may read it, and
/// change only the fields whose comment says so.
///
/// **Lifetime:** from static initialisation to process exit.
/// **Threads:** main thread only. Nothing here fails.
#pragma once

#include <corvane/dyn_string.hpp>

#include <cstdint>

namespace crv {

/// @addtogroup app
/// @{

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

/// Whether the optional window-message callback ("CRV_WIN32_MSG" of the
/// game's call table) has been looked up.
enum class CallbackState : std::int32_t {
    not_looked_up,  ///< not yet: the next window message looks it up
    absent,         ///< the game's table has no such routine
    present         ///< found: AppState::win32_callback holds it
};

/// The global record; see corvane/state.hpp. A game sets the project
/// settings in load_project_settings and may read the rest.
struct AppState {
    /// @name Project settings: set by the game in load_project_settings
    /// Start-up reads them once; later changes have no effect (use
    /// set_screen_mode and set_frame_rate instead).
    /// @{
    std::int32_t screen_width = 0;     ///< client width of the window in pixels
    std::int32_t screen_height = 0;    ///< client height of the window in pixels
    std::int32_t full_screen = 0;      ///< non-zero: full screen at that size
    std::int32_t mouse_exclusive = 0;  ///< non-zero: captured mouse, relative motion, no cursor
    std::int32_t frame_rate = 0;       ///< frames per second present_frame holds to; <= 0: 500
    /// Non-zero: the end writes its error state to the log, and the program
    /// does not pause when its window is deactivated.
    std::int32_t debug_mode = 0;
    std::int32_t multisample = 0;      ///< samples per pixel asked of the driver; 0: none
    /// On an OpenGL without a hardware driver (a software renderer), start-up
    /// writes "*** OpenGL Software Emulation - update driver!" to the debug
    /// log and, while this is true (the default), shows a message box that
    /// waits for OK (its text: the file opengldriver.txt in the folder the
    /// game was started from, else a built-in notice). false: the log line
    /// only, so the game starts at once. CORVANE_AUTOMATION=1 writes the box
    /// to standard error instead, for any game.
    bool software_notice_box = true;
    /// @}

    /// @name Filled by start-up
    /// @{
    std::int32_t desktop_width = 0;    ///< the desktop's width in pixels
    std::int32_t desktop_height = 0;   ///< the desktop's height in pixels
    DynString caption;       ///< window title; a project setting too
    DynString command_line;  ///< the whole command line, program name included (see argument_text)
    plat::Window* main_window = nullptr;  ///< the game window; null before start-up and after the end
    bool auto_pause = true;    ///< pause while the window is inactive (set_auto_pause)
    bool escape_quits = true;  ///< Escape ends the program (set_escape_quits)
    bool paused = false;       ///< the program is paused (set_paused, or its window inactive)
    bool activate_request = false;  ///< the debugger asked to bring the window forward at the next frame
    bool ending = false;        ///< end_program is under way
    bool quit_notified = false; ///< the game's "CRV_ON_QUIT" has been called
    /// @}

    /// @name Clocks in milliseconds (clock_ms values)
    /// @{
    double frame_time = 0;           ///< when the last frame was presented
    double previous_frame_time = 0;  ///< when the frame before it was presented
    double start_time = 0;           ///< when start-up finished (clock_since_start counts from here)
    /// @}

    /// @name Error state (set_error)
    /// @{
    std::int32_t error_code = 0;    ///< the last error code (last_error_code)
    std::int32_t error_line = 0;    ///< the source line running when it was set
    std::int32_t current_file = 0;  ///< the file number of the statement running, as the debugger hook reports it
    std::int32_t current_line = 0;  ///< the line of the statement running, as the debugger hook reports it
    /// @}

    /// @name The run-time's own
    /// @{
    void (*win32_callback)() = nullptr;  ///< the game's "CRV_WIN32_MSG" routine, once looked up
    CallbackState win32_callback_state = CallbackState::not_looked_up;  ///< whether win32_callback was looked up
    plat::MediaPlayer* music_window = nullptr;  ///< the music player; null while no music was played
    /// > 0: looping, restarts when clock_ms reaches it; 0: not looping;
    /// < 0: looping but paused (the negated restart time).
    double music_restart_time = 0;
    double music_volume = -1;      ///< last volume sent (1 full); -1: send the next one
    double music_pause_time = 0;   ///< clock_ms when looping music was paused
    DynString music_file_name;     ///< the resolved name of the current piece
    /// @}

    /// @name Service objects, destroyed by the program end
    /// @{
    OpenGLRainbows* renderer = nullptr;  ///< the 2D renderer
    Rainbows3D* engine3d = nullptr;      ///< the 3D engine
    InputSystem* input = nullptr;        ///< keyboard, mouse and controllers
    SoundDevice* sound = nullptr;        ///< the sound output (without a device it plays nothing)
    SoundSlot* sound_slots = nullptr;    ///< table of k_sound_slot_count records
    NetworkState* network = nullptr;     ///< the lobby network; made when a lobby is first used
    ResourcePack* packs[2] = {nullptr, nullptr};  ///< the media packs: general files, and videos
    /// @}
};

/// The one record of the process.
extern AppState app_state;

/// Whether Escape ends the program: non-zero yes (the default), 0 no, and
/// Escape is an ordinary key. Alt+F4 and closing the window always end it.
void set_escape_quits(double value);
/// Whether the program pauses while its window is inactive: non-zero yes
/// (the default; the title then shows the caption followed by " <pause>"
/// until the window is active again), 0 no, it runs on. A game in
/// debug_mode never pauses this way.
void set_auto_pause(double value);

/// @}

}  // namespace crv
