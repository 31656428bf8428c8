// The application frame seen from outside: pause on focus loss, a pause the
// game asks for, the screen mode change, a multisampled window, a hidden
// start, and what opening a document does to the program.
#include "tests/support/child_process.hpp"
#include "tests/support/x11_client.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>

namespace crv {
namespace {

using namespace std::chrono_literals;

int last_frame(const std::string& output) {
    std::size_t at = output.rfind("frame ");
    return at == std::string::npos ? 0 : std::atoi(output.c_str() + at + 6);
}

// Waits (polling, so that a busy machine only makes it slower) until the
// condition holds.
bool eventually(const std::function<bool()>& condition) {
    for (int waited = 0; waited < 15000; waited += 50) {
        if (condition()) return true;
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

int count_of(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST(Frame, FocusLossPausesAndFocusResumes) {
    test::TempDir tmp;
    test::RunningChild game(FRAME_GAME, tmp.file("out.txt"),
                            {{test::k_temp_variable, tmp.path()}, {"CORVANE_AUTOMATION", "1"}, {"CRV_TEST_GAME", "pause"}});
    std::uint64_t window = test::find_window("FrameGame", 20000);
    ASSERT_NE(window, 0u);
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
            {{test::k_temp_variable, tmp.path()}, {"CORVANE_AUTOMATION", "1"}, {"CRV_TEST_GAME", "screen"}, {"CRV_TEST_FULL", c.full}},
            false);
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.output, std::string(c.output) + "callback: quit\nexit\n") << c.full;
        bool logged = tmp.read("ErrorLog.txt").find("No Fullscreen Mode available\n") != std::string::npos;
        EXPECT_EQ(logged, c.failure_line) << c.full;
    }
}

TEST(Frame, FullScreenInTheDisplaysOwnModeSucceeds) {
    // The one mode the virtual display has is its own size: the switch
    // takes, and the window covers the screen.
    int width = 0, height = 0;
    ASSERT_TRUE(test::screen_size(&width, &height));
    std::string size = std::to_string(width) + "x" + std::to_string(height);
    test::TempDir tmp;
    test::ChildResult r = test::run_child({FRAME_GAME},
                                          {{test::k_temp_variable, tmp.path()},
                                           {"CORVANE_AUTOMATION", "1"},
                                           {"CRV_TEST_GAME", "screen"},
                                           {"CRV_TEST_FULL", "1"},
                                           {"CRV_TEST_SIZE", size}},
                                          false);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.output, "frames 5 size " + size + " full 1\ncallback: quit\nexit\n");
    EXPECT_EQ(tmp.read("ErrorLog.txt").find("No Fullscreen Mode available\n"), std::string::npos);
}

TEST(Frame, MultisampledWindowShowsWhatIsDrawn) {
    test::TempDir tmp;
    test::ChildResult r = test::run_child({FRAME_GAME},
                                          {{test::k_temp_variable, tmp.path()},
                                           {"CORVANE_AUTOMATION", "1"},
                                           {"CRV_TEST_GAME", "multisample"},
                                           {"CORVANE_CAPTURE_FRAMES", tmp.path() + ":4"}},
                                          false);
    EXPECT_EQ(r.exit_code, 0);
    int samples = -1;
    ASSERT_EQ(std::sscanf(r.output.c_str(), "samples %d", &samples), 1) << r.output;
    std::string frame = tmp.read("frame_4.ppm");
    ASSERT_EQ(frame.rfind("P6\n320 200\n255\n", 0), 0u) << "no frame captured";
    std::size_t centre = frame.size() - 3 * (100 * 320 + 160);
    EXPECT_EQ(frame.substr(centre, 3), "\xC0\x80\x30") << "the clear colour 0x3080C0";
    if (samples == 0) GTEST_SKIP() << "the display offers no multisampled visual";
}

TEST(Frame, APauseTheGameAsksForEndsWhenTheWindowIsActive) {
    // "selfpause": a debug-mode game pauses itself; activation messages
    // do not touch the pause there, so an active window ends it.
    // "pausebreak": an activation request arriving while paused is served
    // once; the pause loop goes on sleeping instead of spinning.
    for (const char* mode : {"selfpause", "pausebreak"}) {
        test::TempDir tmp;
        test::RunningChild game(FRAME_GAME, tmp.file("out.txt"),
                                {{test::k_temp_variable, tmp.path()}, {"CORVANE_AUTOMATION", "1"}, {"CRV_TEST_GAME", mode}});
        std::uint64_t window = test::find_window("FrameGame", 20000);
        ASSERT_NE(window, 0u);
        ASSERT_TRUE(eventually([&] { return tmp.read("out.txt").find("ready\n") != std::string::npos; })) << mode;
        test::FocusThief thief;
        thief.take_focus();
        ASSERT_TRUE(eventually([&] {
            return tmp.read("out.txt").find("pause loop in showscreen/hibernate\n") != std::string::npos;
        })) << mode;
        test::focus_window(window);
        EXPECT_TRUE(eventually([&] { return tmp.read("out.txt").find("resumed\n") != std::string::npos; }))
            << mode;
        test::send_close_request(window);
        EXPECT_EQ(game.wait(10000), 0) << mode;
        std::string out = tmp.read("out.txt");
        EXPECT_LE(count_of(out, "pause loop in showscreen/hibernate\n"), 2) << mode;
        if (std::string(mode) == "pausebreak") {
            EXPECT_NE(out.find("callback: activation asked while paused\n"), std::string::npos);
        }
        EXPECT_LT(out.find("callback: pause\n"), out.find("callback: resume\n")) << mode;
    }
}

TEST(Frame, OpeningADocumentEndsTheProgramWhileEscapeQuits) {
    struct Case { const char* escape; bool goes_on; };
    for (const Case& c : {Case{"1", false}, Case{"0", true}}) {
        test::TempDir tmp;
        test::ChildResult r = test::run_child(
            {FRAME_GAME},
            {{test::k_temp_variable, tmp.path()}, {"CORVANE_AUTOMATION", "1"}, {"CRV_TEST_GAME", "shell"}, {"CRV_TEST_ESCAPE", c.escape}},
            false);
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.output, c.goes_on ? "after open\ncallback: quit\nexit\n" : "callback: quit\nexit\n") << c.escape;
        // The end is a normal one: error code 0.
        EXPECT_NE(tmp.read("ErrorLog.txt").find("-End On Line\n0\n"), std::string::npos) << c.escape;
    }
}

