// The input object: the keyboard as 256 key states indexed by key code
// (the keyboard's scan codes: escape 1, return 28, left alt 56, F4 62, ...),
// the keys pressed and released since the last frame and the queue of key
// events from the window's key messages, the queue of typed characters,
// one mouse (position, motion, wheel, three buttons) and up to 10 game
// controllers (six axes, a hat, 32 buttons, rumble). Positions and
// directions pass through the renderer's screen orientation. Created at
// start-up for the game window, its devices made by create_devices and
// released at program end; reached through app_state.input. Main thread
// only. Missing devices are not errors: they read as released, still or
// centred, and controller queries on an index without a controller return
// zero. The game's operations, which forward to this object, are declared
// in corvane/input.hpp.
#pragma once

#include <corvane/input.hpp>

#include <array>
#include <bitset>
#include <cstdint>
#include <string>
#include <vector>

namespace crv {

namespace plat {
struct Window;
struct Joystick;
struct JoystickState;
struct Message;
}  // namespace plat

constexpr int k_typed_char_limit = 16;
// A controller name holds at most this many bytes.
constexpr int k_joystick_name_limit = 521;

// One mouse's bookkeeping: the position the reads have reached, the
// position last handed to the program (motion is measured from it) and the
// wheel notches counted since then. Positions are physical client pixels.
struct MouseRecord {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t reported_x = 100;
    std::int32_t reported_y = 100;
    std::int32_t wheel = 0;
};

class InputSystem {
public:
    explicit InputSystem(plat::Window* window);
    ~InputSystem();
    InputSystem(const InputSystem&) = delete;
    InputSystem& operator=(const InputSystem&) = delete;

    // Start-up of the devices for the window. With exclusive_mouse the
    // mouse is captured (relative motion, no cursor); otherwise positions
    // are the cursor's and the arrow cursor shows. Writes the start-up's
    // failure lines to the log.
    void create_devices(plat::Window* window, bool exclusive_mouse);
    // Lets go of the devices (program end); harmless twice.
    void release_devices();

    void set_window(plat::Window* window) { window_ = window; }
    plat::Window* window() const { return window_; }

    // ---- keyboard ----
    // Reads the keyboard into the key buffer, while the window is active.
    void poll_keyboard();
    // Bit 7 of the key buffer byte (code taken modulo 256).
    bool key_is_down(int code) const;
    // key_down's query counter: past 128 queries between frames the
    // keyboard is polled again, so a loop that never presents still sees
    // keys change.
    void reset_key_queries() { key_queries_ = 0; }
    bool key_down(int code);
    // The character the key types in the current layout and shift state as
    // a signed byte value (so 0xE4 gives -28); 8 for backspace, 10 for both
    // return keys, 0 for modifiers and keys that type no character.
    int key_to_char(int code);

    // ---- key events ----
    // A window message as the keys see it, time in clock_ms: key down (a
    // press unless the system says it repeats), key up and system key up
    // (a release of a key that went down), deactivation (every key down
    // is released). Other messages are ignored.
    void offer_message(const plat::Message& message, double time);
    // Starts the game's next frame: what went down or up since the last
    // call becomes what key_hit and key_released answer.
    void end_key_frame();
    bool key_hit(int code) const { return hit_.test(key_index(code)); }
    bool key_released(int code) const { return released_.test(key_index(code)); }
    // The oldest queued event, taken off the queue; false when there is none.
    bool next_key_event(KeyEvent* event);
    // Events the full queue dropped since the last call.
    std::int32_t take_dropped_key_events();
    int waiting_key_events() const { return event_count_; }
    // Forgets the events, hits and keys held (new devices).
    void clear_key_events();

    // ---- typed characters ----
    // A character from the window: 0 ignored, 13 becomes 10, other control
    // characters except 8, 9, 10 ignored, dropped when 16 are waiting.
    void offer_char(int code);
    // The oldest typed character, or -1 when none is waiting.
    int pop_char();
    void clear_chars() { chars_.clear(); }
    int waiting_chars() const { return static_cast<int>(chars_.size()); }

