// Test support: game controllers that exist only in this process (SDL's
// virtual joysticks). They show up to the run-time like plugged-in
// devices; the test moves their sticks, presses their buttons, unplugs
// them, and sees every rumble request the run-time makes.
#pragma once

#include <SDL.h>

#include <string>
#include <vector>

namespace crv::test {

struct RumbleRequest {
    Uint16 low;
    Uint16 high;
};

class VirtualPad {
public:
    // Plugs the controller in (with a rumble motor when rumble is set).
    explicit VirtualPad(const std::string& name, bool rumble = true, int axes = 8, int buttons = 32, int hats = 1);
    ~VirtualPad();
    VirtualPad(const VirtualPad&) = delete;
    VirtualPad& operator=(const VirtualPad&) = delete;

    void axis(int axis, Sint16 value);
    void button(int button, bool down);
    void hat(Uint8 value);
    // Pulls the plug; the object stays but no longer has a device.
    void unplug();

    std::vector<RumbleRequest> rumbles;

private:
    static int on_rumble(void* self, Uint16 low, Uint16 high);

    std::string name_;
    SDL_Joystick* joystick_ = nullptr;
    SDL_JoystickID id_ = -1;
};

}  // namespace crv::test
