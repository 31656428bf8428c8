// The keys pressed and released between frames and the key-event queue,
// fed with window messages as a backend hands them over, without a window.
// end_key_frame stands for the end of present_frame.
#include "runtime/app_state.hpp"
#include "input/input.hpp"
#include "platform/events.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace crv {
namespace {

using plat::Message;
using plat::MessageKind;

Message down(int code) { return Message{MessageKind::key_down, code}; }
Message repeat(int code) { return Message{MessageKind::key_down, code, true}; }
Message up(int code) { return Message{MessageKind::key_up, code}; }
Message system_up(int code) { return Message{MessageKind::system_key_up, code}; }
Message activate(int state) { return Message{MessageKind::activate, state}; }

// An event as "d30", "r30" (repeat) or "u30".
std::string text_of(const KeyEvent& e) {
    return (e.down ? (e.repeat ? "r" : "d") : "u") + std::to_string(e.code);
}

std::vector<std::string> take_events(InputSystem& input) {
    std::vector<std::string> all;
    KeyEvent e;
    while (input.next_key_event(&e)) all.push_back(text_of(e));
    return all;
}

std::vector<int> codes_where(const InputSystem& input, bool (InputSystem::*test)(int) const) {
    std::vector<int> codes;
    for (int code = 0; code < 256; ++code)
        if ((input.*test)(code)) codes.push_back(code);
    return codes;
}

TEST(KeyEvents, MessagesOfOneFrame) {
    struct Case {
        const char* what;
        std::vector<Message> before;  // an earlier frame, whose events are read
        std::vector<Message> frame;
        std::vector<std::string> events;
        std::vector<int> hit;
        std::vector<int> released;
    };
    const Case cases[] = {
        {"a tap", {}, {down(57), up(57)}, {"d57", "u57"}, {57}, {57}},
        {"two taps are one hit", {}, {down(57), up(57), down(57), up(57)}, {"d57", "u57", "d57", "u57"}, {57}, {57}},
        {"overlapping keys in order", {}, {down(30), down(48), up(30), up(48)}, {"d30", "d48", "u30", "u48"},
         {30, 48}, {30, 48}},
        {"a press still held", {}, {down(200)}, {"d200"}, {200}, {}},
        {"repeats are queued, not hit", {down(30)}, {repeat(30), repeat(30), up(30)}, {"r30", "r30", "u30"}, {}, {30}},
        {"a press after a release this window missed", {down(30)}, {down(30)}, {"d30"}, {30}, {}},
        {"a release with Alt held", {}, {down(56), down(62), system_up(62), system_up(56)},
         {"d56", "d62", "u62", "u56"}, {56, 62}, {56, 62}},
        {"a release without its press", {}, {up(30), system_up(56)}, {}, {}, {}},
        {"codes modulo 256, no key 0", {}, {down(30 + 256), up(30 - 256), down(0), up(0)}, {"d30", "u30"}, {30}, {30}},
        {"focus lost: held keys released once", {down(29)}, {down(30), activate(0), up(30), up(29)},
         {"d30", "u29", "u30"}, {30}, {29, 30}},
        {"focus gained: nothing", {down(29)}, {activate(1), activate(2)}, {}, {}, {}},
        {"other messages: nothing", {}, {Message{MessageKind::character, 'a'}, Message{MessageKind::close, 0}},
         {}, {}, {}},
    };
    for (const Case& c : cases) {
        InputSystem input(nullptr);
        for (const Message& m : c.before) input.offer_message(m, 1);
        input.end_key_frame();
        take_events(input);
        const std::vector<int> earlier_hits = codes_where(input, &InputSystem::key_hit);
        for (const Message& m : c.frame) input.offer_message(m, 2);
        // The running frame's answers stay until it ends.
        EXPECT_EQ(codes_where(input, &InputSystem::key_hit), earlier_hits) << c.what;
        input.end_key_frame();
        EXPECT_EQ(take_events(input), c.events) << c.what;
        EXPECT_EQ(codes_where(input, &InputSystem::key_hit), c.hit) << c.what;
        EXPECT_EQ(codes_where(input, &InputSystem::key_released), c.released) << c.what;
        // Seen for one frame only.
        input.end_key_frame();
        EXPECT_EQ(codes_where(input, &InputSystem::key_hit), std::vector<int>{}) << c.what;
        EXPECT_EQ(codes_where(input, &InputSystem::key_released), std::vector<int>{}) << c.what;
    }
}

TEST(KeyEvents, QueueKeepsOrderAndTimesAcrossFrames) {
    InputSystem input(nullptr);
    input.offer_message(down(30), 100);
    input.end_key_frame();
    input.offer_message(up(30), 90);  // stamped a little out of step
    input.offer_message(down(31), 120.5);
    input.end_key_frame();
    // Unread events wait across frames; each is handed out once.
    std::vector<std::pair<std::string, double>> got;
    KeyEvent e;
    while (input.next_key_event(&e)) got.emplace_back(text_of(e), e.time);
    const std::vector<std::pair<std::string, double>> expected = {{"d30", 100}, {"u30", 100}, {"d31", 120.5}};
    EXPECT_EQ(got, expected);
    EXPECT_FALSE(input.next_key_event(&e));
    EXPECT_EQ(input.waiting_key_events(), 0);
}

TEST(KeyEvents, FullQueueDropsTheOldestAndCountsThem) {
    InputSystem input(nullptr);
    constexpr int k_extra = 5;
    for (int i = 0; i < k_key_event_limit + k_extra; ++i) input.offer_message(repeat(30), i);
    EXPECT_EQ(input.waiting_key_events(), k_key_event_limit);
    EXPECT_EQ(input.take_dropped_key_events(), k_extra);
    EXPECT_EQ(input.take_dropped_key_events(), 0);
    KeyEvent e;
    ASSERT_TRUE(input.next_key_event(&e));
    EXPECT_EQ(e.time, k_extra);
    int left = 1;
    while (input.next_key_event(&e)) ++left;
    EXPECT_EQ(left, k_key_event_limit);
    EXPECT_EQ(e.time, k_key_event_limit + k_extra - 1);
    // Room again, in order, after the queue wrapped.
    input.offer_message(up(30), 1000);
    ASSERT_TRUE(input.next_key_event(&e));
    EXPECT_EQ(text_of(e), "u30");
}

TEST(KeyEvents, GameOperationsReadTheInputObject) {
    app_state.input = nullptr;
    KeyEvent e;
    EXPECT_EQ(key_hit(30), 0);
    EXPECT_EQ(key_released(30), 0);
    EXPECT_EQ(next_key_event(&e), 0);
    EXPECT_EQ(key_events_dropped(), 0);

    InputSystem input(nullptr);
    app_state.input = &input;
    input.offer_message(down(57), 7);
    input.offer_message(up(57), 9);
    input.end_key_frame();
    EXPECT_EQ(key_hit(57), 1);
    EXPECT_EQ(key_released(57 + 256), 1);
    EXPECT_EQ(key_hit(30), 0);
    // A null event takes nothing.
    EXPECT_EQ(next_key_event(nullptr), 0);
    ASSERT_EQ(next_key_event(&e), 1);
    EXPECT_EQ(e.code, 57);
    EXPECT_TRUE(e.down);
    EXPECT_FALSE(e.repeat);
    EXPECT_EQ(e.time, 7);
    ASSERT_EQ(next_key_event(&e), 1);
    EXPECT_FALSE(e.down);
    EXPECT_EQ(next_key_event(&e), 0);
    EXPECT_FALSE(e.down);  // left as it was
    for (int i = 0; i < k_key_event_limit + 2; ++i) input.offer_message(repeat(57), 10);
    EXPECT_EQ(key_events_dropped(), 2);
    EXPECT_EQ(key_events_dropped(), 0);
    app_state.input = nullptr;
}

}  // namespace
}  // namespace crv
