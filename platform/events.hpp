// The window messages the application frame handles. Every input the
// windowing system delivers is translated into one of these records before
// any portable module sees it, so that input can be recorded and replayed.
// Each record carries the time the system delivered it. Main thread only.
#pragma once

#include <cstdint>

namespace crv::plat {

enum class MessageKind : std::int32_t {
    close,             // the user or the system asks the window to close
    activate,          // param: 1 gained the focus, 0 lost it
    character,         // param: one Latin-1 character byte
    key_down,          // param: key code (keyboard scan-code numbering)
    key_up,            // param: key code, released without Alt held
    system_key_up,     // param: key code, released while Alt was held
    system_command,    // param: command code (see below)
    erase_background,  // the window was exposed
};

// System command codes carried by system_command messages.
constexpr std::int32_t k_command_close = 0xF060;
constexpr std::int32_t k_command_screen_saver = 0xF140;
constexpr std::int32_t k_command_monitor_power = 0xF170;

struct Message {
    MessageKind kind;
    std::int32_t param;
    // key_down only: the system repeating a key that is held down, not a
    // new press.
    bool repeat = false;
    // When the system delivered the input, in counter_ticks (clock.hpp);
    // 0 when not known.
    std::uint64_t ticks = 0;
};

// Looks at the oldest waiting message of the window, taking it off the
// queue when remove is set. False when none is waiting. Waiting messages
// are collected from the windowing system on each call.
bool peek_message(Message* out, bool remove);

}  // namespace crv::plat
