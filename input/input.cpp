#include "input/input.hpp"

#include "runtime/app_state.hpp"
#include "runtime/log.hpp"
#include "platform/events.hpp"
#include "platform/joystick.hpp"
#include "platform/keyboard.hpp"
#include "platform/mouse.hpp"
#include "platform/window.hpp"
#include "render2d/rainbows.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace crv {

namespace {

// Without a mouse device, a captured mouse is emulated by putting the
// cursor back on this screen point after every read.
constexpr int k_capture_point = 200;

int orientation() {
    const OpenGLRainbows* r = app_state.renderer;
    return r != nullptr ? r->orientation : 0;
}

// Physical client pixel to the program's view.
void to_program(std::int32_t px, std::int32_t py, std::int32_t* x, std::int32_t* y) {
    if (const OpenGLRainbows* r = app_state.renderer) {
        r->unmap_point(px, py, x, y);
    } else {
        *x = px;
        *y = py;
    }
}

void to_physical(std::int32_t x, std::int32_t y, std::int32_t* px, std::int32_t* py) {
    if (const OpenGLRainbows* r = app_state.renderer) {
        r->map_point(x, y, px, py);
    } else {
        *px = x;
        *py = y;
    }
}

// The screen size as the program sees it.
void view_size(std::int32_t* w, std::int32_t* h) {
    if (const OpenGLRainbows* r = app_state.renderer) {
        r->get_screen_size(w, h);
    } else {
        *w = app_state.screen_width;
        *h = app_state.screen_height;
    }
}

// A physical motion as the program sees it: the direction form of
// to_program (no offsets, which belong to positions only).
void motion_to_program(std::int32_t dx, std::int32_t dy, std::int32_t* x, std::int32_t* y) {
    switch (orientation()) {
        case 1: *x = dy; *y = -dx; break;
        case 2: *x = -dx; *y = -dy; break;
        case 3: *x = -dy; *y = dx; break;
        default: *x = dx; *y = dy; break;
    }
}

// A controller direction turned with the screen, as the orientation's
// vector table gives it.
void turn_direction(double dx, double dy, double* x, double* y) {
    switch (orientation()) {
        case 1: *x = -dy; *y = dx; break;
        case 2: *x = -dx; *y = -dy; break;
        case 3: *x = dy; *y = -dx; break;
        default: *x = dx; *y = dy; break;
    }
}

double axis_value(std::int32_t raw) { return std::clamp(raw / 32767.0, -1.0, 1.0); }

void hat_components(std::uint32_t angle, int* x, int* y) {
    *x = 0;
    *y = 0;
    switch (angle) {
        case 0: *y = -1; break;
        case 4500: *x = 1; *y = -1; break;
        case 9000: *x = 1; break;
        case 13500: *x = 1; *y = 1; break;
        case 18000: *y = 1; break;
        case 22500: *x = -1; *y = 1; break;
        case 27000: *x = -1; break;
        case 31500: *x = -1; *y = -1; break;
        default: break;
    }
}

float limit_force(double v) {
    float f = static_cast<float>(v);
    if (std::isnan(f)) return 0.0f;
    return std::clamp(f, -1.0f, 1.0f);
}

}  // namespace

InputSystem::InputSystem(plat::Window* window) : window_(window) {}

InputSystem::~InputSystem() { release_devices(); }

