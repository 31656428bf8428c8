// The sprite table: texture upload (edge bleeding, mip textures, normal
// maps), loading and pixel conversion, every way of drawing a sprite or an
// animation frame, pixel-exact collision and the tiled background slots.
#include "render2d/rainbows.hpp"

#include "runtime/app_state.hpp"
#include <corvane/core.hpp>
#include "core/number_text.hpp"
#include "render2d/image.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace crv {

namespace {

// The smallest power of two of at least 16 that holds n.
std::int32_t texture_side(std::int32_t n) {
    std::int32_t side = 16;
    while (side < n) side *= 2;
    return side;
}

void clear_gl_errors() {
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

// Transparent texels take the mean colour of their opaque neighbours that
// lie inside the border, so that linear filtering does not pull the colour
// of keyed pixels into the edges of a sprite.
void bleed_edges(std::vector<std::uint8_t>& texels, std::int32_t tw, std::int32_t th) {
    for (std::int32_t y = 0; y < th; ++y) {
        for (std::int32_t x = 0; x < tw; ++x) {
            std::uint8_t* t = &texels[(static_cast<std::size_t>(y) * tw + x) * 4];
            if (t[3] != 0) continue;
            std::int32_t sum[3] = {0, 0, 0}, count = 0;
            for (std::int32_t dy = -1; dy <= 1; ++dy) {
                for (std::int32_t dx = -1; dx <= 1; ++dx) {
                    std::int32_t nx = x + dx, ny = y + dy;
                    if ((dx == 0 && dy == 0) || nx < 1 || ny < 1 || nx > tw - 2 || ny > th - 2) continue;
                    const std::uint8_t* n = &texels[(static_cast<std::size_t>(ny) * tw + nx) * 4];
                    if (n[3] == 0) continue;
                    for (int c = 0; c < 3; ++c) sum[c] += n[c];
                    ++count;
                }
            }
            for (int c = 0; c < 3; ++c) t[c] = static_cast<std::uint8_t>(count > 0 ? sum[c] / count : 0);
        }
    }
}

void make_normal_map(std::vector<std::uint8_t>& texels, std::int32_t tw, std::int32_t th) {
    std::vector<std::uint8_t> out(texels);
    auto height = [&](std::int32_t x, std::int32_t y) {
        x = (x + tw) % tw;
        y = (y + th) % th;
        return texels[(static_cast<std::size_t>(y) * tw + x) * 4 + 2] / 255.0;
    };
    for (std::int32_t y = 0; y < th; ++y) {
        for (std::int32_t x = 0; x < tw; ++x) {
            double gx = (height(x + 1, y - 1) + 2 * height(x + 1, y) + height(x + 1, y + 1)) -
                        (height(x - 1, y - 1) + 2 * height(x - 1, y) + height(x - 1, y + 1));
            double gy = (height(x - 1, y - 1) + 2 * height(x, y - 1) + height(x + 1, y - 1)) -
                        (height(x - 1, y + 1) + 2 * height(x, y + 1) + height(x + 1, y + 1));
            double n[3] = {-gx, -gy, 1.0};
            double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
            std::uint8_t* o = &out[(static_cast<std::size_t>(y) * tw + x) * 4];
            for (int c = 0; c < 3; ++c) o[c] = static_cast<std::uint8_t>((n[c] / length + 1.0) / 2.0 * 255.0);
        }
    }
    texels.swap(out);
}

// The mip chain: the buffer made square by halving its longer side, then
// every level from the previous one by a weighted 2:1 reduction that keeps
// the texel at (2x, 2y) dominant.
void upload_mip_chain(std::vector<std::uint8_t> texels, std::int32_t tw, std::int32_t th) {
    while (tw != th) {
        bool wide = tw > th;
        std::int32_t nw = wide ? tw / 2 : tw, nh = wide ? th : th / 2;
        std::vector<std::uint8_t> half(static_cast<std::size_t>(nw) * nh * 4);
        for (std::int32_t y = 0; y < nh; ++y) {
            for (std::int32_t x = 0; x < nw; ++x) {
                std::int32_t ax = wide ? 2 * x : x, ay = wide ? y : 2 * y;
                std::int32_t bx = wide ? ax + 1 : ax, by = wide ? ay : ay + 1;
                const std::uint8_t* a = &texels[(static_cast<std::size_t>(ay) * tw + ax) * 4];
                const std::uint8_t* b = &texels[(static_cast<std::size_t>(by) * tw + bx) * 4];
                std::uint8_t* o = &half[(static_cast<std::size_t>(y) * nw + x) * 4];
                for (int c = 0; c < 4; ++c) o[c] = static_cast<std::uint8_t>((a[c] + b[c]) / 2);
            }
        }
        texels.swap(half);
        tw = nw;
        th = nh;
    }
    std::int32_t side = tw;
    for (GLint level = 0;; ++level) {
        glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA8, side, side, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
        if (side == 1) break;
        std::int32_t next = side / 2;
        std::vector<std::uint8_t> reduced(static_cast<std::size_t>(next) * next * 4);
        for (std::int32_t y = 0; y < next; ++y) {
            for (std::int32_t x = 0; x < next; ++x) {
                auto at = [&](std::int32_t px, std::int32_t py) {
                    return &texels[(static_cast<std::size_t>(py) * side + px) * 4];
                };
                const std::uint8_t *a = at(2 * x, 2 * y), *b = at(2 * x + 1, 2 * y), *c = at(2 * x, 2 * y + 1),
                                   *d = at(2 * x + 1, 2 * y + 1);
                std::uint8_t* o = &reduced[(static_cast<std::size_t>(y) * next + x) * 4];
                for (int k = 0; k < 4; ++k) o[k] = static_cast<std::uint8_t>((4 * a[k] + 2 * b[k] + 2 * c[k] + d[k]) / 9);
            }
        }
        texels.swap(reduced);
        side = next;
    }
}

void set_wrap(GLint mode) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, mode);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, mode);
}

