// Bitmap fonts: the built-in 8 x 8 font, font images loaded from files with
// their measured glyphs, fixed and proportional printing, text width.
#include "render2d/rainbows.hpp"

#include "runtime/app_state.hpp"
#include <corvane/core.hpp>
#include "render2d/image.hpp"
#include "sys/resource.hpp"

#include <algorithm>
#include <cmath>
#include <string>

namespace crv {

namespace {

// One 5 x 6 glyph drawn as six rows of five columns, '#' lit. Bit
// (5 x row + column) of the result is set for a lit pixel.
using GlyphRow = const char (&)[6];
constexpr std::uint32_t glyph(GlyphRow r0, GlyphRow r1, GlyphRow r2, GlyphRow r3, GlyphRow r4, GlyphRow r5) {
    const char* rows[6] = {r0, r1, r2, r3, r4, r5};
    std::uint32_t bits = 0;
    for (int row = 0; row < 6; ++row)
        for (int column = 0; column < 5; ++column)
            if (rows[row][column] == '#') bits |= 1u << (5 * row + column);
    return bits;
}

// Codes 32..127. Capitals and digits stand in rows 0-4; row 5 holds the
// descenders.
constexpr std::uint32_t k_builtin_glyphs[96] = {
    glyph(".....", ".....", ".....", ".....", ".....", "....."),  // space
    glyph("..#..", "..#..", "..#..", ".....", "..#..", "....."),  // !
    glyph(".#.#.", ".#.#.", ".....", ".....", ".....", "....."),  // "
    glyph(".#.#.", "#####", ".#.#.", "#####", ".#.#.", "....."),  // #
    glyph(".####", "#.#..", ".###.", "..#.#", "####.", "..#.."),  // $
    glyph("##..#", "##.#.", "..#..", ".#.##", "#..##", "....."),  // %
    glyph(".##..", "#..#.", ".##..", "#.#.#", "#..#.", ".##.#"),  // &
    glyph("..#..", "..#..", ".....", ".....", ".....", "....."),  // '
    glyph("...#.", "..#..", "..#..", "..#..", "..#..", "...#."),  // (
    glyph(".#...", "..#..", "..#..", "..#..", "..#..", ".#..."),  // )
    glyph(".....", "#.#.#", ".###.", "#.#.#", ".....", "....."),  // *
    glyph(".....", "..#..", "#####", "..#..", ".....", "....."),  // +
    glyph(".....", ".....", ".....", ".....", "..#..", ".#..."),  // ,
    glyph(".....", ".....", "#####", ".....", ".....", "....."),  // -
    glyph(".....", ".....", ".....", ".....", "..#..", "....."),  // .
    glyph("....#", "...#.", "..#..", ".#...", "#....", "....."),  // /
    glyph(".###.", "#..##", "#.#.#", "##..#", ".###.", "....."),  // 0
    glyph("..#..", ".##..", "..#..", "..#..", ".###.", "....."),  // 1
    glyph(".###.", "#...#", "..##.", ".#...", "#####", "....."),  // 2
    glyph("####.", "....#", ".###.", "....#", "####.", "....."),  // 3
    glyph("#..#.", "#..#.", "#####", "...#.", "...#.", "....."),  // 4
    glyph("#####", "#....", "####.", "....#", "####.", "....."),  // 5
    glyph(".###.", "#....", "####.", "#...#", ".###.", "....."),  // 6
    glyph("#####", "....#", "...#.", "..#..", "..#..", "....."),  // 7
    glyph(".###.", "#...#", ".###.", "#...#", ".###.", "....."),  // 8
    glyph(".###.", "#...#", ".####", "....#", ".###.", "....."),  // 9
    glyph(".....", "..#..", ".....", "..#..", ".....", "....."),  // :
    glyph(".....", "..#..", ".....", "..#..", ".#...", "....."),  // ;
    glyph("...#.", "..#..", ".#...", "..#..", "...#.", "....."),  // <
    glyph(".....", "#####", ".....", "#####", ".....", "....."),  // =
    glyph(".#...", "..#..", "...#.", "..#..", ".#...", "....."),  // >
    glyph(".###.", "#...#", "..##.", ".....", "..#..", "....."),  // ?
    glyph(".###.", "#.###", "#.#.#", "#.###", "#....", ".###."),  // @
    glyph(".###.", "#...#", "#####", "#...#", "#...#", "....."),  // A
    glyph("####.", "#...#", "####.", "#...#", "####.", "....."),  // B
    glyph(".####", "#....", "#....", "#....", ".####", "....."),  // C
    glyph("####.", "#...#", "#...#", "#...#", "####.", "....."),  // D
    glyph("#####", "#....", "###..", "#....", "#####", "....."),  // E
    glyph("#####", "#....", "###..", "#....", "#....", "....."),  // F
    glyph(".####", "#....", "#.###", "#...#", ".###.", "....."),  // G
    glyph("#...#", "#...#", "#####", "#...#", "#...#", "....."),  // H
    glyph(".###.", "..#..", "..#..", "..#..", ".###.", "....."),  // I
    glyph("..###", "...#.", "...#.", "#..#.", ".##..", "....."),  // J
    glyph("#..#.", "#.#..", "##...", "#.#..", "#..#.", "....."),  // K
    glyph("#....", "#....", "#....", "#....", "#####", "....."),  // L
    glyph("#...#", "##.##", "#.#.#", "#...#", "#...#", "....."),  // M
    glyph("#...#", "##..#", "#.#.#", "#..##", "#...#", "....."),  // N
    glyph(".###.", "#...#", "#...#", "#...#", ".###.", "....."),  // O
    glyph("####.", "#...#", "####.", "#....", "#....", "....."),  // P
    glyph(".###.", "#...#", "#.#.#", "#..#.", ".##.#", "....."),  // Q
    glyph("####.", "#...#", "####.", "#..#.", "#...#", "....."),  // R
    glyph(".####", "#....", ".###.", "....#", "####.", "....."),  // S
    glyph("#####", "..#..", "..#..", "..#..", "..#..", "....."),  // T
    glyph("#...#", "#...#", "#...#", "#...#", ".###.", "....."),  // U
    glyph("#...#", "#...#", "#...#", ".#.#.", "..#..", "....."),  // V
    glyph("#...#", "#...#", "#.#.#", "##.##", "#...#", "....."),  // W
    glyph("#...#", ".#.#.", "..#..", ".#.#.", "#...#", "....."),  // X
    glyph("#...#", ".#.#.", "..#..", "..#..", "..#..", "....."),  // Y
    glyph("#####", "...#.", "..#..", ".#...", "#####", "....."),  // Z
    glyph(".###.", ".#...", ".#...", ".#...", ".#...", ".###."),  // [
    glyph("#....", ".#...", "..#..", "...#.", "....#", "....."),  // backslash
    glyph(".###.", "...#.", "...#.", "...#.", "...#.", ".###."),  // ]
    glyph("..#..", ".#.#.", "#...#", ".....", ".....", "....."),  // ^
    glyph(".....", ".....", ".....", ".....", ".....", "#####"),  // _
    glyph(".#...", "..#..", ".....", ".....", ".....", "....."),  // `
    glyph(".....", ".####", "#...#", "#..##", ".##.#", "....."),  // a
    glyph("#....", "#....", "####.", "#...#", "####.", "....."),  // b
    glyph(".....", ".####", "#....", "#....", ".####", "....."),  // c
    glyph("....#", "....#", ".####", "#...#", ".####", "....."),  // d
    glyph(".....", ".###.", "#####", "#....", ".###.", "....."),  // e
    glyph("..##.", ".#...", "###..", ".#...", ".#...", "....."),  // f
    glyph(".....", ".####", "#...#", ".####", "....#", ".###."),  // g
    glyph("#....", "#....", "####.", "#...#", "#...#", "....."),  // h
    glyph("..#..", ".....", ".##..", "..#..", ".###.", "....."),  // i
    glyph("...#.", ".....", "..##.", "...#.", "...#.", ".##.."),  // j
    glyph("#....", "#..#.", "###..", "#..#.", "#...#", "....."),  // k
    glyph(".##..", "..#..", "..#..", "..#..", ".###.", "....."),  // l
    glyph(".....", "##.#.", "#.#.#", "#.#.#", "#.#.#", "....."),  // m
    glyph(".....", "####.", "#...#", "#...#", "#...#", "....."),  // n
    glyph(".....", ".###.", "#...#", "#...#", ".###.", "....."),  // o
    glyph(".....", "####.", "#...#", "####.", "#....", "#...."),  // p
    glyph(".....", ".####", "#...#", ".####", "....#", "....#"),  // q
    glyph(".....", "#.##.", "##...", "#....", "#....", "....."),  // r
    glyph(".....", ".####", ".##..", "...##", "####.", "....."),  // s
    glyph(".#...", "####.", ".#...", ".#...", "..##.", "....."),  // t
    glyph(".....", "#...#", "#...#", "#...#", ".####", "....."),  // u
    glyph(".....", "#...#", "#...#", ".#.#.", "..#..", "....."),  // v
    glyph(".....", "#...#", "#.#.#", "#.#.#", ".#.#.", "....."),  // w
    glyph(".....", "#..#.", ".##..", ".##..", "#..#.", "....."),  // x
    glyph(".....", "#...#", "#...#", ".####", "....#", ".###."),  // y
    glyph(".....", "#####", "..#..", ".#...", "#####", "....."),  // z
    glyph("...#.", "..#..", ".#...", "..#..", "..#..", "...#."),  // {
    glyph("..#..", "..#..", "..#..", "..#..", "..#..", "..#.."),  // |
    glyph(".#...", "..#..", "...#.", "..#..", "..#..", ".#..."),  // }
    glyph(".....", ".#...", "#.#.#", "...#.", ".....", "....."),  // ~
    glyph("#####", "#...#", "#...#", "#...#", "#####", "....."),  // DEL
};

std::int32_t texture_side(std::int32_t n) {
    std::int32_t side = 16;
    while (side < n) side *= 2;
    return side;
}

// Where a font image's glyphs lie: 16 columns, and 16 rows of 256 codes
// (images at least as tall as wide) or 8 rows of 128 codes (wide images).
struct FontLayout {
    std::int32_t count, rows;
    float cell_height, row_height, fixed_advance, fixed_s;

