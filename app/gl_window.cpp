#include "app/gl_window.hpp"

#include "runtime/app_state.hpp"
#include "app/clock.hpp"
#include "runtime/log.hpp"
#include "app/present.hpp"
#include "platform/clock.hpp"
#include "platform/window.hpp"
#include "render2d/gl_api.hpp"
#include "render2d/rainbows.hpp"

#include <cstdio>
#include <cstring>
#include <string>

namespace crv {

namespace {

const char k_driver_notice[] =
    "Please update your GFX adapter's driver\nso it can render OpenGL by HARDWARE\n\n\n"
    "Bitte aktualisieren Sie Ihren\nGrafkkartentreiber, damit er OpenGL\nper HARDWARE unterst\374tzt!";

bool software_notice_given = false;

void software_check() {
    if (software_notice_given) return;
    software_notice_given = true;
    const auto* name = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    SoftwareNotice notice = software_notice_for(name, app_state.software_notice_box);
    if (notice == SoftwareNotice::none) return;
    log_write("*** OpenGL Software Emulation - update driver!\n");
    if (notice == SoftwareNotice::log_only) return;
    char text[2048] = {0};
    if (std::FILE* f = std::fopen("opengldriver.txt", "rb")) {
        std::size_t n = std::fread(text, 1, sizeof text - 1, f);
        text[n] = 0;
        std::fclose(f);
    }
    plat::message_box("No OpenGL Hardware Drivers", text[0] != 0 ? text : k_driver_notice);
}

void load_extensions(OpenGLRainbows& renderer) {
    gl_load_extensions(renderer.ext);
    const char* extensions = gl_extension_string();
    renderer.bgra_supported = std::strstr(extensions, "_texture_format_BGRA8888") != nullptr ||
                              std::strstr(extensions, "GL_EXT_bgra") != nullptr;
    if (renderer.bgra_supported) {
        log_write("BGRA ext supported\n");
    } else {
        std::string line = std::string("BGRA ext NOT supported\n") + extensions + "\n";
        log_write(line.c_str());
    }
    GLint size = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
    char line[64];
    std::snprintf(line, sizeof line, "Texture size limit: %d\n", size);
    log_write(line);
}

// After a size change the driver may keep the back buffer at its old size
// until the next swap (Mesa under X does), so that whatever the game draws
// first would be cut off at the old size. One cleared frame settles it.
void settle_back_buffer(OpenGLRainbows& renderer) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    plat::gl_swap(renderer.window);
}

}  // namespace

bool software_renderer_name(const char* name) {
    return std::strcmp(name, "Mesa Windows GDI Driver") == 0 || std::strstr(name, "llvmpipe") != nullptr ||
           std::strstr(name, "softpipe") != nullptr || std::strstr(name, "Software Rasterizer") != nullptr;
}

SoftwareNotice software_notice_for(const char* renderer_name, bool box_wanted) {
    if (renderer_name == nullptr || !software_renderer_name(renderer_name)) return SoftwareNotice::none;
    return box_wanted ? SoftwareNotice::log_and_box : SoftwareNotice::log_only;
}