void set_filters(GLint filter) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
}

std::int32_t pixel_value(const std::uint8_t* p) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                                     (static_cast<std::uint32_t>(p[2]) << 16) |
                                     (static_cast<std::uint32_t>(p[3]) << 24));
}

}  // namespace

// ---------------------------------------------------------------- binding

void OpenGLRainbows::bind_sprite(std::int32_t n) {
    if (!valid_sprite(n)) {
        set_texturing(false);
        bound_sprite_ = -1;
        return;
    }
    set_texturing(true);
    bind_texture(sprites_[static_cast<std::size_t>(n)].texture);
    set_sprite_wrap(n, GL_REPEAT);
    bound_sprite_ = n;
}

void OpenGLRainbows::apply_smoothing() {
    if (bound_sprite_ >= 0) set_sprite_filter(bound_sprite_, smoothing ? GL_LINEAR : GL_NEAREST);
    else set_filters(smoothing ? GL_LINEAR : GL_NEAREST);
}

void OpenGLRainbows::draw_plain_quad(const float (&quad)[4][4]) {
    bool textured = bound_sprite_ >= 0;
    set_client_arrays(true, textured, false);
    glVertexPointer(2, GL_FLOAT, 16, &quad[0][0]);
    if (textured) glTexCoordPointer(2, GL_FLOAT, 16, &quad[0][2]);
    glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
}

void OpenGLRainbows::draw_quad(const float (&quad)[4][4]) {
    if (bound_sprite_ >= 0) set_sprite_wrap(bound_sprite_, GL_CLAMP_TO_EDGE);
    draw_plain_quad(quad);
}

// A sprite quad: batched, or drawn at once with the sprite bound as the
// call-at-a-time path does. `clamp`: wrap clamped to the edge (the quad
// routine), else the repeat of the binding.
void OpenGLRainbows::sprite_quad(std::int32_t n, const float (&quad)[4][4], bool clamp) {
    if (batching_) {
        QuadVertex* v = add_quads(QuadKind::textured, n, clamp ? GL_CLAMP_TO_EDGE : GL_REPEAT, 1, false);
        for (const auto& q : quad) *v++ = QuadVertex{q[0], q[1], q[2], q[3], {255, 255, 255, 255}};
        return;
    }
    flush_batch();
    bind_sprite(n);
    apply_smoothing();
    if (clamp) draw_quad(quad);
    else draw_plain_quad(quad);
}

// ---------------------------------------------------------------- upload

