// The game window with its OpenGL context, the display it lives on, and the
// few user-interface calls around it (message box, beep, cursor). One
// window at a time in practice, though the calls take the handle. Main
// thread only. Failures are reported by results; nothing is logged here.
#pragma once

#include <cstdint>

namespace crv::plat {

struct Window;

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
};

// Creates a hidden window whose client area is width x height, with an
// OpenGL compatibility context (double-buffered, depth 24, stencil 8, alpha
// 8 when available; samples > 0 asks for a multisampled framebuffer), and
// makes the context current. Null on failure.
Window* window_create(const char* title, int width, int height, int samples);
// Destroys the window with its context; another window's context that is
// current stays current.
void window_destroy(Window* window);
void window_set_title(Window* window, const char* title);
// Caption of the window as last set.
const char* window_title(Window* window);
void window_show(Window* window);
void window_hide(Window* window);
void window_raise(Window* window);  // to the front, with the keyboard focus
void window_set_client_size(Window* window, int width, int height);
void window_get_client_size(Window* window, int* width, int* height);
void window_set_position(Window* window, int x, int y);  // of the client area
void window_get_position(Window* window, int* x, int* y);
bool window_has_focus(Window* window);
bool window_visible(Window* window);
// Requests a real display-mode change to width x height (bits: 0 keeps the
// desktop's depth). True only when the display ends up in that mode.
bool window_set_fullscreen(Window* window, int width, int height, int bits);
void window_leave_fullscreen(Window* window);
// Identifier of the window in the windowing system (an X11 window id).
std::uint64_t window_native_id(Window* window);

void gl_swap(Window* window);
bool gl_make_current(Window* window);
// Entry point of an OpenGL function, or null.
void* gl_proc_address(const char* name);

// The desktop's size and depth; the usable area of the display that holds
// the window (the whole desktop when window is null).
void desktop_mode(int* width, int* height, int* bits);
Rect work_area(Window* window);

// A modal box with an exclamation icon and an OK button; returns when the
// user closes it. With the automation switch set (CORVANE_AUTOMATION), the
// box is written to standard error instead and returns at once.
void message_box(const char* title, const char* text);
void beep();
// The arrow cursor over the window, or no cursor.
void cursor_show(bool visible);
// Places the system cursor at a client position of the window.
void cursor_warp(Window* window, int x, int y);

}  // namespace crv::plat
