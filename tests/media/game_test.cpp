// Music and sound in a whole program: started with the run-time, kept
// looping by present_frame, ended through end_program.
#include "tests/sound/wave_files.hpp"
#include "tests/support/child_process.hpp"

#include <gtest/gtest.h>

#include <cstdlib>

namespace crv {
namespace {

TEST(MediaGame, PresentFrameKeepsMusicLoopingAndProgramEndStopsIt) {
#ifdef _WIN32
    // On Linux the test runs with the display tests; the Windows stage may
    // run without one.
    if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "the game's window needs an X display under Wine";
#endif
    test::TempDir dir;
    const std::string music = dir.file("loop.wav"), effect = dir.file("effect.wav");
    test::write_file(music, test::wave_file(test::sine(22050 / 5, 441, 22050, 8000)));  // 200 ms
    test::write_file(effect, test::wave_file(test::sine(2205, 441, 22050, 8000)));
    const test::ChildResult r = test::run_child(
        {MEDIA_GAME},
        {{"MEDIA_GAME_MUSIC", music}, {"MEDIA_GAME_SOUND", effect}, {test::k_temp_variable, dir.path()},
         {"CORVANE_AUTOMATION", "1"}},
        false, 30000);
    ASSERT_EQ(r.exit_code, 0) << r.output;
    EXPECT_NE(r.output.find("music error 0\n"), std::string::npos) << r.output;
    // Restarts every 500 ms or more, from the frames the game presents.
    EXPECT_NE(r.output.find("restarts 2 playing 1\n"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("spaced 1\n"), std::string::npos) << r.output;
    // Without an output device sound is silently unavailable.
    const bool output = r.output.find("sound output 1\n") != std::string::npos;
    EXPECT_NE(r.output.find(output ? "sound load error 0\n" : "sound load error 3\n"), std::string::npos) << r.output;
    const std::string log = dir.read("ErrorLog.txt");
    EXPECT_NE(log.find("Shut down CRV\n"), std::string::npos) << log;
    EXPECT_NE(log.find("crv is shut down\n"), std::string::npos) << log;
    EXPECT_NE(r.output.find("exit\n"), std::string::npos) << r.output;
}

}  // namespace
}  // namespace crv