bool OpenGLRainbows::upload_texture(GLuint* texture, const DecodedImage& image, std::int32_t x0, std::int32_t y0,
                                    std::int32_t w, std::int32_t h, bool raw, bool normal_map, GLuint* mip_texture,
                                    std::int32_t* tw_out, std::int32_t* th_out) {
    if (w == 0) w = image.width - x0;
    if (h == 0) h = image.height - y0;
    if (w < 1 || h < 1) return false;
    w = std::min(w, max_texture_size);
    h = std::min(h, max_texture_size);
    std::int32_t tw = texture_side(w), th = texture_side(h);
    std::vector<std::uint8_t> texels(static_cast<std::size_t>(tw) * th * 4, 0);
    for (std::int32_t y = std::max(y0, 0); y < y0 + h && y < image.height; ++y) {
        std::int32_t first = std::max(x0, 0), last = std::min(x0 + w, image.width);
        if (first >= last) break;
        std::memcpy(&texels[(static_cast<std::size_t>(y0 + h - 1 - y) * tw + (first - x0)) * 4],
                    image.row(y) + static_cast<std::size_t>(first) * 4, static_cast<std::size_t>(last - first) * 4);
    }
    if (!raw) bleed_edges(texels, tw, th);

    clear_gl_errors();
    if (*texture != 0) glDeleteTextures(1, texture);
    glGenTextures(1, texture);
    glBindTexture(GL_TEXTURE_2D, *texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    set_wrap(GL_REPEAT);
    set_filters(raw ? GL_NEAREST : GL_LINEAR);
    if (normal_map) make_normal_map(texels, tw, th);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, tw, th, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    bool ok = glGetError() == GL_NO_ERROR;
    if (ok && mip_texture != nullptr) {
        if (*mip_texture != 0) glDeleteTextures(1, mip_texture);
        glGenTextures(1, mip_texture);
        glBindTexture(GL_TEXTURE_2D, *mip_texture);
        set_wrap(GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
        upload_mip_chain(std::move(texels), tw, th);
        ok = glGetError() == GL_NO_ERROR;
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    bound_sprite_ = -1;
    invalidate_gl_cache();
    *tw_out = tw;
    *th_out = th;
    return ok;
}

bool OpenGLRainbows::upload_sprite(std::int32_t n, const DecodedImage& image, bool normal_map) {
    if (!valid_sprite(n)) return false;
    free_sprite(n);
    if (image.width <= 0 || image.height <= 0) return false;
    SpriteRecord& r = sprites_[static_cast<std::size_t>(n)];
    bool font = n >= k_font_sprite_base;
    std::int32_t tw = 0, th = 0;
    if (!upload_texture(&r.texture, image, 0, 0, 0, 0, font, normal_map && !font, font ? nullptr : &r.mip_texture,
                        &tw, &th)) {
        free_sprite(n);
        return false;
    }
    std::int32_t w = std::min(image.width, max_texture_size), h = std::min(image.height, max_texture_size);
    r.texture_width = static_cast<std::int16_t>(tw);
    r.texture_height = static_cast<std::int16_t>(th);
    r.image_width = static_cast<std::int16_t>(w);
    r.image_height = static_cast<std::int16_t>(h);
    r.s_extent = static_cast<float>(w) / static_cast<float>(tw);
    r.t_extent = static_cast<float>(h) / static_cast<float>(th);
    return true;
}

void OpenGLRainbows::free_sprite(std::int32_t n) {
    if (!valid_sprite(n)) return;
    flush();
    masks_[static_cast<std::size_t>(n)].reset();
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);
    bound_sprite_ = -1;
    invalidate_gl_cache();
    SpriteRecord& r = sprites_[static_cast<std::size_t>(n)];
    if (r.texture != 0) glDeleteTextures(1, &r.texture);
    if (r.mip_texture != 0) glDeleteTextures(1, &r.mip_texture);
    std::int16_t fw = r.frame_width, fh = r.frame_height;
    r = SpriteRecord{};
    r.frame_width = fw;
    r.frame_height = fh;
}

void OpenGLRainbows::free_collision_mask(std::int32_t n) {
    if (valid_sprite(n)) masks_[static_cast<std::size_t>(n)].reset();
}

void OpenGLRainbows::release_all_textures() {
    if (window == nullptr) return;
    flush();
    for (std::int32_t n = 0; n < k_sprite_count; ++n) {
        SpriteRecord& r = sprites_[static_cast<std::size_t>(n)];
        if (r.texture != 0) glDeleteTextures(1, &r.texture);
        if (r.mip_texture != 0) glDeleteTextures(1, &r.mip_texture);
        r = SpriteRecord{};
        masks_[static_cast<std::size_t>(n)].reset();
    }
    for (std::int32_t slot = 0; slot < k_background_count; ++slot) release_background(slot);
    for (SurfaceRecord& s : surfaces_) {
        if (s.framebuffer != 0 && ext.glDeleteFramebuffersEXT != nullptr) ext.glDeleteFramebuffersEXT(1, &s.framebuffer);
        if (s.depth_buffer != 0 && ext.glDeleteRenderbuffersEXT != nullptr)
            ext.glDeleteRenderbuffersEXT(1, &s.depth_buffer);
        s = SurfaceRecord{};
    }
    current_surface = -1;
    for (ShaderSlot& slot : shaders_) {
        if (ext.glDeleteObjectARB != nullptr) {
            if (slot.program != 0) ext.glDeleteObjectARB(slot.program);
            if (slot.vertex != 0) ext.glDeleteObjectARB(slot.vertex);
            if (slot.fragment != 0) ext.glDeleteObjectARB(slot.fragment);
        }
        slot = ShaderSlot{};
    }
    current_shader_ = -1;
    bound_sprite_ = -1;
}

// ---------------------------------------------------------------- loading

bool OpenGLRainbows::load_into_sprite(const char* name, std::int32_t n, bool normal_map) {
    app_state.error_code = 0;
    if (!valid_sprite(n)) return false;
    free_sprite(n);
    DecodedImage image;
    if (!load_image_file(image, name, colour_key, true)) {
        set_error(3);
        return false;
    }
    return upload_sprite(n, image, normal_map);
}

void OpenGLRainbows::sprite_load(const char* name, std::int32_t n) { load_into_sprite(name, n, false); }

void OpenGLRainbows::sprite_load_normal_map(const char* name, std::int32_t n) { load_into_sprite(name, n, true); }

void OpenGLRainbows::anim_load(const char* name, std::int32_t n, std::int32_t frame_w, std::int32_t frame_h) {
    load_into_sprite(name, n, false);
    anim_set_frame_size(n, frame_w, frame_h);
}

bool OpenGLRainbows::sprite_from_pixels(std::int32_t n, const DynArray<std::int32_t>& pixels, std::int32_t w,
                                        std::int32_t h) {
    if (!valid_sprite(n)) return false;
    free_sprite(n);
    if (w <= 0 || h <= 0 || pixels.element_count() != static_cast<std::int64_t>(w) * h) return false;
    DecodedImage image;
    if (!image.prepare(w, h)) return false;
    const std::int32_t* in = pixels.elements();
    std::uint8_t* out = image.pixels.data();
    for (std::int64_t i = 0; i < static_cast<std::int64_t>(w) * h; ++i, out += 4) {
        auto v = static_cast<std::uint32_t>(in[i]);
        out[0] = static_cast<std::uint8_t>(v);
        out[1] = static_cast<std::uint8_t>(v >> 8);
        out[2] = static_cast<std::uint8_t>(v >> 16);
        out[3] = static_cast<std::uint8_t>(v >> 24);
    }
    return upload_sprite(n, image, false);
}

bool OpenGLRainbows::read_sprite_pixels(std::int32_t n, std::vector<std::uint8_t>& rgba) {
    if (!valid_sprite(n)) return false;
    const SpriteRecord& r = sprites_[static_cast<std::size_t>(n)];
    if (r.texture == 0 || r.image_width <= 0 || r.image_height <= 0) return false;
    flush();
    std::int32_t tw = r.texture_width, th = r.texture_height, w = r.image_width, h = r.image_height;
    readback_.resize(static_cast<std::size_t>(tw) * th * 4);
    glBindTexture(GL_TEXTURE_2D, r.texture);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, readback_.data());
    glBindTexture(GL_TEXTURE_2D, bound_sprite_ >= 0 ? sprites_[static_cast<std::size_t>(bound_sprite_)].texture : 0);
    rgba.resize(static_cast<std::size_t>(w) * h * 4);
    for (std::int32_t y = 0; y < h; ++y)
        std::memcpy(&rgba[static_cast<std::size_t>(y) * w * 4], &readback_[static_cast<std::size_t>(h - 1 - y) * tw * 4],
                    static_cast<std::size_t>(w) * 4);
    return true;
}

bool OpenGLRainbows::sprite_to_pixels(DynArray<std::int32_t>& pixels, std::int32_t n) {
    std::vector<std::uint8_t> rgba;
    if (!read_sprite_pixels(n, rgba)) return false;
    const SpriteRecord& r = sprites_[static_cast<std::size_t>(n)];
    std::int32_t count = r.image_width * r.image_height;
    pixels.set_dimensions(count);
    std::int32_t* out = pixels.elements();
    for (std::int32_t i = 0; i < count; ++i) out[i] = pixel_value(&rgba[static_cast<std::size_t>(i) * 4]);
    return true;
}

bool OpenGLRainbows::image_load_pixels(const char* name, std::int32_t* w, std::int32_t* h,
                                       DynArray<std::int32_t>& pixels) {
    app_state.error_code = 0;
    DecodedImage image;
    if (!load_image_file(image, name, colour_key, true)) {
        set_error(3);
        return false;
    }
    *w = image.width;
    *h = image.height;
    std::int32_t count = image.width * image.height;
    pixels.set_dimensions(count);
    std::int32_t* out = pixels.elements();
    for (std::int32_t i = 0; i < count; ++i) out[i] = pixel_value(&image.pixels[static_cast<std::size_t>(i) * 4]);
    return true;
}

// ---------------------------------------------------------------- queries

void OpenGLRainbows::sprite_get_size(std::int32_t n, std::int32_t* w, std::int32_t* h) const {
    *w = *h = 0;
    if (!valid_sprite(n)) return;
    *w = sprites_[static_cast<std::size_t>(n)].image_width;
    *h = sprites_[static_cast<std::size_t>(n)].image_height;
}

GLuint OpenGLRainbows::sprite_get_texture(std::int32_t n) const {
    return valid_sprite(n) ? sprites_[static_cast<std::size_t>(n)].texture : 0;
}

std::int32_t OpenGLRainbows::sprite_free_slot() const {
    for (std::int32_t n = 0; n < k_font_sprite_base; ++n)
        if (sprites_[static_cast<std::size_t>(n)].image_width == 0) return n;
    return -1;
}

void OpenGLRainbows::anim_set_frame_size(std::int32_t n, std::int32_t frame_w, std::int32_t frame_h) {
    if (!valid_sprite(n)) return;
    SpriteRecord& r = sprites_[static_cast<std::size_t>(n)];
    if (r.image_width <= 0) return;
    r.frame_width = static_cast<std::int16_t>(std::clamp(frame_w, -32768, 32767));
    r.frame_height = static_cast<std::int16_t>(std::clamp(frame_h, -32768, 32767));
}

// ---------------------------------------------------------------- drawing

// An empty sprite draws nothing: with its texture name 0 bound, OpenGL
// would fill a stretched quad with the plain current colour.
bool OpenGLRainbows::drawable_sprite(std::int32_t n) const {
    return valid_sprite(n) && sprites_[static_cast<std::size_t>(n)].texture != 0;
}

// An upright quad from (x0, y0) to (x1, y1) showing the texture rectangle
// (s0, t0) .. (s1, t1), t0 at the bottom edge, as the fan every upright
// sprite and frame is drawn with.
void OpenGLRainbows::upright_quad(std::int32_t n, float x0, float y0, float x1, float y1, const TexRect& tex,
                                  bool clamp) {
    const float quad[4][4] = {
        {x1, y0, tex.s1, tex.t1}, {x0, y0, tex.s0, tex.t1}, {x0, y1, tex.s0, tex.t0}, {x1, y1, tex.s1, tex.t0}};
    sprite_quad(n, quad, clamp);
}

void OpenGLRainbows::sprite_draw(std::int32_t n, std::int32_t x, std::int32_t y) {
    if (!drawable_sprite(n)) return;
    const SpriteRecord& r = sprites_[static_cast<std::size_t>(n)];
    upright_quad(n, static_cast<float>(x), static_cast<float>(y), static_cast<float>(x + r.image_width),
                 static_cast<float>(y + r.image_height), TexRect{0, 0, r.s_extent, r.t_extent}, false);
}

void OpenGLRainbows::sprite_draw_stretched(std::int32_t n, std::int32_t x, std::int32_t y, std::int32_t w,
                                           std::int32_t h) {
    if (!drawable_sprite(n)) return;
    const SpriteRecord& r = sprites_[static_cast<std::size_t>(n)];
    auto x0 = static_cast<float>(x), y0 = static_cast<float>(y);
    upright_quad(n, x0, y0, x0 + static_cast<float>(w), y0 + static_cast<float>(h),
                 TexRect{0, 0, r.s_extent, r.t_extent}, true);
}

void OpenGLRainbows::sprite_draw_zoomed(std::int32_t n, std::int32_t x, std::int32_t y, float zoom_x, float zoom_y) {
    if (!drawable_sprite(n)) return;
    const SpriteRecord& r = sprites_[static_cast<std::size_t>(n)];
    float w = r.image_width, h = r.image_height;
    float sw = zoom_x * w, sh = zoom_y * h;
    sprite_draw_stretched(n, to_int32(x - (sw - w) / 2), to_int32(y - (sh - h) / 2), to_int32(sw), to_int32(sh));
}

void OpenGLRainbows::sprite_draw_rotated(std::int32_t n, std::int32_t x, std::int32_t y, float angle) {
    sprite_draw_rotozoom(n, x, y, angle, 1.0f);
}

// The matrix path: translate and rotate the model-view matrix around the
// quad (the batched path, batch.cpp, forms the same products on the CPU).
void OpenGLRainbows::sprite_draw_rotozoom_direct(std::int32_t n, std::int32_t x, std::int32_t y, float angle,
                                                 float zoom) {
    flush_batch();
    bind_sprite(n);
    apply_smoothing();
    const SpriteRecord& r = sprites_[static_cast<std::size_t>(n)];
    float w = r.image_width, h = r.image_height;
    float tw = r.texture_width, th = r.texture_height;
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glTranslatef(static_cast<float>(x + r.image_width / 2), static_cast<float>(y + r.image_height / 2), 0.0f);
    glRotatef(angle, 0.0f, 0.0f, -1.0f);
    float hx = zoom * w / 2, hy = zoom * h / 2;
    float s0 = 0.5f / tw, s1 = (w - 0.5f) / tw, t0 = 0.5f / th, t1 = (h - 0.5f) / th;
    const float quad[4][4] = {{hx, -hy, s1, t1}, {-hx, -hy, s0, t1}, {-hx, hy, s0, t0}, {hx, hy, s1, t0}};
    draw_plain_quad(quad);
    glPopMatrix();
}

bool OpenGLRainbows::frame_origin(std::int32_t n, std::int32_t frame, bool at_least_one_column, std::int32_t* fx,
                                  std::int32_t* fy) const {
    const SpriteRecord& r = sprites_[static_cast<std::size_t>(n)];
    std::int32_t fw = r.frame_width, fh = r.frame_height;
    if (fw <= 0 || fh <= 0) return false;
    std::int32_t columns = r.image_width / fw;
    if (columns == 0 && at_least_one_column) columns = 1;
    std::int64_t column = columns == 0 ? frame : frame % columns;
    std::int64_t row = columns == 0 ? 0 : frame / columns;
    *fx = static_cast<std::int32_t>(std::clamp<std::int64_t>(column * fw, -(1 << 30), 1 << 30));
    *fy = static_cast<std::int32_t>(std::clamp<std::int64_t>(row * fh, -(1 << 30), 1 << 30));
    return true;
}

bool OpenGLRainbows::frame_texture(std::int32_t n, std::int32_t frame, TexRect* tex) const {
    std::int32_t fx = 0, fy = 0;
    if (!drawable_sprite(n) || !frame_origin(n, frame, false, &fx, &fy)) return false;
    const SpriteRecord& r = sprites_[static_cast<std::size_t>(n)];
    float tw = r.texture_width, th = r.texture_height;
    tex->s0 = fx / tw;
    tex->s1 = (static_cast<float>(fx) + r.frame_width) / tw;
    tex->t0 = (static_cast<float>(r.image_height) - static_cast<float>(fy) - r.frame_height) / th;
    tex->t1 = tex->t0 + r.frame_height / th;
    return true;
}

void OpenGLRainbows::anim_draw(std::int32_t n, std::int32_t frame, std::int32_t x, std::int32_t y) {
    TexRect tex;
    if (!frame_texture(n, frame, &tex)) return;
    const SpriteRecord& r = sprites_[static_cast<std::size_t>(n)];
    upright_quad(n, static_cast<float>(x), static_cast<float>(y), static_cast<float>(x + r.frame_width),
                 static_cast<float>(y + r.frame_height), tex, false);
}

void OpenGLRainbows::anim_draw_stretched(std::int32_t n, std::int32_t frame, std::int32_t x, std::int32_t y,
                                         std::int32_t w, std::int32_t h) {
    TexRect tex;
    if (!frame_texture(n, frame, &tex)) return;
    upright_quad(n, static_cast<float>(x), static_cast<float>(y), static_cast<float>(x) + static_cast<float>(w) + 0.1f,
                 static_cast<float>(y) + static_cast<float>(h) + 0.1f, tex, true);
}

void OpenGLRainbows::anim_draw_rotozoom(std::int32_t n, std::int32_t frame, std::int32_t x, std::int32_t y,
                                        float angle, float zoom) {
    TexRect tex;
    if (!frame_texture(n, frame, &tex)) return;
    const SpriteRecord& r = sprites_[static_cast<std::size_t>(n)];
    float tw = r.texture_width, th = r.texture_height;
    float s0 = tex.s0 + 0.5f / tw, s1 = tex.s1 - 0.5f / tw;
    float t0 = tex.t0 + 0.5f / th, t1 = tex.t1 - 0.5f / th;
    auto cx = static_cast<float>(x + r.frame_width / 2), cy = static_cast<float>(y + r.frame_height / 2);
    float hx = zoom * r.frame_width / 2, hy = zoom * r.frame_height / 2;
    float radians = angle * 0.017453292f;
    float c = std::cos(radians), s = std::sin(radians);
    auto corner = [&](float dx, float dy, float* px, float* py) {
        *px = cx + dx * c + dy * s;
        *py = cy - dx * s + dy * c;
    };
    float quad[4][4] = {{0, 0, s1, t1}, {0, 0, s0, t1}, {0, 0, s0, t0}, {0, 0, s1, t0}};
    corner(hx, -hy, &quad[0][0], &quad[0][1]);
    corner(-hx, -hy, &quad[1][0], &quad[1][1]);
    corner(-hx, hy, &quad[2][0], &quad[2][1]);
    corner(hx, hy, &quad[3][0], &quad[3][1]);
    sprite_quad(n, quad, true);
}

// ---------------------------------------------------------------- collision

bool OpenGLRainbows::make_collision_mask(std::int32_t n) {
    auto& mask = masks_[static_cast<std::size_t>(n)];
    if (mask) return true;
    const SpriteRecord& r = sprites_[static_cast<std::size_t>(n)];
    if (r.texture == 0 || r.texture_width <= 0 || r.texture_height <= 0) return false;
    flush();
    mask.reset(new std::uint8_t[static_cast<std::size_t>(r.texture_width) * r.texture_height]);
    glBindTexture(GL_TEXTURE_2D, r.texture);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_ALPHA, GL_UNSIGNED_BYTE, mask.get());
    glBindTexture(GL_TEXTURE_2D, bound_sprite_ >= 0 ? sprites_[static_cast<std::size_t>(bound_sprite_)].texture : 0);
    return true;
}

