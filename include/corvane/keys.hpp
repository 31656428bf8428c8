// Names for the key codes of key_down and key_to_char. A key code is the
// keyboard's scan code in the numbering the run-time uses on every
// platform (the physical key, not the character: key::q is the key left of
// key::w whatever the layout prints on it). Keys the run-time does not
// know read as released. Plain constants: any thread, nothing fails.
#pragma once

#include <cstdint>

namespace crv::key {

// ---- the main block ----
constexpr std::int32_t escape = 1;
// The digit row, "1" .. "9" then "0".
constexpr std::int32_t digit_1 = 2;
constexpr std::int32_t digit_2 = 3;
constexpr std::int32_t digit_3 = 4;
constexpr std::int32_t digit_4 = 5;
constexpr std::int32_t digit_5 = 6;
constexpr std::int32_t digit_6 = 7;
constexpr std::int32_t digit_7 = 8;
constexpr std::int32_t digit_8 = 9;
constexpr std::int32_t digit_9 = 10;
constexpr std::int32_t digit_0 = 11;
constexpr std::int32_t minus = 12;
constexpr std::int32_t equals = 13;
constexpr std::int32_t backspace = 14;
constexpr std::int32_t tab = 15;
constexpr std::int32_t q = 16;
constexpr std::int32_t w = 17;
constexpr std::int32_t e = 18;
constexpr std::int32_t r = 19;
constexpr std::int32_t t = 20;
constexpr std::int32_t y = 21;
constexpr std::int32_t u = 22;
constexpr std::int32_t i = 23;
constexpr std::int32_t o = 24;
constexpr std::int32_t p = 25;
constexpr std::int32_t left_bracket = 26;
constexpr std::int32_t right_bracket = 27;
// The main Return key (the keypad's is keypad_enter).
constexpr std::int32_t enter = 28;
constexpr std::int32_t return_key = enter;
constexpr std::int32_t left_control = 29;
constexpr std::int32_t a = 30;
constexpr std::int32_t s = 31;
constexpr std::int32_t d = 32;
constexpr std::int32_t f = 33;
constexpr std::int32_t g = 34;
constexpr std::int32_t h = 35;
constexpr std::int32_t j = 36;
constexpr std::int32_t k = 37;
constexpr std::int32_t l = 38;
constexpr std::int32_t semicolon = 39;
constexpr std::int32_t apostrophe = 40;
// The key left of "1".
constexpr std::int32_t grave = 41;
constexpr std::int32_t left_shift = 42;
constexpr std::int32_t backslash = 43;
constexpr std::int32_t z = 44;
constexpr std::int32_t x = 45;
constexpr std::int32_t c = 46;
constexpr std::int32_t v = 47;
constexpr std::int32_t b = 48;
constexpr std::int32_t n = 49;
constexpr std::int32_t m = 50;
constexpr std::int32_t comma = 51;
constexpr std::int32_t period = 52;
constexpr std::int32_t slash = 53;
constexpr std::int32_t right_shift = 54;
constexpr std::int32_t left_alt = 56;
constexpr std::int32_t space = 57;
constexpr std::int32_t caps_lock = 58;
// The extra key beside the left Shift on keyboards that have one.
constexpr std::int32_t non_us_backslash = 86;
constexpr std::int32_t right_control = 157;
// Right Alt, and AltGr.
constexpr std::int32_t right_alt = 184;
constexpr std::int32_t left_super = 219;
constexpr std::int32_t right_super = 220;
constexpr std::int32_t menu = 221;

// ---- function keys ----
constexpr std::int32_t f1 = 59;
constexpr std::int32_t f2 = 60;
constexpr std::int32_t f3 = 61;
constexpr std::int32_t f4 = 62;
constexpr std::int32_t f5 = 63;
constexpr std::int32_t f6 = 64;
constexpr std::int32_t f7 = 65;
constexpr std::int32_t f8 = 66;
constexpr std::int32_t f9 = 67;
constexpr std::int32_t f10 = 68;
constexpr std::int32_t f11 = 87;
constexpr std::int32_t f12 = 88;
constexpr std::int32_t f13 = 100;
constexpr std::int32_t f14 = 101;
constexpr std::int32_t f15 = 102;

// ---- cursor and editing block ----
constexpr std::int32_t print_screen = 183;
constexpr std::int32_t scroll_lock = 70;
constexpr std::int32_t pause = 197;
constexpr std::int32_t insert = 210;
constexpr std::int32_t delete_key = 211;
constexpr std::int32_t home = 199;
constexpr std::int32_t end = 207;
constexpr std::int32_t page_up = 201;
constexpr std::int32_t page_down = 209;
constexpr std::int32_t up = 200;
constexpr std::int32_t left = 203;
constexpr std::int32_t right = 205;
constexpr std::int32_t down = 208;

// ---- keypad ----
constexpr std::int32_t num_lock = 69;
constexpr std::int32_t keypad_divide = 181;
constexpr std::int32_t keypad_multiply = 55;
constexpr std::int32_t keypad_minus = 74;
constexpr std::int32_t keypad_plus = 78;
constexpr std::int32_t keypad_enter = 156;
constexpr std::int32_t keypad_period = 83;
constexpr std::int32_t keypad_equals = 141;
constexpr std::int32_t keypad_comma = 179;
constexpr std::int32_t keypad_0 = 82;
constexpr std::int32_t keypad_1 = 79;
constexpr std::int32_t keypad_2 = 80;
constexpr std::int32_t keypad_3 = 81;
constexpr std::int32_t keypad_4 = 75;
constexpr std::int32_t keypad_5 = 76;
constexpr std::int32_t keypad_6 = 77;
constexpr std::int32_t keypad_7 = 71;
constexpr std::int32_t keypad_8 = 72;
constexpr std::int32_t keypad_9 = 73;

// ---- keys of Japanese and Brazilian keyboards ----
constexpr std::int32_t kana = 112;
constexpr std::int32_t abnt_c1 = 115;
constexpr std::int32_t convert = 121;
constexpr std::int32_t no_convert = 123;
constexpr std::int32_t yen = 125;

// ---- media, system and application keys ----
constexpr std::int32_t previous_track = 144;
constexpr std::int32_t next_track = 153;
constexpr std::int32_t mute = 160;
constexpr std::int32_t calculator = 161;
constexpr std::int32_t play_pause = 162;
constexpr std::int32_t media_stop = 164;
constexpr std::int32_t volume_down = 174;
constexpr std::int32_t volume_up = 176;
constexpr std::int32_t web_home = 178;
constexpr std::int32_t power = 222;
constexpr std::int32_t sleep = 223;
constexpr std::int32_t web_search = 229;
constexpr std::int32_t web_favorites = 230;
constexpr std::int32_t web_refresh = 231;
constexpr std::int32_t web_stop = 232;
constexpr std::int32_t web_forward = 233;
constexpr std::int32_t web_back = 234;
constexpr std::int32_t my_computer = 235;
constexpr std::int32_t mail = 236;
constexpr std::int32_t media_select = 237;

}  // namespace crv::key
