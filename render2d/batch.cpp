// The 2D draw batch and the remembered GL state of OpenGLRainbows.
//
// Sprites, animation frames, glyphs, rectangles and the triangles of
// textured vertex batches are collected as quads in one vertex array and
// drawn with one indexed triangle list (rectangles: one quad list) when the
// kind, texture, wrap mode or filter changes, before any other GL use and
// at presentation. Each quad is split into the two triangles, with their
// vertices in the order, that the rasteriser gets from the single fan (or,
// for glyphs, the triangle strip) the call-at-a-time path draws, so every
// interpolated value is the same.
//
// Turned sprites: the call-at-a-time path translates and rotates the
// model-view matrix and lets OpenGL multiply it onto the projection and the
// vertices. Here the same products are formed on the CPU, in the order and
// with the roundings OpenGL's fixed-function path uses (the model-view
// projection matrix as a float 4 x 4 product; each vertex as a multiply,
// then fused multiply-adds), and the resulting clip coordinates are drawn
// through identity matrices, which pass them on unchanged. This file is
// compiled without floating-point contraction so that the compiler keeps
// the roundings written here.
#include "render2d/rainbows.hpp"

#include <cmath>
#include <cstring>

namespace crv {

namespace {

constexpr std::uint8_t k_vertex_array = 1, k_texcoord_array = 2, k_colour_array = 4;
constexpr GLuint k_unknown_texture = ~GLuint{0};
// The most quads one draw call takes: 4 vertices each, numbered in 16 bits.
constexpr std::size_t k_quads_per_draw = 16384;


}  // namespace

void OpenGLRainbows::set_batching(bool on) {
    flush();
    batching_ = on;
}

void OpenGLRainbows::invalidate_gl_cache() {
    gl_known_ = false;
    turn_known_ = false;
    ++gl_generation_;
}

void OpenGLRainbows::flush() {
    flush_batch();
    set_client_arrays(false, false, false);
    invalidate_gl_cache();
}

void OpenGLRainbows::flush_batch() {
    if (!pending_lines_.empty()) draw_pending_lines();
    if (quad_kind_ != QuadKind::none) draw_pending_quads();
}

// ---------------------------------------------------------------- cached state

void OpenGLRainbows::set_client_arrays(bool vertex, bool texcoord, bool colour) {
    auto want = static_cast<std::uint8_t>((vertex ? k_vertex_array : 0) | (texcoord ? k_texcoord_array : 0) |
                                          (colour ? k_colour_array : 0));
    std::uint8_t change = want ^ client_arrays_;
    if (change == 0) return;
    const struct {
        std::uint8_t bit;
        GLenum array;
    } arrays[] = {{k_vertex_array, GL_VERTEX_ARRAY}, {k_texcoord_array, GL_TEXTURE_COORD_ARRAY},
                  {k_colour_array, GL_COLOR_ARRAY}};
    for (const auto& a : arrays) {
        if ((change & a.bit) == 0) continue;
        if ((want & a.bit) != 0) glEnableClientState(a.array);
        else glDisableClientState(a.array);
    }
    client_arrays_ = want;
}

void OpenGLRainbows::set_texturing(bool on) {
    if (!gl_known_) {
        // The second unit stays off for all 2D drawing.
        if (ext.glActiveTextureARB != nullptr) {
            ext.glActiveTextureARB(GL_TEXTURE1_ARB);
            glDisable(GL_TEXTURE_2D);
            ext.glActiveTextureARB(GL_TEXTURE0_ARB);
        }
        gl_known_ = true;
        texturing_on_ = !on;
        bound_texture_ = k_unknown_texture;
    }
    if (texturing_on_ == on) return;
    if (on) glEnable(GL_TEXTURE_2D);
    else glDisable(GL_TEXTURE_2D);
    texturing_on_ = on;
}

void OpenGLRainbows::bind_texture(GLuint texture) {
    if (gl_known_ && bound_texture_ == texture) return;
    glBindTexture(GL_TEXTURE_2D, texture);
    if (gl_known_) bound_texture_ = texture;
}

void OpenGLRainbows::set_sprite_wrap(std::int32_t n, GLint wrap) {
    TextureParams& p = texture_params_[static_cast<std::size_t>(n)];
    if (p.generation != gl_generation_) p = TextureParams{gl_generation_, 0, 0};
    if (p.wrap == wrap) return;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
    p.wrap = wrap;
}

void OpenGLRainbows::set_sprite_filter(std::int32_t n, GLint filter) {
    TextureParams& p = texture_params_[static_cast<std::size_t>(n)];
    if (p.generation != gl_generation_) p = TextureParams{gl_generation_, 0, 0};
    if (p.filter == filter) return;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    p.filter = filter;
}

// ---------------------------------------------------------------- quads

OpenGLRainbows::QuadVertex* OpenGLRainbows::add_quads(QuadKind kind, std::int32_t sprite, GLint wrap,
                                                      std::int32_t count, bool glyphs) {
    GLint filter = sprite >= 0 ? (smoothing ? GL_LINEAR : GL_NEAREST) : 0;
    if (!pending_lines_.empty()) draw_pending_lines();
    // Glyphs and other quads split a quad along different diagonals; a
    // batch holds one kind so that it can use one prebuilt index list.
    if (quad_kind_ != kind || quad_sprite_ != sprite || quad_wrap_ != wrap || quad_filter_ != filter ||
        quad_glyphs_ != glyphs) {
        if (quad_kind_ != QuadKind::none) draw_pending_quads();
        quad_kind_ = kind;
        quad_sprite_ = sprite;
        quad_wrap_ = wrap;
        quad_filter_ = filter;
        quad_glyphs_ = glyphs;
    }
    auto n = static_cast<std::size_t>(count);
    if (quad_count_ + n > quad_capacity_) grow_quads(n);
    QuadVertex* v = &quads_[quad_count_ * 4];
    quad_count_ += n;
    return v;
}

void OpenGLRainbows::grow_quads(std::size_t count) {
    std::size_t capacity = quad_capacity_ < 1024 ? 1024 : quad_capacity_ * 2;
    while (capacity < quad_count_ + count) capacity *= 2;
    std::unique_ptr<QuadVertex[]> store(new QuadVertex[capacity * 4]);
    if (quad_count_ > 0) std::memcpy(store.get(), quads_.get(), quad_count_ * 4 * sizeof(QuadVertex));
    quads_ = std::move(store);
    quad_capacity_ = capacity;
    if (!fan_indices_.empty()) return;
    std::vector<GLushort> fan(k_quads_per_draw * 6), strip(k_quads_per_draw * 6);
    for (std::size_t q = 0; q < k_quads_per_draw; ++q) {
        auto b = static_cast<GLushort>(q * 4);
        GLushort* f = &fan[q * 6];
        GLushort* t = &strip[q * 6];
        // A fan around the first vertex.
        f[0] = b; f[1] = b + 1; f[2] = b + 2;
        f[3] = b; f[4] = b + 2; f[5] = b + 3;
        // Even, then odd triangle of a strip.
        t[0] = b; t[1] = b + 1; t[2] = b + 2;
        t[3] = b + 2; t[4] = b + 1; t[5] = b + 3;
    }
    fan_indices_ = std::move(fan);
    strip_indices_ = std::move(strip);
}

void OpenGLRainbows::draw_pending_quads() {
    QuadKind kind = quad_kind_;
    quad_kind_ = QuadKind::none;
    if (quad_count_ == 0) return;
    bool filled = kind == QuadKind::filled;
    if (filled) {
        // As the pixel-exact primitives: untextured, no alpha test, the
        // projection offset by 3/8 pixel; the colour comes per vertex.
        glDisable(GL_ALPHA_TEST);
        set_texturing(false);
        bound_sprite_ = -1;
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glTranslatef(0.375f, 0.375f, 0.0f);
        glMatrixMode(GL_MODELVIEW);
    } else {
        set_texturing(true);
        bind_texture(sprites_[static_cast<std::size_t>(quad_sprite_)].texture);
        set_sprite_wrap(quad_sprite_, quad_wrap_);
        set_sprite_filter(quad_sprite_, quad_filter_);
        bound_sprite_ = quad_sprite_;
        if (kind == QuadKind::turned) {
            glMatrixMode(GL_PROJECTION);
            glPushMatrix();
            glLoadIdentity();
            glMatrixMode(GL_MODELVIEW);
        }
    }
    set_client_arrays(true, !filled, filled);
    if (filled) {
        // Rectangles are axis-parallel and one colour each, so how a quad is
        // split into triangles changes no pixel: drawn as quads they cost
        // the driver least.
        glVertexPointer(2, GL_FLOAT, sizeof(QuadVertex), &quads_[0].x);
        glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(QuadVertex), quads_[0].rgba);
        glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(quad_count_ * 4));
    }
    // 16-bit indices keep what the driver copies per call small; a longer
    // batch is drawn in runs of k_quads_per_draw, in order.
    const GLushort* indices = quad_glyphs_ ? strip_indices_.data() : fan_indices_.data();
    for (std::size_t first = 0; first < quad_count_ && !filled; first += k_quads_per_draw) {
        std::size_t n = quad_count_ - first < k_quads_per_draw ? quad_count_ - first : k_quads_per_draw;
        const QuadVertex* v = &quads_[first * 4];
        glVertexPointer(2, GL_FLOAT, sizeof(QuadVertex), &v->x);
        glTexCoordPointer(2, GL_FLOAT, sizeof(QuadVertex), &v->s);
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(n * 6), GL_UNSIGNED_SHORT, indices);
    }
    if (filled || kind == QuadKind::turned) {
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
    }
    if (filled) {
        glColor4f(1.0f, 1.0f, 1.0f, global_alpha);
        glEnable(GL_ALPHA_TEST);
    }
    quad_count_ = 0;
}