void InputSystem::create_devices(plat::Window* window, bool exclusive_mouse) {
    bool system_input = plat::input_open();
    if (!system_input) log_write("No DX_Input\n");
    if (system_input && !plat::keyboard_acquired()) log_write("can't aquire keyboard - first try\n");

    window_ = window;
    int x = 0, y = 0, buttons = 0;
    bool have_cursor = plat::mouse_cursor(window_, &x, &y, &buttons);
    if (have_cursor) {
        mouse_.x = mouse_.reported_x = x;
        mouse_.y = mouse_.reported_y = y;
    }
    std::fill(std::begin(keys_), std::end(keys_), std::uint8_t{0});
    clear_key_events();

    absolute_mouse_ = false;
    mouse_device_ = system_input;
    if (exclusive_mouse) {
        if (!mouse_device_ || !plat::mouse_set_relative(true)) {
            if (mouse_device_) log_write("can't aquire mouse - first try\n");
            log_write("No DX_Mouse\n");
            mouse_device_ = false;
        }
        plat::cursor_show(false);
    } else {
        if (mouse_device_) plat::mouse_set_relative(false);
        if (window_ != nullptr && have_cursor) plat::cursor_warp(window_, mouse_.x, mouse_.y);
        plat::cursor_show(true);
        absolute_mouse_ = true;
    }

    if (!joysticks_started_) joysticks_started_ = plat::joysticks_start();
    refresh_joysticks();
}

void InputSystem::release_devices() {
    close_joysticks();
    if (joysticks_started_) plat::joysticks_stop();
    joysticks_started_ = false;
    if (mouse_device_ && !absolute_mouse_) plat::mouse_set_relative(false);
    if (mouse_device_) plat::input_close();
    mouse_device_ = false;
}

// ---------------------------------------------------------------- keyboard

void InputSystem::poll_keyboard() {
    if (window_ == nullptr || !plat::window_has_focus(window_)) return;
    plat::keyboard_state(keys_);
}

bool InputSystem::key_is_down(int code) const {
    return (keys_[static_cast<unsigned>(code) & 0xffu] & 0x80) != 0;
}

bool InputSystem::key_down(int code) {
    if (++key_queries_ > 128) {
        key_queries_ = 0;
        poll_keyboard();
    }
    return key_is_down(code);
}

int InputSystem::key_to_char(int code) {
    int s = static_cast<int>(static_cast<unsigned>(code) & 0xffu);
    switch (s) {
        case 14: return 8;
        case 28: case 156: return 10;
        // Shift, control, alt, caps lock, num lock, application key.
        case 42: case 54: case 29: case 56: case 58: case 69: case 221: return 0;
        default: break;
    }
    int c = plat::key_char(s);
    if (c < 32 && c != 8 && c != 10) return 0;
    return static_cast<std::int8_t>(static_cast<std::uint8_t>(c));
}

// ---------------------------------------------------------------- key events

void InputSystem::offer_message(const plat::Message& message, double time) {
    switch (message.kind) {
        case plat::MessageKind::key_down:
            key_went_down(message.param, message.repeat, time);
            break;
        case plat::MessageKind::key_up:
        case plat::MessageKind::system_key_up:
            key_went_up(message.param, time);
            break;
        case plat::MessageKind::activate:
            // The keys are released elsewhere from now on.
            if (message.param == 0)
                for (int code = 1; code < 256; ++code) key_went_up(code, time);
            break;
        default:
            break;
    }
}

void InputSystem::key_went_down(int code, bool repeat, double time) {
    std::size_t c = key_index(code);
    if (c == 0) return;
    // Only the system knows a repeat: a press of a key that the events
    // still have down follows a release this window never got.
    if (!repeat) pressed_since_.set(c);
    held_.set(c);
    queue_key_event(static_cast<int>(c), true, repeat, time);
}

void InputSystem::key_went_up(int code, double time) {
    std::size_t c = key_index(code);
    if (c == 0 || !held_.test(c)) return;
    held_.reset(c);
    released_since_.set(c);
    queue_key_event(static_cast<int>(c), false, false, time);
}

void InputSystem::queue_key_event(int code, bool down, bool repeat, double time) {
    if (event_count_ == k_key_event_limit) {
        event_first_ = (event_first_ + 1) % k_key_event_limit;
        --event_count_;
        if (events_dropped_ < std::numeric_limits<std::int32_t>::max()) ++events_dropped_;
    }
    // Times from the system may come a little out of step (the tick count
    // behind a message time moves in steps); the queue keeps them in order.
    last_event_time_ = std::max(time, last_event_time_);
    events_[static_cast<std::size_t>((event_first_ + event_count_) % k_key_event_limit)] =
        KeyEvent{code, down, repeat, last_event_time_};
    ++event_count_;
}

