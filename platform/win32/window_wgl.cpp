#include "platform/window.hpp"

#include "platform/win32/window_win32.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace crv::plat {

struct Window {
    HWND hwnd = nullptr;
    HDC dc = nullptr;  // the class gives every window its own, kept for its life
    HGLRC context = nullptr;
    std::string title;
    bool full_screen = false;
};

namespace {

using win32::k_window_class;

// Caption, system menu and minimise box: a fixed-size window the user can
// move and close but not resize.
constexpr DWORD k_windowed_style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD k_full_screen_style = WS_POPUP | WS_MAXIMIZE;

// The WGL extension entry points used here, as wglGetProcAddress hands
// them out.
using ExtensionsStringArb = const char*(WINAPI*)(HDC);
using ChoosePixelFormatArb = BOOL(WINAPI*)(HDC, const int*, const FLOAT*, UINT, int*, UINT*);
using SwapIntervalExt = BOOL(WINAPI*)(int);

constexpr int k_draw_to_window_arb = 0x2001;
constexpr int k_acceleration_arb = 0x2003;
constexpr int k_support_opengl_arb = 0x2010;
constexpr int k_double_buffer_arb = 0x2011;
constexpr int k_color_bits_arb = 0x2014;
constexpr int k_alpha_bits_arb = 0x201B;
constexpr int k_depth_bits_arb = 0x2022;
constexpr int k_stencil_bits_arb = 0x2023;
constexpr int k_full_acceleration_arb = 0x2027;
constexpr int k_sample_buffers_arb = 0x2041;
constexpr int k_samples_arb = 0x2042;

// Function pointers come back as the system's generic PROC; copying the
// bits avoids a cast between unrelated function types.
template <typename F>
F proc_as(PROC proc) {
    F f = nullptr;
    static_assert(sizeof f == sizeof proc);
    std::memcpy(&f, &proc, sizeof f);
    return f;
}

bool automation() {
    const char* v = std::getenv("CORVANE_AUTOMATION");
    return v != nullptr && *v != 0 && std::strcmp(v, "0") != 0;
}

bool class_registered() {
    static bool registered = false;
    if (registered) return true;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_OWNDC | CS_BYTEALIGNCLIENT | CS_BYTEALIGNWINDOW;
    wc.lpfnWndProc = win32::window_proc;
    wc.hInstance = instance;
    // The game's own icon when its resources have one.
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(101));
    // No class cursor and no background brush: the procedure sets the
    // cursor, and OpenGL paints every pixel.
    wc.lpszClassName = k_window_class;
    registered = RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    return registered;
}

// Whole-word search in a blank-separated extension list.
bool has_word(const char* list, const char* word) {
    std::size_t n = std::strlen(word);
    for (const char* p = std::strstr(list, word); p != nullptr; p = std::strstr(p + 1, word)) {
        if ((p == list || p[-1] == ' ') && (p[n] == ' ' || p[n] == 0)) return true;
    }
    return false;
}

// Size of the outer window whose client area is width x height.
RECT outer_rect(int width, int height, DWORD style) {
    RECT r{0, 0, width, height};
    AdjustWindowRectEx(&r, style, FALSE, 0);
    return r;
}