void OpenGLRainbows::draw_pending_lines() {
    begin_pixel_exact(0xffffff);
    set_client_arrays(true, false, true);
    glVertexPointer(2, GL_FLOAT, sizeof(LineVertex), &pending_lines_[0].x);
    glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(LineVertex), pending_lines_[0].rgba);
    glDrawArrays(GL_LINES, 0, static_cast<GLsizei>(pending_lines_.size()));
    pending_lines_.clear();
    end_pixel_exact();
}

bool OpenGLRainbows::join_poly_batch() {
    if (batch_mode_ < 0 || batch_mode_ > 2) return false;
    if (quad_kind_ != QuadKind::textured || quad_sprite_ != batch_sprite_ || quad_wrap_ != GL_REPEAT ||
        quad_glyphs_) {
        // Drawn at once, the batch would take whatever texture, and wrap
        // mode, the drawing before it left bound: it joins only when that
        // is its own sprite, wrapped as poly_begin bound it.
        flush_batch();
        if (!gl_known_ || !texturing_on_ || bound_sprite_ != batch_sprite_) return false;
        const TextureParams& p = texture_params_[static_cast<std::size_t>(batch_sprite_)];
        if (p.generation != gl_generation_ || p.wrap != GL_REPEAT) return false;
    }
    // Each triangle becomes a quad whose fan repeats its last vertex: the
    // first triangle of the fan is the batch's own triangle, with its
    // vertices in the order OpenGL takes them from the fan, the separate
    // triangles or the strip (odd strip triangles swap their first two);
    // the second has no area and lights nothing.
    const std::int32_t n = batch_count_;
    std::int32_t triangles = 0;
    if (batch_mode_ == 1) triangles = n / 3;
    else if (n >= 3) triangles = n - 2;
    if (triangles == 0) return true;
    QuadVertex* v = add_quads(QuadKind::textured, batch_sprite_, GL_REPEAT, triangles, false);
    const BatchVertex* b = batch_;
    auto put = [&v](const BatchVertex& p0, const BatchVertex& p1, const BatchVertex& p2) {
        auto q = [](const BatchVertex& p) { return QuadVertex{p.x, p.y, p.s, p.t, {255, 255, 255, 255}}; };
        v[0] = q(p0);
        v[1] = q(p1);
        v[2] = q(p2);
        v[3] = v[2];
        v += 4;
    };
    for (std::int32_t i = 0; i < triangles; ++i) {
        if (batch_mode_ == 0) put(b[0], b[i + 1], b[i + 2]);
        else if (batch_mode_ == 1) put(b[3 * i], b[3 * i + 1], b[3 * i + 2]);
        else if (i % 2 == 0) put(b[i], b[i + 1], b[i + 2]);
        else put(b[i + 1], b[i], b[i + 2]);
    }
    return true;
}