TEST(Frame, GlExtensionQueryAnswersOnlyForEntryPointsTheDriverHas) {
    // The driver's lookup hands out an address for any name; the answer
    // comes from the renderer's lookup, which checks the extension first.
    test::TempDir tmp;
    test::ChildResult r = test::run_child(
        {FRAME_GAME}, {{test::k_temp_variable, tmp.path()}, {"CORVANE_AUTOMATION", "1"}, {"CRV_TEST_GAME", "glext"}}, false);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.output, "glext 1 0 0\ncallback: quit\nexit\n");
}

TEST(Frame, SoftwareRendererBoxCanBeTurnedOffByTheGame) {
    // The virtual display renders in software. The box (written to standard
    // error under the automation switch) appears unless the game turned it
    // off; the log line appears either way.
    for (const char* box : {"1", "0"}) {
        test::TempDir tmp;
        test::ChildResult r = test::run_child(
            {FRAME_GAME},
            {{test::k_temp_variable, tmp.path()}, {"CORVANE_AUTOMATION", "1"}, {"CRV_TEST_GAME", "notice"},
             {"CRV_TEST_NOTICE_BOX", box}},
            false);
        EXPECT_EQ(r.exit_code, 0);
        if (tmp.read("ErrorLog.txt").find("*** OpenGL Software Emulation - update driver!\n") == std::string::npos)
            GTEST_SKIP() << "the display renders in hardware";
        bool shown = r.output.find("[message box] No OpenGL Hardware Drivers: Please update") != std::string::npos;
        EXPECT_EQ(shown, std::string(box) == "1") << r.output;
    }
}

#ifdef _WIN32
// A game started hidden the Windows way, through its start-up information
// and without the variable, stays hidden; started with the default it
// shows its window.
TEST(Frame, TheStartUpInformationChoosesTheShowCommand) {
    for (int show : {0, 10}) {
        test::TempDir tmp;
        test::ChildResult r = test::run_child(
            {FRAME_GAME}, {{test::k_temp_variable, tmp.path()}, {"CORVANE_AUTOMATION", "1"}, {"CRV_TEST_GAME", "hidden"}},
            false, 20000, 0, show);
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.output, std::string("visible ") + (show == 0 ? "0" : "1") + "\ncallback: quit\nexit\n");
    }
}
#endif

TEST(Frame, ShowCommandZeroKeepsTheWindowHidden) {
    test::TempDir tmp;
    test::ChildResult r = test::run_child(
        {FRAME_GAME},
        {{test::k_temp_variable, tmp.path()}, {"CORVANE_AUTOMATION", "1"}, {"CRV_TEST_GAME", "hidden"}, {"CORVANE_SHOW_COMMAND", "0"}},
        false);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.output, "visible 0\ncallback: quit\nexit\n");
}

}  // namespace
}  // namespace crv
