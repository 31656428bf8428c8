// The input object: the keyboard as 256 key states indexed by key code
// (the keyboard's scan codes: escape 1, return 28, left alt 56, F4 62, ...)
// and the queue of typed characters. Created at start-up for the game
// window, destroyed at program end; reached through app_state.input.
// Main thread only; nothing here fails.
#pragma once

#include "core/dyn_string.hpp"

#include <cstdint>
#include <vector>

namespace crv {

namespace plat {
struct Window;
}

constexpr int k_typed_char_limit = 16;

class InputSystem {
public:
    explicit InputSystem(plat::Window* window);

    void set_window(plat::Window* window) { window_ = window; }
    plat::Window* window() const { return window_; }

    // Reads the keyboard into the key buffer, while the window is active.
    void poll_keyboard();
    // Bit 7 of the key buffer byte (code taken modulo 256).
    bool key_is_down(int code) const;
    // key_down's query counter: past 128 queries between frames the
    // keyboard is polled again, so a loop that never presents still sees
    // keys change.
    void reset_key_queries() { key_queries_ = 0; }
    bool key_down(int code);

    // A character from the window: 0 ignored, 13 becomes 10, other control
    // characters except 8, 9, 10 ignored, dropped when 16 are waiting.
    void offer_char(int code);
    // The oldest typed character, or -1 when none is waiting.
    int pop_char();
    void clear_chars() { chars_.clear(); }
    int waiting_chars() const { return static_cast<int>(chars_.size()); }

private:
    plat::Window* window_;
    std::uint8_t keys_[256] = {};
    int key_queries_ = 0;
    std::vector<std::uint8_t> chars_;
};

// Game-facing operations on the global input object (0 / empty without it).
int key_down(int code);
// A one-character text with the oldest typed character, or "".
DynString typed_char();

}  // namespace crv
