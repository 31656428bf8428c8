// Off-screen surfaces (framebuffer objects, or emulation by drawing into
// the window and copying the result), grabbing the screen into sprites and
// background slots, and saving sprites and screenshots as image files.
#include "render2d/rainbows.hpp"

#include "runtime/app_state.hpp"
#include "runtime/log.hpp"
#include <corvane/core.hpp>
#include "render2d/image.hpp"

#include <algorithm>
#include <cstring>
#include <string>

namespace crv {

namespace {

std::int32_t texture_side(std::int32_t n) {
    std::int32_t side = 16;
    while (side < n) side *= 2;
    return side;
}

void make_empty_texture(GLuint* texture, std::int32_t tw, std::int32_t th, bool bgra) {
    if (*texture != 0) glDeleteTextures(1, texture);
    glGenTextures(1, texture);
    glBindTexture(GL_TEXTURE_2D, *texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, tw, th, 0, bgra ? GL_BGRA_EXT : GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
}

}  // namespace

void OpenGLRainbows::init_surface_support() {
    GLint size = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
    max_texture_size = 16;
    while (max_texture_size * 2 <= size && max_texture_size < 16384) max_texture_size *= 2;
    set_image_side_limit(max_texture_size);
    GLint alpha = 0;
    glGetIntegerv(GL_ALPHA_BITS, &alpha);
    framebuffer_alpha_bits = alpha;
    fbo_supported = ext.framebuffer_objects();
    if (!fbo_supported) log_write("Framebuffer objects cannot be used: off-screen surfaces are emulated\n");
}

bool OpenGLRainbows::drawing_to_framebuffer_object() const {
    return current_surface >= 0 && current_surface < k_surface_count &&
           surfaces_[current_surface].framebuffer != 0;
}

void OpenGLRainbows::surface_create(std::int32_t s, std::int32_t n, std::int32_t w, std::int32_t h) {
    if (s < 0 || s >= k_surface_count || !valid_sprite(n) || w <= 0 || h <= 0) return;
    flush();
    if (current_surface == s) surface_use(-1);
    SurfaceRecord& surface = surfaces_[s];
    if (surface.framebuffer != 0) ext.glDeleteFramebuffersEXT(1, &surface.framebuffer);
    if (surface.depth_buffer != 0) ext.glDeleteRenderbuffersEXT(1, &surface.depth_buffer);
    surface = SurfaceRecord{};

    DecodedImage blank;
    if (!blank.prepare(std::min(w, max_texture_size), std::min(h, max_texture_size))) return;
    if (!upload_sprite(n, blank, false)) return;
    // A surface is a sprite like any other: plain texture, no mip chain.
    SpriteRecord& r = sprites_[static_cast<std::size_t>(n)];
    if (r.mip_texture != 0) glDeleteTextures(1, &r.mip_texture);
    r.mip_texture = 0;
    surface.sprite = n;
    surface.width = r.texture_width;
    surface.height = r.texture_height;
    if (!fbo_supported) return;

    const char* failed = nullptr;
    ext.glGenFramebuffersEXT(1, &surface.framebuffer);
    ext.glGenRenderbuffersEXT(1, &surface.depth_buffer);
    if (surface.framebuffer == 0) failed = "glGenFramebuffersEXT";
    else if (surface.depth_buffer == 0) failed = "glGenRenderbuffersEXT";
    if (failed == nullptr) {
        while (glGetError() != GL_NO_ERROR) {
        }
        ext.glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, surface.depth_buffer);
        ext.glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT24, surface.width, surface.height);
        ext.glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);
        if (glGetError() != GL_NO_ERROR) failed = "glRenderbufferStorageEXT";
    }
    if (failed == nullptr) {
        GLint previous = 0;
        glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &previous);
        ext.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, surface.framebuffer);
        ext.glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, r.texture, 0);
        ext.glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT,
                                         surface.depth_buffer);
        if (ext.glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT) != GL_FRAMEBUFFER_COMPLETE_EXT)
            failed = "glCheckFramebufferStatusEXT";
        ext.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, static_cast<GLuint>(previous));
    }
    if (failed != nullptr) {
        log_write((std::string(failed) + " failed: the off-screen surface is emulated\n").c_str());
        if (surface.framebuffer != 0) ext.glDeleteFramebuffersEXT(1, &surface.framebuffer);
        if (surface.depth_buffer != 0) ext.glDeleteRenderbuffersEXT(1, &surface.depth_buffer);
        surface.framebuffer = 0;
        surface.depth_buffer = 0;
    }
}

