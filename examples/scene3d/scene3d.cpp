// A small 3D scene: a textured cube turning above a checkered floor, lit by
// a directional light and a warm point light, casting a stencil shadow.
// Escape ends it. With a number on the command line it ends by itself
// after that many frames (for screenshots and unattended runs).
#include <corvane/corvane.hpp>

#include <cmath>
#include <cstdlib>
#include <string>

namespace crv {

namespace {

constexpr std::int32_t k_floor = 0;
constexpr std::int32_t k_cube = 1;
constexpr std::int32_t k_floor_texture = 1;
constexpr std::int32_t k_cube_texture = 2;

// A checkerboard sprite: two colours (R + G*256 + B*65536), opaque.
void make_checker(std::int32_t sprite, std::int32_t squares, std::int32_t a, std::int32_t b) {
    constexpr std::int32_t side = 64;
    DynArray<std::int32_t> pixels;
    pixels.set_dimensions(side * side);
    std::int32_t cell = side / squares;
    for (std::int32_t y = 0; y < side; ++y)
        for (std::int32_t x = 0; x < side; ++x) {
            bool odd = ((x / cell + y / cell) & 1) != 0;
            std::int32_t edge = (x % cell == 0 || y % cell == 0) ? 0x202020 : 0;
            pixels(y * side + x) = static_cast<std::int32_t>(0xFF000000u | static_cast<std::uint32_t>((odd ? a : b) - edge));
        }
    sprite_from_pixels(sprite, pixels, side, side);
}

// A floor of n x n cells in y = 0, facing up (front faces run clockwise),
// its texture repeated once per cell.
void build_floor(float half, int n) {
    begin_object(k_floor);
    float cell = 2 * half / static_cast<float>(n);
    for (int row = 0; row < n; ++row) {
        begin_primitive(1);
        float z0 = -half + cell * static_cast<float>(row);
        for (int i = 0; i <= n; ++i) {
            float x = -half + cell * static_cast<float>(i);
            add_vertex(x, 0, z0 + cell, i, row + 1, 0xFFFFFF);
            add_vertex(x, 0, z0, i, row, 0xFFFFFF);
        }
    }
    end_object();
}

void build_cube(float h) {
    begin_object(k_cube);
    const float faces[6][4][3] = {
        {{1, -1, 1}, {-1, -1, 1}, {-1, 1, 1}, {1, 1, 1}},      {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1}},
        {{1, -1, -1}, {1, -1, 1}, {1, 1, 1}, {1, 1, -1}},      {{-1, -1, 1}, {-1, -1, -1}, {-1, 1, -1}, {-1, 1, 1}},
        {{-1, 1, -1}, {1, 1, -1}, {1, 1, 1}, {-1, 1, 1}},      {{-1, -1, 1}, {1, -1, 1}, {1, -1, -1}, {-1, -1, -1}},
    };
    const float uv[4][2] = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
    for (const auto& face : faces) {
        begin_primitive(2);
        for (int i = 0; i < 4; ++i)
            add_vertex(face[i][0] * h, face[i][1] * h, face[i][2] * h, uv[i][0], uv[i][1], 0xFFFFFF);
    }
    end_object();
}

void place_cube(double angle) {
    object_reset_transform();
    object_translate(0, 1.6, 0);
    object_rotate(angle, 0, 1, 0);
    object_rotate(25, 1, 0, 1);
}

}  // namespace

void load_project_settings() {
    app_state.screen_width = 640;
    app_state.screen_height = 480;
    app_state.full_screen = 0;
    app_state.debug_mode = 0;
    app_state.mouse_exclusive = 0;
    app_state.multisample = 0;
    app_state.frame_rate = 60;
    app_state.caption = "Corvane 3D scene";
    set_program_build_info(ProgramBuildInfo{__DATE__ "-" __TIME__, "00000001", "000.001"});
}

void game_main() {
    long frames_to_run = std::strtol(argument_text(app_state.command_line.text()).c_str(), nullptr, 10);
    set_clear_colour(0x402818);
    make_checker(k_floor_texture, 2, 0xC8D0D8, 0x909AA8);
    make_checker(k_cube_texture, 4, 0xE07A2A, 0xF0F0F0);
    set_normal_mode(2);
    build_floor(8, 16);
    set_normal_mode(1);
    build_cube(1);

    const double light[3] = {-3, 9, 2};
    for (long frame = 0;; ++frame) {
        double angle = static_cast<double>(frame) * 1.5;
        begin_3d(1, 200, 45);
        set_culling(1);
        double orbit = 0.4 + static_cast<double>(frame) * 0.004;
        set_camera(std::sin(orbit) * 9, 6, std::cos(orbit) * 9, 0, 1, 0, 0, 1, 0);
        set_light(0, 0xB4B4B4, 0, 0, 0, -0.5, -1, -0.7, 180, 0);
        set_light(1, 0x60B0FF, light[0], light[1], light[2], 0, 0, 0, 120, 0);

        object_reset_transform();
        set_texture(k_floor_texture, -1);
        draw_object_frame(k_floor, 0);
        place_cube(angle);
        set_texture(k_cube_texture, -1);
        draw_object_frame(k_cube, 0);

        // The shadow of the cube from the point light.
        set_light(-3, 0x100808, light[0], light[1], light[2], 0, 0, 0, 120, 0);
        draw_object_frame(k_cube, 0);
        set_light(-3, 0, 0, 0, 0, 0, 0, 0, 0, 0);

        set_viewport(0, 0, 0, 0);
        text_print("Corvane 3D scene", 8, 8, 1);
        present_frame();
        if (frames_to_run > 0 && frame + 1 >= frames_to_run) {
            set_error(0);
            end_program();
        }
    }
}

}  // namespace crv