bool OpenGLRainbows::collide_rects(std::int32_t a, std::int32_t xa, std::int32_t ya, std::int32_t ox_a,
                                   std::int32_t oy_a, std::int32_t wa, std::int32_t ha, std::int32_t b,
                                   std::int32_t xb, std::int32_t yb, std::int32_t ox_b, std::int32_t oy_b,
                                   std::int32_t wb, std::int32_t hb) {
    std::int64_t x0 = std::max<std::int64_t>(xa, xb), y0 = std::max<std::int64_t>(ya, yb);
    std::int64_t x1 = std::min<std::int64_t>(std::int64_t{xa} + wa, std::int64_t{xb} + wb);
    std::int64_t y1 = std::min<std::int64_t>(std::int64_t{ya} + ha, std::int64_t{yb} + hb);
    if (x0 >= x1 || y0 >= y1) return false;
    if (!make_collision_mask(a) || !make_collision_mask(b)) return false;
    struct Side {
        const std::uint8_t* mask;
        std::int64_t x, y, ox, oy, iw, ih, tw;
    };
    auto side = [&](std::int32_t n, std::int32_t x, std::int32_t y, std::int32_t ox, std::int32_t oy) {
        const SpriteRecord& r = sprites_[static_cast<std::size_t>(n)];
        return Side{masks_[static_cast<std::size_t>(n)].get(), x, y, ox, oy, r.image_width, r.image_height,
                    r.texture_width};
    };
    const Side sa = side(a, xa, ya, ox_a, oy_a), sb = side(b, xb, yb, ox_b, oy_b);
    auto solid = [](const Side& s, std::int64_t px, std::int64_t py) {
        std::int64_t column = px - s.x + s.ox, row = py - s.y + s.oy;
        if (column < 0 || row < 0 || column >= s.iw || row >= s.ih) return false;
        return s.mask[static_cast<std::size_t>((s.ih - 1 - row) * s.tw + column)] != 0;
    };
    auto touch = [&](std::int64_t px, std::int64_t py) { return solid(sa, px, py) && solid(sb, px, py); };
    if (touch((x0 + x1) / 2, (y0 + y1) / 2)) return true;
    // Every second row and column first, so that large overlaps are found
    // after a few tests.
    static const int passes[4][2] = {{0, 0}, {1, 1}, {1, 0}, {0, 1}};
    for (const auto& pass : passes)
        for (std::int64_t py = y0 + pass[1]; py < y1; py += 2)
            for (std::int64_t px = x0 + pass[0]; px < x1; px += 2)
                if (touch(px, py)) return true;
    return false;
}

