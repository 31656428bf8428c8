/// @defgroup app Application frame
/// The application frame as a game sees it: the two entry points a game
/// defines, frame presentation and the blocking waits, the clocks, pause
/// and the program end, music and video, the file dialog and the console,
/// the text input line, and the hooks of a game built for the debugger.
///
/// A game defines crv::load_project_settings() and crv::game_main(); the
/// run-time's main (the corvane_main library) starts the process: it calls
/// load_project_settings, brings the window and every service up, makes
/// the executable's folder the working directory and calls game_main.
/// Every end goes through crv::end_program (corvane/core.hpp): Escape
/// (unless crv::set_escape_quits(0)), Alt+F4, closing the window, a fatal
/// error, the game's own call, or game_main returning. The record
/// crv::app_state (corvane/state.hpp) holds the project settings and the
/// run-time's state.
///
/// **Pause:** while the window is not the active one, the program pauses:
/// present_frame (and every wait) does not return, the window's title
/// shows the caption followed by " <pause>", and the game's "CRV_ON_PAUSE"
/// is called; activating the window restores the caption, calls
/// "CRV_ON_RESUME" and goes on. With app_state.debug_mode set or
/// crv::set_auto_pause(0) the program runs on, and the title stays.
///
/// **Machines without a graphics driver:** on a software OpenGL (Mesa's
/// llvmpipe or softpipe, the Windows GDI driver) start-up shows the
/// message box "No OpenGL Hardware Drivers" and waits for OK, at every
/// start; crv::AppState::software_notice_box set to false in
/// load_project_settings (or CORVANE_AUTOMATION=1) lets the game start at
/// once.
///
/// **Threads:** main thread only.
///
/// **Failures:** the waits, the text input line and video playback present
/// frames, so the quit keys and a close request end the program from
/// inside them; music sets error code 3 for a missing file, video returns
/// 3; the dialog gives "NO_FILE" when cancelled.
///
/// **Examples:** every example has the two entry points and a frame loop;
/// @ref example_hello is the smallest, @ref example_veltrack is built with
/// the debugger hooks, @ref example_arcade plays looping music and pauses
/// it from its "CRV_ON_PAUSE".

/// @file
/// The entry points, frames, clocks, music and video, dialogs, text input
/// and debugger hooks: see @ref app.
#pragma once

#include <corvane/core.hpp>
#include <corvane/dyn_string.hpp>

#include <cstddef>
#include <cstdint>
#include <string>