HWND make_window(const wchar_t* title, int width, int height) {
    RECT r = outer_rect(width, height, k_windowed_style);
    return CreateWindowExW(0, k_window_class, title, k_windowed_style, 0, 0, r.right - r.left, r.bottom - r.top,
                           nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

// The format the system picks for double buffering, depth 24, stencil 8 and
// 8 bits of alpha; a format without alpha is accepted when that is all the
// driver has.
bool set_classic_format(HDC dc) {
    PIXELFORMATDESCRIPTOR pfd{};
    pfd.nSize = sizeof pfd;
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER | PFD_SUPPORT_COMPOSITION;
    pfd.iPixelType = PFD_TYPE_RGBA;
    pfd.cColorBits = 32;
    pfd.cAlphaBits = 8;
    pfd.cDepthBits = 24;
    pfd.cStencilBits = 8;
    pfd.iLayerType = PFD_MAIN_PLANE;
    int format = ChoosePixelFormat(dc, &pfd);
    return format != 0 && SetPixelFormat(dc, format, &pfd) != 0;
}

bool set_format(HDC dc, int format) {
    PIXELFORMATDESCRIPTOR pfd{};
    if (DescribePixelFormat(dc, format, sizeof pfd, &pfd) == 0) return false;
    return SetPixelFormat(dc, format, &pfd) != 0;
}

// A multisampled format with exactly the given sample count, or 0. The
// extension entry points only exist once some context is current, so a
// helper window with a classic context is made for the question; whatever
// context was current before is current again afterwards.
int multisample_format(int samples) {
    HWND helper = make_window(L"", 1, 1);
    if (helper == nullptr) return 0;
    win32::mark_silent(helper);
    HDC dc = GetDC(helper);
    HDC old_dc = wglGetCurrentDC();
    HGLRC old_context = wglGetCurrentContext();
    int found = 0;
    HGLRC context = set_classic_format(dc) ? wglCreateContext(dc) : nullptr;
    if (context != nullptr && wglMakeCurrent(dc, context)) {
        auto extensions = proc_as<ExtensionsStringArb>(wglGetProcAddress("wglGetExtensionsStringARB"));
        const char* list = extensions != nullptr ? extensions(dc) : nullptr;
        auto choose = proc_as<ChoosePixelFormatArb>(wglGetProcAddress("wglChoosePixelFormatARB"));
        if (list != nullptr && has_word(list, "WGL_ARB_pixel_format") && has_word(list, "WGL_ARB_multisample") &&
            choose != nullptr) {
            const int attributes[] = {k_draw_to_window_arb, 1,  k_support_opengl_arb, 1,
                                      k_acceleration_arb,   k_full_acceleration_arb,
                                      k_color_bits_arb,     24, k_alpha_bits_arb,     8,
                                      k_depth_bits_arb,     24, k_stencil_bits_arb,   8,
                                      k_double_buffer_arb,  1,  k_sample_buffers_arb, 1,
                                      k_samples_arb,        samples, 0};
            int format = 0;
            UINT count = 0;
            if (choose(dc, attributes, nullptr, 1, &format, &count) && count > 0) found = format;
        }
    }
    wglMakeCurrent(old_dc, old_context);
    if (context != nullptr) wglDeleteContext(context);
    ReleaseDC(helper, dc);
    DestroyWindow(helper);
    return found;
}

// Makes a context on the window's device and makes it current; a context
// that cannot be made current is replaced once by a fresh one.
HGLRC make_context(HDC dc) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        HGLRC context = wglCreateContext(dc);
        if (context == nullptr) return nullptr;
        if (wglMakeCurrent(dc, context)) return context;
        wglDeleteContext(context);
    }
    return nullptr;
}

HWND newest = nullptr;

}  // namespace

HWND win32::newest_window() { return newest; }

Window* window_create(const char* title, int width, int height, int samples) {
    if (!class_registered()) return nullptr;
    int format = 0;
    if (samples > 0) {
        format = multisample_format(samples);
        if (format == 0) return nullptr;
    }
    std::wstring wide_title = win32::latin1_wide(title);
    HWND hwnd = make_window(wide_title.c_str(), width, height);
    if (hwnd == nullptr) return nullptr;
    HDC dc = GetDC(hwnd);
    bool formatted = dc != nullptr && (format != 0 ? set_format(dc, format) : set_classic_format(dc));
    HGLRC context = formatted ? make_context(dc) : nullptr;
    if (context == nullptr) {
        win32::mark_silent(hwnd);
        if (dc != nullptr) ReleaseDC(hwnd, dc);
        DestroyWindow(hwnd);
        return nullptr;
    }
    // The frame limiter paces the program; the swap must not wait as well.
    if (auto interval = proc_as<SwapIntervalExt>(wglGetProcAddress("wglSwapIntervalEXT"))) interval(0);
    auto* window = new Window;
    window->hwnd = hwnd;
    window->dc = dc;
    window->context = context;
    window->title = title != nullptr ? title : "";
    newest = hwnd;
    return window;
}

