// The real keyboard of the X server: key states by key code, characters
// through the layout, and the typed-character queue.
#include "runtime/app_state.hpp"
#include "platform/clock.hpp"
#include "tests/input/input_fixture.hpp"

namespace crv::test {
namespace {

using KeyboardTest = InputDisplayTest;

TEST_F(KeyboardTest, KeysReadByKeyCode) {
    struct Case {
        const char* key;  // as xdotool names it
        int code;
        // xdotool holds the left-hand modifier with a right-hand one.
        int companion = -1;
    };
    const Case cases[] = {
        {"Escape", 1},       {"1", 2},           {"0", 11},          {"minus", 12},       {"BackSpace", 14},
        {"Tab", 15},         {"q", 16},          {"bracketright", 27}, {"Return", 28},    {"Control_L", 29},
        {"a", 30},           {"grave", 41},      {"Shift_L", 42},    {"backslash", 43},   {"z", 44},
        {"slash", 53},       {"Shift_R", 54, 42},    {"KP_Multiply", 55}, {"Alt_L", 56},      {"space", 57},
        {"F1", 59},          {"F4", 62},         {"F10", 68},        {"KP_Home", 71},     {"KP_Subtract", 74},
        {"KP_Insert", 82},   {"F11", 87},        {"F12", 88},        {"KP_Enter", 156},   {"Control_R", 157, 29},
        {"KP_Divide", 181},  {"Alt_R", 184, 56}, {"Home", 199},      {"Up", 200},         {"Prior", 201},
        {"Left", 203},       {"Right", 205},     {"End", 207},       {"Down", 208},       {"Next", 209},
        {"Insert", 210},     {"Delete", 211},    {"Super_L", 219},   {"Menu", 221},
    };
    for (const Case& c : cases) {
        xdotool(std::string("keydown ") + c.key);
        EXPECT_TRUE(eventually([&] { return input().key_is_down(c.code); })) << c.key;
        for (int other = 0; other < 256; ++other) {
            if (other == c.code || other == c.companion) continue;
            EXPECT_FALSE(input().key_is_down(other)) << c.key << " also sets " << other;
        }
        xdotool(std::string("keyup ") + c.key);
        EXPECT_TRUE(eventually([&] { return !input().key_is_down(c.code); })) << c.key;
    }
}

TEST_F(KeyboardTest, HeldKeyStaysDownThroughManyQueries) {
    xdotool("keydown a");
    ASSERT_TRUE(eventually([&] { return key_down(30) == 1; }));
    // Far more queries than one frame's re-poll allowance.
    int down = 0;
    for (int i = 0; i < 500; ++i) down += key_down(30);
    EXPECT_EQ(down, 500);
    EXPECT_EQ(key_down(30 + 256), 1);
    xdotool("keyup a");
    // Without presenting a frame or pumping messages, the query counter
    // alone brings the release in.
    plat::sleep_ms(200);
    int queries = 0;
    while (queries < 1000 && key_down(30) == 1) ++queries;
    EXPECT_LE(queries, 129);
}

TEST_F(KeyboardTest, KeyToCharFollowsLayoutAndShift) {
    struct Case {
        int code;
        int plain;
        int shifted;
    };
    const Case cases[] = {
        {30, 'a', 'A'}, {44, 'z', 'Z'}, {2, '1', '!'},  {11, '0', ')'}, {12, '-', '_'},  {57, ' ', ' '},
        {53, '/', '?'}, {55, '*', '*'}, {14, 8, 8},     {28, 10, 10},   {156, 10, 10},   {42, 0, 0},
        {54, 0, 0},     {15, 0, 0},     {1, 0, 0},      {59, 0, 0},     {200, 0, 0},     {211, 0, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(input().key_to_char(c.code), c.plain) << c.code;
    xdotool("keydown shift");
    ASSERT_TRUE(eventually([&] { return input().key_to_char(30) == 'A'; }));
    for (const Case& c : cases) EXPECT_EQ(input().key_to_char(c.code), c.shifted) << "shift " << c.code;
    xdotool("keyup shift");
    EXPECT_TRUE(eventually([&] { return input().key_to_char(30) == 'a'; }));
    // Control turns letters into control characters, which give 0.
    xdotool("keydown Control_L");
    EXPECT_TRUE(eventually([&] { return input().key_to_char(30) == 0; }));
    xdotool("keyup Control_L");
}

TEST_F(KeyboardTest, TypedCharactersReachTheQueue) {
    xdotool("type --delay 5 abcdefghijklmnopqrst");
    // Let everything typed arrive before reading.
    eventually([] { return false; }, 500);
    DynString all;
    for (DynString one = typed_char(); one.length() != 0; one = typed_char()) all += one;
    EXPECT_EQ(all, DynString("abcdefghijklmnop"));

    xdotool("key shift+a");
    ASSERT_TRUE(eventually([&] { return input().waiting_chars() == 1; }));
    EXPECT_EQ(typed_char(), DynString("A"));
    xdotool("key Return");
    ASSERT_TRUE(eventually([&] { return input().waiting_chars() == 1; }));
    EXPECT_EQ(input().pop_char(), 10);
    xdotool("key KP_Enter BackSpace Tab");
    ASSERT_TRUE(eventually([&] { return input().waiting_chars() == 3; }));
    EXPECT_EQ(input().pop_char(), 10);
    EXPECT_EQ(input().pop_char(), 8);
    EXPECT_EQ(input().pop_char(), 9);
}

}  // namespace
}  // namespace crv::test