void InputSystem::end_key_frame() {
    hit_ = pressed_since_;
    released_ = released_since_;
    pressed_since_.reset();
    released_since_.reset();
}

bool InputSystem::next_key_event(KeyEvent* event) {
    if (event_count_ == 0) return false;
    *event = events_[static_cast<std::size_t>(event_first_)];
    event_first_ = (event_first_ + 1) % k_key_event_limit;
    --event_count_;
    return true;
}

std::int32_t InputSystem::take_dropped_key_events() {
    std::int32_t n = events_dropped_;
    events_dropped_ = 0;
    return n;
}

void InputSystem::clear_key_events() {
    held_.reset();
    pressed_since_.reset();
    released_since_.reset();
    hit_.reset();
    released_.reset();
    event_first_ = 0;
    event_count_ = 0;
    events_dropped_ = 0;
}

// ---------------------------------------------------------------- typed characters

void InputSystem::offer_char(int code) {
    unsigned c = static_cast<unsigned>(code) & 0xffu;
    if (c == 0) return;
    if (c == 13) c = 10;
    if (c < 32 && c != 8 && c != 9 && c != 10) return;
    if (static_cast<int>(chars_.size()) >= k_typed_char_limit) return;
    chars_.push_back(static_cast<std::uint8_t>(c));
}

int InputSystem::pop_char() {
    if (chars_.empty()) return -1;
    int c = chars_.front();
    chars_.erase(chars_.begin());
    return c;
}

// ---------------------------------------------------------------- mouse

void InputSystem::set_mouse_mode(bool exclusive) {
    if (exclusive) {
        // Captured motion starts from where the cursor is.
        if (absolute_mouse_) read_mouse(false);
        if (mouse_device_) plat::mouse_set_relative(true);
        plat::cursor_show(false);
        absolute_mouse_ = false;
        return;
    }
    if (mouse_device_) plat::mouse_set_relative(false);
    // The cursor reappears where the captured mouse had got to.
    if (!absolute_mouse_ && window_ != nullptr) plat::cursor_warp(window_, mouse_.x, mouse_.y);
    plat::cursor_show(true);
    absolute_mouse_ = true;
}

void InputSystem::mouse_release_capture() {
    if (absolute_mouse_ || !mouse_device_) return;
    plat::mouse_set_relative(false);
    plat::cursor_show(true);
}

void InputSystem::mouse_restore_capture() {
    if (absolute_mouse_ || !mouse_device_) return;
    plat::mouse_set_relative(true);
    plat::cursor_show(false);
}

void InputSystem::mouse_select(int index) {
    // There is one mouse; every index selects it.
    (void)index;
}

InputSystem::Reading InputSystem::read_mouse(bool consume) {
    int x = mouse_.x, y = mouse_.y, buttons = 0;
    int cx = 0, cy = 0;
    if (absolute_mouse_) {
        if (plat::mouse_cursor(window_, &cx, &cy, &buttons)) {
            x = cx;
            y = cy;
        }
    } else if (mouse_device_) {
        int dx = 0, dy = 0;
        plat::mouse_take_motion(&dx, &dy);
        plat::mouse_cursor(window_, &cx, &cy, &buttons);
        x += dx;
        y += dy;
    } else if (plat::mouse_cursor(nullptr, &cx, &cy, &buttons)) {
        x += cx - k_capture_point;
        y += cy - k_capture_point;
        plat::mouse_warp_screen(k_capture_point, k_capture_point);
    }
    int wheel = plat::mouse_take_wheel();
    mouse_.wheel += wheel > 0 ? 1 : wheel < 0 ? -1 : 0;
    mouse_.x = x;
    mouse_.y = y;
    Reading r{x, y, x - mouse_.reported_x, y - mouse_.reported_y, buttons};
    if (consume) {
        mouse_.reported_x = x;
        mouse_.reported_y = y;
        mouse_.wheel = 0;
    }
    return r;
}

