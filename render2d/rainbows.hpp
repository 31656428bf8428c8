// OpenGLRainbows: the one 2D renderer and graphics-state object. It owns the
// game window and its OpenGL context (created by the application frame),
// the render state every drawing operation shares (colour key, global
// alpha, blending, smoothing, orientation, viewport, clearing), the
// primitives and the vertex batch. Created at start-up, destroyed at
// program end; reached through app_state.renderer. Main thread only; no
// operation reports an error.
//
// Consecutive lines and points drawn with the same state are merged into
// one draw call. Anything else that talks to OpenGL (state changes, other
// drawing, read-back, the buffer swap) must call flush() first; every
// method of this class does.
#pragma once

#include "render2d/gl_api.hpp"

#include <cstdint>
#include <vector>

namespace crv {

namespace plat {
struct Window;
}

// Colours: R + G*256 + B*65536; the top byte is ignored when drawing.
constexpr std::int32_t k_default_colour_key = 0x8000FF;

class OpenGLRainbows {
public:
    OpenGLRainbows();
    virtual ~OpenGLRainbows();
    OpenGLRainbows(const OpenGLRainbows&) = delete;
    OpenGLRainbows& operator=(const OpenGLRainbows&) = delete;

    // --- window and context (written by the application frame) ---
    plat::Window* window = nullptr;
    std::int32_t width = 0;   // physical client size in pixels
    std::int32_t height = 0;
    std::int32_t colour_depth = 0;
    bool full_screen_active = false;
    std::int32_t multisample_request = 0;
    double frame_interval = 0;  // ms
    double frame_deadline = 0;  // clock_ms value
    GlExtensions ext;

    // --- render state ---
    float global_alpha = 1.0f;
    bool clear_every_frame = true;
    bool depth_clear_pending = true;
    bool bgra_supported = false;
    std::int32_t current_surface = -1;  // off-screen surface drawn to, -1: window
    bool smoothing = true;
    std::int32_t orientation = 0;
    std::int32_t colour_key = k_default_colour_key;
    std::int32_t font_colour_key = 0;

    // --- state operations ---
    void set_clear_colour(std::int32_t colour);  // -1: no clearing
    void set_alpha_mode(float mode);
    void set_smoothing(std::int32_t flag);
    void set_colour_key(std::int32_t colour);
    void set_orientation(std::int32_t orientation);
    void set_viewport(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h);
    void get_viewport(std::int32_t* x, std::int32_t* y, std::int32_t* w, std::int32_t* h) const;
    // (H, W) under orientations 1 and 3.
    void get_screen_size(std::int32_t* w, std::int32_t* h) const;

    // Program view to physical pixel, and directions likewise.
    void map_point(std::int32_t x, std::int32_t y, std::int32_t* px, std::int32_t* py) const;
    void unmap_point(std::int32_t px, std::int32_t py, std::int32_t* x, std::int32_t* y) const;
    void map_vector(double dx, double dy, double* px, double* py) const;

    // --- primitives ---
    void draw_point(std::int32_t x, std::int32_t y, std::int32_t colour);
    // Includes both end pixels.
    void draw_line(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2, std::int32_t colour);
    void fill_rect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h, std::int32_t colour);
    std::int32_t read_pixel(std::int32_t x, std::int32_t y);

    // --- vertex batch ---
    void poly_begin(std::int32_t sprite, std::int32_t mode);
    void poly_vertex(float x, float y, float tx, float ty, std::int32_t colour);
    void poly_new_strip();
    void poly_end();
    std::int32_t batch_vertex_count() const { return batch_count_; }
    std::int32_t batch_capacity() const { return batch_capacity_; }

    // --- frame ---
    // Sends merged primitives to OpenGL.
    void flush();
    // After a swap: background, or clearing as the two flags say.
    void prepare_next_frame();
    // The state every frame starts from: opaque, no blending, alpha test on,
    // smoothing on, the whole screen as viewport.
    void reset_frame_state();
    // The 2D state that set_viewport establishes, and the GL set-up of a
    // fresh context.
    void reset_2d_state();

private:
    struct LineVertex {
        float x, y;
        std::uint8_t rgba[4];
    };
    struct BatchVertex {
        float x, y, s, t;
        std::uint8_t rgba[4];
    };
    static_assert(sizeof(BatchVertex) == 20);

    std::uint8_t primitive_alpha(std::int32_t colour) const;
    void begin_pixel_exact(std::int32_t colour);
    void end_pixel_exact();
    void grow_batch(std::int32_t needed);

    std::int32_t viewport_[4] = {0, 0, 0, 0};
    std::vector<LineVertex> pending_lines_;
    BatchVertex* batch_ = nullptr;
    std::int32_t batch_count_ = 0;
    std::int32_t batch_capacity_ = 0;
    std::int32_t batch_mode_ = 0;
    std::int32_t batch_sprite_ = -1;
    float batch_inv_width_ = 1.0f;
    float batch_inv_height_ = 1.0f;
    float batch_image_height_ = 0.0f;
    bool batch_colours_ = false;
    bool batch_join_pending_ = false;
};

// The game-facing drawing operations forward to the global renderer; they
// do nothing while it does not exist.
void draw_point(std::int32_t x, std::int32_t y, std::int32_t colour);
void draw_line(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2, std::int32_t colour);
void fill_rect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h, std::int32_t colour);
std::int32_t read_pixel(std::int32_t x, std::int32_t y);
void set_clear_colour(std::int32_t colour);
void set_alpha_mode(double mode);
void set_smoothing(std::int32_t flag);
void set_colour_key(std::int32_t colour);
void set_orientation(std::int32_t orientation);
std::int32_t get_orientation();
void set_viewport(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h);
void get_viewport(std::int32_t* x, std::int32_t* y, std::int32_t* w, std::int32_t* h);
void get_screen_size(std::int32_t* w, std::int32_t* h);
bool bgra_supported();
void poly_begin(std::int32_t sprite, std::int32_t mode);
void poly_vertex(double x, double y, double tx, double ty, std::int32_t colour);
void poly_new_strip();
void poly_end();

}  // namespace crv
