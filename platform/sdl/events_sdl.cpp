#include "platform/events.hpp"
#include "platform/clock.hpp"
#include "platform/keyboard.hpp"
#include "platform/sdl/input_backend.hpp"

#include <SDL.h>

#include <deque>

namespace crv::plat {

namespace {

std::deque<Message> pending;

// SDL reads the windowing system's events only while this backend collects
// them, and stamps them then: the time of the collection is as close as
// SDL's own time gets.
void push(MessageKind kind, std::int32_t param, bool repeat = false) {
    pending.push_back(Message{kind, param, repeat, counter_ticks()});
}

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
            if (code != 0) push(MessageKind::key_down, code, e.key.repeat != 0);
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
            if (code == 0) break;
            // As the system keys of the other platform: a release with Alt
            // held, or of Alt itself.
            bool alt = (e.key.keysym.mod & KMOD_ALT) != 0 || code == 56 || code == 184;
            push(alt ? MessageKind::system_key_up : MessageKind::key_up, code);
            break;
        }
        case SDL_TEXTINPUT:
            push_text(e.text.text);
            break;
        case SDL_MOUSEWHEEL:
            backend::note_mouse_wheel(e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y);
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

namespace backend {

void collect_events() { collect(); }

}  // namespace backend

bool peek_message(Message* out, bool remove) {
    collect();
    if (pending.empty()) return false;
    *out = pending.front();
    if (remove) pending.pop_front();
    return true;
}

}  // namespace crv::plat
