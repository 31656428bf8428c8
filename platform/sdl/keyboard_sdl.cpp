#include "platform/keyboard.hpp"

#include "platform/sdl/input_backend.hpp"

#include <SDL.h>
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <array>
#include <cstring>

namespace crv::plat {

namespace {

Display* x_display = nullptr;

// SDL scancodes (USB usage numbers) to the run-time's key codes.
const std::array<std::uint8_t, SDL_NUM_SCANCODES>& key_code_table() {
    static const auto table = [] {
        std::array<std::uint8_t, SDL_NUM_SCANCODES> t{};
        auto set = [&t](SDL_Scancode s, int code) { t[s] = static_cast<std::uint8_t>(code); };
        set(SDL_SCANCODE_ESCAPE, 1);
        const SDL_Scancode digits[] = {SDL_SCANCODE_1, SDL_SCANCODE_2, SDL_SCANCODE_3, SDL_SCANCODE_4,
                                       SDL_SCANCODE_5, SDL_SCANCODE_6, SDL_SCANCODE_7, SDL_SCANCODE_8,
                                       SDL_SCANCODE_9, SDL_SCANCODE_0};
        for (int i = 0; i < 10; ++i) set(digits[i], 2 + i);
        set(SDL_SCANCODE_MINUS, 12);
        set(SDL_SCANCODE_EQUALS, 13);
        set(SDL_SCANCODE_BACKSPACE, 14);
        set(SDL_SCANCODE_TAB, 15);
        const SDL_Scancode row1[] = {SDL_SCANCODE_Q, SDL_SCANCODE_W, SDL_SCANCODE_E, SDL_SCANCODE_R,
                                     SDL_SCANCODE_T, SDL_SCANCODE_Y, SDL_SCANCODE_U, SDL_SCANCODE_I,
                                     SDL_SCANCODE_O, SDL_SCANCODE_P};
        for (int i = 0; i < 10; ++i) set(row1[i], 16 + i);
        set(SDL_SCANCODE_LEFTBRACKET, 26);
        set(SDL_SCANCODE_RIGHTBRACKET, 27);
        set(SDL_SCANCODE_RETURN, 28);
        set(SDL_SCANCODE_LCTRL, 29);
        const SDL_Scancode row2[] = {SDL_SCANCODE_A, SDL_SCANCODE_S, SDL_SCANCODE_D, SDL_SCANCODE_F,
                                     SDL_SCANCODE_G, SDL_SCANCODE_H, SDL_SCANCODE_J, SDL_SCANCODE_K,
                                     SDL_SCANCODE_L};
        for (int i = 0; i < 9; ++i) set(row2[i], 30 + i);
        set(SDL_SCANCODE_SEMICOLON, 39);
        set(SDL_SCANCODE_APOSTROPHE, 40);
        set(SDL_SCANCODE_GRAVE, 41);
        set(SDL_SCANCODE_LSHIFT, 42);
        set(SDL_SCANCODE_BACKSLASH, 43);
        set(SDL_SCANCODE_NONUSHASH, 43);
        const SDL_Scancode row3[] = {SDL_SCANCODE_Z, SDL_SCANCODE_X, SDL_SCANCODE_C, SDL_SCANCODE_V,
                                     SDL_SCANCODE_B, SDL_SCANCODE_N, SDL_SCANCODE_M};
        for (int i = 0; i < 7; ++i) set(row3[i], 44 + i);
        set(SDL_SCANCODE_COMMA, 51);
        set(SDL_SCANCODE_PERIOD, 52);
        set(SDL_SCANCODE_SLASH, 53);
        set(SDL_SCANCODE_RSHIFT, 54);
        set(SDL_SCANCODE_KP_MULTIPLY, 55);
        set(SDL_SCANCODE_LALT, 56);
        set(SDL_SCANCODE_SPACE, 57);
        set(SDL_SCANCODE_CAPSLOCK, 58);
        for (int i = 0; i < 10; ++i) set(static_cast<SDL_Scancode>(SDL_SCANCODE_F1 + i), 59 + i);
        set(SDL_SCANCODE_NUMLOCKCLEAR, 69);
        set(SDL_SCANCODE_SCROLLLOCK, 70);
        set(SDL_SCANCODE_KP_7, 71);
        set(SDL_SCANCODE_KP_8, 72);
        set(SDL_SCANCODE_KP_9, 73);
        set(SDL_SCANCODE_KP_MINUS, 74);
        set(SDL_SCANCODE_KP_4, 75);
        set(SDL_SCANCODE_KP_5, 76);
        set(SDL_SCANCODE_KP_6, 77);
        set(SDL_SCANCODE_KP_PLUS, 78);
        set(SDL_SCANCODE_KP_1, 79);
        set(SDL_SCANCODE_KP_2, 80);
        set(SDL_SCANCODE_KP_3, 81);
        set(SDL_SCANCODE_KP_0, 82);
        set(SDL_SCANCODE_KP_PERIOD, 83);
        set(SDL_SCANCODE_NONUSBACKSLASH, 86);
        set(SDL_SCANCODE_F11, 87);
        set(SDL_SCANCODE_F12, 88);
        set(SDL_SCANCODE_F13, 100);
        set(SDL_SCANCODE_F14, 101);
        set(SDL_SCANCODE_F15, 102);
        set(SDL_SCANCODE_INTERNATIONAL2, 112);  // kana
        set(SDL_SCANCODE_INTERNATIONAL1, 115);  // ABNT C1 / ro
        set(SDL_SCANCODE_INTERNATIONAL4, 121);  // convert
        set(SDL_SCANCODE_INTERNATIONAL5, 123);  // no convert
        set(SDL_SCANCODE_INTERNATIONAL3, 125);  // yen
        set(SDL_SCANCODE_KP_EQUALS, 141);
        set(SDL_SCANCODE_AUDIOPREV, 144);
        set(SDL_SCANCODE_AUDIONEXT, 153);
        set(SDL_SCANCODE_KP_ENTER, 156);
        set(SDL_SCANCODE_RCTRL, 157);
        set(SDL_SCANCODE_MUTE, 160);
        set(SDL_SCANCODE_AUDIOPLAY, 162);
        set(SDL_SCANCODE_AUDIOSTOP, 164);
        set(SDL_SCANCODE_VOLUMEDOWN, 174);
        set(SDL_SCANCODE_VOLUMEUP, 176);
        set(SDL_SCANCODE_KP_COMMA, 179);
        set(SDL_SCANCODE_KP_DIVIDE, 181);
        set(SDL_SCANCODE_PRINTSCREEN, 183);
        set(SDL_SCANCODE_RALT, 184);
        set(SDL_SCANCODE_PAUSE, 197);
        set(SDL_SCANCODE_HOME, 199);
        set(SDL_SCANCODE_UP, 200);
        set(SDL_SCANCODE_PAGEUP, 201);
        set(SDL_SCANCODE_LEFT, 203);
        set(SDL_SCANCODE_RIGHT, 205);
        set(SDL_SCANCODE_END, 207);
        set(SDL_SCANCODE_DOWN, 208);
        set(SDL_SCANCODE_PAGEDOWN, 209);
        set(SDL_SCANCODE_INSERT, 210);
        set(SDL_SCANCODE_DELETE, 211);
        set(SDL_SCANCODE_LGUI, 219);
        set(SDL_SCANCODE_RGUI, 220);
        set(SDL_SCANCODE_APPLICATION, 221);
        set(SDL_SCANCODE_POWER, 222);
        set(SDL_SCANCODE_SLEEP, 223);
        // Keys that some keyboards or keymaps report under a second name.
        set(SDL_SCANCODE_RETURN2, 28);
        set(SDL_SCANCODE_KP_EQUALSAS400, 141);
        set(SDL_SCANCODE_SYSREQ, 183);
        set(SDL_SCANCODE_MODE, 184);  // the right Alt key as a layout shift
        // Application and browser keys.
        set(SDL_SCANCODE_CALCULATOR, 161);
        set(SDL_SCANCODE_AC_HOME, 178);
        set(SDL_SCANCODE_AC_SEARCH, 229);
        set(SDL_SCANCODE_AC_BOOKMARKS, 230);
        set(SDL_SCANCODE_AC_REFRESH, 231);
        set(SDL_SCANCODE_AC_STOP, 232);
        set(SDL_SCANCODE_AC_FORWARD, 233);
        set(SDL_SCANCODE_AC_BACK, 234);
        set(SDL_SCANCODE_COMPUTER, 235);
        set(SDL_SCANCODE_MAIL, 236);
        set(SDL_SCANCODE_MEDIASELECT, 237);
        return t;
    }();
    return table;
}

// Key code -> SDL scancode, the first SDL key of each code.
const std::array<std::uint16_t, 256>& scancode_table() {
    static const auto table = [] {
        std::array<std::uint16_t, 256> t{};
        const auto& codes = key_code_table();
        for (std::size_t s = 0; s < codes.size(); ++s)
            if (codes[s] != 0 && t[codes[s]] == 0) t[codes[s]] = static_cast<std::uint16_t>(s);
        return t;
    }();
    return table;
}

// The keys that type characters, by the names XKB gives key positions
// (these names are the same whatever numbering the X server uses).
struct KeyName {
    std::uint8_t code;
    char name[5];
};
constexpr KeyName k_typing_keys[] = {
    {2, "AE01"},  {3, "AE02"},  {4, "AE03"},  {5, "AE04"},  {6, "AE05"},  {7, "AE06"},  {8, "AE07"},
    {9, "AE08"},  {10, "AE09"}, {11, "AE10"}, {12, "AE11"}, {13, "AE12"}, {14, "BKSP"}, {15, "TAB"},
    {16, "AD01"}, {17, "AD02"}, {18, "AD03"}, {19, "AD04"}, {20, "AD05"}, {21, "AD06"}, {22, "AD07"},
    {23, "AD08"}, {24, "AD09"}, {25, "AD10"}, {26, "AD11"}, {27, "AD12"}, {28, "RTRN"}, {30, "AC01"},
    {31, "AC02"}, {32, "AC03"}, {33, "AC04"}, {34, "AC05"}, {35, "AC06"}, {36, "AC07"}, {37, "AC08"},
    {38, "AC09"}, {39, "AC10"}, {40, "AC11"}, {41, "TLDE"}, {43, "BKSL"}, {44, "AB01"}, {45, "AB02"},
    {46, "AB03"}, {47, "AB04"}, {48, "AB05"}, {49, "AB06"}, {50, "AB07"}, {51, "AB08"}, {52, "AB09"},
    {53, "AB10"}, {55, "KPMU"}, {57, "SPCE"}, {71, "KP7"},  {72, "KP8"},  {73, "KP9"},  {74, "KPSU"},
    {75, "KP4"},  {76, "KP5"},  {77, "KP6"},  {78, "KPAD"}, {79, "KP1"},  {80, "KP2"},  {81, "KP3"},
    {82, "KP0"},  {83, "KPDL"}, {86, "LSGT"}, {115, "AB11"}, {125, "AE13"}, {141, "KPEQ"}, {156, "KPEN"},
    {181, "KPDV"},
};

struct XKeyCodes {
    std::array<std::uint8_t, 256> codes{};  // 0: none
    bool any = false;
};

// X key codes of the typing keys, read from the server once.
const XKeyCodes& x_key_codes(Display* d) {
    static XKeyCodes result;
    static bool loaded = false;
    if (loaded) return result;
    loaded = true;
    auto& codes = result.codes;
    XkbDescPtr desc = XkbGetMap(d, 0, XkbUseCoreKbd);
    if (desc == nullptr) return result;
    if (XkbGetNames(d, XkbKeyNamesMask, desc) == Success && desc->names != nullptr &&
        desc->names->keys != nullptr) {
        for (int k = desc->min_key_code; k <= desc->max_key_code && k < 256; ++k) {
            const char* name = desc->names->keys[k].name;
            for (const KeyName& key : k_typing_keys) {
                if (std::strncmp(name, key.name, XkbKeyNameLength) != 0 || codes[key.code] != 0) continue;
                codes[key.code] = static_cast<std::uint8_t>(k);
                result.any = true;
            }
        }
    }
    XkbFreeKeyboard(desc, 0, True);
    return result;
}

int x_key_char(Display* d, int code) {
    unsigned keycode = x_key_codes(d).codes[static_cast<std::size_t>(code)];
    if (keycode == 0) return 0;
    XkbStateRec state{};
    if (XkbGetState(d, XkbUseCoreKbd, &state) != Success) return 0;
    XKeyEvent event{};
    event.type = KeyPress;
    event.display = d;
    event.keycode = keycode;
    event.state = XkbBuildCoreState(state.mods, state.group);
    char text[8] = {};
    KeySym keysym = 0;
    int n = XLookupString(&event, text, sizeof text, &keysym, nullptr);
    return n == 1 ? static_cast<unsigned char>(text[0]) : 0;
}

// Without an X server: the layout's unshifted character from SDL, with
// shift and caps lock applied to letters only.
int sdl_key_char(int code) {
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return 0;
    std::uint16_t scancode = scancode_table()[static_cast<std::size_t>(code)];
    if (scancode == 0) return 0;
    SDL_Keycode key = SDL_GetKeyFromScancode(static_cast<SDL_Scancode>(scancode));
    if (key <= 0 || key > 255) return 0;
    SDL_Keymod mods = SDL_GetModState();
    bool upper = ((mods & KMOD_SHIFT) != 0) != ((mods & KMOD_CAPS) != 0);
    bool lower_letter = (key >= 'a' && key <= 'z') || (key >= 0xe0 && key <= 0xfe && key != 0xf7);
    if (upper && lower_letter) key -= 32;
    return static_cast<int>(key);
}

}  // namespace

namespace backend {

_XDisplay* x11_display() { return x_display; }

}  // namespace backend

bool input_open() {
    if (SDL_WasInit(SDL_INIT_EVENTS) == 0) return false;
    const char* driver = SDL_GetCurrentVideoDriver();
    if (x_display == nullptr && driver != nullptr && std::strcmp(driver, "x11") == 0)
        x_display = XOpenDisplay(nullptr);
    return true;
}

void input_close() {
    if (x_display != nullptr) XCloseDisplay(x_display);
    x_display = nullptr;
}

// SDL reads the keyboard whenever the window has the focus.
bool keyboard_acquired() { return true; }

int key_code_from_backend(int backend_scancode) {
    if (backend_scancode < 0 || backend_scancode >= SDL_NUM_SCANCODES) return 0;
    return key_code_table()[static_cast<std::size_t>(backend_scancode)];
}

void keyboard_state(std::uint8_t states[256]) {
    std::memset(states, 0, 256);
    if (SDL_WasInit(SDL_INIT_EVENTS) == 0) return;
    backend::collect_events();
    int count = 0;
    const Uint8* sdl = SDL_GetKeyboardState(&count);
    const auto& table = key_code_table();
    for (int s = 0; s < count && s < SDL_NUM_SCANCODES; ++s)
        if (sdl[s] != 0 && table[static_cast<std::size_t>(s)] != 0) states[table[static_cast<std::size_t>(s)]] = 0x80;
}

int key_char(int code) {
    if (code < 0 || code > 255) return 0;
    // The X server's own layout when it names its keys (any server with the
    // keyboard extension does); SDL's view of the layout otherwise.
    if (x_display != nullptr && x_key_codes(x_display).any) return x_key_char(x_display, code);
    return sdl_key_char(code);
}

}  // namespace crv::plat
