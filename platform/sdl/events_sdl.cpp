#include "platform/events.hpp"
#include "platform/keyboard.hpp"

#include <SDL.h>

#include <array>
#include <cstring>
#include <deque>

namespace crv::plat {

namespace {

std::deque<Message> pending;

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
        return t;
    }();
    return table;
}

void push(MessageKind kind, std::int32_t param) { pending.push_back(Message{kind, param}); }

// Latin-1 characters of a UTF-8 text; others are dropped.
void push_text(const char* utf8) {
    const auto* p = reinterpret_cast<const unsigned char*>(utf8);
    while (*p != 0) {
        unsigned code;
        int extra;
        if (*p < 0x80) { code = *p; extra = 0; }
        else if ((*p & 0xe0) == 0xc0) { code = *p & 0x1fu; extra = 1; }
        else if ((*p & 0xf0) == 0xe0) { code = *p & 0x0fu; extra = 2; }
        else if ((*p & 0xf8) == 0xf0) { code = *p & 0x07u; extra = 3; }
        else { ++p; continue; }
        ++p;
        bool ok = true;
        for (int i = 0; i < extra; ++i, ++p) {
            if ((*p & 0xc0) != 0x80) { ok = false; break; }
            code = (code << 6) | (*p & 0x3fu);
        }
        if (ok && code < 256) push(MessageKind::character, static_cast<std::int32_t>(code));
    }
}

void translate(const SDL_Event& e) {
    switch (e.type) {
        case SDL_QUIT:
            push(MessageKind::close, 0);
            break;
        case SDL_WINDOWEVENT:
            switch (e.window.event) {
                case SDL_WINDOWEVENT_CLOSE: push(MessageKind::close, 0); break;
                case SDL_WINDOWEVENT_FOCUS_GAINED: push(MessageKind::activate, 1); break;
                case SDL_WINDOWEVENT_FOCUS_LOST: push(MessageKind::activate, 0); break;
                case SDL_WINDOWEVENT_EXPOSED: push(MessageKind::erase_background, 0); break;
                default: break;
            }
            break;
        case SDL_KEYDOWN: {
            int code = key_code_from_backend(e.key.keysym.scancode);
            if (code != 0) push(MessageKind::key_down, code);
            // Keys that type a control character do so without a text event.
            switch (e.key.keysym.sym) {
                case SDLK_RETURN: case SDLK_KP_ENTER: push(MessageKind::character, 13); break;
                case SDLK_BACKSPACE: push(MessageKind::character, 8); break;
                case SDLK_TAB: push(MessageKind::character, 9); break;
                case SDLK_ESCAPE: push(MessageKind::character, 27); break;
                default: break;
            }
            break;
        }
        case SDL_KEYUP: {
            int code = key_code_from_backend(e.key.keysym.scancode);
            if (code != 0 && ((e.key.keysym.mod & KMOD_ALT) != 0 || code == 56 || code == 184))
                push(MessageKind::system_key_up, code);
            break;
        }
        case SDL_TEXTINPUT:
            push_text(e.text.text);
            break;
        default:
            break;
    }
}

void collect() {
    if (SDL_WasInit(SDL_INIT_EVENTS) == 0) return;
    SDL_Event e;
    while (SDL_PollEvent(&e) != 0) translate(e);
}

}  // namespace

bool peek_message(Message* out, bool remove) {
    collect();
    if (pending.empty()) return false;
    *out = pending.front();
    if (remove) pending.pop_front();
    return true;
}

int key_code_from_backend(int backend_scancode) {
    if (backend_scancode < 0 || backend_scancode >= SDL_NUM_SCANCODES) return 0;
    return key_code_table()[static_cast<std::size_t>(backend_scancode)];
}

void keyboard_state(std::uint8_t states[256]) {
    std::memset(states, 0, 256);
    if (SDL_WasInit(SDL_INIT_EVENTS) == 0) return;
    int count = 0;
    const Uint8* sdl = SDL_GetKeyboardState(&count);
    const auto& table = key_code_table();
    for (int s = 0; s < count && s < SDL_NUM_SCANCODES; ++s)
        if (sdl[s] != 0 && table[static_cast<std::size_t>(s)] != 0) states[table[static_cast<std::size_t>(s)]] = 0x80;
}

}  // namespace crv::plat
