// The named key codes a game uses agree with the codes the keyboard
// backend reports for those keys.
#include <corvane/keys.hpp>

#include "platform/keyboard.hpp"

#include <SDL.h>
#include <gtest/gtest.h>

namespace crv::test {
namespace {

TEST(KeyNames, MatchTheBackendsKeyCodes) {
    struct Case {
        SDL_Scancode scancode;
        std::int32_t named;
    };
    const Case cases[] = {
        {SDL_SCANCODE_ESCAPE, key::escape},       {SDL_SCANCODE_1, key::digit_1},
        {SDL_SCANCODE_9, key::digit_9},           {SDL_SCANCODE_0, key::digit_0},
        {SDL_SCANCODE_MINUS, key::minus},         {SDL_SCANCODE_EQUALS, key::equals},
        {SDL_SCANCODE_BACKSPACE, key::backspace}, {SDL_SCANCODE_TAB, key::tab},
        {SDL_SCANCODE_Q, key::q},                 {SDL_SCANCODE_P, key::p},
        {SDL_SCANCODE_LEFTBRACKET, key::left_bracket}, {SDL_SCANCODE_RIGHTBRACKET, key::right_bracket},
        {SDL_SCANCODE_RETURN, key::enter},        {SDL_SCANCODE_LCTRL, key::left_control},
        {SDL_SCANCODE_A, key::a},                 {SDL_SCANCODE_L, key::l},
        {SDL_SCANCODE_SEMICOLON, key::semicolon}, {SDL_SCANCODE_APOSTROPHE, key::apostrophe},
        {SDL_SCANCODE_GRAVE, key::grave},         {SDL_SCANCODE_LSHIFT, key::left_shift},
        {SDL_SCANCODE_BACKSLASH, key::backslash}, {SDL_SCANCODE_Z, key::z},
        {SDL_SCANCODE_M, key::m},                 {SDL_SCANCODE_COMMA, key::comma},
        {SDL_SCANCODE_PERIOD, key::period},       {SDL_SCANCODE_SLASH, key::slash},
        {SDL_SCANCODE_RSHIFT, key::right_shift},  {SDL_SCANCODE_LALT, key::left_alt},
        {SDL_SCANCODE_SPACE, key::space},         {SDL_SCANCODE_CAPSLOCK, key::caps_lock},
        {SDL_SCANCODE_NONUSBACKSLASH, key::non_us_backslash},
        {SDL_SCANCODE_RCTRL, key::right_control}, {SDL_SCANCODE_RALT, key::right_alt},
        {SDL_SCANCODE_LGUI, key::left_super},     {SDL_SCANCODE_RGUI, key::right_super},
        {SDL_SCANCODE_APPLICATION, key::menu},    {SDL_SCANCODE_F1, key::f1},
        {SDL_SCANCODE_F4, key::f4},               {SDL_SCANCODE_F10, key::f10},
        {SDL_SCANCODE_F11, key::f11},             {SDL_SCANCODE_F12, key::f12},
        {SDL_SCANCODE_F15, key::f15},             {SDL_SCANCODE_PRINTSCREEN, key::print_screen},
        {SDL_SCANCODE_SCROLLLOCK, key::scroll_lock}, {SDL_SCANCODE_PAUSE, key::pause},
        {SDL_SCANCODE_INSERT, key::insert},       {SDL_SCANCODE_DELETE, key::delete_key},
        {SDL_SCANCODE_HOME, key::home},           {SDL_SCANCODE_END, key::end},
        {SDL_SCANCODE_PAGEUP, key::page_up},      {SDL_SCANCODE_PAGEDOWN, key::page_down},
        {SDL_SCANCODE_UP, key::up},               {SDL_SCANCODE_LEFT, key::left},
        {SDL_SCANCODE_RIGHT, key::right},         {SDL_SCANCODE_DOWN, key::down},
        {SDL_SCANCODE_NUMLOCKCLEAR, key::num_lock}, {SDL_SCANCODE_KP_DIVIDE, key::keypad_divide},
        {SDL_SCANCODE_KP_MULTIPLY, key::keypad_multiply}, {SDL_SCANCODE_KP_MINUS, key::keypad_minus},
        {SDL_SCANCODE_KP_PLUS, key::keypad_plus}, {SDL_SCANCODE_KP_ENTER, key::keypad_enter},
        {SDL_SCANCODE_KP_PERIOD, key::keypad_period}, {SDL_SCANCODE_KP_EQUALS, key::keypad_equals},
        {SDL_SCANCODE_KP_COMMA, key::keypad_comma}, {SDL_SCANCODE_KP_0, key::keypad_0},
        {SDL_SCANCODE_KP_1, key::keypad_1},       {SDL_SCANCODE_KP_5, key::keypad_5},
        {SDL_SCANCODE_KP_9, key::keypad_9},       {SDL_SCANCODE_INTERNATIONAL2, key::kana},
        {SDL_SCANCODE_INTERNATIONAL3, key::yen},  {SDL_SCANCODE_MUTE, key::mute},
        {SDL_SCANCODE_VOLUMEUP, key::volume_up},  {SDL_SCANCODE_AC_BACK, key::web_back},
    };
    for (const Case& c : cases)
        EXPECT_EQ(plat::key_code_from_backend(c.scancode), c.named) << SDL_GetScancodeName(c.scancode);
}

}  // namespace
}  // namespace crv::test
