#include "input/input.hpp"

#include "app/app_state.hpp"
#include "platform/keyboard.hpp"
#include "platform/window.hpp"

namespace crv {

InputSystem::InputSystem(plat::Window* window) : window_(window) {}

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

int key_down(int code) {
    InputSystem* input = app_state.input;
    return input != nullptr && input->key_down(code) ? 1 : 0;
}

DynString typed_char() {
    InputSystem* input = app_state.input;
    int c = input != nullptr ? input->pop_char() : -1;
    if (c < 0) return DynString();
    DynString result;
    result += static_cast<char>(c);
    return result;
}

}  // namespace crv