void InputSystem::mouse_state(std::int32_t* x, std::int32_t* y, std::int32_t* left, std::int32_t* right) {
    Reading r = read_mouse(true);
    std::int32_t vx = 0, vy = 0, w = 0, h = 0;
    to_program(r.x, r.y, &vx, &vy);
    view_size(&w, &h);
    vx = std::clamp(vx, 0, std::max(w, 0));
    vy = std::clamp(vy, 0, std::max(h, 0));
    std::int32_t px = 0, py = 0;
    to_physical(vx, vy, &px, &py);
    mouse_.x = mouse_.reported_x = px;
    mouse_.y = mouse_.reported_y = py;
    *x = vx;
    *y = vy;
    *left = (r.buttons & plat::k_mouse_left) != 0 ? 1 : 0;
    *right = (r.buttons & plat::k_mouse_right) != 0 ? 1 : 0;
}

std::int32_t InputSystem::mouse_axis(int kind) {
    Reading r = read_mouse(false);
    std::int32_t mx = 0, my = 0;
    motion_to_program(r.dx, r.dy, &mx, &my);
    switch (kind) {
        case 0: return mx;
        case 1: return my;
        case 2: return mouse_.wheel;
        case 3: return (r.buttons & plat::k_mouse_left) != 0 ? 1 : 0;
        case 4: return (r.buttons & plat::k_mouse_right) != 0 ? 1 : 0;
        case 5: return (r.buttons & plat::k_mouse_middle) != 0 ? 1 : 0;
        default: return 0;
    }
}

bool InputSystem::read_all_mice() {
    int buttons = 0;
    for (int i = 0; i < mouse_count(); ++i) buttons = read_mouse(false).buttons;
    return buttons != 0;
}

void InputSystem::mouse_peek(std::int32_t* x, std::int32_t* y, int* buttons) {
    Reading r = read_mouse(false);
    to_program(r.x, r.y, x, y);
    *buttons = r.buttons;
}

// ---------------------------------------------------------------- game controllers

void InputSystem::refresh_joysticks() {
    if (!joysticks_started_) return;
    plat::joysticks_update();
    for (JoystickSlot& slot : pads_) {
        if (slot.device != nullptr && !plat::joystick_attached(slot.device)) {
            plat::joystick_close(slot.device);
            slot = JoystickSlot{};
        }
    }
    constexpr int k_list_max = 64;
    std::int64_t ids[k_list_max];
    int n = std::min(plat::joystick_list(ids, k_list_max), k_list_max);
    for (int i = 0; i < n; ++i) {
        auto known = std::find_if(pads_.begin(), pads_.end(), [&](const JoystickSlot& s) { return s.id == ids[i]; });
        if (known != pads_.end()) continue;
        auto free = std::find_if(pads_.begin(), pads_.end(), [](const JoystickSlot& s) { return s.device == nullptr; });
        if (free == pads_.end()) break;
        plat::Joystick* device = plat::joystick_open(ids[i]);
        if (device == nullptr) continue;
        free->device = device;
        free->id = ids[i];
        // Named as "<instance>, <product>".
        std::string name = plat::joystick_instance_name(device);
        name += ", ";
        name += plat::joystick_product_name(device);
        free->name = name.substr(0, k_joystick_name_limit);
        pad_count_ = std::max(pad_count_, static_cast<int>(free - pads_.begin()) + 1);
    }
}

void InputSystem::close_joysticks() {
    for (JoystickSlot& slot : pads_) {
        if (slot.device != nullptr) plat::joystick_close(slot.device);
        slot = JoystickSlot{};
    }
    pad_count_ = 0;
}

bool InputSystem::read_joystick(int index, plat::JoystickState* state) {
    if (index < 0 || index >= k_max_joysticks) {
        plat::joystick_read(nullptr, state);
        return false;
    }
    refresh_joysticks();
    return plat::joystick_read(pads_[static_cast<std::size_t>(index)].device, state);
}

