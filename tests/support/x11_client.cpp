#include "tests/support/x11_client.hpp"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace crv::test {

namespace {

// The connection every call here uses, opened on first use. The server
// may turn a connection away for a moment; this tries again for five
// seconds, and says so on standard error if it never gets one, so that a
// test does not just report a window it could not look for.
Display* display() {
    static Display* d = [] {
        for (int tries = 0; tries < 100; ++tries) {
            if (Display* opened = XOpenDisplay(nullptr)) return opened;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        const char* name = std::getenv("DISPLAY");
        std::fprintf(stderr, "x11_client: cannot open the display %s\n", name != nullptr ? name : "(DISPLAY not set)");
        return static_cast<Display*>(nullptr);
    }();
    return d;
}

std::string name_of(Display* d, Window w) {
    Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
    Atom net_name = XInternAtom(d, "_NET_WM_NAME", False);
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    std::string result;
    if (XGetWindowProperty(d, w, net_name, 0, 1024, False, utf8, &type, &format, &count, &after, &data) ==
            Success &&
        data != nullptr) {
        result.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
        return result;
    }
    char* name = nullptr;
    if (XFetchName(d, w, &name) != 0 && name != nullptr) {
        result = name;
        XFree(name);
    }
    return result;
}

// Windows of other clients may vanish while they are looked at (a game
// re-creates its window, or ends); the default handler would end the test
// program on the BadWindow that follows.
int ignore_errors(Display*, XErrorEvent*) { return 0; }

class ErrorsIgnored {
public:
    explicit ErrorsIgnored(Display* d) : display_(d), previous_(XSetErrorHandler(ignore_errors)) {}
    ~ErrorsIgnored() {
        XSync(display_, False);
        XSetErrorHandler(previous_);
    }
    ErrorsIgnored(const ErrorsIgnored&) = delete;
    ErrorsIgnored& operator=(const ErrorsIgnored&) = delete;

private:
    Display* display_;
    int (*previous_)(Display*, XErrorEvent*);
};

Window search(Display* d, Window w, const std::string& name) {
    if (name_of(d, w) == name) return w;
    Window root, parent, *children = nullptr;
    unsigned int n = 0;
    if (XQueryTree(d, w, &root, &parent, &children, &n) == 0) return 0;
    Window found = 0;
    for (unsigned int i = 0; i < n && found == 0; ++i) found = search(d, children[i], name);
    if (children != nullptr) XFree(children);
    return found;
}

}  // namespace

std::uint64_t find_window(const std::string& name, int timeout_ms) {
    Display* d = display();
    if (d == nullptr) return 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (std::chrono::steady_clock::now() < deadline) {
        XSync(d, False);
        Window w = 0;
        {
            ErrorsIgnored guard(d);
            w = search(d, DefaultRootWindow(d), name);
        }
        if (w != 0) return w;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return 0;
}

std::string window_title(std::uint64_t window) {
    Display* d = display();
    XSync(d, False);
    ErrorsIgnored guard(d);
    return name_of(d, static_cast<Window>(window));
}

void send_close_request(std::uint64_t window) {
    Display* d = display();
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = static_cast<Window>(window);
    e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, static_cast<Window>(window), False, NoEventMask, &e);
    XFlush(d);
}

void focus_window(std::uint64_t window) {
    Display* d = display();
    XSetInputFocus(d, static_cast<Window>(window), RevertToParent, CurrentTime);
    XFlush(d);
}

FocusThief::FocusThief() {
    Display* d = display();
    Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 700, 10, 40, 40, 0, 0, 0);
    XMapWindow(d, w);
    XSync(d, False);
    window_ = w;
}

FocusThief::~FocusThief() {
    Display* d = display();
    XDestroyWindow(d, static_cast<Window>(window_));
    XSync(d, False);
}

void FocusThief::take_focus() {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // mapped before focused
    focus_window(window_);
}

int shell(const std::string& command) {
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int host_xdotool(const std::string& args) { return shell("xdotool " + args + " >/dev/null 2>&1"); }

std::string x_window_id(std::uint64_t window) { return std::to_string(window); }

void press_keys(std::uint64_t window, const std::string& keys) {
    std::string id = std::to_string(window);
    shell("xdotool keydown --window " + id + " " + keys + " 2>/dev/null");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    // A key that ends the program takes its window away before the release:
    // the keys are then released without a window, or they would stay down
    // in the X server for every later test.
    if (shell("xdotool keyup --window " + id + " " + keys + " 2>/dev/null") != 0)
        shell("xdotool keyup " + keys + " 2>/dev/null");
}

bool screen_size(int* width, int* height) {
    Display* d = display();
    if (d == nullptr) return false;
    *width = DisplayWidth(d, DefaultScreen(d));
    *height = DisplayHeight(d, DefaultScreen(d));
    return true;
}

bool save_screenshot(std::uint64_t window, const std::string& ppm_path) {
    return shell("import -window " + std::to_string(window) + " -depth 8 'ppm:" + ppm_path + "' 2>/dev/null") == 0;
}

}  // namespace crv::test
