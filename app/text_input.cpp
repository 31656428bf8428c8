#include <corvane/app.hpp>

#include "runtime/app_state.hpp"
#include "app/present.hpp"
#include "core/number_text.hpp"
#include "input/input.hpp"
#include "render2d/rainbows.hpp"

namespace crv {

namespace {

constexpr std::int32_t k_frozen_slot = 3;
// Idle frames between two changes of the cursor (about 0.35 s at 60 fps).
constexpr int k_blink_frames = 20;

void print(OpenGLRainbows& renderer, const DynString& text, double x, double y, std::int32_t kerning) {
    renderer.text_print(text.text(), static_cast<std::int32_t>(text.length()), static_cast<float>(x),
                        static_cast<float>(y), kerning != 0);
}

}  // namespace

DynString input_text(DynString& text, double x, double y, std::int32_t kerning) {
    OpenGLRainbows* renderer = app_state.renderer;
    if (renderer == nullptr) return text;
    renderer->background_from_screen(k_frozen_slot);
    renderer->draw_background(k_frozen_slot);
    print(*renderer, text, x, y, kerning);
    present_frame();
    int idle = 0;
    bool cursor = false;
    for (;;) {
        int c = -1;
        if (InputSystem* input = app_state.input) {
            input->poll_keyboard();
            c = input->pop_char();
        }
        if (c == 13 || c == 10) break;
        if (c == 8) {
            if (text.length() > 0) text.truncate(static_cast<std::int64_t>(text.length()) - 1);
        } else if (c >= 0) {
            text += static_cast<char>(c);
        } else if (++idle > k_blink_frames) {
            cursor = !cursor;
            idle = 0;
        }
        // The renderer may have been replaced by a screen-mode change.
        renderer = app_state.renderer;
        if (renderer == nullptr) return text;
        renderer->draw_background(k_frozen_slot);
        print(*renderer, cursor ? text + "_" : text, x, y, kerning);
        present_frame();
    }
    if ((renderer = app_state.renderer) != nullptr) renderer->release_background(k_frozen_slot);
    return text;
}

std::int32_t input_integer(double x, double y, std::int32_t kerning) {
    DynString text;
    return parse_int(input_text(text, x, y, kerning).text());
}

double input_number(double x, double y, std::int32_t kerning) {
    DynString text;
    return parse_double(input_text(text, x, y, kerning).text());
}

}  // namespace crv
