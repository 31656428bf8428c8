// Key presses between frames, from the real keyboard of the X server (on
// Windows through the window's keyboard messages): the frame's hits and
// releases and the key-event queue, read by a game loop around
// present_frame.
#include "runtime/app_state.hpp"
#include "app/clock.hpp"
#include "app/present.hpp"
#include "tests/input/input_fixture.hpp"
#include "tests/support/x11_client.hpp"

#include <corvane/keys.hpp>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#endif

namespace crv::test {
namespace {

using KeyTapTest = InputDisplayTest;

// An event as "d57" (pressed), "r57" (repeated) or "u57" (released).
std::string text_of(const KeyEvent& e) {
    return (e.down ? (e.repeat ? "r" : "d") : "u") + std::to_string(e.code);
}

// The game's side: present_frame, then what it reads about one key. Every
// frame checks that its hit and release agree with the events it brought.
class Game {
public:
    explicit Game(int code) : code_(code) {}

    void frame() {
        present_frame();
        ++frames;
        bool hit = key_hit(code_) == 1, released = key_released(code_) == 1;
        bool pressed = false, let_go = false;
        KeyEvent e;
        while (next_key_event(&e) == 1) {
            if (e.code == code_) {
                pressed = pressed || (e.down && !e.repeat);
                let_go = let_go || !e.down;
            }
            events.push_back(e);
        }
        EXPECT_EQ(hit, pressed) << "frame " << frames << " after " << events_text();
        EXPECT_EQ(released, let_go) << "frame " << frames << " after " << events_text();
        hit_frames += hit ? 1 : 0;
        released_frames += released ? 1 : 0;
    }

    // Frames until done() holds after one; false when timeout_ms pass first.
    bool frames_until(const std::function<bool()>& done, int timeout_ms = 5000) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        for (;;) {
            frame();
            if (done()) return true;
            if (std::chrono::steady_clock::now() > deadline) return false;
        }
    }

    // Frames until the queue has brought n events in all.
    bool frames_until_events(std::size_t n) {
        return frames_until([&] { return events.size() >= n; });
    }

    std::string events_text() const {
        std::string all;
        for (const KeyEvent& e : events) all += (all.empty() ? "" : " ") + text_of(e);
        return all;
    }

    // Starts counting afresh from a frame with the queue read.
    void settle() {
        frame();
        events.clear();
        frames = hit_frames = released_frames = 0;
    }

    int frames = 0;
    int hit_frames = 0;
    int released_frames = 0;
    std::vector<KeyEvent> events;

private:
    int code_;
};

TEST_F(KeyTapTest, TapBetweenTwoFramesIsSeenInOneFrame) {
    Game game(key::space);
    game.settle();
    double before = clock_ms();
    // Down and up a few milliseconds apart, while the game is between frames.
    xdotool("keydown space sleep 0.005 keyup space");
    game.frame();
    EXPECT_EQ(game.events_text(), "d57 u57");
    EXPECT_EQ(game.hit_frames, 1);
    EXPECT_EQ(game.released_frames, 1);
    ASSERT_EQ(game.events.size(), 2u);
    EXPECT_GE(game.events[0].time, before);
    EXPECT_LE(game.events[0].time, game.events[1].time);
    EXPECT_LE(game.events[1].time, clock_ms());
    // The next frame no longer has it.
    game.frame();
    EXPECT_EQ(key_hit(key::space), 0);
    EXPECT_EQ(key_released(key::space), 0);
    EXPECT_EQ(game.events.size(), 2u);
}

TEST_F(KeyTapTest, QuickTapsWhileFramesRunAreEachQueued) {
    Game game(key::space);
    game.settle();
    std::thread typist([] { InputDisplayTest::xdotool("key --delay 20 space space space space space space"); });
    bool all = game.frames_until_events(12);
    typist.join();
    ASSERT_TRUE(all) << game.events_text();
    EXPECT_EQ(game.events_text(), "d57 u57 d57 u57 d57 u57 d57 u57 d57 u57 d57 u57");
    for (std::size_t i = 1; i < game.events.size(); ++i) EXPECT_LE(game.events[i - 1].time, game.events[i].time);
    // Taps within one frame make one hit; none is lost.
    EXPECT_GE(game.hit_frames, 1);
    EXPECT_LE(game.hit_frames, 6);
}

TEST_F(KeyTapTest, KeysOfOneFrameComeInOrder) {
    Game game(key::a);
    game.settle();
    // Up goes up while Alt is held: a system key release.
    xdotool("keydown a keydown s keydown Alt_L keydown Up keyup a keyup Up keyup Alt_L keyup s");
    ASSERT_TRUE(game.frames_until_events(8)) << game.events_text();
    EXPECT_EQ(game.events_text(), "d30 d31 d56 d200 u30 u200 u56 u31");
    EXPECT_EQ(game.hit_frames, 1);
    for (int code : {key::s, key::left_alt, key::up}) {
        EXPECT_EQ(key_hit(code), 1) << code;
        EXPECT_EQ(key_released(code), 1) << code;
    }
}

#ifdef _WIN32
// Keys sent through the system's input: a key sent down again while down
// arrives as the system's repeat.
void send_key(WORD scan, bool extended, bool down) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wScan = scan;
    input.ki.dwFlags = KEYEVENTF_SCANCODE | (extended ? KEYEVENTF_EXTENDEDKEY : 0) | (down ? 0 : KEYEVENTF_KEYUP);
    SendInput(1, &input, sizeof input);
}

