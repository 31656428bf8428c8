#include "render2d/rainbows.hpp"

#include "runtime/app_state.hpp"
#include "platform/window.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

namespace crv {

namespace {

std::uint8_t red(std::int32_t c) { return static_cast<std::uint8_t>(c & 0xff); }
std::uint8_t green(std::int32_t c) { return static_cast<std::uint8_t>((c >> 8) & 0xff); }
std::uint8_t blue(std::int32_t c) { return static_cast<std::uint8_t>((c >> 16) & 0xff); }

bool same_colour(std::int32_t a, std::int32_t b) { return ((a ^ b) & 0xffffff) == 0; }

void set_white(float alpha) { glColor4f(1.0f, 1.0f, 1.0f, alpha); }

}  // namespace

OpenGLRainbows::OpenGLRainbows() = default;

OpenGLRainbows::~OpenGLRainbows() {
    std::free(batch_);
    if (window != nullptr) {
        release_all_textures();
        plat::window_destroy(window);  // and its context
    }
}

// ---------------------------------------------------------------- state

void OpenGLRainbows::set_clear_colour(std::int32_t colour) {
    flush();
    release_background(0);
    if (colour == -1) {
        clear_every_frame = false;
        return;
    }
    clear_every_frame = true;
    glClearColor(red(colour) / 255.0f, green(colour) / 255.0f, blue(colour) / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

void OpenGLRainbows::set_alpha_mode(float a) {
    flush();
    glEnable(GL_BLEND);
    if (a == 0) {
        glDisable(GL_BLEND);
        glEnable(GL_ALPHA_TEST);
        global_alpha = 1.0f;
    } else {
        glDisable(GL_ALPHA_TEST);
        glBlendFunc(GL_SRC_ALPHA, a > 0 ? GL_ONE : GL_ONE_MINUS_SRC_ALPHA);
        global_alpha = std::min(std::fabs(a), 1.0f);
    }
    set_white(global_alpha);
}

void OpenGLRainbows::set_smoothing(std::int32_t flag) { smoothing = flag != 0; }

void OpenGLRainbows::set_colour_key(std::int32_t colour) {
    colour_key = colour;
    font_colour_key = colour;
}

void OpenGLRainbows::set_orientation(std::int32_t o) {
    flush();
    orientation = std::clamp(o, 0, 3);
    set_viewport(0, 0, 0, 0);
}

void OpenGLRainbows::map_point(std::int32_t x, std::int32_t y, std::int32_t* px, std::int32_t* py) const {
    switch (orientation) {
        case 1: *px = width - 1 - y; *py = x; break;
        case 2: *px = width - 1 - x; *py = height - 1 - y; break;
        case 3: *px = y; *py = height - 1 - x; break;
        default: *px = x; *py = y; break;
    }
}

void OpenGLRainbows::unmap_point(std::int32_t px, std::int32_t py, std::int32_t* x, std::int32_t* y) const {
    switch (orientation) {
        case 1: *x = py; *y = width - 1 - px; break;
        case 2: *x = width - 1 - px; *y = height - 1 - py; break;
        case 3: *x = height - 1 - py; *y = px; break;
        default: *x = px; *y = py; break;
    }
}

void OpenGLRainbows::map_vector(double dx, double dy, double* px, double* py) const {
    switch (orientation) {
        case 1: *px = -dy; *py = dx; break;
        case 2: *px = -dx; *py = -dy; break;
        case 3: *px = dy; *py = -dx; break;
        default: *px = dx; *py = dy; break;
    }
}

void OpenGLRainbows::get_screen_size(std::int32_t* w, std::int32_t* h) const {
    bool turned = orientation == 1 || orientation == 3;
    *w = turned ? height : width;
    *h = turned ? width : height;
}

void OpenGLRainbows::get_viewport(std::int32_t* x, std::int32_t* y, std::int32_t* w, std::int32_t* h) const {
    *x = viewport_[0];
    *y = viewport_[1];
    *w = viewport_[2];
    *h = viewport_[3];
}

void OpenGLRainbows::set_viewport(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
    flush();
    if (before_viewport_change != nullptr) before_viewport_change();
    bool on_surface = current_surface >= 0 && current_surface < k_surface_count;
    if (w <= 0 || h <= 0) {
        x = 0;
        y = 0;
        if (on_surface) {
            const SpriteRecord& r = sprite(surfaces_[current_surface].sprite);
            w = r.image_width;
            h = r.image_height;
        } else {
            get_screen_size(&w, &h);
        }
    }
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (drawing_to_framebuffer_object()) {
        // Surfaces are upright: no orientation, the image's top row is the
        // top of the viewport.
        std::int32_t surface_height = sprite(surfaces_[current_surface].sprite).image_height;
        glViewport(x, surface_height - h - y, w, h);
        glOrtho(0, w, h, 0, -1, 1);
    } else {
        // Orientation o turns the picture by o x 90 degrees on the screen.
        glRotatef(-90.0f * static_cast<float>(orientation), 0.0f, 0.0f, 1.0f);
        std::int32_t px = 0, py = 0;
        map_point(x, y, &px, &py);
        double dw = 0, dh = 0;
        map_vector(w, h, &dw, &dh);
        auto pw = static_cast<std::int32_t>(dw), ph = static_cast<std::int32_t>(dh);
        if (pw < 0) {
            px += pw + 1;
            pw = -pw;
        }
        if (ph < 0) {
            py += ph + 1;
            ph = -ph;
        }
        glViewport(px, height - ph - py, pw, ph);
        glOrtho(0, w, h, 0, -1, 1);
    }
    viewport_[0] = x;
    viewport_[1] = y;
    viewport_[2] = w;
    viewport_[3] = h;
    reset_2d_state();
}

void OpenGLRainbows::reset_2d_state() {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const GLenum off[] = {GL_DEPTH_TEST, GL_CULL_FACE, GL_FOG, GL_LINE_SMOOTH, GL_POINT_SMOOTH,
                          GL_POLYGON_SMOOTH, GL_STENCIL_TEST, GL_NORMALIZE, GL_LIGHTING,
                          GL_COLOR_MATERIAL, GL_DITHER, GL_POLYGON_OFFSET_POINT, GL_AUTO_NORMAL,
                          GL_TEXTURE_2D, GL_BLEND};
    for (GLenum cap : off) glDisable(cap);
    glFrontFace(GL_CCW);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.05f);
    glShadeModel(GL_FLAT);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_FASTEST);
    glHint(GL_POLYGON_SMOOTH_HINT, GL_FASTEST);
    smoothing = true;
    bound_sprite_ = -1;
    global_alpha = 1.0f;
    set_white(1.0f);
    invalidate_gl_cache();
}

void OpenGLRainbows::reset_frame_state() {
    flush();
    glEnable(GL_BLEND);
    glDisable(GL_BLEND);
    glEnable(GL_ALPHA_TEST);
    global_alpha = 1.0f;
    set_white(1.0f);
    set_viewport(0, 0, 0, 0);
    if (current_shader_ >= 0) shader_use(-1);
}

void OpenGLRainbows::prepare_next_frame() {
    flush();
    if (backgrounds_[0].columns != 0) {
        if (depth_clear_pending) {
            glClear(GL_DEPTH_BUFFER_BIT);
            depth_clear_pending = false;
        }
        // The background covers the whole screen, whatever viewport the
        // last frame ended with.
        set_viewport(0, 0, 0, 0);
        draw_background(0);
        return;
    }
    GLbitfield mask = 0;
    if (clear_every_frame) mask |= GL_COLOR_BUFFER_BIT;
    if (depth_clear_pending) {
        mask |= GL_DEPTH_BUFFER_BIT;
        // Depth alone is cleared once; with colour it is cleared every frame.
        if (!clear_every_frame) depth_clear_pending = false;
    }
    if (mask != 0) glClear(mask);
}

// ---------------------------------------------------------------- primitives

std::uint8_t OpenGLRainbows::primitive_alpha(std::int32_t colour) const {
    if (same_colour(colour, colour_key)) return 0;
    return static_cast<std::uint8_t>(static_cast<int>(global_alpha * 255.0f));
}

void OpenGLRainbows::begin_pixel_exact(std::int32_t colour) {
    glDisable(GL_ALPHA_TEST);
    glColor4ub(red(colour), green(colour), blue(colour), primitive_alpha(colour));
    set_texturing(false);  // on both units
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glTranslatef(0.375f, 0.375f, 0.0f);
    glMatrixMode(GL_MODELVIEW);
}

void OpenGLRainbows::end_pixel_exact() {
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    set_white(global_alpha);
    glEnable(GL_ALPHA_TEST);
}

void OpenGLRainbows::draw_point(std::int32_t x, std::int32_t y, std::int32_t colour) {
    if (batching_ && orientation == 0) {
        // A one-pixel segment of the line list, as the end pixel of a line.
        if (quad_kind_ != QuadKind::none) draw_pending_quads();
        LineVertex v{static_cast<float>(x), static_cast<float>(y),
                     {red(colour), green(colour), blue(colour), primitive_alpha(colour)}};
        pending_lines_.push_back(v);
        v.x = static_cast<float>(x + 1);
        pending_lines_.push_back(v);
        return;
    }
    flush_batch();
    begin_pixel_exact(colour);
    glBegin(GL_POINTS);
    glVertex2i(x, y);
    glEnd();
    end_pixel_exact();
}

void OpenGLRainbows::draw_line(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                               std::int32_t colour) {
    if (orientation != 0 || !batching_) {
        // Turned pictures take the plain path: one line, then its end point.
        flush_batch();
        begin_pixel_exact(colour);
        glBegin(GL_LINES);
        glVertex2i(x1, y1);
        glVertex2i(x2, y2);
        glEnd();
        glBegin(GL_POINTS);
        glVertex2i(x2, y2);
        glEnd();
        end_pixel_exact();
        return;
    }
    // The segment and its end pixel go into one line list, in drawing
    // order. The end pixel is a one-pixel segment from (x2, y2) to
    // (x2 + 1, y2): with the 0.375 offset it starts inside pixel x2 and ends
    // inside pixel x2 + 1, so it lights x2 alone, exactly as a point does.
    LineVertex v{0, 0, {red(colour), green(colour), blue(colour), primitive_alpha(colour)}};
    auto add = [&](std::int32_t x, std::int32_t y) {
        v.x = static_cast<float>(x);
        v.y = static_cast<float>(y);
        pending_lines_.push_back(v);
    };
    if (quad_kind_ != QuadKind::none) draw_pending_quads();
    add(x1, y1);
    add(x2, y2);
    add(x2, y2);
    add(x2 + 1, y2);
}

void OpenGLRainbows::fill_rect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
                               std::int32_t colour) {
    if (w < 0) {
        x = x + w + 1;
        w = -w;
    }
    if (h < 0) {
        y = y + h + 1;
        h = -h;
    }
    if (w == 0 || h == 0) return;
    auto left = static_cast<float>(x), right = static_cast<float>(x + w);
    auto top = static_cast<float>(y), bottom = static_cast<float>(y + h);
    if (batching_) {
        // The fan's corners, the colour packed once. A rectangle after a
        // rectangle needs no batch-key checks: a pending filled batch has
        // no lines before it and always the same key.
        QuadVertex* v = nullptr;
        if (quad_kind_ == QuadKind::filled && quad_count_ < quad_capacity_) v = &quads_[quad_count_++ * 4];
        else v = add_quads(QuadKind::filled, -1, 0, 1, false);
        const QuadVertex corner{left, bottom, 0, 0, {red(colour), green(colour), blue(colour), primitive_alpha(colour)}};
        v[0] = corner;
        v[1] = corner;
        v[1].x = right;
        v[2] = v[1];
        v[2].y = top;
        v[3] = v[2];
        v[3].x = left;
        return;
    }
    const float quad[4][4] = {{left, bottom, 0, 0}, {right, bottom, 0, 0}, {right, top, 0, 0}, {left, top, 0, 0}};
    flush_batch();
    begin_pixel_exact(colour);
    set_client_arrays(true, false, false);
    glVertexPointer(2, GL_FLOAT, 16, quad);
    glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
    end_pixel_exact();
}

