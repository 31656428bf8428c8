#include "runtime/app_state.hpp"
#include <corvane/app.hpp>
#include "app/startup.hpp"
#include "app/termination.hpp"
#include "platform/paths.hpp"
#include "render2d/rainbows.hpp"

#include <cstdio>
#include <cstdlib>

namespace crv {

void win_main(int show_command) {
    app_state.command_line = plat::command_line().c_str();
    load_project_settings();
    runtime_startup(show_command, app_state.caption.text());
    if (app_state.renderer == nullptr || app_state.renderer->window == nullptr) {
        // Without a window the game cannot run: say why and end normally.
        std::fprintf(stderr, "The game window could not be created (is a display available?)\n");
        end_program();
    }
    app_state.error_code = 0;
    app_state.current_line = 0;
    app_state.error_line = 0;
    game_main();
    end_program();
    std::exit(0);
}

}  // namespace crv
