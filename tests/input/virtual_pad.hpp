// Test support: game controllers that exist only in this process. They
// show up to the run-time like plugged-in devices; the test moves their
// sticks, presses their buttons, unplugs them, and sees every rumble
// request the run-time makes. On Linux they are SDL's virtual joysticks; on
// Windows devices of a stand-in DirectInput that the backend is handed in
// place of the system's (virtual_pad_win32.cpp), which passes the keyboard
// and mouse on to the system's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace crv::test {

// Hat positions as bits (SDL's values).
namespace pad_hat {
constexpr std::uint8_t centred = 0, up = 1, right = 2, down = 4, left = 8;
constexpr std::uint8_t right_up = right | up, right_down = right | down, left_up = left | up, left_down = left | down;
}  // namespace pad_hat

#ifdef _WIN32
// The constant-force effect the run-time made, as the device got it.
struct RumbleRequest {
    long magnitude = 0;  // 0..10000
    long direction_x = 0, direction_y = 0;
    unsigned long duration_us = 0;
    unsigned long gain = 0;
    unsigned long trigger = 0;
    unsigned long flags = 0;
    // Device resets (all effects stopped) seen before this effect.
    int resets = 0;
    bool started = false;
};
#else
// What the two motors were asked for.
struct RumbleRequest {
    std::uint16_t low;
    std::uint16_t high;
};
#endif

class VirtualPad {
public:
    // Plugs the controller in (with a rumble motor when rumble is set).
    explicit VirtualPad(const std::string& name, bool rumble = true, int axes = 8, int buttons = 32, int hats = 1);
    ~VirtualPad();
    VirtualPad(const VirtualPad&) = delete;
    VirtualPad& operator=(const VirtualPad&) = delete;

    void axis(int axis, std::int16_t value);
    void button(int button, bool down);
    void hat(std::uint8_t value);
    // Pulls the plug; the object stays but no longer has a device.
    void unplug();

    std::vector<RumbleRequest> rumbles;

#ifdef _WIN32
    // The name of this one device among several of its product (before
    // the run-time first looks; the product name otherwise).
    void set_instance_name(const std::string& name);
    // The device refuses to have its dead zone set.
    void refuse_dead_zone();
    // The device loses the controller, as when the window goes to the back.
    void lose_acquisition();
#endif

    // The system's side of the pad (virtual_pad.cpp, virtual_pad_win32.cpp).
    struct Device;

private:
    std::string name_;
    Device* device_ = nullptr;
};

}  // namespace crv::test
