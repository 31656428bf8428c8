// Video in the game window: the picture is taken from the X server while it
// plays, then a key ends it.
#include "app/media.hpp"

#include "runtime/app_state.hpp"
#include "app/clock.hpp"
#include "input/input.hpp"
#include "platform/media_player.hpp"
#include "platform/window.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/gl_window.hpp"
#include "tests/support/x11_client.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <thread>

namespace crv {
namespace {

// A video of plain 8-bit frames that the media libraries read: the top
// half white, the bottom half black; frames from white_frames on are all
// black.
void write_video(const std::string& path, int width, int height, int frames, int fps, int white_frames = -1) {
    std::ofstream out(path, std::ios::binary);
    out << "YUV4MPEG2 W" << width << " H" << height << " F" << fps << ":1 Ip A1:1 C420jpeg\n";
    const std::string black(static_cast<std::size_t>(width * height), '\0');
    std::string luma = black;
    for (int y = 0; y < height / 2; ++y) luma.replace(static_cast<std::size_t>(y * width), static_cast<std::size_t>(width), static_cast<std::size_t>(width), '\xff');
    const std::string chroma(static_cast<std::size_t>(width * height / 4), '\x80');
    for (int i = 0; i < frames; ++i)
        out << "FRAME\n" << (white_frames < 0 || i < white_frames ? luma : black) << chroma << chroma;
}

struct Picture {
    int width = 0, height = 0;
    std::string rgb;
    int red(int x, int y) const {
        return static_cast<unsigned char>(rgb[static_cast<std::size_t>((y * width + x) * 3)]);
    }
};

// The window's contents as the X server shows them.
Picture grab(std::uint64_t window, const std::string& file) {
    Picture p;
    if (test::shell("import -window " + std::to_string(window) + " -depth 8 ppm:" + file + " 2>/dev/null") != 0) return p;
    std::ifstream in(file, std::ios::binary);
    std::string magic;
    int max = 0;
    in >> magic >> p.width >> p.height >> max;
    in.get();
    p.rgb.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (magic != "P6" || p.rgb.size() < static_cast<std::size_t>(p.width * p.height * 3)) p.width = p.height = 0;
    return p;
}

struct VideoCase {
    int window_width, window_height;
    int left, right;  // first and last column of the picture
};

void PrintTo(const VideoCase& c, std::ostream* out) { *out << c.window_width << "x" << c.window_height; }

class VideoTest : public ::testing::TestWithParam<VideoCase> {};

TEST_P(VideoTest, FillsTheWindowCentredUntilAKeyEndsIt) {
    const VideoCase c = GetParam();
    OpenGLRainbows& renderer = test::gl_renderer(c.window_width, c.window_height);
    if (app_state.input == nullptr) app_state.input = new InputSystem(renderer.window);
    test::TempDir dir;
    const std::string video = dir.file("clip.y4m");
    write_video(video, 320, 240, 50, 1);  // 50 s: only the key can end it within the test

    // Nothing of an earlier picture may stay in the window.
    for (int i = 0; i < 2; ++i) {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        plat::gl_swap(renderer.window);
    }

    const std::uint64_t id = plat::window_native_id(renderer.window);
    Picture seen;
    std::thread watcher([&] {
        // Until the picture is up, then a key press.
        for (int attempt = 0; attempt < 40; ++attempt) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            seen = grab(id, dir.file("seen.ppm"));
            if (seen.width == c.window_width && seen.red(c.left, 10) > 200 && seen.red(c.right, 10) > 200) break;
        }
        test::press_keys(id, "a");
    });
    const double started = clock_ms();
    const int result = video_play(video.c_str(), 0);
    const double took = clock_ms() - started;
    watcher.join();

