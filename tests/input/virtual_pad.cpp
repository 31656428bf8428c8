#include "tests/input/virtual_pad.hpp"

#include <SDL.h>
#include <gtest/gtest.h>

namespace crv::test {

struct VirtualPad::Device {
    SDL_Joystick* joystick = nullptr;
    SDL_JoystickID id = -1;

    static int on_rumble(void* pad, Uint16 low, Uint16 high) {
        static_cast<VirtualPad*>(pad)->rumbles.push_back(RumbleRequest{low, high});
        return 0;
    }
};

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
    if (rumble) desc.Rumble = &Device::on_rumble;
    int index = SDL_JoystickAttachVirtualEx(&desc);
    EXPECT_GE(index, 0) << SDL_GetError();
    if (index < 0) return;
    device_ = new Device;
    device_->id = SDL_JoystickGetDeviceInstanceID(index);
    device_->joystick = SDL_JoystickOpen(index);
    EXPECT_NE(device_->joystick, nullptr) << SDL_GetError();
}

VirtualPad::~VirtualPad() { unplug(); }

void VirtualPad::axis(int axis, std::int16_t value) {
    if (device_ != nullptr) SDL_JoystickSetVirtualAxis(device_->joystick, axis, value);
}

void VirtualPad::button(int button, bool down) {
    if (device_ != nullptr) SDL_JoystickSetVirtualButton(device_->joystick, button, down ? 1 : 0);
}

void VirtualPad::hat(std::uint8_t value) {
    if (device_ != nullptr) SDL_JoystickSetVirtualHat(device_->joystick, 0, value);
}

void VirtualPad::unplug() {
    if (device_ == nullptr) return;
    for (int i = 0, n = SDL_NumJoysticks(); i < n; ++i) {
        if (SDL_JoystickGetDeviceInstanceID(i) == device_->id) {
            SDL_JoystickDetachVirtual(i);
            break;
        }
    }
    SDL_JoystickClose(device_->joystick);
    delete device_;
    device_ = nullptr;
}

}  // namespace crv::test
