#include "runtime/app_state.hpp"
#include "app/clock.hpp"
#include "app/gl_window.hpp"
#include "app/present.hpp"
#include "app/startup.hpp"
#include "input/input.hpp"
#include "platform/clock.hpp"
#include "render2d/rainbows.hpp"

#include <gtest/gtest.h>

namespace crv {
namespace {

TEST(Startup, ArgumentTextSkipsTheProgramName) {
    struct Case { const char* line; const char* arguments; };
    const Case cases[] = {
        {"\"C:\\Program Files\\game.exe\"   -w", "-w"},
        {"game -w  -x", "-w  -x"},
        {"  \t game", ""},
        {"\"unterminated", ""},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(argument_text(c.line), c.arguments) << c.line;
}

TEST(Startup, InitialStateOfTheRecord) {
    AppState fresh;
    EXPECT_TRUE(fresh.auto_pause);
    EXPECT_TRUE(fresh.escape_quits);
    EXPECT_FALSE(fresh.paused);
    EXPECT_EQ(fresh.win32_callback_state, CallbackState::not_looked_up);
    EXPECT_EQ(fresh.renderer, nullptr);
    EXPECT_TRUE(fresh.software_notice_box);
}

TEST(Startup, SoftwareRendererNoticeFollowsTheNameAndTheSetting) {
    using N = SoftwareNotice;
    struct Case { const char* renderer; bool box; N notice; };
    const Case cases[] = {
        {"llvmpipe (LLVM 15.0.6, 256 bits)", true, N::log_and_box},
        {"llvmpipe (LLVM 15.0.6, 256 bits)", false, N::log_only},
        {"Mesa Windows GDI Driver", true, N::log_and_box},
        {"softpipe", false, N::log_only},
        {"Mesa DRI Intel(R) Software Rasterizer", true, N::log_and_box},
        // The GDI driver's name counts only as a whole.
        {"Mesa Windows GDI Driver 2", true, N::none},
        {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", true, N::none},
        {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", false, N::none},
        {nullptr, true, N::none},
    };
    for (const Case& c : cases)
        EXPECT_EQ(software_notice_for(c.renderer, c.box), c.notice)
            << (c.renderer != nullptr ? c.renderer : "(none)") << " box " << c.box;
}

TEST(Clock, FrameIntervalAndDuration) {
    EXPECT_DOUBLE_EQ(frame_interval_for(60), 1000.0 / 60);
    EXPECT_EQ(frame_interval_for(0), 2.0);
    EXPECT_EQ(frame_interval_for(-5), 2.0);
    app_state.frame_time = app_state.previous_frame_time = 100;
    EXPECT_EQ(frame_duration(), 1.0);
    app_state.frame_time = 116.5;
    EXPECT_DOUBLE_EQ(frame_duration(), 16.5);
    timer_init();
    double a = clock_ms();
    double b = clock_ms();
    EXPECT_GE(b, a);
}

TEST(Clock, LimiterDeadlinesCatchUpOrRestart) {
    // A renderer without a window: the limiter only does its arithmetic.
    // Deadlines already passed return at once; a long interval keeps the
    // checks clear of scheduling delays.
    OpenGLRainbows renderer;
    renderer.frame_interval = 100;
    timer_init();
    clock_ms();

    double old = clock_ms();
    renderer.frame_deadline = old;  // in time: one interval on
    ASSERT_TRUE(frame_limit(renderer, nullptr));
    EXPECT_EQ(renderer.frame_deadline, old + 100);

    old = clock_ms() - 150;  // between one and two intervals late: catch up
    renderer.frame_deadline = old;
    ASSERT_TRUE(frame_limit(renderer, nullptr));
    EXPECT_EQ(renderer.frame_deadline, old + 200);

    old = clock_ms() - 450;  // far behind: restart from now
    renderer.frame_deadline = old;
    ASSERT_TRUE(frame_limit(renderer, nullptr));
    EXPECT_GE(renderer.frame_deadline, old + 550);
    EXPECT_LE(renderer.frame_deadline, clock_ms() + 100);
}

TEST(Clock, CounterReadingsOfMessagesOnTheClock) {
    timer_init();
    double before = clock_ms();
    std::uint64_t ticks = plat::counter_ticks();
    double at = clock_ms_at(ticks);
    EXPECT_GE(at, before);
    EXPECT_LE(at, clock_ms());
    // Differences keep the counter's scale: 20 ms of counter are 20 ms.
    const std::uint64_t step = plat::counter_frequency() / 50;
    while (plat::counter_ticks() < ticks + step) plat::sleep_ms(1);
    EXPECT_NEAR(clock_ms_at(ticks + step) - at, 20.0, 0.01);
    // Not known, ahead of now, or before the origin: now, now, the origin.
    double now = clock_ms();
    EXPECT_GE(clock_ms_at(0), now);
    double ahead = clock_ms_at(ticks + 1000 * plat::counter_frequency());
    EXPECT_GE(ahead, now);
    EXPECT_LE(ahead, clock_ms());
    EXPECT_EQ(clock_ms_at(1), 0.0);
}

TEST(Input, TypedCharacterQueueRules) {
    InputSystem input(nullptr);
    for (int c : {0, 13, 97, 1, 8, 9, 27, 200}) input.offer_char(c);
    std::vector<int> got;
    for (int c = input.pop_char(); c >= 0; c = input.pop_char()) got.push_back(c);
    EXPECT_EQ(got, (std::vector<int>{10, 'a', 8, 9, 200}));
    for (int i = 0; i < 20; ++i) input.offer_char('a' + i);
    EXPECT_EQ(input.waiting_chars(), 16);
    EXPECT_EQ(input.pop_char(), 'a');
}

}  // namespace
}  // namespace crv
