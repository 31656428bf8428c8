#include "platform/window.hpp"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace crv::plat {

struct Window {
    SDL_Window* sdl = nullptr;
    SDL_GLContext context = nullptr;
    std::string title;
};

namespace {

bool video_ready() {
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0) return true;
    // Only a signal asks the program to quit; closing the window is a
    // close message of its own.
    SDL_SetHint("SDL_QUIT_ON_LAST_WINDOW_CLOSE", "0");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    return SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) == 0;
}

SDL_Window* create_with(const char* title, int width, int height, int samples, int alpha,
                        SDL_GLContext* context) {
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, alpha);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, samples > 0 ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, samples > 0 ? samples : 0);
    SDL_Window* w = SDL_CreateWindow(title, 0, 0, width > 0 ? width : 1, height > 0 ? height : 1,
                                     SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (w == nullptr) return nullptr;
    *context = SDL_GL_CreateContext(w);
    if (*context == nullptr) {
        SDL_DestroyWindow(w);
        return nullptr;
    }
    return w;
}

// Message boxes take UTF-8; the run-time's texts are Latin-1.
std::string latin1_to_utf8(const char* text) {
    std::string out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
        if (*p < 0x80) {
            out += static_cast<char>(*p);
        } else {
            out += static_cast<char>(0xc0 | (*p >> 6));
            out += static_cast<char>(0x80 | (*p & 0x3f));
        }
    }
    return out;
}

// Mesa's software rasteriser mallocs its per-frame bins and vertex stores
// and frees them when the frame is done. With the C library's default
// (self-adjusting) thresholds the freed top of the heap is handed back to
// the system every frame and faulted in again the next one, which can cost
// a 2D frame more than its own drawing, and how much depends on what the
// process allocated before. Fixed thresholds keep that memory in the
// process, so a steady frame costs the same every time.
void keep_frame_memory() {
    static bool done = false;
    if (done) return;
    done = true;
    // A user who tuned the allocator through its environment keeps that.
    if (std::getenv("MALLOC_MMAP_THRESHOLD_") == nullptr) mallopt(M_MMAP_THRESHOLD, 16 << 20);
    if (std::getenv("MALLOC_TRIM_THRESHOLD_") == nullptr) mallopt(M_TRIM_THRESHOLD, 64 << 20);
}

bool automation() {
    const char* v = std::getenv("CORVANE_AUTOMATION");
    return v != nullptr && *v != 0 && std::string(v) != "0";
}

}  // namespace

Window* window_create(const char* title, int width, int height, int samples) {
    if (!video_ready()) return nullptr;
    keep_frame_memory();
    SDL_GLContext context = nullptr;
    SDL_Window* w = create_with(title, width, height, samples, 8, &context);
    if (w == nullptr) w = create_with(title, width, height, samples, 0, &context);
    if (w == nullptr) return nullptr;
    SDL_GL_MakeCurrent(w, context);
    // The frame limiter paces the program; the swap must not wait as well.
    SDL_GL_SetSwapInterval(0);
    SDL_StartTextInput();
    auto* window = new Window;
    window->sdl = w;
    window->context = context;
    window->title = title;
    return window;
}

void window_destroy(Window* window) {
    if (window == nullptr) return;
    // Only this window's own context is released: destroying an old window
    // after its successor was made current must leave the successor's
    // context current.
    if (SDL_GL_GetCurrentContext() == window->context) SDL_GL_MakeCurrent(window->sdl, nullptr);
    SDL_GL_DeleteContext(window->context);
    SDL_DestroyWindow(window->sdl);
    delete window;
}

void window_set_title(Window* window, const char* title) {
    window->title = title;
    SDL_SetWindowTitle(window->sdl, latin1_to_utf8(title).c_str());
}

const char* window_title(Window* window) { return window->title.c_str(); }
void window_show(Window* window) { SDL_ShowWindow(window->sdl); }
void window_hide(Window* window) { SDL_HideWindow(window->sdl); }

void window_raise(Window* window) {
    SDL_ShowWindow(window->sdl);
    SDL_RaiseWindow(window->sdl);
}

void window_set_client_size(Window* window, int width, int height) {
    SDL_SetWindowSize(window->sdl, width, height);
}

void window_get_client_size(Window* window, int* width, int* height) {
    SDL_GL_GetDrawableSize(window->sdl, width, height);
}

