// Game controllers: the attached devices, their state in one fixed record,
// and rumble. Devices come and go at any time; a handle to one that has
// gone stays valid (it reads as zero) until it is closed. Main thread only;
// failures are results.
#pragma once

#include <cstdint>

namespace crv::plat {

struct Joystick;

// Hat angles are hundredths of a degree clockwise from up; this value is
// a centred (or missing) hat.
constexpr std::uint32_t k_hat_centred = 0xFFFFFFFFu;

struct JoystickState {
    // x, y, z, x rotation, y rotation, z rotation: -32768..32768.
    std::int32_t axes[6];
    std::int32_t sliders[2];
    std::uint32_t hats[4];
    // 0x80 while pressed.
    std::uint8_t buttons[32];
};

// Starts controller support; false when the system offers none.
bool joysticks_start();
void joysticks_stop();
// Looks for controllers attached or removed since the last call and
// brings the state of the open ones up to date.
void joysticks_update();
// The controllers attached now, each with an identifier that is never
// reused for another device in this process. At most max ids are written;
// returns how many controllers there are.
int joystick_list(std::int64_t* ids, int max);
// Null when the device is gone or cannot be opened.
Joystick* joystick_open(std::int64_t id);
void joystick_close(Joystick* joystick);
bool joystick_attached(Joystick* joystick);
// The device's product name ("" when it has none).
const char* joystick_product_name(Joystick* joystick);
// The name of this one device among several of the same product (the
// product name where the system gives no other).
const char* joystick_instance_name(Joystick* joystick);
// The state as of the last joysticks_update; all zero (hats centred) and
// false when the device is gone.
bool joystick_read(Joystick* joystick, JoystickState* out);
bool joystick_can_rumble(Joystick* joystick);
// Runs both motors at strength 0..65535 for duration_ms (0 stops them),
// replacing any rumble under way. The force points along (direction_x,
// direction_y) on the x and y axes (each -32767..32767); devices without a
// direction ignore it. False when the device refuses.
bool joystick_rumble(Joystick* joystick, std::uint16_t strength, std::uint32_t duration_ms, std::int32_t direction_x,
                     std::int32_t direction_y);

}  // namespace crv::plat