std::int32_t InputSystem::joystick_count() {
    refresh_joysticks();
    return pad_count_;
}

DynString InputSystem::joystick_name(int index) {
    if (index < 0 || index >= k_max_joysticks) return DynString();
    refresh_joysticks();
    return DynString(pads_[static_cast<std::size_t>(index)].name.c_str());
}

std::int32_t InputSystem::joystick_button(int index, int button) {
    plat::JoystickState state;
    read_joystick(index, &state);
    if (button < 0 || button > 31) return 0;
    return state.buttons[button];
}

double InputSystem::joystick_axis(int index, int axis) {
    if (axis < 0 || axis > 5) return 0.0;
    plat::JoystickState state;
    read_joystick(index, &state);
    if (axis == 2 || axis == 5) return axis_value(state.axes[axis]);
    int first = axis < 2 ? 0 : 3;  // x/y pair or rotation pair
    double x = 0, y = 0;
    turn_direction(axis_value(state.axes[first]), axis_value(state.axes[first + 1]), &x, &y);
    return axis == first ? x : y;
}

void InputSystem::hat_direction(int index, std::int32_t* x, std::int32_t* y) {
    plat::JoystickState state;
    read_joystick(index, &state);
    int hx = 0, hy = 0;
    hat_components(state.hats[0], &hx, &hy);
    double tx = 0, ty = 0;
    turn_direction(hx, hy, &tx, &ty);
    *x = static_cast<std::int32_t>(tx);
    *y = static_cast<std::int32_t>(ty);
}

std::int32_t InputSystem::joystick_hat_x(int index) {
    std::int32_t x = 0, y = 0;
    hat_direction(index, &x, &y);
    return x;
}

std::int32_t InputSystem::joystick_hat_y(int index) {
    std::int32_t x = 0, y = 0;
    hat_direction(index, &x, &y);
    return y;
}

void InputSystem::joystick_digital(std::int32_t* x, std::int32_t* y, std::int32_t* button0, std::int32_t* button1) {
    plat::JoystickState state;
    read_joystick(0, &state);
    *x = state.axes[0] / 30000;
    *y = state.axes[1] / 30000;
    *button0 = state.buttons[0];
    *button1 = state.buttons[1];
}

void InputSystem::joystick_rumble(int index, double duration_ms, double x, double y) {
    if (index < 0 || index >= k_max_joysticks) return;
    refresh_joysticks();
    plat::Joystick* device = pads_[static_cast<std::size_t>(index)].device;
    if (!plat::joystick_can_rumble(device)) return;
    float fx = limit_force(x), fy = limit_force(y);
    auto magnitude = static_cast<std::int32_t>((fx * fx + fy * fy) * 10000.0f / 2.0f);
    auto strength = static_cast<std::uint16_t>(magnitude * 65535 / 10000);
    float duration = static_cast<float>(duration_ms);
    // Milliseconds, rounded up so that a short pulse is not lost; no
    // duration (or a nonsensical one) stops the motors.
    std::uint32_t ms = 0;
    if (duration > 0.0f) ms = static_cast<std::uint32_t>(std::ceil(std::min(duration, 4.0e9f)));
    plat::joystick_rumble(device, strength, ms, static_cast<std::int32_t>(fx * 32767.0f),
                          static_cast<std::int32_t>(fy * 32767.0f));
}

bool InputSystem::joystick_active(int index) {
    plat::JoystickState state;
    if (!read_joystick(index, &state)) return false;
    for (std::uint8_t b : state.buttons)
        if (b != 0) return true;
    for (int a = 0; a < 3; ++a)
        if (std::fabs(axis_value(state.axes[a])) > 0.1) return true;
    std::int32_t hx = 0, hy = 0;
    hat_direction(index, &hx, &hy);
    return hx != 0 || hy != 0;
}

// ---------------------------------------------------------------- game-facing operations

int key_down(int code) {
    InputSystem* input = app_state.input;
    return input != nullptr && input->key_down(code) ? 1 : 0;
}

