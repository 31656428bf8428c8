#include "tests/input/virtual_pad.hpp"

#include <gtest/gtest.h>

namespace crv::test {

VirtualPad::VirtualPad(const std::string& name, bool rumble, int axes, int buttons, int hats) : name_(name) {
    if (SDL_WasInit(SDL_INIT_JOYSTICK) == 0) SDL_InitSubSystem(SDL_INIT_JOYSTICK);
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_UNKNOWN;
    desc.naxes = static_cast<Uint16>(axes);
    desc.nbuttons = static_cast<Uint16>(buttons);
    desc.nhats = static_cast<Uint16>(hats);
    desc.name = name_.c_str();
    desc.userdata = this;
    if (rumble) desc.Rumble = &VirtualPad::on_rumble;
    int index = SDL_JoystickAttachVirtualEx(&desc);
    EXPECT_GE(index, 0) << SDL_GetError();
    if (index < 0) return;
    id_ = SDL_JoystickGetDeviceInstanceID(index);
    joystick_ = SDL_JoystickOpen(index);
    EXPECT_NE(joystick_, nullptr) << SDL_GetError();
}

VirtualPad::~VirtualPad() { unplug(); }

int VirtualPad::on_rumble(void* self, Uint16 low, Uint16 high) {
    static_cast<VirtualPad*>(self)->rumbles.push_back(RumbleRequest{low, high});
    return 0;
}

void VirtualPad::axis(int axis, Sint16 value) { SDL_JoystickSetVirtualAxis(joystick_, axis, value); }
void VirtualPad::button(int button, bool down) { SDL_JoystickSetVirtualButton(joystick_, button, down ? 1 : 0); }
void VirtualPad::hat(Uint8 value) { SDL_JoystickSetVirtualHat(joystick_, 0, value); }

void VirtualPad::unplug() {
    if (joystick_ == nullptr) return;
    for (int i = 0, n = SDL_NumJoysticks(); i < n; ++i) {
        if (SDL_JoystickGetDeviceInstanceID(i) == id_) {
            SDL_JoystickDetachVirtual(i);
            break;
        }
    }
    SDL_JoystickClose(joystick_);
    joystick_ = nullptr;
}

}  // namespace crv::test