namespace crv {

/// @addtogroup app
/// @{

/// @name Entry points the game defines
/// @{

/// Fills the project settings of app_state (screen size, full screen,
/// debug mode, mouse mode, multisample, frame rate, caption, the software
/// OpenGL notice) and, if the game wishes, its build information
/// (set_program_build_info). Called before the window exists and before
/// the working directory changes: draw nothing here.
void load_project_settings();
/// The game's main routine, called once the window is open. A game
/// usually loops here for ever, presenting frames until the player ends
/// it; when it returns, the program ends as through end_program (the
/// game's "CRV_ON_QUIT", the run-time's shutdown, exit code 0).
void game_main();
/// @}

/// @name Frames and waits
/// @{

/// Ends a frame: swaps the buffers, handles the window's messages, reads
/// the keyboard, mouse and controllers, applies the quit keys, waits for
/// the frame rate, waits out a pause, then clears the picture (or draws
/// background 0) and resets the per-frame drawing state.
void present_frame();
/// Changes the window's client size (0 keeps a side) and switches to full
/// screen (non-zero) or windowed mode, then presents five frames. A full-screen mode the
/// display cannot take falls back to windowed mode with a log line.
void set_screen_mode(int width, int height, int full_screen);
/// Waits up to about 75 ms for input activity (a key down, the mouse moved
/// or clicked, a controller used), handling messages; while paused it
/// waits until the pause ends.
void idle_step();
/// Empties the typed-character queue and waits until a character is typed.
void wait_for_key();
/// Waits until a mouse button is pressed and released.
void wait_for_mouse_button();
/// Pauses (true) or resumes the program, calling the game's "CRV_ON_PAUSE"
/// or "CRV_ON_RESUME" when the state changes. While paused, present_frame
/// does not return; activating the window resumes. The title stays as it
/// is (only a pause because the window became inactive shows " <pause>").
void set_paused(bool paused);
/// The text after the program name of a command line (as
/// app_state.command_line holds it): a quoted program name ends at its closing quote,
/// an unquoted one at the first blank or tab; the blanks and tabs around it
/// are skipped. command_line must not be null.
std::string argument_text(const char* command_line);
/// @}

/// @name Clocks (milliseconds)
/// @{

/// Milliseconds since the first reading of the clock, at sub-millisecond
/// resolution where the system has it.
double clock_ms();
/// Milliseconds since start-up.
double clock_since_start();
/// Milliseconds between the last two presented frames; 1 when that is not
/// positive.
double frame_duration();
/// Sets the frames per second present_frame holds to; fps <= 0 means 500.
void set_frame_rate(int fps);
/// @}

/// @name Program end
/// @{

/// Ends the program (the game's "CRV_ON_QUIT" and the run-time's shutdown,
/// as end_program), starts the command line without waiting for it, and
/// exits with code 0. A command that cannot be started is not reported.
void end_and_run(const DynString& command);
/// Ends the program with error 21 when value is 0, after sending
/// "Assertion: Value = 0" to the debugger; any other value does nothing.
void assert_value(double value);
/// @}

/// @name Music and video (found through the media pack too)
/// @{

/// Plays one piece of background music, stopping the current one; loop
/// non-zero repeats it. The file is looked up on disk, then in the media
/// pack. Error code 0 when it is found; 3 when it is not (with a line in the
/// debug log). A file the player cannot play is not detected (the piece
/// stays silent).
void music_play(const DynString& file_name, int loop);
/// Stops the music.
void music_stop();
/// Plays the current piece again from the start.
void music_restart();
/// Sets the music volume: 0..1 of full amplitude.
void music_set_volume(double volume);
/// 1 while looping, or while the position is before the end; else 0.
int music_is_playing();
/// Pauses (non-zero) or resumes (0) the music.
void music_pause(int pause);
/// Plays a video over the whole window, scaled to fit and centred, and
/// returns when it ends or a key or mouse button is pressed (loop non-zero:
/// only then). 0 played; 3 when the file is not found (with a line in the
/// debug log) or not playable, or there is no game window. Does not touch
/// the last-error code.
int video_play(const DynString& file_name, int loop);
/// @}

/// @name File dialog and console
/// @{

/// The open (open non-zero) or save file dialog over the hidden game window.
/// filter: description|pattern pairs, e.g. "Text|*.txt|All files|*.*" (a
/// pattern may list several, separated by ";"). The chosen path with "/"
/// separators, or "NO_FILE". The current folder is the same afterwards.
DynString file_dialog(int open, const DynString& filter);
/// Opens a console window and attaches standard input and output to it for
/// the rest of the program; nothing changes when it cannot be opened.
void console_open();
/// @}

/// @name Text input line (blocking; borrows background slot 3)
/// @{

/// Lets the user edit text in place at (x, y) with the current font until
/// Enter, and returns it; kerning is text_print's proportional flag.
DynString input_text(DynString& text, double x, double y, std::int32_t kerning);
/// input_text on an empty text, read as an integer (atoi).
std::int32_t input_integer(double x, double y, std::int32_t kerning);
/// input_text on an empty text, read as a number (atof).
double input_number(double x, double y, std::int32_t kerning);
/// @}

/// @name Debugger hooks of a game built for the debugger
/// A game built with hooks reports each statement with debug_line_hook,
/// counts each routine it enters with a DebugCall, and publishes its
/// variables (global ones with debug_register_global, a routine's locals in
/// a VariableTable). Without an attached debugger the hooks cost only the
/// bookkeeping.
/// @{

/// Kinds of variable-table entries.
constexpr std::int32_t k_variable_number = 0;  ///< a double
constexpr std::int32_t k_variable_text = 1;    ///< a DynString
constexpr std::int32_t k_variable_array = 2;   ///< a DynArray<double>

/// One published variable: its name, kind and address (24 bytes, the layout
/// the debugger reads).
struct VariableEntry {
    const char* name;     ///< the name the debugger shows and looks up
    std::int32_t kind;    ///< k_variable_number, k_variable_text or k_variable_array
    const void* address;  ///< the variable: a double, DynString or DynArray<double>
};
static_assert(sizeof(VariableEntry) == 24 && offsetof(VariableEntry, kind) == 8 &&
              offsetof(VariableEntry, address) == 16);

/// A routine's locals: entries[0..count) are visible to the debugger (count
/// grows as the routine's declarations are reached).
struct VariableTable {
    std::int32_t count;            ///< how many entries are visible (declared so far)
    const VariableEntry* entries;  ///< every local of the routine, in declaration order
};

/// Reports the statement about to run (file number, line); stops there when
/// stepping, asked to break or at a breakpoint, showing locals (may be
/// null); ends the program when the debugger asked to quit.
void debug_line_hook(std::int32_t file, std::int32_t line, const VariableTable* locals);
/// Publishes a global variable (kind k_variable_*); the name and the
/// variable must outlive the registration. At most 256 globals.
void debug_register_global(const char* name, std::int32_t kind, const void* address);
/// Withdraws the global registered at address; unknown addresses are ignored.
void debug_unregister_global(const void* address);

/// Counts a game routine as entered for the debugger's call depth (stepping
/// over and out): one at the top of every routine built with hooks.
class DebugCall {
public:
    DebugCall();
    ~DebugCall();
    DebugCall(const DebugCall&) = delete;
    DebugCall& operator=(const DebugCall&) = delete;
};
/// @}

/// @}

}  // namespace crv
