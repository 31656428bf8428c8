// Windows of other processes on Windows: found by title among the
// top-level windows, closed through the system menu's close command, keys
// sent through the system's input to the window, given the focus first,
// screenshots copied from the screen.
#include "tests/support/x11_client.hpp"

#include "platform/win32/win32_api.hpp"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <random>
#include <thread>

namespace crv::test {

namespace {

HWND handle_of(std::uint64_t window) { return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(window)); }

std::string title_of(HWND window) {
    wchar_t text[512] = {};
    int n = GetWindowTextW(window, text, 512);
    return plat::win32::narrow(std::wstring_view(text, n > 0 ? static_cast<std::size_t>(n) : 0));
}

struct Search {
    std::string name;
    HWND found = nullptr;
};

BOOL CALLBACK look_at(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    if (!IsWindowVisible(window) || title_of(window) != search->name) return TRUE;
    search->found = window;
    return FALSE;
}

// A key as the keyboard sends it: virtual key, scan code, extended flag.
struct Key {
    UINT virtual_key = 0;
    UINT scan = 0;
    bool extended = false;
};

bool key_named(const std::string& name, Key& key) {
    static const struct {
        const char* name;
        Key key;
    } table[] = {
        {"Escape", {VK_ESCAPE, 0x01, false}},    {"Return", {VK_RETURN, 0x1c, false}},
        {"space", {VK_SPACE, 0x39, false}},      {"Tab", {VK_TAB, 0x0f, false}},
        {"BackSpace", {VK_BACK, 0x0e, false}},   {"alt", {VK_MENU, 0x38, false}},
        {"Alt_L", {VK_MENU, 0x38, false}},       {"ctrl", {VK_CONTROL, 0x1d, false}},
        {"Control_L", {VK_CONTROL, 0x1d, false}}, {"shift", {VK_SHIFT, 0x2a, false}},
        {"Shift_L", {VK_SHIFT, 0x2a, false}},    {"Up", {VK_UP, 0x48, true}},
        {"Down", {VK_DOWN, 0x50, true}},         {"Left", {VK_LEFT, 0x4b, true}},
        {"Right", {VK_RIGHT, 0x4d, true}},
    };
    for (const auto& entry : table)
        if (name == entry.name) {
            key = entry.key;
            return true;
        }
    if (name.size() >= 2 && name[0] == 'F') {
        int n = std::atoi(name.c_str() + 1);
        if (n >= 1 && n <= 10) key = {static_cast<UINT>(VK_F1 + n - 1), static_cast<UINT>(0x3b + n - 1), false};
        if (n == 11) key = {VK_F11, 0x57, false};
        if (n == 12) key = {VK_F12, 0x58, false};
        return key.virtual_key != 0;
    }
    if (name.size() == 1) {
        SHORT code = VkKeyScanW(static_cast<wchar_t>(static_cast<unsigned char>(name[0])));
        if (code == -1) return false;
        key.virtual_key = LOBYTE(code);
        key.scan = MapVirtualKeyW(key.virtual_key, MAPVK_VK_TO_VSC);
        return key.scan != 0;
    }
    return false;
}

// A key change as the keyboard makes it: through the system's input, so
// that a game reading the keyboard device sees it as well as one reading
// the window's key messages. It goes to the window that has the focus.
void send_key(const Key& key, bool down) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = static_cast<WORD>(key.virtual_key);
    input.ki.wScan = static_cast<WORD>(key.scan);
    input.ki.dwFlags = (key.extended ? KEYEVENTF_EXTENDEDKEY : 0) | (down ? 0 : KEYEVENTF_KEYUP);
    SendInput(1, &input, sizeof input);
}

}  // namespace

std::uint64_t find_window(const std::string& name, int timeout_ms) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (std::chrono::steady_clock::now() < deadline) {
        Search search{name};
        EnumWindows(look_at, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) return reinterpret_cast<std::uintptr_t>(search.found);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return 0;
}

std::string window_title(std::uint64_t window) { return title_of(handle_of(window)); }

// What the close box of the window's frame sends.
void send_close_request(std::uint64_t window) { PostMessageW(handle_of(window), WM_SYSCOMMAND, SC_CLOSE, 0); }

void focus_window(std::uint64_t window) { SetForegroundWindow(handle_of(window)); }