void window_set_position(Window* window, int x, int y) { SDL_SetWindowPosition(window->sdl, x, y); }
void window_get_position(Window* window, int* x, int* y) { SDL_GetWindowPosition(window->sdl, x, y); }

bool window_has_focus(Window* window) {
    return (SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_INPUT_FOCUS) != 0;
}

bool window_visible(Window* window) {
    return (SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_SHOWN) != 0;
}

bool window_set_fullscreen(Window* window, int width, int height, int bits) {
    int display = SDL_GetWindowDisplayIndex(window->sdl);
    if (display < 0) display = 0;
    // Only a mode the display really offers counts: no scaling, no
    // "closest" substitute.
    SDL_DisplayMode wanted{};
    bool offered = false;
    for (int i = 0, n = SDL_GetNumDisplayModes(display); i < n; ++i) {
        SDL_DisplayMode mode{};
        if (SDL_GetDisplayMode(display, i, &mode) != 0) continue;
        if (mode.w == width && mode.h == height &&
            (bits == 0 || static_cast<int>(SDL_BITSPERPIXEL(mode.format)) == bits ||
             (bits == 32 && SDL_BITSPERPIXEL(mode.format) == 24))) {
            wanted = mode;
            offered = true;
            break;
        }
    }
    if (!offered) return false;
    if (SDL_SetWindowDisplayMode(window->sdl, &wanted) != 0 ||
        SDL_SetWindowFullscreen(window->sdl, SDL_WINDOW_FULLSCREEN) != 0)
        return false;
    SDL_DisplayMode now{};
    if (SDL_GetCurrentDisplayMode(display, &now) != 0 || now.w != width || now.h != height) {
        SDL_SetWindowFullscreen(window->sdl, 0);
        return false;
    }
    return true;
}

void window_leave_fullscreen(Window* window) { SDL_SetWindowFullscreen(window->sdl, 0); }

std::uint64_t window_native_id(Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window->sdl, &info) && info.subsystem == SDL_SYSWM_X11)
        return static_cast<std::uint64_t>(info.info.x11.window);
    return 0;
}

void gl_swap(Window* window) { SDL_GL_SwapWindow(window->sdl); }
bool gl_make_current(Window* window) { return SDL_GL_MakeCurrent(window->sdl, window->context) == 0; }
void* gl_proc_address(const char* name) { return SDL_GL_GetProcAddress(name); }

void desktop_mode(int* width, int* height, int* bits) {
    SDL_DisplayMode mode{};
    if (!video_ready() || SDL_GetDesktopDisplayMode(0, &mode) != 0) {
        *width = *height = *bits = 0;
        return;
    }
    *width = mode.w;
    *height = mode.h;
    int b = static_cast<int>(SDL_BITSPERPIXEL(mode.format));
    *bits = b == 24 ? 32 : b;
}

Rect work_area(Window* window) {
    int display = window != nullptr ? SDL_GetWindowDisplayIndex(window->sdl) : 0;
    SDL_Rect r{};
    if (display < 0 || SDL_GetDisplayUsableBounds(display, &r) != 0) SDL_GetDisplayBounds(0, &r);
    return Rect{r.x, r.y, r.w, r.h};
}

void message_box(const char* title, const char* text) {
    if (automation()) {
        std::fprintf(stderr, "[message box] %s: %s\n", latin1_to_utf8(title).c_str(),
                     latin1_to_utf8(text).c_str());
        return;
    }
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, latin1_to_utf8(title).c_str(),
                             latin1_to_utf8(text).c_str(), nullptr);
}

void beep() {
    SDL_Window* focus = SDL_GetKeyboardFocus();
    SDL_Window* any = focus != nullptr ? focus : SDL_GetWindowFromID(1);
    if (any == nullptr) return;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(any, &info) && info.subsystem == SDL_SYSWM_X11) {
        XBell(info.info.x11.display, 0);
        XFlush(info.info.x11.display);
    }
}

void cursor_show(bool visible) {
    static SDL_Cursor* arrow = nullptr;
    if (visible && arrow == nullptr) arrow = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW);
    if (visible && arrow != nullptr) SDL_SetCursor(arrow);
    SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

void cursor_warp(Window* window, int x, int y) { SDL_WarpMouseInWindow(window->sdl, x, y); }

}  // namespace crv::plat