bool OpenGLRainbows::sprite_collide(std::int32_t a, std::int32_t xa, std::int32_t ya, std::int32_t b, std::int32_t xb,
                                    std::int32_t yb) {
    if (!valid_sprite(a) || !valid_sprite(b)) return false;
    const SpriteRecord &ra = sprites_[static_cast<std::size_t>(a)], &rb = sprites_[static_cast<std::size_t>(b)];
    return collide_rects(a, xa, ya, 0, 0, ra.image_width, ra.image_height, b, xb, yb, 0, 0, rb.image_width,
                         rb.image_height);
}

bool OpenGLRainbows::anim_collide(std::int32_t a, std::int32_t frame_a, std::int32_t xa, std::int32_t ya,
                                  std::int32_t b, std::int32_t frame_b, std::int32_t xb, std::int32_t yb) {
    if (!valid_sprite(a) || !valid_sprite(b)) return false;
    std::int32_t fxa = 0, fya = 0, fxb = 0, fyb = 0;
    if (!frame_origin(a, frame_a, true, &fxa, &fya) || !frame_origin(b, frame_b, true, &fxb, &fyb)) return false;
    const SpriteRecord &ra = sprites_[static_cast<std::size_t>(a)], &rb = sprites_[static_cast<std::size_t>(b)];
    return collide_rects(a, xa, ya, fxa, fya, ra.frame_width, ra.frame_height, b, xb, yb, fxb, fyb, rb.frame_width,
                         rb.frame_height);
}

