// Path finding on a map of terrain costs: every cell costs something to
// enter (green is cheap, brown dear, dark grey is a wall). A left click
// sets the goal, a right click the start; Up/Down (or + and -) change the
// heuristic weight between 0 (the cheapest path) and 1 (straight for the
// goal, expanding few cells). The planned path, its length and the number
// of cells the search expanded are shown, and each new plan is also written
// to standard output. Escape ends it.
//
// Command line: [frames [goal_x goal_y [weight]]]. With a frame count it
// ends by itself after that many frames (for screenshots and unattended
// runs); the rest replaces the starting goal and weight.
#include <corvane/corvane.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>

namespace crv {

namespace {

constexpr int k_width = 40;   // cells
constexpr int k_height = 30;
constexpr int k_cell = 16;    // pixels
constexpr int k_panel = 40;   // the text strip under the map

constexpr std::int32_t k_wall_colour = rgb(40, 40, 48);
constexpr std::int32_t k_path_colour = rgb(0, 200, 255);
constexpr std::int32_t k_start_colour = rgb(255, 255, 255);
constexpr std::int32_t k_goal_colour = rgb(230, 30, 30);

// Rolling hills of cost 1..9 with three walls, each with a gap or two, so
// that the cheapest path and the quickest-found one differ visibly.
DynArray<double> make_map() {
    DynArray<double> map;
    map.set_dimensions(k_width, k_height);
    for (int y = 0; y < k_height; ++y)
        for (int x = 0; x < k_width; ++x) {
            double hills = std::sin(x * 0.31) * std::cos(y * 0.27) + 0.6 * std::sin((x + 2 * y) * 0.13);
            map(x, y) = std::clamp(std::round(5 + 3 * hills), 1.0, 9.0);
        }
    for (int y = 0; y < 22; ++y) map(13, y) = 0;
    for (int y = 8; y < k_height; ++y)
        if (y != 19) map(27, y) = 0;
    for (int x = 3; x < 13; ++x) map(x, 15) = 0;
    return map;
}

std::int32_t cost_colour(double cost) {
    if (cost <= 0) return k_wall_colour;
    double t = (cost - 1) / 8;  // 0: cheapest, 1: dearest
    return rgb(static_cast<int>(120 + 60 * t), static_cast<int>(210 - 120 * t), static_cast<int>(110 - 80 * t));
}

void fill_cell(int x, int y, int inset, std::int32_t colour) {
    fill_rect(x * k_cell + inset, y * k_cell + inset, k_cell - 2 * inset, k_cell - 2 * inset, colour);
}

struct Plan {
    DynArray<std::int32_t> path;
    int length = 0;
    std::int64_t expanded = 0;
};

Plan plan(const DynArray<double>& map, int tenths, int sx, int sy, int gx, int gy) {
    Plan p;
    p.length = path_find(map, p.path, tenths / 10.0, sx, sy, gx, gy);
    p.expanded = path_last_expanded();
    std::printf("weight %.1f start %d %d goal %d %d length %d expanded %lld\n", tenths / 10.0, sx, sy, gx, gy,
                p.length, static_cast<long long>(p.expanded));
    std::fflush(stdout);
    return p;
}

}  // namespace

void load_project_settings() {
    app_state.screen_width = k_width * k_cell;
    app_state.screen_height = k_height * k_cell + k_panel;
    app_state.frame_rate = 60;
    app_state.caption = "Corvane path finding";
}

void game_main() {
    std::istringstream args(argument_text(app_state.command_line.text()));
    long frames_to_run = 0;
    int sx = 2, sy = 2, gx = 37, gy = 27;
    double weight = 0.5;
    args >> frames_to_run >> gx >> gy >> weight;
    gx = std::clamp(gx, 0, k_width - 1);
    gy = std::clamp(gy, 0, k_height - 1);
    int tenths = static_cast<int>(std::lround(std::clamp(weight, 0.0, 1.0) * 10));

    set_clear_colour(rgb(16, 16, 24));
    const DynArray<double> map = make_map();
    Plan current = plan(map, tenths, sx, sy, gx, gy);
    bool was_left = false, was_right = false;

    for (long frame = 0;; ++frame) {
        // Input: a click on a passable cell moves the goal or the start, a
        // key press steps the weight; any change plans again.
        std::int32_t mx = 0, my = 0, left = 0, right = 0;
        mouse_state(&mx, &my, &left, &right);
        // Each press counts once, even one shorter than a frame.
        bool up = key_hit(key::up) || key_hit(key::equals) || key_hit(key::keypad_plus);
        bool down = key_hit(key::down) || key_hit(key::minus) || key_hit(key::keypad_minus);
        int cx = mx / k_cell, cy = my / k_cell;
        bool on_map = cx >= 0 && cx < k_width && cy >= 0 && cy < k_height && map(cx, cy) > 0;
        bool changed = false;
        if (left && !was_left && on_map && (cx != sx || cy != sy)) gx = cx, gy = cy, changed = true;
        if (right && !was_right && on_map && (cx != gx || cy != gy)) sx = cx, sy = cy, changed = true;
        if (up && tenths < 10) ++tenths, changed = true;
        if (down && tenths > 0) --tenths, changed = true;
        was_left = left != 0, was_right = right != 0;
        if (changed) current = plan(map, tenths, sx, sy, gx, gy);

        for (int y = 0; y < k_height; ++y)
            for (int x = 0; x < k_width; ++x) fill_cell(x, y, 0, cost_colour(map(x, y)));
        for (int i = 1; i + 1 < current.length; ++i) fill_cell(current.path(i, 0), current.path(i, 1), 4, k_path_colour);
        fill_cell(sx, sy, 2, k_start_colour);
        fill_cell(gx, gy, 2, k_goal_colour);

        char line[160];
        if (current.length > 0)
            std::snprintf(line, sizeof line, "weight %.1f   path %d cells   expanded %lld cells", tenths / 10.0,
                          current.length, static_cast<long long>(current.expanded));
        else
            std::snprintf(line, sizeof line, "weight %.1f   no path   expanded %lld cells", tenths / 10.0,
                          static_cast<long long>(current.expanded));
        const int panel_y = k_height * k_cell;
        text_print(line, 8, panel_y + 6, 1);
        text_print("left click: goal   right click: start   Up/Down: weight", 8, panel_y + 22, 1);
        present_frame();
        if (frames_to_run > 0 && frame + 1 >= frames_to_run) {
            set_error(0);
            end_program();
        }
    }
}

}  // namespace crv