void OpenGLRainbows::surface_use(std::int32_t s) {
    flush();
    if (current_surface >= 0 && current_surface < k_surface_count) {
        SurfaceRecord& current = surfaces_[current_surface];
        if (current.framebuffer != 0) {
            ext.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, static_cast<GLuint>(current.saved_binding));
        } else if (valid_sprite(current.sprite)) {
            // The picture drawn into the window becomes the sprite; the
            // window gets its saved contents back.
            const SpriteRecord& r = sprite(current.sprite);
            std::int32_t w = r.image_width, h = r.image_height;
            sprite_grab(current.sprite, 0, 0, w, h);
            fill_rect(0, 0, w, h, 0);
            sprite_draw(k_saved_window_sprite, 0, 0);
            orientation = current.saved_orientation;
        }
        current_surface = -1;
    }
    set_viewport(0, 0, 0, 0);
    if (s < 0 || s >= k_surface_count) return;
    SurfaceRecord& surface = surfaces_[s];
    if (!valid_sprite(surface.sprite)) return;
    const SpriteRecord& r = sprite(surface.sprite);
    std::int32_t w = r.image_width, h = r.image_height;
    if (r.texture == 0 || w <= 0 || h <= 0) return;
    if (surface.framebuffer != 0) {
        glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &surface.saved_binding);
        ext.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, surface.framebuffer);
        ext.glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, r.texture, 0);
        ext.glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT,
                                         surface.depth_buffer);
        current_surface = s;
        set_viewport(0, 0, w, h);
        glViewport(0, 0, w, h);
    } else {
        surface.saved_orientation = orientation;
        orientation = 0;
        set_viewport(0, 0, w, h);
        std::int32_t key = colour_key;
        grab_keyed_ = false;
        sprite_grab(k_saved_window_sprite, 0, 0, w, h);
        grab_keyed_ = true;
        fill_rect(0, 0, w, h, key);
        sprite_draw(surface.sprite, 0, 0);
        current_surface = s;
    }
    free_collision_mask(surface.sprite);
}

std::int32_t OpenGLRainbows::colour_key_as_stored() {
    if ((colour_key & 0xffffff) == 0) return 0;
    std::int32_t first = read_pixel(4, 4);
    draw_point(4, 4, colour_key);
    std::int32_t stored = read_pixel(4, 4);
    draw_point(4, 4, first);
    flush();  // the restored pixel must be drawn before the grab reads
    return stored;
}

void OpenGLRainbows::sprite_grab(std::int32_t n, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
    if (!valid_sprite(n) || w <= 0 || h <= 0) return;
    flush();
    w = std::min(w, max_texture_size);
    h = std::min(h, max_texture_size);
    SpriteRecord& r = sprites_[static_cast<std::size_t>(n)];
    r.frame_width = r.frame_height = 0;
    masks_[static_cast<std::size_t>(n)].reset();
    bool fbo = drawing_to_framebuffer_object();
    bool fast = framebuffer_alpha_bits > 0 && (orientation == 0 || fbo);
    std::int32_t key = 0;
    bool keyed = grab_keyed_ && !fast;
    if (keyed) key = colour_key_as_stored();

    std::int32_t tw = texture_side(w), th = texture_side(h);
    if (r.texture == 0 || r.texture_width != tw || r.texture_height != th) {
        if (r.mip_texture != 0) glDeleteTextures(1, &r.mip_texture);
        r.mip_texture = 0;
        make_empty_texture(&r.texture, tw, th, bgra_supported);
    } else {
        glBindTexture(GL_TEXTURE_2D, r.texture);
    }
    r.texture_width = static_cast<std::int16_t>(tw);
    r.texture_height = static_cast<std::int16_t>(th);
    r.image_width = static_cast<std::int16_t>(w);
    r.image_height = static_cast<std::int16_t>(h);
    r.s_extent = static_cast<float>(w) / static_cast<float>(tw);
    r.t_extent = static_cast<float>(h) / static_cast<float>(th);

    std::int32_t target_height = fbo ? sprite(surfaces_[current_surface].sprite).image_height : height;
    glReadBuffer(fbo ? GL_COLOR_ATTACHMENT0_EXT : GL_BACK);
    if (fast) {
        // Framebuffer rows run bottom-up like texture rows: a straight copy.
        glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, x, target_height - y - h, w, h);
    } else {
        // Read the physical rectangle, then turn it upright pixel by pixel.
        std::int32_t ax = x, ay = y, bx = x + w - 1, by = y + h - 1;
        if (!fbo) {
            map_point(x, y, &ax, &ay);
            map_point(x + w - 1, y + h - 1, &bx, &by);
        }
        std::int32_t px0 = std::min(ax, bx), py0 = std::min(ay, by);
        std::int32_t pw = std::max(ax, bx) - px0 + 1, ph = std::max(ay, by) - py0 + 1;
        readback_.assign(static_cast<std::size_t>(pw) * ph * 4, 0);
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glReadPixels(px0, target_height - py0 - ph, pw, ph, GL_RGBA, GL_UNSIGNED_BYTE, readback_.data());
        std::vector<std::uint8_t> upright(static_cast<std::size_t>(w) * h * 4);
        for (std::int32_t j = 0; j < h; ++j) {
            for (std::int32_t i = 0; i < w; ++i) {
                std::int32_t px = x + i, py = y + j;
                if (!fbo) map_point(x + i, y + j, &px, &py);
                // Buffer row 0 is the bottom row of the rectangle read.
                const std::uint8_t* src =
                    &readback_[(static_cast<std::size_t>(py0 + ph - 1 - py) * pw + (px - px0)) * 4];
                std::uint8_t* dst = &upright[(static_cast<std::size_t>(h - 1 - j) * w + i) * 4];
                std::memcpy(dst, src, 4);
                if (keyed && (dst[0] | (dst[1] << 8) | (dst[2] << 16)) == (key & 0xffffff)) dst[3] = 0;
            }
        }
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, upright.data());
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    bound_sprite_ = -1;
    invalidate_gl_cache();
}