    explicit FontLayout(const SpriteRecord& r) {
        const bool tall = r.image_width <= r.image_height;
        count = tall ? 256 : 128;
        rows = tall ? 16 : 8;
        cell_height = static_cast<float>(tall ? r.image_height / 16 : r.image_height / 8);
        row_height = r.t_extent / static_cast<float>(rows);
        fixed_advance = static_cast<float>(r.image_width / 16);
        fixed_s = r.s_extent / 16;
    }
};

// One glyph's pen advance and texture rectangle (t0 its lower edge).
struct GlyphCell {
    float advance, s0, s1, t0, t1;
};

GlyphCell glyph_cell(const FontLayout& f, const GlyphRecord* glyphs, std::int32_t k, bool proportional) {
    const std::int32_t column = k % 16, row = k / 16;
    GlyphCell c{};
    c.t0 = f.row_height * static_cast<float>(f.rows - 1 - row);
    c.t1 = c.t0 + f.row_height;
    if (proportional) {
        c.advance = glyphs[k].advance;
        c.s0 = glyphs[k].s0;
        c.s1 = glyphs[k].s1;
    } else {
        c.advance = f.fixed_advance;
        c.s0 = static_cast<float>(column) * f.fixed_s;
        c.s1 = c.s0 + f.fixed_s;
    }
    return c;
}

}  // namespace

void OpenGLRainbows::font_install_builtin(std::int32_t slot) {
    if (slot < 0 || slot >= k_font_count) return;
    DecodedImage image;
    image.prepare(128, 64);
    auto lit = [&](std::uint32_t bits, std::int32_t i, std::int32_t j) {
        return i >= 0 && i < 5 && j >= 0 && j < 6 && (bits >> (5 * j + i) & 1u) != 0;
    };
    for (std::int32_t n = 0; n < 96; ++n) {
        std::uint32_t bits = k_builtin_glyphs[n];
        std::int32_t cx = (n % 16) * 8, cy = (2 + n / 16) * 8;
        for (std::int32_t py = 0; py < 8; ++py) {
            for (std::int32_t px = 0; px < 8; ++px) {
                std::int32_t i = px - 1, j = py - 1;  // bitmap position of this cell pixel
                std::uint8_t* p = image.row(cy + py) + (cx + px) * 4;
                if (lit(bits, i, j)) {
                    p[0] = p[1] = p[2] = p[3] = 255;
                } else if (lit(bits, i - 1, j) || lit(bits, i + 1, j) || lit(bits, i, j - 1) || lit(bits, i, j + 1)) {
                    p[0] = p[1] = p[2] = 8;
                    p[3] = 255;
                }
            }
        }
    }
    upload_sprite(k_font_sprite_base + slot, image, false);
    for (std::int32_t k = 0; k < 256; ++k) {
        GlyphRecord& g = glyphs_[slot][k];
        g.left = 0;
        g.advance = 8;
        g.s0 = static_cast<float>((k % 16) * 8) / 128.0f;
        g.s1 = g.s0 + 8.0f / 128.0f;
    }
}

// A font image at least as tall as it is wide holds 16 rows of 16 glyphs,
// a wider one 8 rows (128 glyphs).
void OpenGLRainbows::measure_font(std::int32_t slot, const DecodedImage& image) {
    std::int32_t w = image.width, h = image.height, cw = w / 16;
    bool tall = w <= h;
    std::int32_t count = tall ? 256 : 128, ch = tall ? h / 16 : h / 8;
    auto texture_width = static_cast<float>(texture_side(std::min(w, max_texture_size)));
    GlyphRecord* glyphs = glyphs_[slot];
    std::fill(glyphs, glyphs + 256, GlyphRecord{});
    auto column_lit = [&](std::int32_t x, std::int32_t y0) {
        for (std::int32_t y = y0; y < y0 + ch; ++y)
            if (image.row(y)[x * 4 + 3] != 0) return true;
        return false;
    };
    for (std::int32_t k = 0; k < count; ++k) {
        std::int32_t column = k % 16, x0 = column * cw, y0 = (k / 16) * ch;
        std::int32_t left = 0, width = 0;
        for (std::int32_t c = 0; c < cw; ++c)
            if (column_lit(x0 + c, y0)) {
                left = c;
                for (std::int32_t r = cw - 1; r >= left; --r)
                    if (column_lit(x0 + r, y0)) {
                        width = r - left + 1;
                        break;
                    }
                break;
            }
        std::int32_t advance = width == 0 ? cw : width + (left + width < cw ? 1 : 0);
        if (width == 0) left = 0;
        GlyphRecord& g = glyphs[k];
        g.left = static_cast<std::uint8_t>(std::min(left, 255));
        g.advance = static_cast<std::uint8_t>(std::min(advance, 255));
        g.s0 = static_cast<float>(left + cw * column) / texture_width;
        g.s1 = static_cast<float>(left + advance + cw * column) / texture_width;
        if (k == 106) {
            // A space is as wide as the letter j.
            glyphs[32].advance = g.advance;
            glyphs[32].s0 = 0;
            glyphs[32].s1 = g.s1 - g.s0;
        }
        if (count == 128) glyphs[k + 128] = g;
    }
}

void OpenGLRainbows::font_load(const char* name, std::int32_t slot) {
    app_state.error_code = 0;
    if (slot < 0 || slot >= k_font_count) {
        set_error(7);
        return;
    }
    if (name == nullptr || *name == 0) {
        free_sprite(k_font_sprite_base + slot);
        return;
    }
    DecodedImage image;
    if (load_image_file(image, name, font_colour_key, false)) {
        measure_font(slot, image);
        upload_sprite(k_font_sprite_base + slot, image, false);
    } else {
        set_error(3);
        font_install_builtin(slot);
    }
    current_font_ = slot;
}

void OpenGLRainbows::font_select(std::int32_t slot) {
    if (slot < 0 || slot >= k_font_count) {
        set_error(7);
        return;
    }
    current_font_ = slot;
}

void OpenGLRainbows::load_default_font() {
    static const char* const names[] = {"Media/smalfont.png", "Media/smalfont.bmp", "smalfont.png", "smalfont.bmp"};
    for (const char* name : names) {
        std::string found;
        if (resolve_resource(general_pack(), name, found, true)) {
            font_load(found.c_str(), 0);
            return;
        }
    }
}

void OpenGLRainbows::text_print(const char* text, std::int32_t length, float x, float y, bool proportional,
                                float z) {
    if (text == nullptr || length <= 0) return;
    const SpriteRecord& r = sprite(k_font_sprite_base + current_font_);
    if (r.texture == 0) return;
    if (!batching_ || z != 0) {
        text_print_direct(text, length, x, y, proportional, z);
        return;
    }
    // Each glyph is a quad of the batch; its two triangles are the ones the
    // string's triangle strip gives it (the joining triangles between
    // glyphs have no area).
    const FontLayout f(r);
    const GlyphRecord* glyphs = glyphs_[current_font_];
    std::int32_t glyph_count = 0;
    while (glyph_count < length && static_cast<std::uint8_t>(text[glyph_count]) % f.count != 0) ++glyph_count;
    if (glyph_count == 0) return;
    QuadVertex* v = add_quads(QuadKind::textured, k_font_sprite_base + current_font_, GL_REPEAT, glyph_count, true);
    float pen_x = std::ceil(x), pen_y = std::ceil(y);
    for (std::int32_t i = 0; i < glyph_count; ++i) {
        const GlyphCell c = glyph_cell(f, glyphs, static_cast<std::uint8_t>(text[i]) % f.count, proportional);
        float right = pen_x + c.advance, bottom = pen_y + f.cell_height;
        v[0] = QuadVertex{pen_x, bottom, c.s0, c.t0, {255, 255, 255, 255}};
        v[1] = QuadVertex{pen_x, pen_y, c.s0, c.t1, {255, 255, 255, 255}};
        v[2] = QuadVertex{right, bottom, c.s1, c.t0, {255, 255, 255, 255}};
        v[3] = QuadVertex{right, pen_y, c.s1, c.t1, {255, 255, 255, 255}};
        v += 4;
        pen_x = right;
    }
}

// One bind and one triangle strip per string (the 3D engine's variant with
// a depth, and the reference for the batched path).
void OpenGLRainbows::text_print_direct(const char* text, std::int32_t length, float x, float y, bool proportional,
                                       float z) {
    const SpriteRecord& r = sprite(k_font_sprite_base + current_font_);
    flush_batch();
    const FontLayout f(r);
    // The store grows like the batch store: at least 512 vertices, then in
    // steps of 128.
    std::size_t needed = static_cast<std::size_t>(length) * 4;
    if (needed * 5 > text_vertices_.size()) {
        std::size_t capacity = needed <= 512 ? 512 : 128 * (needed / 128 + 1);
        text_vertices_.resize(capacity * 5);
    }
    bind_sprite(k_font_sprite_base + current_font_);
    apply_smoothing();
    const GlyphRecord* glyphs = glyphs_[current_font_];
    float pen_x = std::ceil(x), pen_y = std::ceil(y);
    float* v = text_vertices_.data();
    GLsizei vertices = 0;
    for (std::int32_t i = 0; i < length; ++i) {
        std::int32_t k = static_cast<std::uint8_t>(text[i]) % f.count;
        if (k == 0) break;
        const GlyphCell c = glyph_cell(f, glyphs, k, proportional);
        const float quad[4][5] = {{pen_x, pen_y + f.cell_height, z, c.s0, c.t0},
                                  {pen_x, pen_y, z, c.s0, c.t1},
                                  {pen_x + c.advance, pen_y + f.cell_height, z, c.s1, c.t0},
                                  {pen_x + c.advance, pen_y, z, c.s1, c.t1}};
        std::copy(&quad[0][0], &quad[0][0] + 20, v);
        v += 20;
        vertices += 4;
        pen_x += c.advance;
    }
    if (vertices == 0) return;
    set_client_arrays(true, true, false);
    glVertexPointer(3, GL_FLOAT, 20, text_vertices_.data());
    glTexCoordPointer(2, GL_FLOAT, 20, text_vertices_.data() + 3);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, vertices);
}

