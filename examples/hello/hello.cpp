// A whole game: a window, an orange rectangle and a line of text. Escape or
// closing the window ends it (the run-time watches for both).
#include <corvane/corvane.hpp>

void crv::load_project_settings() {
    app_state.screen_width = 320;
    app_state.screen_height = 240;
    app_state.frame_rate = 60;
    app_state.caption = "Hello";
}

void crv::game_main() {
    for (;;) {
        fill_rect(40, 60, 240, 100, rgb(255, 160, 0));
        text_print("Hello from Corvane! Escape ends.", 8, 8, 1);
        present_frame();
    }
}
