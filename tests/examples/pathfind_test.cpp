// The path-finding example: the planned path, its ends and the numbers on
// screen, the weight's effect on the search, and a mouse click moving the
// goal.
#include "tests/examples/example_support.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/x11_client.hpp"

#include <corvane/colour.hpp>

#include <gtest/gtest.h>

#include <regex>
#include <string>

namespace crv {
namespace {

constexpr int k_cell = 16;
constexpr std::int32_t k_path = rgb(0, 200, 255);

struct PlanLine {
    int length = -1;
    long long expanded = -1;
};

// The last "... length L expanded E" line the example wrote.
PlanLine last_plan(const std::string& output) {
    PlanLine plan;
    static const std::regex line("length (\\d+) expanded (\\d+)");
    for (auto it = std::sregex_iterator(output.begin(), output.end(), line); it != std::sregex_iterator(); ++it) {
        plan.length = std::stoi((*it)[1]);
        plan.expanded = std::stoll((*it)[2]);
    }
    return plan;
}

struct PathfindRun {
    test::ChildResult result;
    test::Picture picture;
    PlanLine plan;
};

PathfindRun run_pathfind(const std::string& weight) {
    test::TempDir dir;
    PathfindRun run;
    run.result = test::run_child({CRV_EXAMPLE_PATHFIND, "12", "37", "27", weight},
                                 {{"CORVANE_AUTOMATION", "1"},
                                  {test::k_temp_variable, dir.path()},
                                  {"CORVANE_CAPTURE_FRAMES", dir.path() + ":10"}},
                                 false, 40000);
    test::read_ppm(dir.file("frame_10.ppm"), run.picture);
    run.plan = last_plan(run.result.output);
    return run;
}

bool centre_is(const test::Picture& p, int cx, int cy, std::int32_t colour) {
    return p.near(cx * k_cell + k_cell / 2, cy * k_cell + k_cell / 2, colour);
}

TEST(PathfindExample, ShowsThePathAndWhatTheWeightSaves) {
    PathfindRun cheapest = run_pathfind("0");
    ASSERT_EQ(cheapest.result.exit_code, 0) << cheapest.result.output;
    ASSERT_EQ(cheapest.picture.width, 640);
    ASSERT_EQ(cheapest.picture.height, 520);
    const test::Picture& p = cheapest.picture;
    ASSERT_GT(cheapest.plan.length, 2) << cheapest.result.output;

    // Start (white) and goal (red) where they were asked for, and one path
    // marker of 8 x 8 pixels for every cell between them.
    EXPECT_TRUE(centre_is(p, 2, 2, rgb(255, 255, 255)));
    EXPECT_TRUE(centre_is(p, 37, 27, rgb(230, 30, 30)));
    int markers = p.count(0, 0, 640, 480, [](const std::uint8_t* c) {
        return std::abs(c[0] - 0) < 9 && std::abs(c[1] - 200) < 9 && std::abs(c[2] - 255) < 9;
    });
    EXPECT_EQ(markers, (cheapest.plan.length - 2) * 64);
    // The walls stand where the map has them, and the path goes round them.
    EXPECT_TRUE(centre_is(p, 13, 5, rgb(40, 40, 48)));
    EXPECT_FALSE(centre_is(p, 13, 5, k_path));
    // The text strip under the map holds the numbers.
    int text = p.count(0, 480, 640, 520, [](const std::uint8_t* c) { return c[0] + c[1] + c[2] > 300; });
    EXPECT_GT(text, 300);

    // Full weight heads straight for the goal: a longer path, far fewer
    // cells expanded.
    PathfindRun quickest = run_pathfind("1");
    ASSERT_EQ(quickest.result.exit_code, 0) << quickest.result.output;
    EXPECT_GE(quickest.plan.length, cheapest.plan.length);
    EXPECT_LT(quickest.plan.expanded * 2, cheapest.plan.expanded);
    EXPECT_NE(quickest.picture.rgb, cheapest.picture.rgb);
}

// The example reads the button once a frame, so the button is held for a
// moment, as a hand does.
void click(std::uint64_t window, int x, int y) {
    test::host_xdotool("mousemove --window " + test::x_window_id(window) + " " + std::to_string(x) + " " +
                       std::to_string(y) + " mousedown 1 sleep 0.2 mouseup 1");
}

TEST(PathfindExample, ClicksMoveTheGoalAndKeysTheWeight) {
    test::TempDir dir;
    test::RunningChild run(CRV_EXAMPLE_PATHFIND, dir.file("out.txt"),
                           {{"CORVANE_AUTOMATION", "1"}, {test::k_temp_variable, dir.path()}});
    ASSERT_TRUE(run.started());
    std::uint64_t window = test::find_window("Corvane path finding", 20000);
    ASSERT_NE(window, 0u) << run.output();
    ASSERT_TRUE(run.wait_output("goal 37 27", 10000)) << run.output();

    test::host_xdotool("windowfocus --sync " + test::x_window_id(window));
    // A click on cell (20, 6) makes it the goal. The window may still be
    // placed after it appeared, taking a first click elsewhere; clicking
    // the same cell again changes nothing once it is the goal.
    EXPECT_TRUE(test::wait_for(
        [&] {
            click(window, 328, 104);
            return run.wait_output("goal 20 6", 1000);
        },
        20000))
        << run.output();
    // A click on a wall changes nothing: the next plan, for a new weight,
    // still goes to (20, 6).
    click(window, 216, 40);
    test::press_keys(window, "Down");
    EXPECT_TRUE(run.wait_output("weight 0.4 start 2 2 goal 20 6", 10000)) << run.output();
    EXPECT_EQ(run.output().find("goal 13 2"), std::string::npos) << run.output();

    test::press_keys(window, "Escape");
    EXPECT_EQ(run.wait(20000), 0) << run.output();
}

}  // namespace
}  // namespace crv
