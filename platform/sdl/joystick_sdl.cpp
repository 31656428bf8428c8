#include "platform/joystick.hpp"

#include <SDL.h>

#include <cstring>
#include <string>

namespace crv::plat {

struct Joystick {
    SDL_Joystick* sdl = nullptr;
    std::string name;
};

namespace {

bool started_here = false;

// SDL reports -32768..32767; controllers here span -32768..32768, so that
// full deflection reads the same both ways.
std::int32_t widen_axis(Sint16 v) {
    return v > 0 ? static_cast<std::int32_t>(v) * 32768 / 32767 : v;
}

std::uint32_t hat_angle(Uint8 hat) {
    switch (hat) {
        case SDL_HAT_UP: return 0;
        case SDL_HAT_RIGHTUP: return 4500;
        case SDL_HAT_RIGHT: return 9000;
        case SDL_HAT_RIGHTDOWN: return 13500;
        case SDL_HAT_DOWN: return 18000;
        case SDL_HAT_LEFTDOWN: return 22500;
        case SDL_HAT_LEFT: return 27000;
        case SDL_HAT_LEFTUP: return 31500;
        default: return k_hat_centred;
    }
}

void clear_state(JoystickState* out) {
    std::memset(out, 0, sizeof *out);
    for (std::uint32_t& hat : out->hats) hat = k_hat_centred;
}

}  // namespace

bool joysticks_start() {
    if (SDL_WasInit(SDL_INIT_JOYSTICK) != 0) return true;
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) return false;
    started_here = true;
    // States are read on demand; queued joystick events would only pile up.
    SDL_JoystickEventState(SDL_IGNORE);
    return true;
}

void joysticks_stop() {
    if (started_here) SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    started_here = false;
}

void joysticks_update() {
    if (SDL_WasInit(SDL_INIT_JOYSTICK) != 0) SDL_JoystickUpdate();
}

int joystick_list(std::int64_t* ids, int max) {
    if (SDL_WasInit(SDL_INIT_JOYSTICK) == 0) return 0;
    int n = SDL_NumJoysticks();
    if (n < 0) return 0;
    for (int i = 0; i < n && i < max; ++i) ids[i] = SDL_JoystickGetDeviceInstanceID(i);
    return n;
}

Joystick* joystick_open(std::int64_t id) {
    if (SDL_WasInit(SDL_INIT_JOYSTICK) == 0) return nullptr;
    for (int i = 0, n = SDL_NumJoysticks(); i < n; ++i) {
        if (SDL_JoystickGetDeviceInstanceID(i) != id) continue;
        SDL_Joystick* sdl = SDL_JoystickOpen(i);
        if (sdl == nullptr) return nullptr;
        auto* joystick = new Joystick;
        joystick->sdl = sdl;
        const char* name = SDL_JoystickName(sdl);
        joystick->name = name != nullptr ? name : "";
        return joystick;
    }
    return nullptr;
}

void joystick_close(Joystick* joystick) {
    if (joystick == nullptr) return;
    if (SDL_WasInit(SDL_INIT_JOYSTICK) != 0) SDL_JoystickClose(joystick->sdl);
    delete joystick;
}

bool joystick_attached(Joystick* joystick) {
    return joystick != nullptr && SDL_WasInit(SDL_INIT_JOYSTICK) != 0 && SDL_JoystickGetAttached(joystick->sdl);
}

const char* joystick_product_name(Joystick* joystick) { return joystick != nullptr ? joystick->name.c_str() : ""; }

// SDL gives one name for both.
const char* joystick_instance_name(Joystick* joystick) { return joystick_product_name(joystick); }

bool joystick_read(Joystick* joystick, JoystickState* out) {
    clear_state(out);
    if (!joystick_attached(joystick)) return false;
    SDL_Joystick* j = joystick->sdl;
    int axes = SDL_JoystickNumAxes(j);
    for (int i = 0; i < 6 && i < axes; ++i) out->axes[i] = widen_axis(SDL_JoystickGetAxis(j, i));
    for (int i = 0; i < 2 && 6 + i < axes; ++i) out->sliders[i] = widen_axis(SDL_JoystickGetAxis(j, 6 + i));
    int hats = SDL_JoystickNumHats(j);
    for (int i = 0; i < 4 && i < hats; ++i) out->hats[i] = hat_angle(SDL_JoystickGetHat(j, i));
    int buttons = SDL_JoystickNumButtons(j);
    for (int i = 0; i < 32 && i < buttons; ++i) out->buttons[i] = SDL_JoystickGetButton(j, i) != 0 ? 0x80 : 0;
    return true;
}

bool joystick_can_rumble(Joystick* joystick) {
    return joystick_attached(joystick) && SDL_JoystickHasRumble(joystick->sdl) == SDL_TRUE;
}

// SDL's rumble has two motors and no direction.
bool joystick_rumble(Joystick* joystick, std::uint16_t strength, std::uint32_t duration_ms, std::int32_t,
                     std::int32_t) {
    if (!joystick_attached(joystick)) return false;
    // SDL reads a zero duration as "until replaced"; here it stops.
    if (duration_ms == 0) strength = 0;
    return SDL_JoystickRumble(joystick->sdl, strength, strength, duration_ms) == 0;
}

}  // namespace crv::plat