    EXPECT_EQ(result, 0);
    EXPECT_LT(took, 40000) << "the key did not end the video";
    ASSERT_EQ(seen.width, c.window_width);
    ASSERT_EQ(seen.height, c.window_height);
    for (int y : {5, 100, 230}) {
        EXPECT_GT(seen.red(c.left, y), 200) << y;
        EXPECT_GT(seen.red(c.right, y), 200) << y;
        if (c.left > 0) {
            EXPECT_LT(seen.red(c.left - 1, y), 30) << y;
        }
        if (c.right < c.window_width - 1) {
            EXPECT_LT(seen.red(c.right + 1, y), 30) << y;
        }
    }
    // The picture is upright: its black half is at the bottom.
    EXPECT_LT(seen.red(c.window_width / 2, c.window_height - 5), 30);
    EXPECT_EQ(app_state.input->pop_char(), -1);  // the key was taken by the video
}

INSTANTIATE_TEST_SUITE_P(Windows, VideoTest,
                         ::testing::Values(VideoCase{640, 480, 0, 639}, VideoCase{800, 480, 80, 719}),
                         [](const ::testing::TestParamInfo<VideoCase>& info) {
                             return std::to_string(info.param.window_width) + "x" +
                                    std::to_string(info.param.window_height);
                         });

TEST(Video, ShortVideoPlaysToItsEnd) {
    OpenGLRainbows& renderer = test::gl_renderer(640, 480);
    if (app_state.input == nullptr) app_state.input = new InputSystem(renderer.window);
    test::TempDir dir;
    const std::string video = dir.file("short.y4m");
    write_video(video, 64, 48, 5, 10);  // half a second
    // Nothing but its end can end it (a video that never ended would run
    // into the test's time limit). It cannot end before it has played.
    const double started = clock_ms();
    EXPECT_EQ(video_play(video.c_str(), 0), 0);
    EXPECT_GT(clock_ms() - started, 300);
}

TEST(Video, ALoopingVideoRepeatsUntilAKey) {
    OpenGLRainbows& renderer = test::gl_renderer(640, 480);
    if (app_state.input == nullptr) app_state.input = new InputSystem(renderer.window);
    test::TempDir dir;
    const std::string video = dir.file("blink.y4m");
    write_video(video, 64, 48, 8, 10, 4);  // 400 ms white, 400 ms black
    const std::uint64_t id = plat::window_native_id(renderer.window);
    // The picture seen over two seconds: it must turn white again after
    // turning black.
    std::string seen;
    std::thread user([&] {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(2500);
        while (std::chrono::steady_clock::now() < until) {
            const Picture p = grab(id, dir.file("seen.ppm"));
            const char now = p.width == 0 ? '?' : p.red(320, 20) > 200 ? 'W' : 'B';
            if (seen.empty() || seen.back() != now) seen += now;
        }
        test::press_keys(id, "space");
    });
    const double started = clock_ms();
    EXPECT_EQ(video_play(video.c_str(), 1), 0);
    const double took = clock_ms() - started;
    user.join();
    // Past its own end (800 ms) it went on until the key.
    EXPECT_GT(took, 2400);
    EXPECT_NE(seen.find("WBW"), std::string::npos) << seen;
}

TEST(Video, MissingOrUnplayableFilesGiveThree) {
    OpenGLRainbows& renderer = test::gl_renderer(640, 480);
    if (app_state.input == nullptr) app_state.input = new InputSystem(renderer.window);
    test::TempDir dir;
    EXPECT_EQ(video_play(dir.file("missing.avi").c_str(), 0), 3);
    const std::string junk = dir.file("junk.avi");
    std::ofstream(junk) << std::string(4000, 'j');
    EXPECT_EQ(video_play(junk.c_str(), 0), 3);
}

TEST(VideoDestination, FitsAndCentres) {
    struct Case {
        int sw, sh, cw, ch;
        VideoRect expected;
    };
    const Case cases[] = {
        {320, 240, 640, 480, {0, 0, 640, 480}},
        {320, 240, 800, 480, {80, 0, 640, 480}},
        {320, 240, 640, 600, {0, 60, 640, 480}},
        {1920, 1080, 640, 480, {0, 60, 640, 360}},
        {100, 100, 333, 200, {66, 0, 200, 200}},
        {0, 0, 640, 480, {0, 0, 640, 480}},  // no picture: the whole area
    };
    for (const Case& c : cases) {
        const VideoRect r = video_destination(c.sw, c.sh, c.cw, c.ch);
        EXPECT_EQ(r.x, c.expected.x);
        EXPECT_EQ(r.y, c.expected.y);
        EXPECT_EQ(r.width, c.expected.width);
        EXPECT_EQ(r.height, c.expected.height);
    }
}

}  // namespace
}  // namespace crv
