// The application frame seen from outside: pause on focus loss, the screen
// mode change, a hidden start.
#include "tests/support/child_process.hpp"
#include "tests/support/x11_client.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

namespace crv {
namespace {

using namespace std::chrono_literals;

int last_frame(const std::string& output) {
    std::size_t at = output.rfind("frame ");
    return at == std::string::npos ? 0 : std::atoi(output.c_str() + at + 6);
}

TEST(Frame, FocusLossPausesAndFocusResumes) {
    test::TempDir tmp;
    test::RunningChild game(FRAME_GAME, tmp.file("out.txt"),
                            {{"TMPDIR", tmp.path()}, {"CORVANE_AUTOMATION", "1"}, {"CRV_TEST_GAME", "pause"}});
    std::uint64_t window = test::find_window("FrameGame", 20000);
    ASSERT_NE(window, 0u);
    // Waits (polling, so that a busy machine only makes it slower) until
    // the condition holds.
    auto eventually = [](const std::function<bool()>& condition) {
        for (int waited = 0; waited < 15000; waited += 50) {
            if (condition()) return true;
            std::this_thread::sleep_for(50ms);
        }
        return false;
    };
    test::focus_window(window);
    ASSERT_TRUE(eventually([&] { return last_frame(tmp.read("out.txt")) > 10; }));
    test::FocusThief thief;
    thief.take_focus();
    EXPECT_TRUE(eventually([&] { return test::window_title(window) == "FrameGame <pause>"; }));
    EXPECT_TRUE(eventually([&] {
        return tmp.read("out.txt").find("pause loop in showscreen/hibernate\n") != std::string::npos;
    }));
    int paused_at = last_frame(tmp.read("out.txt"));
    std::this_thread::sleep_for(600ms);
    EXPECT_EQ(last_frame(tmp.read("out.txt")), paused_at) << "frames went on while paused";

    test::focus_window(window);
    EXPECT_TRUE(eventually([&] { return test::window_title(window) == "FrameGame"; }));
    EXPECT_TRUE(eventually([&] { return last_frame(tmp.read("out.txt")) > paused_at + 10; }));
    EXPECT_NE(tmp.read("out.txt").find("pause loop ended\n"), std::string::npos);
    test::send_close_request(window);
    EXPECT_EQ(game.wait(10000), 0);

    // The game's callbacks ran at their moments, the quit callback once.
    std::string out = tmp.read("out.txt");
    std::size_t pause = out.find("callback: pause\n"), resume = out.find("callback: resume\n");
    EXPECT_NE(out.find("callback: message\n"), std::string::npos);
    ASSERT_NE(pause, std::string::npos);
    EXPECT_LT(pause, out.find("pause loop in showscreen/hibernate\n"));
    ASSERT_NE(resume, std::string::npos);
    EXPECT_LT(pause, resume);
    std::size_t quit = out.find("callback: quit\n");
    ASSERT_NE(quit, std::string::npos);
    EXPECT_EQ(out.find("callback: quit\n", quit + 1), std::string::npos);
    EXPECT_LT(quit, out.find("exit\n"));
}

TEST(Frame, ScreenModeChangesPresentFiveFrames) {
    struct Case { const char* full; const char* output; bool failure_line; };
    const Case cases[] = {
        {"0", "frames 5 size 480x320 full 0\n", false},
        // The virtual display has no 480 x 320 mode: beep, log line, windowed.
        {"1", "frames 5 size 480x320 full 0\n", true},
    };
    for (const Case& c : cases) {
        test::TempDir tmp;
        test::ChildResult r = test::run_child(
            {FRAME_GAME},
            {{"TMPDIR", tmp.path()}, {"CORVANE_AUTOMATION", "1"}, {"CRV_TEST_GAME", "screen"}, {"CRV_TEST_FULL", c.full}},
            false);
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.output, std::string(c.output) + "callback: quit\nexit\n") << c.full;
        bool logged = tmp.read("ErrorLog.txt").find("No Fullscreen Mode available\n") != std::string::npos;
        EXPECT_EQ(logged, c.failure_line) << c.full;
    }
}

TEST(Frame, ShowCommandZeroKeepsTheWindowHidden) {
    test::TempDir tmp;
    test::ChildResult r = test::run_child(
        {FRAME_GAME},
        {{"TMPDIR", tmp.path()}, {"CORVANE_AUTOMATION", "1"}, {"CRV_TEST_GAME", "hidden"}, {"CORVANE_SHOW_COMMAND", "0"}},
        false);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.output, "visible 0\ncallback: quit\nexit\n");
}

}  // namespace
}  // namespace crv
