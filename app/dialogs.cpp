#include "app/dialogs.hpp"

#include "runtime/app_state.hpp"
#include "app/gl_window.hpp"
#include "app/present.hpp"
#include "input/input.hpp"
#include "platform/console.hpp"
#include "platform/dialogs.hpp"
#include "platform/files.hpp"
#include "render2d/rainbows.hpp"

#include <algorithm>

namespace crv {

namespace {

// The filter travels in a buffer of this size, its end included.
constexpr std::size_t k_filter_buffer = 1024;

void restore_display(OpenGLRainbows& renderer) {
    if (app_state.full_screen == 0) {
        windowed_mode(renderer);
        return;
    }
    renderer.width = app_state.screen_width;
    renderer.height = app_state.screen_height;
    fullscreen_mode(renderer);
    if (InputSystem* input = app_state.input) {
        input->set_mouse_mode(input->mouse_exclusive());
        input->set_window(renderer.window);
    }
    app_state.main_window = renderer.window;
    for (int i = 0; i < 5; ++i) present_frame();
}

}  // namespace

std::vector<DialogFilter> parse_dialog_filter(const DynString& filter) {
    const std::string text(filter.text(), std::min<std::size_t>(filter.length(), k_filter_buffer - 1));
    // "|" becomes the end of an entry; a 0 byte in the text ends one too,
    // and the list ends at the first empty entry.
    std::vector<std::string> entries;
    std::string entry;
    for (char c : text.substr(0, text.find('\0'))) {
        if (c == '|') {
            entries.push_back(entry);
            entry.clear();
        } else {
            entry += c;
        }
    }
    entries.push_back(entry);
    std::vector<DialogFilter> filters;
    for (std::size_t i = 0; i + 1 < entries.size(); i += 2) {
        if (entries[i].empty() || entries[i + 1].empty()) break;
        filters.push_back({entries[i], entries[i + 1]});
    }
    return filters;
}

DynString file_dialog(int open, const DynString& filter) {
    std::vector<plat::FileFilter> filters;
    for (const DialogFilter& f : parse_dialog_filter(filter)) filters.push_back({f.description, f.patterns});
    const std::string folder = plat::current_dir();

    OpenGLRainbows* renderer = app_state.renderer;
    if (renderer != nullptr) {
        renderer->flush();
        hide_and_leave_fullscreen(*renderer);
    }
    std::string chosen;
    const bool confirmed = plat::file_dialog(open != 0, filters, folder, chosen);
    plat::change_dir(folder.c_str());
    if (renderer != nullptr) restore_display(*renderer);

    if (!confirmed || chosen.empty()) return DynString("NO_FILE");
    std::replace(chosen.begin(), chosen.end(), '\\', '/');
    return DynString(chosen.c_str());
}

void console_open() { plat::console_open(); }

}  // namespace crv
