// The game template: it shows its rectangle and its line of text, and
// Escape ends it with exit code 0.
#include "tests/examples/example_support.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/x11_client.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace crv {
namespace {

TEST(HelloExample, ShowsItsRectangleAndTextUntilEscape) {
    test::TempDir dir;
    test::RunningChild run(CRV_EXAMPLE_HELLO, dir.file("out.txt"),
                           {{"CORVANE_AUTOMATION", "1"},
                            {test::k_temp_variable, dir.path()},
                            {"CORVANE_CAPTURE_FRAMES", dir.path() + ":5"}});
    ASSERT_TRUE(run.started());
    std::uint64_t window = test::find_window("Hello", 20000);
    ASSERT_NE(window, 0u) << run.output();
    ASSERT_TRUE(test::wait_for([&] { return std::filesystem::exists(dir.file("frame_5.ppm")); }, 20000))
        << run.output();
    test::press_keys(window, "Escape");
    EXPECT_EQ(run.wait(20000), 0) << run.output();

    test::Picture p;
    ASSERT_TRUE(test::read_ppm(dir.file("frame_5.ppm"), p));
    ASSERT_EQ(p.width, 320);
    ASSERT_EQ(p.height, 240);
    auto orange = [](const std::uint8_t* c) { return c[0] == 255 && c[1] == 160 && c[2] == 0; };
    auto lit = [](const std::uint8_t* c) { return c[0] > 128 && c[1] > 128 && c[2] > 128; };
    // The rectangle: 240 x 100 at (40, 60), nothing orange outside it.
    EXPECT_EQ(p.count(40, 60, 280, 160, orange), 240 * 100);
    EXPECT_EQ(p.count(0, 0, 320, 240, orange), 240 * 100);
    // The text's line above it.
    EXPECT_GT(p.count(8, 8, 300, 24, lit), 100);
    EXPECT_EQ(p.count(0, 30, 320, 60, lit), 0);
}

}  // namespace
}  // namespace crv
