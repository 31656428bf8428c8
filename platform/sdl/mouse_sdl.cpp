#include "platform/mouse.hpp"

#include "platform/sdl/input_backend.hpp"
#include "platform/window.hpp"

#include <SDL.h>
#include <X11/Xlib.h>

namespace crv::plat {

namespace {

int wheel_notches = 0;

bool video_up() { return SDL_WasInit(SDL_INIT_VIDEO) != 0; }

int sdl_buttons(Uint32 state) {
    return ((state & SDL_BUTTON_LMASK) != 0 ? k_mouse_left : 0) |
           ((state & SDL_BUTTON_RMASK) != 0 ? k_mouse_right : 0) |
           ((state & SDL_BUTTON_MMASK) != 0 ? k_mouse_middle : 0);
}

}  // namespace

namespace backend {

void note_mouse_wheel(int notches) { wheel_notches += notches; }

}  // namespace backend

bool mouse_cursor(Window* window, int* x, int* y, int* buttons) {
    *x = *y = *buttons = 0;
    if (Display* d = backend::x11_display()) {
        // Asked of the server, so the answer is current even when no event
        // has been collected since the pointer moved.
        ::Window root = DefaultRootWindow(d);
        ::Window target = window != nullptr ? static_cast<::Window>(window_native_id(window)) : root;
        if (target == 0) target = root;
        ::Window root_out = 0, child = 0;
        int root_x = 0, root_y = 0, win_x = 0, win_y = 0;
        unsigned mask = 0;
        if (XQueryPointer(d, target, &root_out, &child, &root_x, &root_y, &win_x, &win_y, &mask) == 0)
            return false;
        *x = window != nullptr ? win_x : root_x;
        *y = window != nullptr ? win_y : root_y;
        *buttons = ((mask & Button1Mask) != 0 ? k_mouse_left : 0) | ((mask & Button3Mask) != 0 ? k_mouse_right : 0) |
                   ((mask & Button2Mask) != 0 ? k_mouse_middle : 0);
        return true;
    }
    if (!video_up()) return false;
    int gx = 0, gy = 0;
    *buttons = sdl_buttons(SDL_GetGlobalMouseState(&gx, &gy));
    int wx = 0, wy = 0;
    if (window != nullptr) window_get_position(window, &wx, &wy);
    *x = gx - wx;
    *y = gy - wy;
    return true;
}

void mouse_warp_screen(int x, int y) {
    if (video_up()) SDL_WarpMouseGlobal(x, y);
}

bool mouse_set_relative(bool on) {
    if (!video_up()) return false;
    if (SDL_SetRelativeMouseMode(on ? SDL_TRUE : SDL_FALSE) != 0) return false;
    // Motion from before the switch is not motion of the captured mouse.
    backend::collect_events();
    SDL_GetRelativeMouseState(nullptr, nullptr);
    return true;
}

void mouse_take_motion(int* dx, int* dy) {
    *dx = *dy = 0;
    if (!video_up()) return;
    backend::collect_events();
    SDL_GetRelativeMouseState(dx, dy);
}

int mouse_take_wheel() {
    backend::collect_events();
    int n = wheel_notches;
    wheel_notches = 0;
    return n;
}

}  // namespace crv::plat
