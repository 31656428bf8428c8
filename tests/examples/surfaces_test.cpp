// The off-screen surface example: the scene drawn off-screen reaches the
// window, and the post-effect visibly bends and darkens it; Space turns the
// effect off.
#include "tests/examples/example_support.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/x11_client.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace crv {
namespace {

test::Picture run_surfaces(const std::string& mode) {
    test::TempDir dir;
    test::ChildResult r = test::run_child({CRV_EXAMPLE_SURFACES, "12", mode},
                                          {{"CORVANE_AUTOMATION", "1"},
                                           {test::k_temp_variable, dir.path()},
                                           {"CORVANE_CAPTURE_FRAMES", dir.path() + ":10"}},
                                          false, 40000);
    EXPECT_EQ(r.exit_code, 0) << r.output;
    EXPECT_NE(r.output.find("shader loaded"), std::string::npos) << r.output;
    test::Picture p;
    EXPECT_TRUE(test::read_ppm(dir.file("frame_10.ppm"), p));
    return p;
}

bool red_box(const std::uint8_t* c) { return c[0] > 170 && c[1] < 100 && c[2] < 90; }

double mean_brightness(const test::Picture& p, int x0, int y0, int x1, int y1) {
    double sum = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) sum += p.at(x, y)[0] + p.at(x, y)[1] + p.at(x, y)[2];
    return sum / ((x1 - x0) * (y1 - y0));
}

// Where the red box's left edge is on each row that shows it.
std::vector<int> red_edges(const test::Picture& p) {
    std::vector<int> edges;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width / 2; ++x)
            if (red_box(p.at(x, y))) {
                edges.push_back(x);
                break;
            }
    return edges;
}

TEST(SurfacesExample, TheEffectBendsAndDarkensTheSceneDrawnOffScreen) {
    test::Picture plain = run_surfaces("plain");
    test::Picture effect = run_surfaces("effect");
    ASSERT_EQ(plain.width, 640);
    ASSERT_EQ(effect.width, 640);

    // The scene, drawn at 320 x 240 off-screen, fills the window: the red
    // box (40 x 40 there) covers about 80 x 80 pixels, with a straight left
    // edge
    const int red = plain.count(0, 0, 640, 480, red_box);
    EXPECT_GT(red, 5000);
    EXPECT_LT(red, 7000);
    std::vector<int> straight = red_edges(plain);
    ASSERT_GT(straight.size(), 60u);
    // (smoothing may shift a row by a pixel)
    EXPECT_LE(*std::max_element(straight.begin(), straight.end()) - *std::min_element(straight.begin(), straight.end()), 1);

    // Through the effect the same edge waves, and the corners go dark while
    // the middle keeps most of its light.
    std::vector<int> wavy = red_edges(effect);
    ASSERT_GT(wavy.size(), 60u);
    EXPECT_GE(*std::max_element(wavy.begin(), wavy.end()) - *std::min_element(wavy.begin(), wavy.end()), 4);
    EXPECT_LT(mean_brightness(effect, 600, 440, 640, 480), mean_brightness(plain, 600, 440, 640, 480) / 3);
    EXPECT_GT(mean_brightness(effect, 280, 200, 360, 280), mean_brightness(plain, 280, 200, 360, 280) * 0.7);
}

TEST(SurfacesExample, SpaceTurnsTheEffectOff) {
    test::TempDir dir;
    test::RunningChild run(CRV_EXAMPLE_SURFACES, dir.file("out.txt"),
                           {{"CORVANE_AUTOMATION", "1"}, {test::k_temp_variable, dir.path()}});
    ASSERT_TRUE(run.started());
    std::uint64_t window = test::find_window("Corvane surfaces and shaders", 20000);
    ASSERT_NE(window, 0u) << run.output();
    ASSERT_TRUE(run.wait_output("shader loaded", 10000)) << run.output();
    test::press_keys(window, "space");
    EXPECT_TRUE(run.wait_output("effect off", 10000)) << run.output();
    test::press_keys(window, "space");
    EXPECT_TRUE(run.wait_output("effect on", 10000)) << run.output();
    test::press_keys(window, "Escape");
    EXPECT_EQ(run.wait(20000), 0) << run.output();
}

}  // namespace
}  // namespace crv