bool OpenGLRainbows::load_turn_matrices() {
    if (turn_known_) return turn_usable_;
    turn_known_ = true;
    float modelview[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    glGetFloatv(GL_PROJECTION_MATRIX, projection_);
    turn_usable_ = true;
    for (int i = 0; i < 16; ++i)
        if (modelview[i] != (i % 5 == 0 ? 1.0f : 0.0f)) turn_usable_ = false;
    // An affine projection that leaves z at 0 for z = 0 (column-major).
    const float* p = projection_;
    if (p[3] != 0 || p[7] != 0 || p[11] != 0 || p[15] != 1 || p[2] != 0 || p[6] != 0 || p[14] != 0)
        turn_usable_ = false;
    return turn_usable_;
}

void OpenGLRainbows::sprite_draw_rotozoom(std::int32_t n, std::int32_t x, std::int32_t y, float angle, float zoom) {
    if (!drawable_sprite(n)) return;
    if (!batching_ || current_shader_ >= 0 || !load_turn_matrices()) {
        sprite_draw_rotozoom_direct(n, x, y, angle, zoom);
        return;
    }
    const SpriteRecord& r = sprites_[static_cast<std::size_t>(n)];
    float w = r.image_width, h = r.image_height;
    float tw = r.texture_width, th = r.texture_height;
    float hx = zoom * w / 2, hy = zoom * h / 2;
    float s0 = 0.5f / tw, s1 = (w - 0.5f) / tw, t0 = 0.5f / th, t1 = (h - 0.5f) / th;
    auto tx = static_cast<float>(x + r.image_width / 2), ty = static_cast<float>(y + r.image_height / 2);

    // The model-view matrix: translation, then rotation about (0, 0, -1),
    // whose sine and cosine are taken of the angle in radians as a float.
    float c = 1, s = 0;
    if (angle != 0) {
        auto radians = static_cast<float>(static_cast<double>(angle) * M_PI / 180.0);
        s = std::sin(radians);
        c = std::cos(radians);
    }
    // Rows 0 and 1 of projection x model-view, as a float 4 x 4 product
    // summed left to right (the terms of model-view rows 2 and 3 add 0, and
    // the projection's column 3 once).
    const float* p = projection_;
    float m[2][3];
    for (int i = 0; i < 2; ++i) {
        float p0 = p[i], p1 = p[4 + i], p3 = p[12 + i];
        m[i][0] = p0 * c + p1 * -s;
        m[i][1] = p0 * s + p1 * c;
        m[i][2] = (p0 * tx + p1 * ty) + p3;
    }
    QuadVertex* v = add_quads(QuadKind::turned, n, GL_REPEAT, 1, false);
    const float corners[4][4] = {{hx, -hy, s1, t1}, {-hx, -hy, s0, t1}, {-hx, hy, s0, t0}, {hx, hy, s1, t0}};
    for (const auto& k : corners) {
        // x * m0, then y * m1 fused into it, then the translation.
        v->x = std::fma(k[1], m[0][1], k[0] * m[0][0]) + m[0][2];
        v->y = std::fma(k[1], m[1][1], k[0] * m[1][0]) + m[1][2];
        v->s = k[2];
        v->t = k[3];
        ++v;
    }
}

}  // namespace crv