    // ---- mouse ----
    // Captures the mouse (relative motion, hidden cursor) or lets it go
    // (cursor shown; the first time it reappears it is put where the mouse
    // has got to).
    void set_mouse_mode(bool exclusive);
    // A captured mouse let go for a while (pointer free, cursor shown) and
    // taken back, the mode staying captured: a debugger stop needs the
    // pointer. Nothing happens when the mouse is not captured.
    void mouse_release_capture();
    void mouse_restore_capture();
    bool mouse_exclusive() const { return !absolute_mouse_; }
    int mouse_count() const { return 1; }
    void mouse_select(int index);
    // A consuming read: the position in program coordinates, limited to the
    // screen (0..width and 0..height inclusive, as the program sees them;
    // the limit is stored, so a captured mouse stops at the edges), and the
    // left and right buttons as 0/1.
    void mouse_state(std::int32_t* x, std::int32_t* y, std::int32_t* left, std::int32_t* right);
    // A non-consuming read. kind 0, 1: motion since the last consuming read
    // (program directions); 2: wheel notches counted since then; 3, 4, 5:
    // left, right, middle button as 0/1; anything else 0.
    std::int32_t mouse_axis(int kind);
    // Reads every mouse; whether any button of the current one is down.
    bool read_all_mice();
    // A non-consuming read: the position in program coordinates (not
    // limited) and the button mask (bit 0 left, 1 right, 2 middle).
    void mouse_peek(std::int32_t* x, std::int32_t* y, int* buttons);
    const MouseRecord& mouse_record() const { return mouse_; }

    // ---- game controllers ----
    // Controllers keep their index while attached: one that is unplugged
    // leaves a slot that reads as zero (and has no name) until another
    // controller takes it; a new one takes the lowest free slot.
    std::int32_t joystick_count();
    DynString joystick_name(int index);
    // The button byte: 0 released, non-zero pressed; 0 beyond button 31.
    std::int32_t joystick_button(int index, int button);
    // axis 0..5: x, y, z, x rotation, y rotation, z rotation, as -1.0..1.0.
    // x/y and the two rotations turn with the screen orientation.
    double joystick_axis(int index, int axis);
    // -1, 0 or 1 from the first hat, turned with the screen orientation.
    std::int32_t joystick_hat_x(int index);
    std::int32_t joystick_hat_y(int index);
    // Controller 0, unturned: raw x and y / 30000 (so +-1 only past
    // +-30000) and the first two button bytes.
    void joystick_digital(std::int32_t* x, std::int32_t* y, std::int32_t* button0, std::int32_t* button1);
    // A constant force for duration_ms; x and y are limited to -1..1 and
    // give the strength (x^2 + y^2) / 2 and the direction (x, y). Nothing
    // without force feedback.
    void joystick_rumble(int index, double duration_ms, double x, double y);
    // Whether a button is pressed, the x, y or z axis is past 0.1 either
    // way, or the hat points somewhere (the bounded input wait's test).
    bool joystick_active(int index);

private:
    struct Reading {
        std::int32_t x, y;    // new physical position
        std::int32_t dx, dy;  // motion from the reported position
        int buttons;
    };
    struct JoystickSlot {
        plat::Joystick* device = nullptr;
        std::int64_t id = -1;
        std::string name;
    };

    static std::size_t key_index(int code) { return static_cast<unsigned>(code) & 0xffu; }
    void key_went_down(int code, bool repeat, double time);
    void key_went_up(int code, double time);
    void queue_key_event(int code, bool down, bool repeat, double time);

    Reading read_mouse(bool consume);
    void refresh_joysticks();
    void close_joysticks();
    // The state of the controller at index; all zero (hats centred) and
    // false without one.
    bool read_joystick(int index, plat::JoystickState* state);
    void hat_direction(int index, std::int32_t* x, std::int32_t* y);

    plat::Window* window_;
    std::uint8_t keys_[256] = {};
    int key_queries_ = 0;
    // Keys down as the key events tell it, and the presses and releases
    // since the last end_key_frame; hit_ and released_ are the frame's.
    std::bitset<256> held_;
    std::bitset<256> pressed_since_;
    std::bitset<256> released_since_;
    std::bitset<256> hit_;
    std::bitset<256> released_;
    // The key-event queue: a ring of event_count_ events from event_first_.
    std::array<KeyEvent, k_key_event_limit> events_{};
    int event_first_ = 0;
    int event_count_ = 0;
    std::int32_t events_dropped_ = 0;
    double last_event_time_ = 0;
    std::vector<std::uint8_t> chars_;

    MouseRecord mouse_;
    bool mouse_device_ = false;
    bool absolute_mouse_ = false;

    bool joysticks_started_ = false;
    std::array<JoystickSlot, k_max_joysticks> pads_{};
    int pad_count_ = 0;
};

}  // namespace crv