void OpenGLRainbows::background_from_screen(std::int32_t slot) {
    if (slot < 0 || slot >= k_background_count || width <= 0 || height <= 0) return;
    flush();
    std::int32_t tile = 128;
    while (tile < std::max(width, height)) tile *= 2;
    tile = std::min(tile, max_texture_size);
    BackgroundSlot& b = backgrounds_[slot];
    std::int32_t columns = std::min((width + tile - 1) / tile, k_background_tiles);
    std::int32_t rows = std::min((height + tile - 1) / tile, k_background_tiles);
    glReadBuffer(drawing_to_framebuffer_object() ? GL_COLOR_ATTACHMENT0_EXT : GL_BACK);
    for (std::int32_t row = 0; row < rows; ++row) {
        for (std::int32_t column = 0; column < columns; ++column) {
            std::int32_t i = column * k_background_tiles + row;
            if (b.texture[i] == 0 || b.texture_width[i] != tile || b.texture_height[i] != tile)
                make_empty_texture(&b.texture[i], tile, tile, bgra_supported);
            else
                glBindTexture(GL_TEXTURE_2D, b.texture[i]);
            std::int32_t x0 = column * tile, y0 = row * tile;
            std::int32_t vw = std::min(tile, width - x0), vh = std::min(tile, height - y0);
            // The tile's top screen row is its top texture row.
            if (bgra_supported) {
                glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, tile - vh, x0, height - y0 - vh, vw, vh);
            } else {
                readback_.resize(static_cast<std::size_t>(vw) * vh * 4);
                glPixelStorei(GL_PACK_ALIGNMENT, 4);
                glReadPixels(x0, height - y0 - vh, vw, vh, GL_RGBA, GL_UNSIGNED_BYTE, readback_.data());
                glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
                glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
                glTexSubImage2D(GL_TEXTURE_2D, 0, 0, tile - vh, vw, vh, GL_RGBA, GL_UNSIGNED_BYTE, readback_.data());
            }
            b.texture_width[i] = b.texture_height[i] = static_cast<std::int16_t>(tile);
            b.tile_width[i] = b.tile_height[i] = static_cast<std::int16_t>(tile);
        }
    }
    b.columns = static_cast<std::uint8_t>(columns);
    b.rows = static_cast<std::uint8_t>(rows);
    glBindTexture(GL_TEXTURE_2D, 0);
    bound_sprite_ = -1;
    invalidate_gl_cache();
}

bool OpenGLRainbows::screenshot_save(const char* name) {
    app_state.error_code = 0;
    std::int32_t n = sprite_free_slot();
    bool ok = n >= 0;
    if (ok) {
        std::int32_t w = 0, h = 0;
        get_screen_size(&w, &h);
        sprite_grab(n, 0, 0, w, h);
        std::vector<std::uint8_t> rgba;
        ok = read_sprite_pixels(n, rgba) && write_image_file(name, rgba.data(), sprite(n).image_width,
                                                             sprite(n).image_height);
        free_sprite(n);
    }
    if (!ok) set_error(3);
    return ok;
}

bool OpenGLRainbows::sprite_save(const char* name, std::int32_t n) {
    app_state.error_code = 0;
    std::vector<std::uint8_t> rgba;
    bool ok = read_sprite_pixels(n, rgba) &&
              write_image_file(name, rgba.data(), sprite(n).image_width, sprite(n).image_height);
    if (!ok) set_error(3);
    return ok;
}

// ---------------------------------------------------------------- forwarding

namespace {
OpenGLRainbows* renderer() { return app_state.renderer; }
}  // namespace

void surface_create(std::int32_t surface, std::int32_t sprite, std::int32_t w, std::int32_t h) {
    if (auto* r = renderer()) r->surface_create(surface, sprite, w, h);
}
void surface_use(std::int32_t surface) {
    if (auto* r = renderer()) r->surface_use(surface);
}
void sprite_grab(std::int32_t sprite, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
    if (auto* r = renderer()) r->sprite_grab(sprite, x, y, w, h);
}
void background_from_screen() {
    if (auto* r = renderer()) r->background_from_screen(0);
}
bool screenshot_save(const DynString& name) {
    auto* r = renderer();
    return r != nullptr && r->screenshot_save(name.text());
}
bool sprite_save(const DynString& name, std::int32_t sprite) {
    auto* r = renderer();
    return r != nullptr && r->sprite_save(name.text(), sprite);
}

}  // namespace crv