// ---------------------------------------------------------------- background

void OpenGLRainbows::release_background(std::int32_t slot) {
    if (slot < 0 || slot >= k_background_count) return;
    flush();
    BackgroundSlot& b = backgrounds_[slot];
    for (GLuint& t : b.texture)
        if (t != 0) glDeleteTextures(1, &t);
    b = BackgroundSlot{};
}

void OpenGLRainbows::background_load(const char* name) {
    app_state.error_code = 0;
    DecodedImage image;
    if (!load_image_file(image, name, k_no_colour_key, true)) {
        set_error(3);
        set_clear_colour(0);
        return;
    }
    std::int32_t tile = std::min(max_texture_size, 512);
    release_background(0);
    BackgroundSlot& b = backgrounds_[0];
    std::int32_t columns = std::min((image.width + tile - 1) / tile, k_background_tiles);
    std::int32_t rows = std::min((image.height + tile - 1) / tile, k_background_tiles);
    for (std::int32_t row = 0; row < rows; ++row) {
        for (std::int32_t column = 0; column < columns; ++column) {
            std::int32_t i = column * k_background_tiles + row;
            std::int32_t tw = 0, th = 0;
            if (!upload_texture(&b.texture[i], image, column * tile, row * tile, tile, tile, false, false, nullptr,
                                &tw, &th))
                continue;
            b.texture_width[i] = static_cast<std::int16_t>(tw);
            b.texture_height[i] = static_cast<std::int16_t>(th);
            b.tile_width[i] = static_cast<std::int16_t>(tile);
            b.tile_height[i] = static_cast<std::int16_t>(tile);
        }
    }
    b.columns = static_cast<std::uint8_t>(columns);
    b.rows = static_cast<std::uint8_t>(rows);
    draw_background(0);
}