TEST_F(KeyTapTest, RepeatsOfAHeldKeyAreNotHits) {
    Game game(key::a);
    game.settle();
    send_key(0x1e, false, true);
    ASSERT_TRUE(game.frames_until_events(1)) << game.events_text();
    for (int i = 0; i < 3; ++i) send_key(0x1e, false, true);
    ASSERT_TRUE(game.frames_until_events(4)) << game.events_text();
    send_key(0x1e, false, false);
    ASSERT_TRUE(game.frames_until_events(5)) << game.events_text();
    EXPECT_EQ(game.events_text(), "d30 r30 r30 r30 u30");
    EXPECT_EQ(game.hit_frames, 1);
    EXPECT_EQ(game.released_frames, 1);
}
#else
// The keyboard's repeat, held off on the test servers, made quick for a
// test and set back afterwards.
class QuickRepeat {
public:
    QuickRepeat() : display_(XOpenDisplay(nullptr)) {
        if (display_ == nullptr || !XkbGetAutoRepeatRate(display_, XkbUseCoreKbd, &delay_, &interval_)) return;
        set_ = XkbSetAutoRepeatRate(display_, XkbUseCoreKbd, 100, 30);
        XSync(display_, False);
    }
    ~QuickRepeat() {
        if (set_) XkbSetAutoRepeatRate(display_, XkbUseCoreKbd, delay_, interval_);
        if (display_ != nullptr) XCloseDisplay(display_);
    }
    QuickRepeat(const QuickRepeat&) = delete;
    QuickRepeat& operator=(const QuickRepeat&) = delete;
    bool active() const { return set_; }

private:
    Display* display_;
    unsigned delay_ = 0, interval_ = 0;
    bool set_ = false;
};

TEST_F(KeyTapTest, RepeatsOfAHeldKeyAreNotHits) {
    QuickRepeat repeat;
    ASSERT_TRUE(repeat.active()) << "the key repeat rate cannot be set";
    Game game(key::a);
    game.settle();
    xdotool("keydown a");
    ASSERT_TRUE(game.frames_until_events(4)) << game.events_text();
    xdotool("keyup a");
    ASSERT_TRUE(game.frames_until([&] { return !game.events.back().down; })) << game.events_text();
    std::string all = game.events_text();
    EXPECT_EQ(all.substr(0, 8), "d30 r30 ") << all;
    EXPECT_EQ(all.substr(all.size() - 4), " u30") << all;
    for (std::size_t i = 1; i + 1 < game.events.size(); ++i) EXPECT_EQ(text_of(game.events[i]), "r30") << all;
    EXPECT_EQ(game.hit_frames, 1);
    EXPECT_EQ(game.released_frames, 1);
}
#endif

TEST_F(KeyTapTest, FocusLossReleasesAHeldKeyOnce) {
    Game game(key::a);
    game.settle();
    xdotool("keydown a");
    ASSERT_TRUE(game.frames_until_events(1)) << game.events_text();
    FocusThief thief;
    thief.take_focus();
    ASSERT_TRUE(game.frames_until_events(2)) << game.events_text();
    // The system's own release of the key, where it sends one, is not a
    // second release.
    for (int i = 0; i < 10; ++i) game.frame();
    xdotool("keyup a");
    for (int i = 0; i < 10; ++i) game.frame();
    EXPECT_EQ(game.events_text(), "d30 u30");
    EXPECT_EQ(game.released_frames, 1);
}

}  // namespace
}  // namespace crv::test
