// The chat example: a host and a joiner on this machine; a line typed into
// one window appears in the other, both ways, and in the picture; the
// host tells who left, and a join without a lobby says so.
#include "tests/examples/example_support.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/x11_client.hpp"

#include <corvane/net.hpp>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace crv {
namespace {

// A port nobody listens on just now: one the system picked for a
// listener, which is closed again.
int free_port() {
    sock_init();
    const int listener = sock_listen(0);
    const int port = sock_port(listener);
    sock_close(listener);
    sock_shutdown();
    return port;
}

// Types a line into the window as a user does: the window gets the
// keyboard focus, the characters are typed one by one, then Enter. It is
// made the active window first: under Wine the keys the X server gives a
// window go to the active one.
void type_line(std::uint64_t window, const std::string& text) {
    test::focus_window(window);
    test::host_xdotool("windowfocus --sync " + test::x_window_id(window));
    test::host_xdotool("type --delay 60 '" + text + "'");
    test::host_xdotool("key Return");
}

// Bright (text) pixels of the history area.
int text_pixels(const test::Picture& p) {
    return p.count(0, 30, p.width, 340, [](const std::uint8_t* c) { return c[0] + c[1] + c[2] > 400; });
}

// The highest-numbered captured frame, or 0.
int last_frame(const test::TempDir& dir, int step) {
    int f = 0;
    while (std::filesystem::exists(dir.file("frame_" + std::to_string(f + step) + ".ppm"))) f += step;
    return f;
}

TEST(ChatExample, LinesTypedInOneWindowAppearInTheOther) {
    test::TempDir host_dir, join_dir;
    const std::string port = std::to_string(free_port());
    std::string frames;
    for (int f = 30; f <= 30 * 200; f += 30) frames += (frames.empty() ? "" : ",") + std::to_string(f);

    test::RunningChild host({CRV_EXAMPLE_CHAT, "host", "ann", port}, host_dir.file("out.txt"),
                            {{"CORVANE_AUTOMATION", "1"},
                             {test::k_temp_variable, host_dir.path()},
                             {"CORVANE_CAPTURE_FRAMES", host_dir.path() + ":" + frames}});
    ASSERT_TRUE(host.wait_output("line: * hosting as ann", 20000)) << host.output();
    test::RunningChild join({CRV_EXAMPLE_CHAT, "join", "bob", "127.0.0.1:" + port}, join_dir.file("out.txt"),
                            {{"CORVANE_AUTOMATION", "1"}, {test::k_temp_variable, join_dir.path()}});
    ASSERT_TRUE(join.wait_output("line: * joined as bob", 20000)) << join.output();
    EXPECT_TRUE(host.wait_output("line: * bob joined", 10000)) << host.output();
    std::uint64_t ann = test::find_window("Corvane chat - ann", 10000);
    std::uint64_t bob = test::find_window("Corvane chat - bob", 10000);
    ASSERT_NE(ann, 0u);
    ASSERT_NE(bob, 0u);

    // The host's picture before the line arrives.
    ASSERT_TRUE(test::wait_for([&] { return last_frame(host_dir, 30) > 0; }, 10000));
    test::Picture before, after;
    ASSERT_TRUE(test::read_ppm(host_dir.file("frame_" + std::to_string(last_frame(host_dir, 30)) + ".ppm"), before));

    type_line(bob, "hello ann");
    EXPECT_TRUE(host.wait_output("line: bob: hello ann", 10000)) << host.output();
    EXPECT_TRUE(join.wait_output("line: bob: hello ann", 10000)) << join.output();
    type_line(ann, "hi bob");
    EXPECT_TRUE(join.wait_output("line: ann: hi bob", 10000)) << join.output();
    EXPECT_TRUE(host.wait_output("line: ann: hi bob", 10000)) << host.output();

    // A frame presented after both lines shows more text than before.
    const int seen = last_frame(host_dir, 30);
    ASSERT_TRUE(test::wait_for([&] { return last_frame(host_dir, 30) > seen; }, 10000));
    ASSERT_TRUE(test::read_ppm(host_dir.file("frame_" + std::to_string(last_frame(host_dir, 30)) + ".ppm"), after));
    EXPECT_GT(text_pixels(after), text_pixels(before) + 100);

    // When the joiner leaves, the host says who left.
    test::focus_window(bob);
    test::press_keys(bob, "Escape");
    EXPECT_EQ(join.wait(20000), 0) << join.output();
    EXPECT_TRUE(host.wait_output("line: * bob left", 10000)) << host.output();
    test::focus_window(ann);
    test::press_keys(ann, "Escape");
    EXPECT_EQ(host.wait(20000), 0) << host.output();
}

TEST(ChatExample, NoLobbyToJoinIsShown) {
    test::TempDir dir;
    test::RunningChild join({CRV_EXAMPLE_CHAT, "join", "bob", "127.0.0.1:" + std::to_string(free_port())},
                            dir.file("out.txt"), {{"CORVANE_AUTOMATION", "1"}, {test::k_temp_variable, dir.path()}});
    EXPECT_TRUE(join.wait_output("line: * no lobby answers at 127.0.0.1", 20000)) << join.output();
    std::uint64_t window = test::find_window("Corvane chat - bob", 10000);
    ASSERT_NE(window, 0u);
    test::press_keys(window, "Escape");
    EXPECT_EQ(join.wait(20000), 0) << join.output();
}

}  // namespace
}  // namespace crv