std::int32_t OpenGLRainbows::read_pixel(std::int32_t x, std::int32_t y) {
    flush();
    std::uint8_t rgba[4] = {0, 0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    if (drawing_to_framebuffer_object()) {
        glReadBuffer(GL_COLOR_ATTACHMENT0_EXT);
        std::int32_t surface_height = sprite(surfaces_[current_surface].sprite).image_height;
        glReadPixels(x, surface_height - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    } else {
        std::int32_t px = 0, py = 0;
        map_point(x, y, &px, &py);
        glReadBuffer(GL_BACK);
        glReadPixels(px, height - 1 - py, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    }
    return rgba[0] | (rgba[1] << 8) | (rgba[2] << 16);
}

// ---------------------------------------------------------------- batch

void OpenGLRainbows::grow_batch(std::int32_t needed) {
    if (needed < batch_capacity_) return;
    std::int32_t capacity = needed <= 512 ? 512 : 128 * (needed / 128 + 1);
    auto* store = static_cast<BatchVertex*>(std::malloc(sizeof(BatchVertex) * static_cast<std::size_t>(capacity)));
    if (store == nullptr) throw std::bad_alloc();
    if (batch_count_ > 0) std::memcpy(store, batch_, sizeof(BatchVertex) * static_cast<std::size_t>(batch_count_));
    std::free(batch_);
    batch_ = store;
    batch_capacity_ = capacity;
}

void OpenGLRainbows::poly_begin(std::int32_t sprite, std::int32_t mode) {
    // Pending quads of the same sprite, wrapped as the binding wraps, may
    // stay pending: drawing them leaves this sprite bound as binding it here
    // does, and the batch can then join them at poly_end.
    if (!batching_ || quad_kind_ != QuadKind::textured || quad_sprite_ != sprite || quad_wrap_ != GL_REPEAT ||
        quad_glyphs_)
        flush();
    bind_sprite(sprite);
    batch_sprite_ = bound_sprite_;
    if (batch_sprite_ >= 0) {
        const SpriteRecord& r = sprites_[static_cast<std::size_t>(batch_sprite_)];
        batch_inv_width_ = r.texture_width > 0 ? 1.0f / r.texture_width : 1.0f;
        batch_inv_height_ = r.texture_height > 0 ? 1.0f / r.texture_height : 1.0f;
        batch_image_height_ = r.image_height;
    }
    grow_batch(2);
    batch_count_ = 0;
    batch_colours_ = false;
    batch_join_pending_ = false;
    batch_mode_ = mode;
}

void OpenGLRainbows::poly_vertex(float x, float y, float tx, float ty, std::int32_t colour) {
    grow_batch(batch_count_ + (batch_join_pending_ ? 2 : 1));
    BatchVertex v{};
    v.x = x;
    v.y = y;
    if (batch_sprite_ >= 0) {
        v.s = tx * batch_inv_width_;
        v.t = (batch_image_height_ - ty) * batch_inv_height_;
    }
    if ((colour & 0xffffff) == 0xffffff) {
        v.rgba[0] = v.rgba[1] = v.rgba[2] = 255;
    } else {
        batch_colours_ = true;
        v.rgba[0] = red(colour);
        v.rgba[1] = green(colour);
        v.rgba[2] = blue(colour);
    }
    if (same_colour(colour, colour_key)) v.rgba[3] = 0;
    else if (global_alpha == 1.0f) v.rgba[3] = 255;
    else v.rgba[3] = static_cast<std::uint8_t>(static_cast<int>(global_alpha * 255.0f));
    batch_[batch_count_++] = v;
    if (batch_join_pending_) {
        batch_[batch_count_++] = v;
        batch_join_pending_ = false;
    }
}

void OpenGLRainbows::poly_new_strip() {
    if (batch_count_ == 0 || batch_join_pending_) return;
    grow_batch(batch_count_ + 1);
    batch_[batch_count_] = batch_[batch_count_ - 1];
    ++batch_count_;
    batch_join_pending_ = true;
}

void OpenGLRainbows::poly_end() {
    bool colours = batch_colours_ || global_alpha != 1.0f;
    if (batching_ && batch_ != nullptr && !colours && batch_sprite_ >= 0 && join_poly_batch()) return;
    flush_batch();
    if (batch_ == nullptr) return;
    set_client_arrays(true, batch_sprite_ >= 0, colours);
    glVertexPointer(2, GL_FLOAT, sizeof(BatchVertex), &batch_[0].x);
    if (batch_sprite_ >= 0) glTexCoordPointer(2, GL_FLOAT, sizeof(BatchVertex), &batch_[0].s);
    if (colours) {
        batch_colours_ = true;
        glEnable(GL_DITHER);
        glShadeModel(GL_SMOOTH);
        glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(BatchVertex), batch_[0].rgba);
    }
    if (batch_sprite_ >= 0) {
        GLint filter = smoothing ? GL_LINEAR : GL_NEAREST;
        if (bound_sprite_ == batch_sprite_) {
            set_sprite_filter(batch_sprite_, filter);
        } else {
            // Another texture was bound since poly_begin: it gets the
            // filters, as it always did, and is no longer remembered.
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
            ++gl_generation_;
        }
    }
    const GLenum modes[] = {GL_TRIANGLE_FAN, GL_TRIANGLES, GL_TRIANGLE_STRIP};
    if (batch_mode_ >= 0 && batch_mode_ <= 2) glDrawArrays(modes[batch_mode_], 0, batch_count_);
    if (colours) {
        set_white(global_alpha);
        glShadeModel(GL_FLAT);
        glDisable(GL_DITHER);
    }
}

// ---------------------------------------------------------------- forwarding

namespace {
OpenGLRainbows* renderer() { return app_state.renderer; }
}  // namespace

void draw_point(std::int32_t x, std::int32_t y, std::int32_t colour) {
    if (auto* r = renderer()) r->draw_point(x, y, colour);
}
void draw_line(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2, std::int32_t colour) {
    if (auto* r = renderer()) r->draw_line(x1, y1, x2, y2, colour);
}
void fill_rect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h, std::int32_t colour) {
    if (auto* r = renderer()) r->fill_rect(x, y, w, h, colour);
}
std::int32_t read_pixel(std::int32_t x, std::int32_t y) {
    auto* r = renderer();
    return r != nullptr ? r->read_pixel(x, y) : 0;
}
void set_clear_colour(std::int32_t colour) {
    if (auto* r = renderer()) r->set_clear_colour(colour);
}
void set_alpha_mode(double mode) {
    if (auto* r = renderer()) r->set_alpha_mode(static_cast<float>(mode));
}
void set_smoothing(std::int32_t flag) {
    if (auto* r = renderer()) r->set_smoothing(flag);
}
void set_colour_key(std::int32_t colour) {
    if (auto* r = renderer()) r->set_colour_key(colour);
}
void set_orientation(std::int32_t orientation) {
    if (auto* r = renderer()) r->set_orientation(orientation);
}
std::int32_t get_orientation() {
    auto* r = renderer();
    return r != nullptr ? r->orientation : 0;
}
void set_viewport(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
    if (auto* r = renderer()) r->set_viewport(x, y, w, h);
}
void get_viewport(std::int32_t* x, std::int32_t* y, std::int32_t* w, std::int32_t* h) {
    *x = *y = *w = *h = 0;
    if (auto* r = renderer()) r->get_viewport(x, y, w, h);
}
void get_screen_size(std::int32_t* w, std::int32_t* h) {
    *w = *h = 0;
    if (auto* r = renderer()) r->get_screen_size(w, h);
}
bool bgra_supported() {
    auto* r = renderer();
    return r != nullptr && r->bgra_supported;
}
void poly_begin(std::int32_t sprite, std::int32_t mode) {
    if (auto* r = renderer()) r->poly_begin(sprite, mode);
}
void poly_vertex(double x, double y, double tx, double ty, std::int32_t colour) {
    if (auto* r = renderer())
        r->poly_vertex(static_cast<float>(x), static_cast<float>(y), static_cast<float>(tx),
                       static_cast<float>(ty), colour);
}
void poly_new_strip() {
    if (auto* r = renderer()) r->poly_new_strip();
}
void poly_end() {
    if (auto* r = renderer()) r->poly_end();
}

}  // namespace crv
