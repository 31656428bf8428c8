// The pointing device: the cursor's live position and buttons, the wheel,
// and relative mode (the pointer captured by the window, hidden, and
// reported as motion). One mouse. Main thread only; a position that cannot
// be read is reported as a failed result, never raised.
#pragma once

namespace crv::plat {

struct Window;

// Bits of a button mask.
constexpr int k_mouse_left = 1;
constexpr int k_mouse_right = 2;
constexpr int k_mouse_middle = 4;

// The cursor position relative to the window's client area (it may lie
// outside it), or on the screen when window is null, and the buttons held
// now (mask of the bits above). False when nothing can be read; the
// outputs are then 0.
bool mouse_cursor(Window* window, int* x, int* y, int* buttons);
// Puts the cursor at a position on the screen.
void mouse_warp_screen(int x, int y);
// Switches relative mode. False when the system refuses it.
bool mouse_set_relative(bool on);
// Motion collected in relative mode since the last call, in pixels.
void mouse_take_motion(int* dx, int* dy);
// Wheel motion collected since the last call, in notches (positive: away
// from the user).
int mouse_take_wheel();

}  // namespace crv::plat
