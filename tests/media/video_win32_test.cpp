// Video in the game window through the system's media window: where the
// picture goes (fitted and centred), a key ending a looping video, and
// files that cannot be played. (What the picture shows is not read back:
// under Wine neither the screen nor the media window's device context
// hands out the pixels the media window drew.)
// The clips are uncompressed AVI files, which every Windows (and Wine)
// plays without further codecs.
#include "app/media.hpp"

#include "runtime/app_state.hpp"
#include "app/clock.hpp"
#include "input/input.hpp"
#include "platform/window.hpp"
#include "platform/win32/win32_api.hpp"
#include "tests/sound/wave_files.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/gl_window.hpp"

#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstdlib>
#include <thread>

namespace crv {
namespace {

using test::Bytes;

void put_id(Bytes& b, const char* id) { b.insert(b.end(), id, id + 4); }

Bytes list(const char* kind, const Bytes& body) {
    Bytes b(kind, kind + 4);
    b.insert(b.end(), body.begin(), body.end());
    return test::chunk("LIST", b);
}

// An AVI file of 24-bit frames, fps frames a second: the top half white,
// the bottom half black; frames from white_frames on are all black.
Bytes avi_file(int width, int height, int frames, int fps, int white_frames = -1) {
    const std::uint32_t row = static_cast<std::uint32_t>(width * 3 + 3) & ~3u;
    const std::uint32_t size = row * static_cast<std::uint32_t>(height);
    Bytes avih;
    for (std::uint32_t v : {1000000u / static_cast<std::uint32_t>(fps), size * static_cast<std::uint32_t>(fps), 0u,
                            0x10u, static_cast<std::uint32_t>(frames), 0u, 1u, size,
                            static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), 0u, 0u, 0u, 0u})
        test::put32(avih, v);
    Bytes strh;
    put_id(strh, "vids");
    put_id(strh, "DIB ");
    for (std::uint32_t v : {0u, 0u, 0u, 1u, static_cast<std::uint32_t>(fps), 0u, static_cast<std::uint32_t>(frames),
                            size, 0xffffffffu, 0u})
        test::put32(strh, v);
    test::put16(strh, 0);
    test::put16(strh, 0);
    test::put16(strh, static_cast<std::uint32_t>(width));
    test::put16(strh, static_cast<std::uint32_t>(height));
    Bytes strf;
    for (std::uint32_t v : {40u, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)})
        test::put32(strf, v);
    test::put16(strf, 1);
    test::put16(strf, 24);
    for (std::uint32_t v : {0u, size, 0u, 0u, 0u, 0u}) test::put32(strf, v);
    Bytes hdrl = test::chunk("avih", avih);
    const Bytes strl = list("strl", [&] {
        Bytes b = test::chunk("strh", strh);
        const Bytes f = test::chunk("strf", strf);
        b.insert(b.end(), f.begin(), f.end());
        return b;
    }());
    hdrl.insert(hdrl.end(), strl.begin(), strl.end());

    Bytes movi, index;
    std::uint32_t offset = 4;
    for (int i = 0; i < frames; ++i) {
        Bytes frame(size, 0);
        const bool white = white_frames < 0 || i < white_frames;
        // Rows go from the bottom up.
        for (int y = height / 2; y < height && white; ++y)
            std::fill_n(frame.begin() + static_cast<std::ptrdiff_t>(row * static_cast<std::uint32_t>(y)), width * 3, 0xff);
        const Bytes c = test::chunk("00db", frame);
        put_id(index, "00db");
        test::put32(index, 0x10);
        test::put32(index, offset);
        test::put32(index, size);
        movi.insert(movi.end(), c.begin(), c.end());
        offset += static_cast<std::uint32_t>(c.size());
    }
    Bytes body(4, 0);
    std::copy_n("AVI ", 4, body.begin());
    for (const Bytes& part : {list("hdrl", hdrl), list("movi", movi), test::chunk("idx1", index)})
        body.insert(body.end(), part.begin(), part.end());
    Bytes file{'R', 'I', 'F', 'F'};
    test::put32(file, static_cast<std::uint32_t>(body.size()));
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

HWND hwnd_of(plat::Window* window) {
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(plat::window_native_id(window)));
}

class VideoTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "video needs an X display under Wine";
    }
    OpenGLRainbows& window(int width, int height) {
        OpenGLRainbows& renderer = test::gl_renderer(width, height);
        if (app_state.input == nullptr) app_state.input = new InputSystem(renderer.window);
        for (int i = 0; i < 2; ++i) {
            glClearColor(0, 0, 0, 1);
            glClear(GL_COLOR_BUFFER_BIT);
            plat::gl_swap(renderer.window);
        }
        return renderer;
    }
    test::TempDir dir_;
};

TEST_F(VideoTest, ThePictureIsFittedAndCentredWhileItPlays) {
    struct Case {
        int width, height;
        RECT expected;  // the media window in the game window's client area
    };
    const Case cases[] = {{640, 480, {0, 0, 640, 480}}, {800, 480, {80, 0, 720, 480}}};
    const std::string video = dir_.file("clip.avi");
    test::write_file(video, avi_file(320, 240, 20, 10));  // two seconds
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        const HWND game = hwnd_of(window(c.width, c.height).window);
        RECT placed{};
        bool shown = false;
        std::thread watcher([&] {
            for (int waited = 0; waited < 10000; waited += 20) {
                HWND media = FindWindowExW(game, nullptr, L"MCIWndClass", nullptr);
                if (media != nullptr && IsWindowVisible(media)) {
                    // Placed before it plays.
                    Sleep(500);
                    GetWindowRect(media, &placed);
                    MapWindowPoints(nullptr, game, reinterpret_cast<POINT*>(&placed), 2);
                    shown = IsWindowVisible(media) != 0;
                    return;
                }
                Sleep(20);
            }
        });
        EXPECT_EQ(video_play(video.c_str(), 0), 0);
        watcher.join();
        EXPECT_EQ(placed.left, c.expected.left);
        EXPECT_EQ(placed.top, c.expected.top);
        EXPECT_EQ(placed.right, c.expected.right);
        EXPECT_EQ(placed.bottom, c.expected.bottom);
        EXPECT_TRUE(shown);
    }
}

TEST_F(VideoTest, ALoopingVideoRepeatsUntilAKey) {
    const HWND game = hwnd_of(window(640, 480).window);
    const std::string video = dir_.file("short.avi");
    test::write_file(video, avi_file(64, 48, 4, 10));  // 400 ms
    std::thread user([&] {
        Sleep(1500);
        SetForegroundWindow(game);
        SetFocus(game);
        INPUT key[2] = {};
        for (int i = 0; i < 2; ++i) {
            key[i].type = INPUT_KEYBOARD;
            key[i].ki.wVk = 'A';
            key[i].ki.dwFlags = i == 1 ? KEYEVENTF_KEYUP : 0;
        }
        SendInput(2, key, sizeof key[0]);
    });
    const double started = clock_ms();
    EXPECT_EQ(video_play(video.c_str(), 1), 0);
    const double took = clock_ms() - started;
    user.join();
    // Past its own end it went on until the key.
    EXPECT_GT(took, 1400);
    EXPECT_LT(took, 30000) << "the key did not end the video";
    EXPECT_EQ(app_state.input->pop_char(), -1);  // the key was taken by the video
}

TEST_F(VideoTest, MissingOrUnplayableFilesGiveThree) {
    window(640, 480);
    EXPECT_EQ(video_play(dir_.file("missing.avi").c_str(), 0), 3);
    const std::string junk = dir_.file("junk.avi");
    test::write_file(junk, Bytes(4000, 'j'));
    EXPECT_EQ(video_play(junk.c_str(), 0), 3);
    EXPECT_EQ(FindWindowExW(hwnd_of(app_state.renderer->window), nullptr, L"MCIWndClass", nullptr), nullptr);
}

}  // namespace
}  // namespace crv
