/// @defgroup input Input
/// Keyboard, mouse and game controllers as a game reads them.
///
/// Keys are numbered by the keyboard's scan codes, the same on every
/// platform (corvane/keys.hpp names them in namespace crv::key); typed
/// characters queue up (at most 16); the mouse gives a position, motion,
/// wheel and three buttons; up to 10 game controllers give six axes, a hat,
/// 32 buttons and rumble. Positions and directions follow the screen
/// orientation (crv::set_orientation).
///
/// The state is read once per presented frame (crv::present_frame);
/// crv::key_down also reads the keyboard again after every 128 queries, so
/// a loop that waits for a key without presenting frames still sees it.
/// Before start-up and after the end every query answers 0 or "".
///
/// **Presses between frames.** crv::key_down samples the keyboard once per
/// frame, so a tap that goes down and up between two samples is not seen
/// there. The keyboard's own events are kept as well: crv::key_hit and
/// crv::key_released tell whether a key went down or up since the frame
/// before, however briefly, and crv::next_key_event hands out every press,
/// repeat and release in order, with its time:
/// @code
/// present_frame();
/// if (key_hit(key::space)) fire();         // once per press, even a tap
/// KeyEvent e;
/// while (next_key_event(&e))               // every event since the last read
///     if (e.down && !e.repeat && e.code == key::enter) confirm();
/// @endcode
/// A press is counted once: the system's repeats of a held key are in the
/// queue, marked crv::KeyEvent::repeat, and are not hits. A release always
/// follows a press of the same key: a key pressed before the window had
/// the keyboard gives no release. When the window loses the keyboard focus
/// (another window is activated), every key the events had down is
/// released then.
///
/// **Threads:** main thread only.
///
/// **Failures:** missing devices are not errors: they read as released,
/// still or centred, and queries on a controller index without a
/// controller give 0.
///
/// **Examples:** @ref example_pathfind (mouse clicks and arrow keys),
/// @ref example_chat (typed characters and the text input line),
/// @ref example_surfaces (a key that switches the effect),
/// @ref example_arcade (keys held down to move and fire, game controller 0
/// when one is attached, typed initials). Escape ends each of them through
/// the run-time (crv::set_escape_quits).

/// @file
/// Keyboard, mouse and game controllers: see @ref input.
#pragma once

#include <corvane/dyn_string.hpp>

#include <cstdint>

namespace crv {

/// @addtogroup input
/// @{

/// Controller indexes run from 0 to k_max_joysticks - 1.
constexpr int k_max_joysticks = 10;

/// @name Keyboard
/// @{

/// 1 while the key with this code (taken modulo 256; crv::key names them)
/// is down, else 0.
int key_down(int code);
/// The character the key types in the current layout and shift state as a
/// signed byte value (so 0xE4 gives -28); 8 for backspace, 10 for both
/// return keys, 0 for modifiers and keys that type no character.
int key_to_char(int code);
/// A one-character text with the oldest typed character (removed from the
/// queue), or "".
DynString typed_char();

/// 1 when the key (code taken modulo 256; crv::key names it) went down at
/// least once between the last two calls of crv::present_frame, however
/// short the press, else 0. The answer holds for the whole frame, until the
/// next present_frame; the system's repeats of a held key do not count.
/// Keys pressed during one of the blocking waits (crv::wait_for_key, ...)
/// count for the frame after the wait.
int key_hit(int code);
/// 1 when the key went up at least once between the last two calls of
/// crv::present_frame, else 0; as crv::key_hit for presses. A key that was
/// down when the window lost the keyboard focus counts as released then.
int key_released(int code);

/// The key-event queue holds at most this many events; when it is full,
/// the oldest event is dropped for each new one (crv::key_events_dropped
/// counts them).
constexpr int k_key_event_limit = 128;

/// One change of a key, as crv::next_key_event hands it out.
struct KeyEvent {
    std::int32_t code = 0;  ///< the key code, 1..255 (crv::key names it)
    bool down = false;      ///< true: pressed or repeated; false: released
    bool repeat = false;    ///< true for the system's repeat of a key held down (down is true)
    double time = 0;        ///< crv::clock_ms when the run-time received it from the system
};

/// Takes the oldest event off the key-event queue into *event and returns
/// 1; returns 0 (leaving *event as it was) when the queue is empty or event
/// is null.
///
/// The queue fills as the run-time handles the window's messages: inside
/// crv::present_frame and the blocking waits, never while the game runs
/// its own code. Events stay queued until read, across frames, so a game
/// that reads the queue empty once per frame sees each event exactly once;
/// times never decrease from one event to the next. The time is when the
/// system delivered the key to the run-time: on Windows the system's time
/// of the key message; on Linux the run-time takes the keyboard's events
/// from the system while it handles messages, so a key pressed while the
/// game computes a frame carries the time of the next present_frame.
int next_key_event(KeyEvent* event);
/// How many events the full queue dropped (oldest first) since the last
/// call; the count starts again at 0.
std::int32_t key_events_dropped();
/// @}

/// @name Mouse (one mouse: index 0)
/// @{

/// The number of mice: 1.
int mouse_count();
/// Selects the mouse to read; every index selects mouse 0.
void mouse_select(int index);
/// The position in program coordinates, limited to 0..width and 0..height,
/// and the left and right buttons as 0/1. Starts a new motion and wheel count
/// for mouse_axis.
void mouse_state(std::int32_t* x, std::int32_t* y, std::int32_t* left, std::int32_t* right);
/// mouse_state into doubles.
void mouse_state(double* x, double* y, double* left, double* right);
/// One reading of the mouse by kind: 0, 1 x and y motion since the last mouse_state; 2: wheel notches
/// since then; 3, 4, 5: left, right, middle button as 0/1; other kinds 0.
std::int32_t mouse_axis(int kind);
/// @}

/// @name Game controllers
/// A controller keeps its index while attached; an unplugged one leaves a
/// slot that reads as zero until another controller takes it.
/// @{

/// The number of controllers attached.
std::int32_t joystick_count();
/// The controller's name, "" for an index without one.
DynString joystick_name(int index);
/// The button byte: 0 released, non-zero pressed; 0 beyond button 31.
std::int32_t joystick_button(int index, int button);
/// The x axis as -1.0..1.0 (turned with the screen orientation, as is y).
double joystick_x(int index);
/// The y axis as -1.0..1.0.
double joystick_y(int index);
/// The z axis as -1.0..1.0.
double joystick_z(int index);
/// The x rotation as -1.0..1.0.
double joystick_rx(int index);
/// The y rotation as -1.0..1.0.
double joystick_ry(int index);
/// The z rotation as -1.0..1.0.
double joystick_rz(int index);
/// -1, 0 or 1: the first hat's horizontal direction.
std::int32_t joystick_hat_x(int index);
/// -1, 0 or 1: the first hat's vertical direction.
std::int32_t joystick_hat_y(int index);
/// Controller 0, unturned: x and y as -1, 0 or 1 (only past 30000 of
/// 32768), and its first two buttons.
void joystick_digital(std::int32_t* x, std::int32_t* y, std::int32_t* button0, std::int32_t* button1);
/// joystick_digital into doubles.
void joystick_digital(double* x, double* y, double* button0, double* button1);
/// A constant force for duration_ms; x and y are limited to -1..1 and give
/// the strength (x^2 + y^2) / 2. Nothing without force feedback.
void joystick_rumble(int index, double duration_ms, double x, double y);
/// @}

/// @}

}  // namespace crv
