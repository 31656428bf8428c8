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