int key_to_char(int code) {
    InputSystem* input = app_state.input;
    return input != nullptr ? input->key_to_char(code) : 0;
}

int key_hit(int code) {
    InputSystem* input = app_state.input;
    return input != nullptr && input->key_hit(code) ? 1 : 0;
}

int key_released(int code) {
    InputSystem* input = app_state.input;
    return input != nullptr && input->key_released(code) ? 1 : 0;
}

int next_key_event(KeyEvent* event) {
    InputSystem* input = app_state.input;
    return input != nullptr && event != nullptr && input->next_key_event(event) ? 1 : 0;
}

std::int32_t key_events_dropped() {
    InputSystem* input = app_state.input;
    return input != nullptr ? input->take_dropped_key_events() : 0;
}

DynString typed_char() {
    InputSystem* input = app_state.input;
    int c = input != nullptr ? input->pop_char() : -1;
    if (c < 0) return DynString();
    DynString result;
    result += static_cast<char>(c);
    return result;
}

int mouse_count() {
    InputSystem* input = app_state.input;
    return input != nullptr ? input->mouse_count() : 0;
}

void mouse_select(int index) {
    if (InputSystem* input = app_state.input) input->mouse_select(index);
}

void mouse_state(std::int32_t* x, std::int32_t* y, std::int32_t* left, std::int32_t* right) {
    *x = *y = *left = *right = 0;
    if (InputSystem* input = app_state.input) input->mouse_state(x, y, left, right);
}

void mouse_state(double* x, double* y, double* left, double* right) {
    std::int32_t ix = 0, iy = 0, il = 0, ir = 0;
    mouse_state(&ix, &iy, &il, &ir);
    *x = ix;
    *y = iy;
    *left = il;
    *right = ir;
}

std::int32_t mouse_axis(int kind) {
    InputSystem* input = app_state.input;
    return input != nullptr ? input->mouse_axis(kind) : 0;
}

std::int32_t joystick_count() {
    InputSystem* input = app_state.input;
    return input != nullptr ? input->joystick_count() : 0;
}

DynString joystick_name(int index) {
    InputSystem* input = app_state.input;
    return input != nullptr ? input->joystick_name(index) : DynString();
}

std::int32_t joystick_button(int index, int button) {
    InputSystem* input = app_state.input;
    return input != nullptr ? input->joystick_button(index, button) : 0;
}

namespace {

double axis_of(int index, int axis) {
    InputSystem* input = app_state.input;
    return input != nullptr ? input->joystick_axis(index, axis) : 0.0;
}

}  // namespace

double joystick_x(int index) { return axis_of(index, 0); }
double joystick_y(int index) { return axis_of(index, 1); }
double joystick_z(int index) { return axis_of(index, 2); }
double joystick_rx(int index) { return axis_of(index, 3); }
double joystick_ry(int index) { return axis_of(index, 4); }
double joystick_rz(int index) { return axis_of(index, 5); }

std::int32_t joystick_hat_x(int index) {
    InputSystem* input = app_state.input;
    return input != nullptr ? input->joystick_hat_x(index) : 0;
}

std::int32_t joystick_hat_y(int index) {
    InputSystem* input = app_state.input;
    return input != nullptr ? input->joystick_hat_y(index) : 0;
}

void joystick_digital(std::int32_t* x, std::int32_t* y, std::int32_t* button0, std::int32_t* button1) {
    *x = *y = *button0 = *button1 = 0;
    if (InputSystem* input = app_state.input) input->joystick_digital(x, y, button0, button1);
}

void joystick_digital(double* x, double* y, double* button0, double* button1) {
    std::int32_t ix = 0, iy = 0, b0 = 0, b1 = 0;
    joystick_digital(&ix, &iy, &b0, &b1);
    *x = ix;
    *y = iy;
    *button0 = b0;
    *button1 = b1;
}

void joystick_rumble(int index, double duration_ms, double x, double y) {
    if (InputSystem* input = app_state.input) input->joystick_rumble(index, duration_ms, x, y);
}

}  // namespace crv
