#include "app/callbacks.hpp"

#include "app/app_state.hpp"

namespace crv {

void call_game_callback(const char* name) { (void)name; }

MessageCallback message_callback() {
    if (app_state.win32_callback_state == CallbackState::not_looked_up)
        app_state.win32_callback_state = CallbackState::absent;
    return app_state.win32_callback_state == CallbackState::present ? app_state.win32_callback : nullptr;
}

}  // namespace crv
