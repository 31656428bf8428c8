// Game controllers are not in this backend yet: each call here fails the
// way the interface describes for a missing facility (no controller), so
// that everything else links and runs.
#include "platform/joystick.hpp"

namespace crv::plat {

bool joysticks_start() { return false; }
void joysticks_stop() {}
void joysticks_update() {}
int joystick_list(std::int64_t*, int) { return 0; }
Joystick* joystick_open(std::int64_t) { return nullptr; }
void joystick_close(Joystick*) {}
bool joystick_attached(Joystick*) { return false; }
const char* joystick_product_name(Joystick*) { return ""; }
bool joystick_read(Joystick*, JoystickState*) { return false; }
bool joystick_can_rumble(Joystick*) { return false; }
bool joystick_rumble(Joystick*, std::uint16_t, std::uint32_t) { return false; }
}  // namespace crv::plat
