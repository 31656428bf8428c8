// What the DirectInput controllers of the Windows build add to the shared
// controller tests: the two names, the constant-force effect as the device
// gets it, devices that refuse to be set up, and devices that lose the
// controller.
#include "runtime/app_state.hpp"
#include "input/input.hpp"
#include "tests/input/virtual_pad.hpp"

#include <dinput.h>
#include <gtest/gtest.h>

#include <memory>

namespace crv {
namespace {

class DirectInputPadTest : public ::testing::Test {
protected:
    void SetUp() override {
        input_ = std::make_unique<InputSystem>(nullptr);
        input_->create_devices(nullptr, false);
        app_state.input = input_.get();
    }
    void TearDown() override {
        app_state.input = nullptr;
        input_.reset();
    }
    std::unique_ptr<InputSystem> input_;
};

TEST_F(DirectInputPadTest, NamedByInstanceThenProduct) {
    test::VirtualPad first("Stick Product");
    first.set_instance_name("Stick 1");
    test::VirtualPad second("Stick Product");
    second.set_instance_name("Stick 2");
    EXPECT_EQ(joystick_name(0), DynString("Stick 1, Stick Product"));
    EXPECT_EQ(joystick_name(1), DynString("Stick 2, Stick Product"));
}

TEST_F(DirectInputPadTest, ConstantForceEffect) {
    test::VirtualPad pad("Force Pad");
    ASSERT_EQ(joystick_count(), 1);
    struct Case {
        double x, y;
        long magnitude;
        long dx, dy;
    };
    // Magnitude (x^2 + y^2) * 10000 / 2, direction (x, y) * 32767, both
    // after limiting x and y to -1..1.
    const Case cases[] = {{1, 0, 5000, 32767, 0},           {0, -1, 5000, 0, -32767},
                          {1, 1, 10000, 32767, 32767},      {0.5, 0.5, 2500, 16383, 16383},
                          {3, -7, 10000, 32767, -32767},    {-0.25, 0, 312, -8191, 0}};
    for (const Case& c : cases) {
        pad.rumbles.clear();
        joystick_rumble(0, 250, c.x, c.y);
        ASSERT_EQ(pad.rumbles.size(), 1u) << c.x << "," << c.y;
        const test::RumbleRequest& r = pad.rumbles[0];
        EXPECT_EQ(r.magnitude, c.magnitude) << c.x << "," << c.y;
        EXPECT_EQ(r.direction_x, c.dx) << c.x << "," << c.y;
        EXPECT_EQ(r.direction_y, c.dy) << c.x << "," << c.y;
        EXPECT_EQ(r.duration_us, 250000u);
        EXPECT_EQ(r.gain, 10000u);
        EXPECT_EQ(r.trigger, static_cast<unsigned long>(DIEB_NOTRIGGER));
        EXPECT_EQ(r.flags, static_cast<unsigned long>(DIEFF_CARTESIAN | DIEFF_OBJECTOFFSETS));
        EXPECT_TRUE(r.started);
    }
    // Every request first stops what runs.
    pad.rumbles.clear();
    joystick_rumble(0, 10, 1, 0);
    joystick_rumble(0, 10, 1, 0);
    ASSERT_EQ(pad.rumbles.size(), 2u);
    EXPECT_EQ(pad.rumbles[1].resets, pad.rumbles[0].resets + 1);

    // No force or no time: stopped, nothing new.
    pad.rumbles.clear();
    joystick_rumble(0, 250, 0, 0);
    joystick_rumble(0, 0, 1, 1);
    EXPECT_TRUE(pad.rumbles.empty());

    // Without force feedback nothing happens.
    test::VirtualPad still("Still Pad", false);
    joystick_rumble(1, 100, 1, 1);
    EXPECT_EQ(joystick_count(), 2);
    EXPECT_TRUE(still.rumbles.empty());
}

TEST_F(DirectInputPadTest, ADeviceRefusingTheDeadZoneIsLeftOut) {
    test::VirtualPad stubborn("Stubborn");
    stubborn.refuse_dead_zone();
    test::VirtualPad good("Good");
    EXPECT_EQ(joystick_count(), 1);
    EXPECT_EQ(joystick_name(0), DynString("Good, Good"));
    good.axis(0, -32768);
    EXPECT_EQ(joystick_x(0), -1.0);
}

TEST_F(DirectInputPadTest, ALostDeviceIsTakenAgain) {
    test::VirtualPad pad("Lost Pad");
    pad.axis(1, 32767);
    pad.button(3, true);
    ASSERT_EQ(joystick_y(0), 1.0);
    pad.lose_acquisition();
    EXPECT_EQ(joystick_y(0), 1.0);
    EXPECT_NE(joystick_button(0, 3), 0);
}

}  // namespace
}  // namespace crv