std::int32_t OpenGLRainbows::text_width(const char* text, std::int32_t length, bool proportional) const {
    if (text == nullptr || length <= 0) return 0;
    if (!proportional) return length * (sprite(k_font_sprite_base + current_font_).image_width / 16);
    std::int32_t width = 0;
    for (std::int32_t i = 0; i < length; ++i) width += glyphs_[current_font_][static_cast<std::uint8_t>(text[i])].advance;
    return width;
}

void OpenGLRainbows::font_get_size(std::int32_t* w, std::int32_t* h) const {
    const SpriteRecord& r = sprite(k_font_sprite_base + current_font_);
    *w = r.image_width / 16;
    *h = r.image_width <= r.image_height ? r.image_height / 16 : r.image_height / 8;
}

std::int32_t OpenGLRainbows::font_free_slot() const {
    for (std::int32_t slot = 0; slot < k_font_count - 1; ++slot)
        if (sprite(k_font_sprite_base + slot).image_width < 16) return slot;
    return -1;
}

// ---------------------------------------------------------------- forwarding

namespace {
OpenGLRainbows* renderer() { return app_state.renderer; }
}  // namespace

void font_load(const DynString& name, std::int32_t slot) {
    if (auto* r = renderer()) {
        r->font_load(name.text(), slot);
        log_image_load_failure("font_load", name.text());
    }
}
void font_select(std::int32_t slot) {
    if (auto* r = renderer()) r->font_select(slot);
}
void text_print(const DynString& text, double x, double y, std::int32_t proportional) {
    if (auto* r = renderer())
        r->text_print(text.text(), static_cast<std::int32_t>(text.length()), static_cast<float>(x),
                      static_cast<float>(y), proportional != 0);
}
std::int32_t text_width(const DynString& text, std::int32_t proportional) {
    auto* r = renderer();
    return r != nullptr ? r->text_width(text.text(), static_cast<std::int32_t>(text.length()), proportional != 0) : 0;
}
void font_get_size(std::int32_t* w, std::int32_t* h) {
    *w = *h = 0;
    if (auto* r = renderer()) r->font_get_size(w, h);
}
void font_get_size(double* w, double* h) {
    std::int32_t iw = 0, ih = 0;
    font_get_size(&iw, &ih);
    *w = iw;
    *h = ih;
}
std::int32_t font_free_slot() {
    auto* r = renderer();
    return r != nullptr ? r->font_free_slot() : -1;
}

}  // namespace crv
