#include "app/callbacks.hpp"

#include "runtime/app_state.hpp"
#include "sys/foreign.hpp"

namespace crv {

void call_game_callback(const char* name) { call_by_name(name); }

MessageCallback message_callback() {
    if (app_state.win32_callback_state == CallbackState::not_looked_up) {
        app_state.win32_callback = find_by_name("CRV_WIN32_MSG");
        app_state.win32_callback_state =
            app_state.win32_callback != nullptr ? CallbackState::present : CallbackState::absent;
    }
    return app_state.win32_callback_state == CallbackState::present ? app_state.win32_callback : nullptr;
}

}  // namespace crv
