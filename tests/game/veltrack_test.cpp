// Veltrack driven from outside as a user would: real window, real keys,
// real close requests; pictures checked against the road model.
#include "tests/game/road_model.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/x11_client.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <sstream>
#include <thread>

namespace crv {
namespace {

namespace fs = std::filesystem;
using test::Picture;

bool wait_for_file(const std::string& path, int timeout_ms) {
    for (int waited = 0; waited < timeout_ms; waited += 50) {
        if (fs::exists(path)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The log of a run that ended while the game loop was inside present_frame
// (source line 101). The quit keys record error 0 on that line; a close
// request ends without recording an error, so the error line stays 0.
void expect_start_and_end_lines(const std::string& log, const char* error_line = "101") {
    // The folder as the system names it (on Windows with its drive).
    std::string folder = fs::absolute(VELTRACK).parent_path().generic_string();
    const std::vector<std::string> expected = {
        "Start new log...", "debug works at all", "timer", "rbow", "rbow init", "WIN32 init video",
        "*** OpenGL Software Emulation - update driver!", "get accurate timer - 1st call", "flip - 1st call",
        "BGRA ext supported", "Texture size limit: *", "init fbo", "2D VP", "OGRB init [OK]", "Cptn",
        "Network", "Input", "Window mode", "Create DXin", "reptr", "getexe", "cd",
        "exepath=curdir= " + folder, "Init Finalized", "-End On Line", "0", error_line, "101", "0",
        "Shut down CRV", "crv is shut down"};
    std::vector<std::string> actual = lines_of(log);
    ASSERT_EQ(actual.size(), expected.size()) << log;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (expected[i] == "Texture size limit: *")
            EXPECT_TRUE(std::regex_match(actual[i], std::regex("Texture size limit: [0-9]+"))) << actual[i];
        else
            EXPECT_EQ(actual[i], expected[i]) << "line " << i + 1;
    }
}

struct GameRun {
    test::TempDir tmp;
    std::string output = tmp.file("output.txt");
    std::unique_ptr<test::RunningChild> child;
    std::uint64_t window = 0;

    explicit GameRun(const std::string& frames) {
        child = std::make_unique<test::RunningChild>(
            VELTRACK, output,
            std::initializer_list<std::pair<std::string, std::string>>{
                {test::k_temp_variable, tmp.path()},
                {"CORVANE_AUTOMATION", "1"},
                {"CORVANE_CAPTURE_FRAMES", tmp.path() + ":" + frames}});
        window = test::find_window("Veltrack", 20000);
    }
};

TEST(Veltrack, FramesMatchTheRoadModelAndEscapeEndsCleanly) {
    // set_screen_mode presents five frames before the game's first one.
    GameRun run("6,127,247");
    ASSERT_NE(run.window, 0u);
    ASSERT_TRUE(wait_for_file(run.tmp.file("frame_247.ppm"), 30000));
    test::focus_window(run.window);

    // A screenshot taken from outside shows one of the model's frames.
    std::string shot = run.tmp.file("shot.ppm");
    ASSERT_TRUE(test::save_screenshot(run.window, shot));
    Picture screen = test::read_ppm(shot);
    bool matched = false;
    for (int n = 1; n <= 242 && !matched; ++n) matched = test::count_differences(screen, test::road_frame(n), nullptr) == 0;
    EXPECT_TRUE(matched) << "the screenshot matches no frame of the model";

    test::press_keys(run.window, "Escape");
    EXPECT_EQ(run.child->wait(10000), 0);

    const std::pair<int, int> frames[] = {{6, 1}, {127, 122}, {247, 242}};
    for (auto [file_number, game_frame] : frames) {
        Picture captured = test::read_ppm(run.tmp.file("frame_" + std::to_string(file_number) + ".ppm"));
        std::string where;
        EXPECT_EQ(test::count_differences(captured, test::road_frame(game_frame), &where), 0)
            << "frame " << game_frame << ": " << where;
    }
    expect_start_and_end_lines(run.tmp.read("ErrorLog.txt"));
    EXPECT_NE(run.child->output().find("exit\n"), std::string::npos);
}

TEST(Veltrack, AltF4AndCloseRequestsEndTheSameWay) {
    for (const char* how : {"alt+F4", "close", "close twice"}) {
        GameRun run("30");
        ASSERT_NE(run.window, 0u) << how;
        ASSERT_TRUE(wait_for_file(run.tmp.file("frame_30.ppm"), 30000)) << how;
        std::string way(how);
        if (way == "alt+F4") {
            test::focus_window(run.window);
            test::press_keys(run.window, "alt+F4");
        } else {
            test::send_close_request(run.window);
            if (way == "close twice") test::send_close_request(run.window);
        }
        EXPECT_EQ(run.child->wait(10000), 0) << how;
        expect_start_and_end_lines(run.tmp.read("ErrorLog.txt"), way == "alt+F4" ? "101" : "0");
    }
}

TEST(Veltrack, LosingTheFocusDoesNotPauseIt) {
    GameRun run("20,90");
    ASSERT_NE(run.window, 0u);
    ASSERT_TRUE(wait_for_file(run.tmp.file("frame_20.ppm"), 30000));
    test::FocusThief thief;
    thief.take_focus();
    EXPECT_TRUE(wait_for_file(run.tmp.file("frame_90.ppm"), 20000));
    EXPECT_EQ(test::window_title(run.window), "Veltrack");
    test::send_close_request(run.window);
    EXPECT_EQ(run.child->wait(10000), 0);
}

}  // namespace
}  // namespace crv
