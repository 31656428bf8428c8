// Game controllers through virtual devices: axes, hat, buttons, names,
// digital reading, rumble, hot-plugging and the screen orientation.
#include "runtime/app_state.hpp"
#include "input/input.hpp"
#include "render2d/rainbows.hpp"
#include "tests/input/virtual_pad.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>

namespace crv {
namespace {

class JoystickTest : public ::testing::Test {
protected:
    void SetUp() override {
        input_ = std::make_unique<InputSystem>(nullptr);
        input_->create_devices(nullptr, false);
        app_state.input = input_.get();
    }
    void TearDown() override {
        app_state.input = nullptr;
        app_state.renderer = nullptr;
        input_.reset();
    }
    std::unique_ptr<InputSystem> input_;
};

TEST_F(JoystickTest, AxesScaleToPlusMinusOneInOrder) {
    test::VirtualPad pad("Axis Pad");
    ASSERT_EQ(joystick_count(), 1);
    using AxisFn = double (*)(int);
    const AxisFn axes[6] = {joystick_x, joystick_y, joystick_z, joystick_rx, joystick_ry, joystick_rz};
    struct Case {
        std::int16_t raw;
        double expected;
    };
    const Case cases[] = {{32767, 1.0}, {-32768, -1.0}, {0, 0.0}, {16384, 0.5}, {-16384, -0.5}};
    for (int a = 0; a < 6; ++a) {
        for (const Case& c : cases) {
            pad.axis(a, c.raw);
            EXPECT_NEAR(axes[a](0), c.expected, 1e-3) << "axis " << a << " raw " << c.raw;
            // Only the axis that moved.
            for (int other = 0; other < 6; ++other) {
                if (other == a) continue;
                EXPECT_EQ(axes[other](0), 0.0) << "axis " << other;
            }
        }
        pad.axis(a, 0);
    }
    EXPECT_EQ(joystick_x(0), 0.0);
}

TEST_F(JoystickTest, HatAnglesGiveDirections) {
    test::VirtualPad pad("Hat Pad");
    struct Case {
        std::uint8_t hat;
        int x, y;
    };
    const Case cases[] = {
        {test::pad_hat::centred, 0, 0},    {test::pad_hat::up, 0, -1},       {test::pad_hat::right_up, 1, -1},
        {test::pad_hat::right, 1, 0},      {test::pad_hat::right_down, 1, 1}, {test::pad_hat::down, 0, 1},
        {test::pad_hat::left_down, -1, 1}, {test::pad_hat::left, -1, 0},      {test::pad_hat::left_up, -1, -1},
    };
    for (const Case& c : cases) {
        pad.hat(c.hat);
        EXPECT_EQ(joystick_hat_x(0), c.x) << "hat " << int(c.hat);
        EXPECT_EQ(joystick_hat_y(0), c.y) << "hat " << int(c.hat);
    }
}

TEST_F(JoystickTest, ButtonsAndDigitalReading) {
    test::VirtualPad pad("Button Pad");
    pad.button(0, true);
    pad.button(5, true);
    pad.button(31, true);
    for (int b = 0; b < 32; ++b) {
        bool down = b == 0 || b == 5 || b == 31;
        EXPECT_EQ(joystick_button(0, b) != 0, down) << "button " << b;
    }
    EXPECT_EQ(joystick_button(0, 32), 0);
    EXPECT_EQ(joystick_button(0, -1), 0);

    // Digital: +-1 only past +-30000, and the first two button bytes.
    struct Case {
        std::int16_t x, y;
        int dx, dy;
    };
    const Case cases[] = {{32767, -32768, 1, -1}, {30000, -30000, 1, -1}, {29999, -29999, 0, 0}, {0, 0, 0, 0}};
    for (const Case& c : cases) {
        pad.axis(0, c.x);
        pad.axis(1, c.y);
        std::int32_t x = 9, y = 9, b0 = 9, b1 = 9;
        joystick_digital(&x, &y, &b0, &b1);
        EXPECT_EQ(x, c.dx) << c.x;
        EXPECT_EQ(y, c.dy) << c.y;
        EXPECT_NE(b0, 0);
        EXPECT_EQ(b1, 0);
    }
    pad.button(1, true);
    double x = 9, y = 9, b0 = 9, b1 = 9;
    joystick_digital(&x, &y, &b0, &b1);
    EXPECT_EQ(x, 0.0);
    EXPECT_NE(b1, 0.0);
}

TEST_F(JoystickTest, NamesAndIndexesOutOfRange) {
    test::VirtualPad pad("Test Pad");
    EXPECT_EQ(joystick_name(0), DynString("Test Pad, Test Pad"));
    for (int index : {-1, 1, 9, 10, 1000}) {
        EXPECT_EQ(joystick_name(index), DynString("")) << index;
        EXPECT_EQ(joystick_x(index), 0.0) << index;
        EXPECT_EQ(joystick_hat_y(index), 0) << index;
        EXPECT_EQ(joystick_button(index, 0), 0) << index;
        joystick_rumble(index, 100, 1, 1);
    }
    EXPECT_TRUE(pad.rumbles.empty());

    std::string long_name(400, 'n');
    test::VirtualPad wordy(long_name);
#ifdef _WIN32
    // DirectInput cuts each of the two names to 259 characters already.
    EXPECT_EQ(joystick_name(1).length(), 2 * 259 + 2);
#else
    EXPECT_EQ(joystick_name(1).length(), k_joystick_name_limit);
#endif
}

TEST_F(JoystickTest, NoControllersReadAsZero) {
    EXPECT_EQ(joystick_count(), 0);
    EXPECT_EQ(joystick_x(0), 0.0);
    EXPECT_EQ(joystick_hat_x(0), 0);
    EXPECT_EQ(joystick_name(0), DynString(""));
    std::int32_t x = 9, y = 9, b0 = 9, b1 = 9;
    joystick_digital(&x, &y, &b0, &b1);
    EXPECT_EQ(x | y | b0 | b1, 0);
}

#ifndef _WIN32
// SDL's rumble: two motors at one strength, stopped by the backend after
// the duration (Windows: joystick_win32_test.cpp).
TEST_F(JoystickTest, RumbleStrengthFollowsForceAndStopsAfterDuration) {
    test::VirtualPad pad("Rumble Pad");
    ASSERT_EQ(joystick_count(), 1);
    struct Case {
        double x, y;
        std::uint16_t strength;
    };
    // Strength (x^2 + y^2) / 2 of full; forces beyond 1 are limited.
    const Case cases[] = {{1, 0, 32767}, {0, -1, 32767}, {1, 1, 65535}, {0.5, 0.5, 16383}, {3, -7, 65535}};
    for (const Case& c : cases) {
        joystick_rumble(0, 5000, 0, 0);  // a change, so the next request reaches the device
        pad.rumbles.clear();
        joystick_rumble(0, 5000, c.x, c.y);
        ASSERT_EQ(pad.rumbles.size(), 1u) << c.x << "," << c.y;
        EXPECT_EQ(pad.rumbles[0].low, c.strength) << c.x << "," << c.y;
        EXPECT_EQ(pad.rumbles[0].high, c.strength);
    }

    // A short effect runs out by itself.
    joystick_rumble(0, 0, 0, 0);
    pad.rumbles.clear();
    joystick_rumble(0, 30, 1, 1);
    ASSERT_EQ(pad.rumbles.size(), 1u);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (pad.rumbles.size() < 2 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        joystick_count();
    }
    ASSERT_EQ(pad.rumbles.size(), 2u);
    EXPECT_EQ(pad.rumbles[1].low, 0);

    // Without a motor nothing happens.
    test::VirtualPad still("Still Pad", false);
    joystick_rumble(1, 100, 1, 1);
    EXPECT_EQ(joystick_count(), 2);
}

#endif

TEST_F(JoystickTest, HotPlugKeepsIndexes) {
    auto first = std::make_unique<test::VirtualPad>("First");
    EXPECT_EQ(joystick_count(), 1);

    test::VirtualPad second("Second");
    EXPECT_EQ(joystick_count(), 2);
    EXPECT_EQ(joystick_name(1), DynString("Second, Second"));
    second.axis(0, 32767);
    first->axis(0, -32768);
    EXPECT_EQ(joystick_x(0), -1.0);

    first->unplug();
    EXPECT_EQ(joystick_count(), 2);
    EXPECT_EQ(joystick_x(0), 0.0);
    EXPECT_EQ(joystick_name(0), DynString(""));
    EXPECT_EQ(joystick_x(1), 1.0);
    EXPECT_EQ(joystick_name(1), DynString("Second, Second"));

    // A new controller takes the free slot; the others stay where they are.
    test::VirtualPad third("Third");
    EXPECT_EQ(joystick_count(), 2);
    EXPECT_EQ(joystick_name(0), DynString("Third, Third"));
    EXPECT_EQ(joystick_x(1), 1.0);
}

TEST_F(JoystickTest, MoreThanTenControllersKeepTheFirstTen) {
    std::vector<std::unique_ptr<test::VirtualPad>> pads;
    for (int i = 0; i < 12; ++i) pads.push_back(std::make_unique<test::VirtualPad>("Pad" + std::to_string(i)));
    EXPECT_EQ(joystick_count(), 10);
    EXPECT_EQ(joystick_name(9), DynString("Pad9, Pad9"));
    pads[3]->unplug();
    EXPECT_EQ(joystick_name(3), DynString("Pad10, Pad10"));
}

TEST_F(JoystickTest, DirectionsTurnWithTheScreen) {
    OpenGLRainbows renderer;  // no window: only the orientation is used
    renderer.width = 640;
    renderer.height = 480;
    app_state.renderer = &renderer;
    test::VirtualPad pad("Turn Pad");
    pad.axis(0, 32767);   // stick right
    pad.axis(3, 32767);   // right stick right
    pad.axis(2, 32767);   // z does not turn
    pad.hat(test::pad_hat::right);
    struct Case {
        int orientation;
        double x, y;
    };
    // Right on the device, as the orientation's direction table turns it.
    const Case cases[] = {{0, 1, 0}, {1, 0, 1}, {2, -1, 0}, {3, 0, -1}};
    for (const Case& c : cases) {
        renderer.orientation = c.orientation;
        EXPECT_EQ(joystick_x(0), c.x) << c.orientation;
        EXPECT_EQ(joystick_y(0), c.y) << c.orientation;
        EXPECT_EQ(joystick_rx(0), c.x) << c.orientation;
        EXPECT_EQ(joystick_ry(0), c.y) << c.orientation;
        EXPECT_EQ(joystick_z(0), 1.0) << c.orientation;
        EXPECT_EQ(joystick_hat_x(0), c.x) << c.orientation;
        EXPECT_EQ(joystick_hat_y(0), c.y) << c.orientation;
        std::int32_t dx = 0, dy = 0, b0 = 0, b1 = 0;
        joystick_digital(&dx, &dy, &b0, &b1);
        EXPECT_EQ(dx, 1) << "digital reading is not turned";
    }
}

TEST_F(JoystickTest, ActivityForTheInputWait) {
    test::VirtualPad pad("Busy Pad");
    EXPECT_FALSE(input_->joystick_active(0));
    struct Case {
        const char* what;
        void (*set)(test::VirtualPad&);
        bool active;
    };
    const Case cases[] = {
        {"button 17", [](test::VirtualPad& p) { p.button(17, true); }, true},
        {"x slightly", [](test::VirtualPad& p) { p.axis(0, 3000); }, false},
        {"x past 0.1", [](test::VirtualPad& p) { p.axis(0, 3500); }, true},
        {"y back", [](test::VirtualPad& p) { p.axis(1, -3500); }, true},
        {"z", [](test::VirtualPad& p) { p.axis(2, 20000); }, true},
        {"z rotation", [](test::VirtualPad& p) { p.axis(5, 32767); }, false},
        {"hat", [](test::VirtualPad& p) { p.hat(test::pad_hat::left_down); }, true},
    };
    for (const Case& c : cases) {
        c.set(pad);
        EXPECT_EQ(input_->joystick_active(0), c.active) << c.what;
        for (int a = 0; a < 6; ++a) pad.axis(a, 0);
        pad.button(17, false);
        pad.hat(test::pad_hat::centred);
    }
    EXPECT_FALSE(input_->joystick_active(0));
}

}  // namespace
}  // namespace crv
