// The bounded input wait and the blocking waits, with input arriving while
// they wait.
#include "runtime/app_state.hpp"
#include "app/present.hpp"
#include "platform/clock.hpp"
#include "tests/input/input_fixture.hpp"
#include "tests/input/virtual_pad.hpp"

#include <atomic>
#include <chrono>
#include <thread>

namespace crv::test {
namespace {

using WaitTest = InputDisplayTest;
using Clock = std::chrono::steady_clock;

double elapsed_ms(Clock::time_point since) {
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

// One idle_step with nothing happening sleeps 15 times 5 ms; an early
// return takes a small part of that.
constexpr double k_full_idle_ms = 75;

double time_idle_step() {
    auto start = Clock::now();
    idle_step();
    return elapsed_ms(start);
}

// Input sent from another thread after a delay, while the test waits.
class Later {
public:
    Later(int delay_ms, std::string xdotool_args)
        : thread_([delay_ms, args = std::move(xdotool_args)] {
              std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
              InputDisplayTest::xdotool(args);
          }) {}
    ~Later() { thread_.join(); }

private:
    std::thread thread_;
};

TEST_F(WaitTest, IdleStepWaitsItsFullTimeWithoutInput) {
    EXPECT_GE(time_idle_step(), k_full_idle_ms);
}

TEST_F(WaitTest, IdleStepReturnsOnAHeldKey) {
    xdotool("keydown a");
    ASSERT_TRUE(eventually([&] { return input().key_is_down(30); }));
    EXPECT_LT(time_idle_step(), k_full_idle_ms);
    xdotool("keyup a");
}

TEST_F(WaitTest, IdleStepReturnsOnAController) {
    VirtualPad pad("Wait Pad");
    ASSERT_EQ(input().joystick_count(), 1);
    EXPECT_GE(time_idle_step(), k_full_idle_ms);
    pad.axis(0, 2000);  // within the dead band
    EXPECT_GE(time_idle_step(), k_full_idle_ms);
    pad.axis(0, 0);
    pad.button(3, true);
    EXPECT_LT(time_idle_step(), k_full_idle_ms);
    pad.button(3, false);
    pad.axis(1, -20000);
    EXPECT_LT(time_idle_step(), k_full_idle_ms);
    pad.axis(1, 0);
    pad.hat(pad_hat::left);
    EXPECT_LT(time_idle_step(), k_full_idle_ms);
}

TEST_F(WaitTest, IdleStepReturnsWhenTheMouseChanges) {
    // A button held from before the wait is no change.
    xdotool("mousedown 1");
    ASSERT_TRUE(eventually([&] { return mouse_axis(3) == 1; }));
    EXPECT_GE(time_idle_step(), k_full_idle_ms);

    // Releasing it while the wait runs is.
    {
        Later release(20, "mouseup 1");
        bool early = false;
        auto start = Clock::now();
        while (!early && elapsed_ms(start) < 2000) early = time_idle_step() < k_full_idle_ms;
        EXPECT_TRUE(early);
    }
    // And so is a move.
    {
        Later move(20, "mousemove_relative 3 0 sleep 0.1 mousemove_relative 3 0 sleep 0.1 mousemove_relative 3 0");
        bool early = false;
        auto start = Clock::now();
        while (!early && elapsed_ms(start) < 2000) early = time_idle_step() < k_full_idle_ms;
        EXPECT_TRUE(early);
    }
}

TEST_F(WaitTest, WaitForKeyTakesOneFreshCharacter) {
    // Characters typed before the wait do not end it.
    input().offer_char('q');
    input().offer_char('r');
    Later type(150, "key x");
    auto start = Clock::now();
    wait_for_key();
    EXPECT_GE(elapsed_ms(start), 140);
    EXPECT_EQ(input().waiting_chars(), 0);
}

TEST_F(WaitTest, WaitForMouseButtonWaitsForAFreshClick) {
    xdotool("mousedown 1");
    ASSERT_TRUE(eventually([&] { return input().read_all_mice(); }));
    // The held button is released, then another is pressed and released.
    Later click(100, "mouseup 1 sleep 0.15 mousedown 3 sleep 0.15 mouseup 3");
    auto start = Clock::now();
    wait_for_mouse_button();
    EXPECT_GE(elapsed_ms(start), 350);
    EXPECT_FALSE(input().read_all_mice());
}

}  // namespace
}  // namespace crv::test
