/// @file
/// Names for the key codes of crv::key_down, crv::key_hit,
/// crv::key_released, crv::key_to_char and crv::KeyEvent (part of
/// @ref input).
///
/// A key code is the keyboard's scan code in the numbering the run-time
/// uses on every platform (the physical key, not the character: crv::key::q
/// is the key left of crv::key::w whatever the layout prints on it). Keys
/// the run-time does not know read as released. Plain constants: any
/// thread, nothing fails.

/// @namespace crv::key
/// Key codes by name, for the keyboard operations and crv::KeyEvent.
/// Letters and punctuation name the key where a US layout prints that
/// character.
#pragma once

#include <cstdint>

namespace crv::key {

/// @addtogroup input
/// @{

/// @name The main block
/// @{
constexpr std::int32_t escape = 1;  ///< Escape (ends the program while set_escape_quits is on)
constexpr std::int32_t digit_1 = 2;  ///< The digit "1" of the main block
constexpr std::int32_t digit_2 = 3;  ///< The digit "2" of the main block
constexpr std::int32_t digit_3 = 4;  ///< The digit "3" of the main block
constexpr std::int32_t digit_4 = 5;  ///< The digit "4" of the main block
constexpr std::int32_t digit_5 = 6;  ///< The digit "5" of the main block
constexpr std::int32_t digit_6 = 7;  ///< The digit "6" of the main block
constexpr std::int32_t digit_7 = 8;  ///< The digit "7" of the main block
constexpr std::int32_t digit_8 = 9;  ///< The digit "8" of the main block
constexpr std::int32_t digit_9 = 10;  ///< The digit "9" of the main block
constexpr std::int32_t digit_0 = 11;  ///< The digit "0" of the main block
constexpr std::int32_t minus = 12;  ///< "-" and "_"
constexpr std::int32_t equals = 13;  ///< "=" and "+"
constexpr std::int32_t backspace = 14;  ///< Backspace
constexpr std::int32_t tab = 15;  ///< Tab
constexpr std::int32_t q = 16;  ///< The letter Q
constexpr std::int32_t w = 17;  ///< The letter W
constexpr std::int32_t e = 18;  ///< The letter E
constexpr std::int32_t r = 19;  ///< The letter R
constexpr std::int32_t t = 20;  ///< The letter T
constexpr std::int32_t y = 21;  ///< The letter Y
constexpr std::int32_t u = 22;  ///< The letter U
constexpr std::int32_t i = 23;  ///< The letter I
constexpr std::int32_t o = 24;  ///< The letter O
constexpr std::int32_t p = 25;  ///< The letter P
constexpr std::int32_t left_bracket = 26;  ///< "[" and "{"
constexpr std::int32_t right_bracket = 27;  ///< "]" and "}"
/// The main Return key (the keypad's is keypad_enter).
constexpr std::int32_t enter = 28;
constexpr std::int32_t return_key = enter;  ///< The same key as enter
constexpr std::int32_t left_control = 29;  ///< The left Control key
constexpr std::int32_t a = 30;  ///< The letter A
constexpr std::int32_t s = 31;  ///< The letter S
constexpr std::int32_t d = 32;  ///< The letter D
constexpr std::int32_t f = 33;  ///< The letter F
constexpr std::int32_t g = 34;  ///< The letter G
constexpr std::int32_t h = 35;  ///< The letter H
constexpr std::int32_t j = 36;  ///< The letter J
constexpr std::int32_t k = 37;  ///< The letter K
constexpr std::int32_t l = 38;  ///< The letter L
constexpr std::int32_t semicolon = 39;  ///< ";" and ":"
constexpr std::int32_t apostrophe = 40;  ///< "'" and "\""
/// The key left of "1".
constexpr std::int32_t grave = 41;
constexpr std::int32_t left_shift = 42;  ///< The left Shift key
constexpr std::int32_t backslash = 43;  ///< "\\" and "|" (beside Return)
constexpr std::int32_t z = 44;  ///< The letter Z
constexpr std::int32_t x = 45;  ///< The letter X
constexpr std::int32_t c = 46;  ///< The letter C
constexpr std::int32_t v = 47;  ///< The letter V
constexpr std::int32_t b = 48;  ///< The letter B
constexpr std::int32_t n = 49;  ///< The letter N
constexpr std::int32_t m = 50;  ///< The letter M
constexpr std::int32_t comma = 51;  ///< "," and "<"
constexpr std::int32_t period = 52;  ///< "." and ">"
constexpr std::int32_t slash = 53;  ///< "/" and "?"
constexpr std::int32_t right_shift = 54;  ///< The right Shift key
constexpr std::int32_t left_alt = 56;  ///< The left Alt key
constexpr std::int32_t space = 57;  ///< The space bar
constexpr std::int32_t caps_lock = 58;  ///< Caps Lock
/// The extra key beside the left Shift on keyboards that have one.
constexpr std::int32_t non_us_backslash = 86;
constexpr std::int32_t right_control = 157;  ///< The right Control key
/// Right Alt, and AltGr.
constexpr std::int32_t right_alt = 184;
constexpr std::int32_t left_super = 219;  ///< The left Windows (Super) key
constexpr std::int32_t right_super = 220;  ///< The right Windows (Super) key
constexpr std::int32_t menu = 221;  ///< The context-menu key
/// @}

/// @name Function keys
/// @{
constexpr std::int32_t f1 = 59;  ///< Function key F1
constexpr std::int32_t f2 = 60;  ///< Function key F2
constexpr std::int32_t f3 = 61;  ///< Function key F3
constexpr std::int32_t f4 = 62;  ///< Function key F4
constexpr std::int32_t f5 = 63;  ///< Function key F5
constexpr std::int32_t f6 = 64;  ///< Function key F6
constexpr std::int32_t f7 = 65;  ///< Function key F7
constexpr std::int32_t f8 = 66;  ///< Function key F8
constexpr std::int32_t f9 = 67;  ///< Function key F9
constexpr std::int32_t f10 = 68;  ///< Function key F10
constexpr std::int32_t f11 = 87;  ///< Function key F11
constexpr std::int32_t f12 = 88;  ///< Function key F12
constexpr std::int32_t f13 = 100;  ///< Function key F13
constexpr std::int32_t f14 = 101;  ///< Function key F14
constexpr std::int32_t f15 = 102;  ///< Function key F15
/// @}

/// @name Cursor and editing block
/// @{
constexpr std::int32_t print_screen = 183;  ///< Print Screen (SysRq)
constexpr std::int32_t scroll_lock = 70;  ///< Scroll Lock
constexpr std::int32_t pause = 197;  ///< Pause (Break)
constexpr std::int32_t insert = 210;  ///< Insert
constexpr std::int32_t delete_key = 211;  ///< Delete
constexpr std::int32_t home = 199;  ///< Home
constexpr std::int32_t end = 207;  ///< End
constexpr std::int32_t page_up = 201;  ///< Page Up
constexpr std::int32_t page_down = 209;  ///< Page Down
constexpr std::int32_t up = 200;  ///< Cursor up
constexpr std::int32_t left = 203;  ///< Cursor left
constexpr std::int32_t right = 205;  ///< Cursor right
constexpr std::int32_t down = 208;  ///< Cursor down
/// @}

/// @name Keypad
/// @{
constexpr std::int32_t num_lock = 69;  ///< Num Lock
constexpr std::int32_t keypad_divide = 181;  ///< Keypad "/"
constexpr std::int32_t keypad_multiply = 55;  ///< Keypad "*"
constexpr std::int32_t keypad_minus = 74;  ///< Keypad "-"
constexpr std::int32_t keypad_plus = 78;  ///< Keypad "+"
constexpr std::int32_t keypad_enter = 156;  ///< The keypad's Enter key
constexpr std::int32_t keypad_period = 83;  ///< Keypad "." (Delete with Num Lock off)
constexpr std::int32_t keypad_equals = 141;  ///< Keypad "=" (where there is one)
constexpr std::int32_t keypad_comma = 179;  ///< Keypad "," (Brazilian keyboards)
constexpr std::int32_t keypad_0 = 82;  ///< Keypad "0"
constexpr std::int32_t keypad_1 = 79;  ///< Keypad "1"
constexpr std::int32_t keypad_2 = 80;  ///< Keypad "2"
constexpr std::int32_t keypad_3 = 81;  ///< Keypad "3"
constexpr std::int32_t keypad_4 = 75;  ///< Keypad "4"
constexpr std::int32_t keypad_5 = 76;  ///< Keypad "5"
constexpr std::int32_t keypad_6 = 77;  ///< Keypad "6"
constexpr std::int32_t keypad_7 = 71;  ///< Keypad "7"
constexpr std::int32_t keypad_8 = 72;  ///< Keypad "8"
constexpr std::int32_t keypad_9 = 73;  ///< Keypad "9"
/// @}

/// @name Keys of Japanese and Brazilian keyboards
/// @{
constexpr std::int32_t kana = 112;  ///< Kana (Japanese keyboards)
constexpr std::int32_t abnt_c1 = 115;  ///< The "/" key beside the right Shift (Brazilian keyboards)
constexpr std::int32_t convert = 121;  ///< Henkan, convert (Japanese keyboards)
constexpr std::int32_t no_convert = 123;  ///< Muhenkan, no convert (Japanese keyboards)
constexpr std::int32_t yen = 125;  ///< Yen (Japanese keyboards)
/// @}

/// @name Media, system and application keys
/// @{
constexpr std::int32_t previous_track = 144;  ///< Media: previous track
constexpr std::int32_t next_track = 153;  ///< Media: next track
constexpr std::int32_t mute = 160;  ///< Media: mute
constexpr std::int32_t calculator = 161;  ///< Starts the calculator
constexpr std::int32_t play_pause = 162;  ///< Media: play or pause
constexpr std::int32_t media_stop = 164;  ///< Media: stop
constexpr std::int32_t volume_down = 174;  ///< Media: volume down
constexpr std::int32_t volume_up = 176;  ///< Media: volume up
constexpr std::int32_t web_home = 178;  ///< Browser: home page
constexpr std::int32_t power = 222;  ///< System: power
constexpr std::int32_t sleep = 223;  ///< System: sleep
constexpr std::int32_t web_search = 229;  ///< Browser: search
constexpr std::int32_t web_favorites = 230;  ///< Browser: favourites
constexpr std::int32_t web_refresh = 231;  ///< Browser: refresh
constexpr std::int32_t web_stop = 232;  ///< Browser: stop
constexpr std::int32_t web_forward = 233;  ///< Browser: forward
constexpr std::int32_t web_back = 234;  ///< Browser: back
constexpr std::int32_t my_computer = 235;  ///< Opens the file manager ("My Computer")
constexpr std::int32_t mail = 236;  ///< Starts the mail program
constexpr std::int32_t media_select = 237;  ///< Media: select the player
/// @}

/// @}

}  // namespace crv::key
