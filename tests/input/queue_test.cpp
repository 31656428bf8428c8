// The typed-character queue and the key codes whose character is fixed,
// without a window.
#include "runtime/app_state.hpp"
#include "input/input.hpp"

#include <gtest/gtest.h>

namespace crv {
namespace {

TEST(TypedChars, OfferedCharactersFollowTheQueueRules) {
    InputSystem input(nullptr);
    struct Case {
        int offered;
        int queued;  // -1: ignored
    };
    const Case cases[] = {{'a', 'a'}, {0, -1},   {13, 10},   {10, 10},    {9, 9},     {8, 8},
                          {27, -1},   {1, -1},   {31, -1},   {32, ' '},   {0xE4, 0xE4}, {0x1E4, 0xE4},
                          {-28, 0xE4}};
    for (const Case& c : cases) {
        input.clear_chars();
        input.offer_char(c.offered);
        EXPECT_EQ(input.pop_char(), c.queued) << c.offered;
        EXPECT_EQ(input.pop_char(), -1);
    }
}

TEST(TypedChars, QueueKeepsTheFirstSixteenInOrder) {
    InputSystem input(nullptr);
    app_state.input = &input;
    for (char c = 'a'; c < 'a' + 20; ++c) input.offer_char(c);
    EXPECT_EQ(input.waiting_chars(), 16);
    DynString all;
    for (DynString one = typed_char(); one.length() != 0; one = typed_char()) {
        EXPECT_EQ(one.length(), 1u);
        all += one;
    }
    EXPECT_EQ(all, DynString("abcdefghijklmnop"));
    // Room again once read.
    input.offer_char('z');
    EXPECT_EQ(typed_char(), DynString("z"));
    app_state.input = nullptr;
    EXPECT_EQ(typed_char(), DynString(""));
}

TEST(KeyToChar, KeysWithFixedResults) {
    InputSystem input(nullptr);
    struct Case {
        int code;
        int expected;
    };
    // Backspace, both return keys, and the modifiers (shifts, control, alt,
    // caps lock, num lock, application key), also through code + 256.
    const Case cases[] = {{14, 8},  {28, 10}, {156, 10}, {42, 0},  {54, 0},       {29, 0},
                          {56, 0},  {58, 0},  {69, 0},   {221, 0}, {14 + 256, 8}, {28 - 256, 10}};
    for (const Case& c : cases) EXPECT_EQ(input.key_to_char(c.code), c.expected) << c.code;
}

TEST(KeyToChar, WithoutInputObjectEverythingIsZero) {
    app_state.input = nullptr;
    EXPECT_EQ(key_to_char(30), 0);
    EXPECT_EQ(key_down(30), 0);
    EXPECT_EQ(mouse_count(), 0);
    EXPECT_EQ(mouse_axis(2), 0);
    std::int32_t x = 5, y = 5, l = 5, r = 5;
    mouse_state(&x, &y, &l, &r);
    EXPECT_EQ(x | y | l | r, 0);
    EXPECT_EQ(joystick_count(), 0);
}

}  // namespace
}  // namespace crv