bool create_gl_window(OpenGLRainbows& renderer, int width, int height, int colour_depth, int fps,
                      int multisample) {
    renderer.frame_interval = frame_interval_for(fps);
    renderer.multisample_request = multisample;
    log_write("WIN32 init video\n");
    int desktop_bits = 0;
    plat::desktop_mode(&app_state.desktop_width, &app_state.desktop_height, &desktop_bits);

    plat::Window* window = plat::window_create("Corvane", width, height, 0);
    if (window == nullptr) return false;
    int client_w = 0, client_h = 0;
    plat::window_get_client_size(window, &client_w, &client_h);
    renderer.window = window;
    renderer.width = width != 0 ? width : client_w;
    renderer.height = height != 0 ? height : client_h;
    renderer.colour_depth = colour_depth != 0 ? colour_depth : desktop_bits;
    renderer.full_screen_active = false;

    int samples = renderer.multisample_request;
    renderer.multisample_request = 0;
    if (samples != 0 && gl_extension_advertised("GL_ARB_multisample")) {
        // Ask for the requested count, halving after each refusal.
        for (int n = samples; n >= 1;) {
            plat::Window* multi = plat::window_create("Corvane", renderer.width, renderer.height, n);
            if (multi != nullptr) {
                destroy_window(renderer);
                renderer.window = multi;
                // Every later call draws and swaps on the new window.
                plat::gl_make_current(multi);
                plat::window_get_client_size(multi, &client_w, &client_h);
                renderer.width = width != 0 ? width : client_w;
                renderer.height = height != 0 ? height : client_h;
                break;
            }
            if (n < 2) break;
            n /= 2;
        }
    }

    software_check();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    renderer.full_screen_active = false;

    log_write("get accurate timer - 1st call\n");
    renderer.frame_deadline = clock_ms();
    log_write("flip - 1st call\n");
    swap_and_limit(renderer, nullptr);

    load_extensions(renderer);
    log_write("init fbo\n");
    renderer.init_surface_support();
    plat::window_hide(renderer.window);
    log_write("2D VP\n");
    renderer.set_viewport(0, 0, 0, 0);
    log_write("OGRB init [OK]\n");
    return true;
}

bool windowed_mode(OpenGLRainbows& renderer) {
    if (renderer.window == nullptr) return false;
    if (renderer.full_screen_active) {
        plat::window_leave_fullscreen(renderer.window);
        plat::sleep_ms(500);
    }
    plat::Rect area = plat::work_area(renderer.window);
    plat::window_set_client_size(renderer.window, renderer.width, renderer.height);
    plat::window_set_position(renderer.window, area.x + (area.width - renderer.width) / 2,
                              area.y + (area.height - renderer.height) / 2);
    plat::window_show(renderer.window);
    plat::window_raise(renderer.window);
    settle_back_buffer(renderer);
    renderer.full_screen_active = false;
    renderer.set_viewport(0, 0, 0, 0);
    return true;
}

bool fullscreen_mode(OpenGLRainbows& renderer) {
    if (renderer.window == nullptr) return false;
    int desktop_w = 0, desktop_h = 0, desktop_bits = 0;
    plat::desktop_mode(&desktop_w, &desktop_h, &desktop_bits);
    int bits = renderer.colour_depth != 0 && renderer.colour_depth != desktop_bits ? renderer.colour_depth : 0;
    plat::window_show(renderer.window);
    bool ok = plat::window_set_fullscreen(renderer.window, renderer.width, renderer.height, bits);
    if (!ok && bits != 0) ok = plat::window_set_fullscreen(renderer.window, renderer.width, renderer.height, 0);
    if (!ok) {
        plat::beep();
        log_write("No Fullscreen Mode available\n");
        windowed_mode(renderer);
        return false;
    }
    plat::window_raise(renderer.window);
    settle_back_buffer(renderer);
    renderer.full_screen_active = true;
    renderer.set_viewport(0, 0, 0, 0);
    return true;
}

bool hide_and_leave_fullscreen(OpenGLRainbows& renderer) {
    if (renderer.window == nullptr) return true;
    if (renderer.full_screen_active) plat::window_leave_fullscreen(renderer.window);
    plat::window_hide(renderer.window);
    renderer.full_screen_active = false;
    pump_messages(renderer, nullptr);
    return true;
}

void destroy_window(OpenGLRainbows& renderer) {
    if (renderer.window == nullptr) return;
    renderer.flush();
    renderer.release_all_textures();
    if (renderer.full_screen_active) plat::window_leave_fullscreen(renderer.window);
    renderer.full_screen_active = false;
    plat::window_destroy(renderer.window);
    if (app_state.main_window == renderer.window) app_state.main_window = nullptr;
    renderer.window = nullptr;
    renderer.width = 0;
    renderer.height = 0;
}

}  // namespace crv