void OpenGLRainbows::draw_background(std::int32_t slot) {
    if (slot < 0 || slot >= k_background_count) return;
    const BackgroundSlot& b = backgrounds_[slot];
    if (b.columns == 0) return;
    flush();
    glDisable(GL_BLEND);
    glEnable(GL_ALPHA_TEST);
    global_alpha = 1.0f;
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    bind_sprite(-1);
    set_texturing(true);
    for (std::int32_t column = 0; column < b.columns; ++column) {
        for (std::int32_t row = 0; row < b.rows; ++row) {
            std::int32_t i = column * k_background_tiles + row;
            if (b.texture[i] == 0) continue;
            bind_texture(b.texture[i]);
            set_filters(GL_NEAREST);
            set_wrap(GL_CLAMP_TO_EDGE);
            auto x0 = static_cast<float>(column * b.tile_width[i]), y0 = static_cast<float>(row * b.tile_height[i]);
            float x1 = x0 + b.tile_width[i], y1 = y0 + b.tile_height[i];
            float s1 = static_cast<float>(b.tile_width[i]) / b.texture_width[i];
            float t1 = static_cast<float>(b.tile_height[i]) / b.texture_height[i];
            const float quad[4][4] = {{x1, y0, s1, t1}, {x0, y0, 0, t1}, {x0, y1, 0, 0}, {x1, y1, s1, 0}};
            set_client_arrays(true, true, false);
            glVertexPointer(2, GL_FLOAT, 16, &quad[0][0]);
            glTexCoordPointer(2, GL_FLOAT, 16, &quad[0][2]);
            glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
            apply_smoothing();
        }
    }
    glEnable(GL_ALPHA_TEST);
    bind_texture(0);
    set_texturing(false);
}

// ---------------------------------------------------------------- forwarding

namespace {
OpenGLRainbows* renderer() { return app_state.renderer; }
}  // namespace