void window_destroy(Window* window) {
    if (window == nullptr) return;
    // Only this window's own context is released: destroying an old window
    // after its successor was made current leaves the successor current.
    if (wglGetCurrentContext() == window->context) wglMakeCurrent(nullptr, nullptr);
    wglDeleteContext(window->context);
    if (window->full_screen) ChangeDisplaySettingsW(nullptr, 0);
    // What the window reports while it goes (losing the focus, ...) is not
    // news for the game.
    win32::mark_silent(window->hwnd);
    if (newest == window->hwnd) newest = nullptr;
    ReleaseDC(window->hwnd, window->dc);
    DestroyWindow(window->hwnd);
    delete window;
}

void window_set_title(Window* window, const char* title) {
    window->title = title != nullptr ? title : "";
    SetWindowTextW(window->hwnd, win32::latin1_wide(window->title.c_str()).c_str());
}

const char* window_title(Window* window) { return window->title.c_str(); }
void window_show(Window* window) { ShowWindow(window->hwnd, SW_SHOW); }
void window_hide(Window* window) { ShowWindow(window->hwnd, SW_HIDE); }

void window_raise(Window* window) {
    ShowWindow(window->hwnd, SW_SHOW);
    SetWindowPos(window->hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(window->hwnd);
    SetActiveWindow(window->hwnd);
    SetFocus(window->hwnd);
}

void window_set_client_size(Window* window, int width, int height) {
    auto style = static_cast<DWORD>(GetWindowLongPtrW(window->hwnd, GWL_STYLE));
    RECT r = outer_rect(width, height, style);
    SetWindowPos(window->hwnd, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void window_get_client_size(Window* window, int* width, int* height) {
    RECT r{};
    GetClientRect(window->hwnd, &r);
    if (width != nullptr) *width = r.right - r.left;
    if (height != nullptr) *height = r.bottom - r.top;
}

void window_set_position(Window* window, int x, int y) {
    // The frame lies left of and above the client area by the offsets the
    // style gives.
    auto style = static_cast<DWORD>(GetWindowLongPtrW(window->hwnd, GWL_STYLE));
    RECT r = outer_rect(0, 0, style);
    SetWindowPos(window->hwnd, nullptr, x + r.left, y + r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void window_get_position(Window* window, int* x, int* y) {
    POINT p{0, 0};
    ClientToScreen(window->hwnd, &p);
    if (x != nullptr) *x = p.x;
    if (y != nullptr) *y = p.y;
}

bool window_has_focus(Window* window) { return GetFocus() == window->hwnd; }

bool window_visible(Window* window) { return IsWindowVisible(window->hwnd) != 0; }

bool window_set_fullscreen(Window* window, int width, int height, int bits) {
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    mode.dmPelsWidth = static_cast<DWORD>(width);
    mode.dmPelsHeight = static_cast<DWORD>(height);
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
    if (bits != 0) {
        mode.dmBitsPerPel = static_cast<DWORD>(bits);
        mode.dmFields |= DM_BITSPERPEL;
    }
    if (width <= 0 || height <= 0 || ChangeDisplaySettingsW(&mode, CDS_FULLSCREEN) != DISP_CHANGE_SUCCESSFUL)
        return false;
    // Only the mode asked for counts, not a substitute the driver chose.
    DEVMODEW now{};
    now.dmSize = sizeof now;
    bool reached = EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &now) != 0 &&
                   static_cast<int>(now.dmPelsWidth) == width && static_cast<int>(now.dmPelsHeight) == height &&
                   (bits == 0 || static_cast<int>(now.dmBitsPerPel) == bits ||
                    (bits == 32 && now.dmBitsPerPel == 24));
    if (!reached) {
        ChangeDisplaySettingsW(nullptr, 0);
        return false;
    }
    window->full_screen = true;
    SetWindowLongPtrW(window->hwnd, GWL_STYLE, static_cast<LONG_PTR>(k_full_screen_style));
    ShowWindow(window->hwnd, SW_RESTORE);
    SetForegroundWindow(window->hwnd);
    SetFocus(window->hwnd);
    SetWindowPos(window->hwnd, HWND_TOPMOST, 0, 0, width, height, SWP_FRAMECHANGED | SWP_SHOWWINDOW);
    return true;
}

void window_leave_fullscreen(Window* window) {
    if (window->full_screen) ChangeDisplaySettingsW(nullptr, 0);
    window->full_screen = false;
    RECT client{};
    GetClientRect(window->hwnd, &client);
    bool shown = IsWindowVisible(window->hwnd) != 0;
    SetWindowLongPtrW(window->hwnd, GWL_STYLE, static_cast<LONG_PTR>(k_windowed_style | (shown ? WS_VISIBLE : 0)));
    RECT r = outer_rect(client.right - client.left, client.bottom - client.top, k_windowed_style);
    SetWindowPos(window->hwnd, HWND_NOTOPMOST, 0, 0, r.right - r.left, r.bottom - r.top,
                 SWP_NOMOVE | SWP_FRAMECHANGED | SWP_NOACTIVATE);
}

std::uint64_t window_native_id(Window* window) {
    return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(window->hwnd));
}

void gl_swap(Window* window) { SwapBuffers(window->dc); }
bool gl_make_current(Window* window) { return wglMakeCurrent(window->dc, window->context) != 0; }

void* gl_proc_address(const char* name) {
    if (name == nullptr) return nullptr;
    PROC proc = wglGetProcAddress(name);
    // Some drivers answer with small numbers instead of null, and the
    // functions of OpenGL 1.1 are only exported by opengl32.dll itself.
    auto bits = reinterpret_cast<std::intptr_t>(proc);
    if (bits >= -1 && bits <= 3) {
        static HMODULE opengl = LoadLibraryW(L"opengl32.dll");
        proc = opengl != nullptr ? GetProcAddress(opengl, name) : nullptr;
    }
    return proc_as<void*>(proc);
}

void desktop_mode(int* width, int* height, int* bits) {
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    bool known = EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode) != 0;
    if (width != nullptr) *width = known ? static_cast<int>(mode.dmPelsWidth) : GetSystemMetrics(SM_CXSCREEN);
    if (height != nullptr) *height = known ? static_cast<int>(mode.dmPelsHeight) : GetSystemMetrics(SM_CYSCREEN);
    if (bits != nullptr) *bits = known ? (mode.dmBitsPerPel == 24 ? 32 : static_cast<int>(mode.dmBitsPerPel)) : 32;
}

Rect work_area(Window* window) {
    RECT r{};
    MONITORINFO info{};
    info.cbSize = sizeof info;
    HMONITOR monitor = window != nullptr ? MonitorFromWindow(window->hwnd, MONITOR_DEFAULTTONEAREST) : nullptr;
    if (monitor != nullptr && GetMonitorInfoW(monitor, &info)) {
        r = info.rcWork;
    } else if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0)) {
        return Rect{};
    }
    return Rect{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

void message_box(const char* title, const char* text) {
    if (automation()) {
        // Latin-1 to UTF-8 for the log reader.
        auto utf8 = [](const char* latin1) {
            return win32::narrow(win32::latin1_wide(latin1 != nullptr ? latin1 : ""));
        };
        std::fprintf(stderr, "[message box] %s: %s\n", utf8(title).c_str(), utf8(text).c_str());
        std::fflush(stderr);
        return;
    }
    MessageBoxW(GetActiveWindow(), win32::latin1_wide(text).c_str(), win32::latin1_wide(title).c_str(),
                MB_OK | MB_ICONEXCLAMATION | MB_SETFOREGROUND);
}

void beep() { MessageBeep(MB_ICONEXCLAMATION); }

void cursor_show(bool visible) {
    // ShowCursor counts; bring the count to exactly shown or hidden.
    if (visible) {
        while (ShowCursor(TRUE) < 0) {
        }
    } else {
        while (ShowCursor(FALSE) >= 0) {
        }
    }
}

void cursor_warp(Window* window, int x, int y) {
    POINT p{x, y};
    if (window != nullptr) ClientToScreen(window->hwnd, &p);
    SetCursorPos(p.x, p.y);
}

}  // namespace crv::plat