namespace {

LRESULT CALLBACK thief_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

// The window lives in a thread of its own that keeps answering its
// messages, as a program's window does, while the test waits for other
// things; the thread ends with the window.
FocusThief::FocusThief() {
    std::promise<HWND> made;
    std::future<HWND> window = made.get_future();
    std::thread([&made] {
        WNDCLASSW window_class{};
        window_class.lpfnWndProc = thief_proc;
        window_class.hInstance = GetModuleHandleW(nullptr);
        window_class.lpszClassName = L"crv_focus_thief";
        RegisterClassW(&window_class);
        HWND w = CreateWindowExW(0, L"crv_focus_thief", L"focus thief", WS_POPUP | WS_VISIBLE, 700, 10, 40, 40, nullptr,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
        made.set_value(w);
        MSG msg;
        while (w != nullptr && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    }).detach();
    window_ = reinterpret_cast<std::uintptr_t>(window.get());
}

FocusThief::~FocusThief() {
    HWND w = handle_of(window_);
    if (w == nullptr) return;
    PostMessageW(w, WM_CLOSE, 0, 0);
    for (int waited = 0; IsWindow(w) && waited < 5000; waited += 10)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void FocusThief::take_focus() {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // shown before focused
    focus_window(window_);
}

void press_keys(std::uint64_t window, const std::string& keys) {
    std::vector<Key> held;
    for (std::size_t start = 0; start <= keys.size();) {
        std::size_t end = keys.find('+', start);
        if (end == std::string::npos) end = keys.size();
        Key key;
        if (key_named(keys.substr(start, end - start), key)) held.push_back(key);
        start = end + 1;
    }
    // The keys go to the focused window, so the window is given the focus
    // first and a moment to take it.
    SetForegroundWindow(handle_of(window));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    for (const Key& key : held) send_key(key, true);
    // Held for a moment: the game reads key states once a frame.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    for (auto key = held.rbegin(); key != held.rend(); ++key) send_key(*key, false);
}

bool screen_size(int* width, int* height) {
    *width = GetSystemMetrics(SM_CXSCREEN);
    *height = GetSystemMetrics(SM_CYSCREEN);
    return *width > 0 && *height > 0;
}

bool save_screenshot(std::uint64_t window, const std::string& ppm_path) {
    HWND w = handle_of(window);
    RECT inside{};
    POINT origin{0, 0};
    if (!GetClientRect(w, &inside) || !ClientToScreen(w, &origin)) return false;
    const int width = inside.right, height = inside.bottom;
    if (width <= 0 || height <= 0) return false;
    HDC screen = GetDC(nullptr);
    HDC copy = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // rows top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = bitmap != nullptr;
    if (ok) {
        HGDIOBJ previous = SelectObject(copy, bitmap);
        ok = BitBlt(copy, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY) != 0;
        GdiFlush();
        SelectObject(copy, previous);
    }
    if (ok) {
        std::FILE* f = std::fopen(ppm_path.c_str(), "wb");
        ok = f != nullptr;
        if (ok) {
            std::fprintf(f, "P6\n%d %d\n255\n", width, height);
            const auto* bgra = static_cast<const unsigned char*>(bits);
            std::vector<unsigned char> rgb(static_cast<std::size_t>(width) * height * 3);
            for (std::size_t i = 0; i < static_cast<std::size_t>(width) * height; ++i) {
                rgb[3 * i] = bgra[4 * i + 2];
                rgb[3 * i + 1] = bgra[4 * i + 1];
                rgb[3 * i + 2] = bgra[4 * i];
            }
            ok = std::fwrite(rgb.data(), 1, rgb.size(), f) == rgb.size();
            ok = std::fclose(f) == 0 && ok;
        }
    }
    if (bitmap != nullptr) DeleteObject(bitmap);
    DeleteDC(copy);
    ReleaseDC(nullptr, screen);
    return ok;
}

int shell(const std::string& command) { return std::system(command.c_str()); }

// Wine starts host programs but gives no handle to wait on them: a host
// shell runs xdotool and leaves its exit status in a file of the host's
// /tmp, which appears (renamed into place whole) when it is done. The
// file's name holds a number drawn once per test program, as Windows
// process ids repeat across the Wine prefixes of other builds.
int host_xdotool(const std::string& args) {
    static const std::string program = std::to_string(std::random_device{}());
    static std::atomic<int> calls{0};
    const std::string done = "/tmp/crv-xdotool-" + program + "-" + std::to_string(++calls);
    const std::string script =
        "xdotool " + args + " >/dev/null 2>&1; echo $? >" + done + ".part; mv " + done + ".part " + done;
    std::wstring line = L"sh -c \"" + plat::win32::widen(script) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(L"Z:\\bin\\sh", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return -1;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    const std::wstring status_file = L"Z:" + plat::win32::widen_path(done);
    std::string status;
    for (int waited = 0; waited < 30000 && status.empty(); waited += 2) {
        HANDLE file = CreateFileW(status_file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            Sleep(2);
            continue;
        }
        char text[16] = {};
        DWORD n = 0;
        ReadFile(file, text, sizeof text - 1, &n, nullptr);
        CloseHandle(file);
        status.assign(text, n);
        if (status.empty()) status = "?";
    }
    DeleteFileW(status_file.c_str());
    return !status.empty() && status[0] >= '0' && status[0] <= '9' ? std::atoi(status.c_str()) : -1;
}

std::string x_window_id(std::uint64_t window) {
    return std::to_string(reinterpret_cast<std::uintptr_t>(GetPropW(handle_of(window), L"__wine_x11_whole_window")));
}

}  // namespace crv::test