void sprite_load(const DynString& name, std::int32_t sprite) {
    if (auto* r = renderer()) {
        r->sprite_load(name.text(), sprite);
        log_image_load_failure("sprite_load", name.text());
    }
}
void anim_load(const DynString& name, std::int32_t sprite, std::int32_t frame_w, std::int32_t frame_h) {
    if (auto* r = renderer()) {
        r->anim_load(name.text(), sprite, frame_w, frame_h);
        log_image_load_failure("anim_load", name.text());
    }
}
void sprite_load_normal_map(const DynString& name, std::int32_t sprite) {
    if (auto* r = renderer()) {
        r->sprite_load_normal_map(name.text(), sprite);
        log_image_load_failure("sprite_load_normal_map", name.text());
    }
}
bool sprite_from_pixels(std::int32_t sprite, const DynArray<std::int32_t>& pixels, std::int32_t w, std::int32_t h) {
    auto* r = renderer();
    return r != nullptr && r->sprite_from_pixels(sprite, pixels, w, h);
}
bool sprite_to_pixels(DynArray<std::int32_t>& pixels, std::int32_t sprite) {
    auto* r = renderer();
    return r != nullptr && r->sprite_to_pixels(pixels, sprite);
}
bool image_load_pixels(const DynString& name, std::int32_t* w, std::int32_t* h, DynArray<std::int32_t>& pixels) {
    *w = *h = 0;
    auto* r = renderer();
    if (r == nullptr) return false;
    if (r->image_load_pixels(name.text(), w, h, pixels)) return true;
    log_image_load_failure("image_load_pixels", name.text());
    return false;
}
void background_load(const DynString& name) {
    if (auto* r = renderer()) {
        r->background_load(name.text());
        log_image_load_failure("background_load", name.text());
    }
}
void sprite_get_size(std::int32_t sprite, std::int32_t* w, std::int32_t* h) {
    *w = *h = 0;
    if (auto* r = renderer()) r->sprite_get_size(sprite, w, h);
}
void sprite_get_size(std::int32_t sprite, double* w, double* h) {
    std::int32_t iw = 0, ih = 0;
    sprite_get_size(sprite, &iw, &ih);
    *w = iw;
    *h = ih;
}
std::int32_t sprite_get_texture(std::int32_t sprite) {
    auto* r = renderer();
    return r != nullptr ? static_cast<std::int32_t>(r->sprite_get_texture(sprite)) : 0;
}
std::int32_t sprite_free_slot() {
    auto* r = renderer();
    return r != nullptr ? r->sprite_free_slot() : -1;
}
void anim_set_frame_size(std::int32_t sprite, std::int32_t frame_w, std::int32_t frame_h) {
    if (auto* r = renderer()) r->anim_set_frame_size(sprite, frame_w, frame_h);
}
void sprite_draw(std::int32_t sprite, std::int32_t x, std::int32_t y) {
    if (auto* r = renderer()) r->sprite_draw(sprite, x, y);
}
void sprite_draw_stretched(std::int32_t sprite, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
    if (auto* r = renderer()) r->sprite_draw_stretched(sprite, x, y, w, h);
}
void sprite_draw_zoomed(std::int32_t sprite, std::int32_t x, std::int32_t y, double zoom_x, double zoom_y) {
    if (auto* r = renderer()) r->sprite_draw_zoomed(sprite, x, y, static_cast<float>(zoom_x), static_cast<float>(zoom_y));
}
void sprite_draw_rotated(std::int32_t sprite, std::int32_t x, std::int32_t y, double angle) {
    if (auto* r = renderer()) r->sprite_draw_rotated(sprite, x, y, static_cast<float>(angle));
}
void sprite_draw_rotozoom(std::int32_t sprite, std::int32_t x, std::int32_t y, double angle, double zoom) {
    if (auto* r = renderer())
        r->sprite_draw_rotozoom(sprite, x, y, static_cast<float>(angle), static_cast<float>(zoom));
}
void anim_draw(std::int32_t sprite, std::int32_t frame, std::int32_t x, std::int32_t y) {
    if (auto* r = renderer()) r->anim_draw(sprite, frame, x, y);
}
void anim_draw_stretched(std::int32_t sprite, std::int32_t frame, std::int32_t x, std::int32_t y, std::int32_t w,
                         std::int32_t h) {
    if (auto* r = renderer()) r->anim_draw_stretched(sprite, frame, x, y, w, h);
}
void anim_draw_rotozoom(std::int32_t sprite, std::int32_t frame, std::int32_t x, std::int32_t y, double angle,
                        double zoom) {
    if (auto* r = renderer())
        r->anim_draw_rotozoom(sprite, frame, x, y, static_cast<float>(angle), static_cast<float>(zoom));
}
bool sprite_collide(std::int32_t a, std::int32_t xa, std::int32_t ya, std::int32_t b, std::int32_t xb,
                    std::int32_t yb) {
    auto* r = renderer();
    return r != nullptr && r->sprite_collide(a, xa, ya, b, xb, yb);
}
bool anim_collide(std::int32_t a, std::int32_t frame_a, std::int32_t xa, std::int32_t ya, std::int32_t b,
                  std::int32_t frame_b, std::int32_t xb, std::int32_t yb) {
    auto* r = renderer();
    return r != nullptr && r->anim_collide(a, frame_a, xa, ya, b, frame_b, xb, yb);
}

}  // namespace crv
