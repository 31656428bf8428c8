// A game's view of the run-time: this file includes nothing of the
// run-time but the one game header, and calls into every subsystem
// before start-up, where each must answer its documented "nothing there"
// value instead of failing. It also pins the colour functions and a few key
// codes a game relies on.
#include <corvane/corvane.hpp>

#include <gtest/gtest.h>

namespace crv::test {
namespace {

// Red in the low byte, each channel clamped on its own.
static_assert(rgb(0x12, 0x34, 0x56) == 0x563412);
static_assert(rgb(255, 0, 0) == 0x0000FF && rgb(0, 255, 0) == 0x00FF00 && rgb(0, 0, 255) == 0xFF0000);
static_assert(rgb(-5, 300, 128) == 0x80FF00);
static_assert(rgb(1000, -1000, 1000) == 0xFF00FF);
static_assert(rgba(1, 2, 3, 255) == static_cast<std::int32_t>(0xFF030201u));
static_assert(rgba(1, 2, 3, 999) == rgba(1, 2, 3, 255) && rgba(1, 2, 3, -1) == rgb(1, 2, 3));
static_assert(colour_red(rgba(10, 20, 30, 40)) == 10 && colour_green(rgba(10, 20, 30, 40)) == 20 &&
              colour_blue(rgba(10, 20, 30, 40)) == 30 && colour_alpha(rgba(10, 20, 30, 40)) == 40);
// Extracting from a negative (opaque) pixel must not smear the sign.
static_assert(colour_alpha(rgba(0, 0, 0, 255)) == 255 && colour_blue(static_cast<std::int32_t>(0xFFFF0000u)) == 255);
static_assert(k_default_colour_key == rgb(255, 0, 128));

// The key codes games know by number.
static_assert(key::escape == 1 && key::digit_1 == 2 && key::digit_0 == 11 && key::enter == 28);
static_assert(key::left_control == 29 && key::left_shift == 42 && key::space == 57);
static_assert(key::f1 == 59 && key::f10 == 68 && key::keypad_enter == 156 && key::right_control == 157);
static_assert(key::up == 200 && key::left == 203 && key::right == 205 && key::down == 208);

TEST(PublicHeaders, EverySubsystemAnswersBeforeStartUp) {
    // Core values work without the window.
    DynArray<std::int32_t> numbers;
    numbers.fill_values({3, 1, 2});
    EXPECT_EQ(number_to_text(2.5) + "/" + int_to_text(numbers(0)), "2.5/3");
    EXPECT_EQ(to_int32(-7.9), -7);
    EXPECT_TRUE(wildcard_match("*.PNG", "road.png"));
    EXPECT_EQ(argument_text("\"my game\"  -w"), "-w");

    // The services answer "nothing there" until start-up made them.
    EXPECT_EQ(app_state.renderer, nullptr);
    EXPECT_EQ(sprite_free_slot(), -1);
    EXPECT_EQ(read_pixel(0, 0), 0);
    text_print("no window", 0, 0, 1);
    EXPECT_FALSE(object_load(0, "missing.zvd"));
    EXPECT_EQ(last_hit(), -1);
    EXPECT_EQ(key_down(key::escape), 0);
    EXPECT_EQ(typed_char(), "");
    EXPECT_EQ(sound_play(0, 0, 1), -1);
    EXPECT_FALSE(net_is_running());
    EXPECT_EQ(net_add_player("nobody"), 0);

    // A path across a 3 x 1 corridor.
    DynArray<double> map;
    map.set_dimensions(3, 1);
    for (int x = 0; x < 3; ++x) map(x, 0) = 1;
    DynArray<std::int32_t> path;
    ASSERT_EQ(path_find(map, path, 0, 0, 0, 2, 0), 3);
    EXPECT_EQ(path(2, 0), 2);
}

}  // namespace
}  // namespace crv::test
