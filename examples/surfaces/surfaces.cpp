// Post-processing: a small scene (a sky, hills, a sun and boxes bouncing on
// a floor) is drawn into an off-screen surface of 320 x 240 pixels, and that
// picture is shown on the 640 x 480 window through a fragment shader that
// makes it wave like heat haze, grades its colours warm and darkens the
// corners. Space turns the effect off and on; Escape ends it.
//
// Command line: [frames [plain]]. With a frame count it ends by itself after
// that many frames (for screenshots and unattended runs); "plain" starts
// with the effect off.
#include <corvane/corvane.hpp>

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>

namespace crv {

namespace {

constexpr std::int32_t k_surface = 0;
constexpr std::int32_t k_scene_sprite = 1;
constexpr std::int32_t k_effect = 0;  // shader slot
constexpr int k_scene_w = 320, k_scene_h = 240;
constexpr int k_screen_w = 640, k_screen_h = 480;

// The post-effect. The scene's texture is larger than the scene (textures
// have power-of-two sides), so the texture coordinates do not run 0..1;
// the vignette therefore works on the window position instead, and the
// wave stops at the scene's right edge ("right", in texture coordinates).
const char k_effect_source[] =
    "uniform sampler2D TextureID1;\n"
    "uniform float time;\n"
    "uniform float width;\n"
    "uniform float height;\n"
    "uniform float right;\n"
    "void main() {\n"
    "    vec2 uv = gl_TexCoord[0].st;\n"
    "    uv.x = clamp(uv.x + 0.004 * sin(uv.y * 70.0 + time * 4.0), 0.0, right);\n"
    "    vec3 c = texture2D(TextureID1, uv).rgb;\n"
    "    c = pow(c, vec3(0.85, 0.95, 1.2)) * vec3(1.1, 1.0, 0.85);\n"
    "    vec2 p = gl_FragCoord.xy / vec2(width, height) - 0.5;\n"
    "    c *= clamp(1.25 - 1.6 * dot(p, p) * 2.0, 0.0, 1.0);\n"
    "    gl_FragColor = vec4(c, 1.0);\n"
    "}\n";

// A name under which the run-time reads bytes in memory, so that the
// shader's source ships inside the executable.
std::string memory_file(const char* bytes, std::size_t count) {
    char name[64];
    std::snprintf(name, sizeof name, "mem://%8x.%8" PRIxPTR, static_cast<unsigned>(count),
                  reinterpret_cast<std::uintptr_t>(bytes));
    return name;
}

// The side of the texture that holds a surface of n pixels: the smallest
// power of two that holds it.
int texture_side(int n) {
    int side = 2;
    while (side < n) side *= 2;
    return side;
}

void draw_disc(double cx, double cy, double r, std::int32_t colour) {
    poly_begin(-1, 0);
    poly_vertex(cx, cy, 0, 0, colour);
    for (int i = 0; i <= 32; ++i) {
        double a = i * 3.14159265358979 * 2 / 32;
        poly_vertex(cx + r * std::cos(a), cy + r * std::sin(a), 0, 0, colour);
    }
    poly_end();
}

// The scene, in surface coordinates.
void draw_scene(long frame) {
    for (int y = 0; y < 170; y += 10)
        fill_rect(0, y, k_scene_w, 10, rgb(40 + y / 2, 90 + y / 3, 200 - y / 4));
    draw_disc(160, 38, 20, rgb(255, 230, 120));
    poly_begin(-1, 2);
    for (int x = 0; x <= k_scene_w; x += 16) {
        double h = 150 + 18 * std::sin(x * 0.03) + 10 * std::sin(x * 0.11);
        poly_vertex(x, h, 0, 0, rgb(70, 140, 70));
        poly_vertex(x, 170, 0, 0, rgb(40, 100, 50));
    }
    poly_end();
    fill_rect(0, 170, k_scene_w, 70, rgb(120, 100, 80));
    for (int x = 0; x < k_scene_w; x += 20) draw_line(x, 170, x - 40, 240, rgb(90, 75, 60));
    const std::int32_t box_colours[3] = {rgb(220, 60, 50), rgb(240, 200, 40), rgb(60, 120, 230)};
    for (int i = 0; i < 3; ++i) {
        double t = frame * 0.05 + i * 2.1;
        int x = 40 + i * 95;
        int y = 140 - static_cast<int>(std::fabs(std::sin(t)) * 70);
        fill_rect(x, y, 40, 40, box_colours[i]);
        fill_rect(x + 6, y + 6, 28, 6, rgb(255, 255, 255));
    }
}

}  // namespace

void load_project_settings() {
    app_state.screen_width = k_screen_w;
    app_state.screen_height = k_screen_h;
    app_state.frame_rate = 60;
    app_state.caption = "Corvane surfaces and shaders";
}

void game_main() {
    std::istringstream args(argument_text(app_state.command_line.text()));
    long frames_to_run = 0;
    std::string mode;
    args >> frames_to_run >> mode;
    bool effect = mode != "plain";

    set_clear_colour(0);
    surface_create(k_surface, k_scene_sprite, k_scene_w, k_scene_h);
    // Without shader support the picture is shown plain and says so.
    const bool have_shader = shader_load(k_effect, "", memory_file(k_effect_source, sizeof k_effect_source - 1).c_str());
    std::printf("shader %s\n", have_shader ? "loaded" : "not available");
    std::fflush(stdout);

    for (long frame = 0;; ++frame) {
        // key_hit sees every press since the last frame, however short (or
        // however long the frame took), once.
        if (key_hit(key::space) != 0) {
            effect = !effect;
            std::printf("effect %s\n", effect ? "on" : "off");
            std::fflush(stdout);
        }

        surface_use(k_surface);
        draw_scene(frame);
        surface_use(-1);

        if (effect && have_shader) {
            shader_use(k_effect);
            shader_set_float("time", frame / 60.0);
            shader_set_float("width", k_screen_w);
            shader_set_float("height", k_screen_h);
            shader_set_float("right", (k_scene_w - 0.5) / texture_side(k_scene_w));
        }
        sprite_draw_stretched(k_scene_sprite, 0, 0, k_screen_w, k_screen_h);
        shader_use(-1);

        const char* state = !have_shader ? "no shader support: shown plain"
                            : effect     ? "effect on (Space turns it off)"
                                         : "effect off (Space turns it on)";
        text_print(state, 8, 8, 1);
        present_frame();
        if (frames_to_run > 0 && frame + 1 >= frames_to_run) {
            set_error(0);
            end_program();
        }
    }
}

}  // namespace crv
