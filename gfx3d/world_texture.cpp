#include "gfx3d/world_texture.hpp"

#include "render2d/gl_api.hpp"
#include "render2d/image.hpp"

#include <algorithm>
#include <vector>

namespace crv {

namespace {

std::int32_t texture_side(std::int32_t n) {
    std::int32_t side = 16;
    while (side < n) side *= 2;
    return side;
}

// Transparent texels take the mean colour of their opaque neighbours, so
// that linear filtering does not pull the colour key into the edges.
void bleed_edges(std::vector<std::uint8_t>& px, std::int32_t w, std::int32_t h) {
    for (std::int32_t y = 0; y < h; ++y)
        for (std::int32_t x = 0; x < w; ++x) {
            std::uint8_t* t = &px[(static_cast<std::size_t>(y) * w + x) * 4];
            if (t[3] != 0) continue;
            int sum[3] = {0, 0, 0}, n = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    if (dx == 0 && dy == 0) continue;
                    std::int32_t nx = x + dx, ny = y + dy;
                    if (nx < 1 || ny < 1 || nx >= w - 1 || ny >= h - 1) continue;
                    const std::uint8_t* s = &px[(static_cast<std::size_t>(ny) * w + nx) * 4];
                    if (s[3] == 0) continue;
                    for (int c = 0; c < 3; ++c) sum[c] += s[c];
                    ++n;
                }
            for (int c = 0; c < 3; ++c) t[c] = static_cast<std::uint8_t>(n > 0 ? sum[c] / n : 0);
        }
}

void set_parameters(GLint min_filter) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, min_filter);
}

}  // namespace

void delete_world_texture(WorldTexture& t) {
    GLuint names[2] = {t.texture, t.mip_texture};
    if (names[0] != 0) glDeleteTextures(1, &names[0]);
    if (names[1] != 0) glDeleteTextures(1, &names[1]);
    t = WorldTexture{};
}

bool upload_world_texture(WorldTexture& t, const DecodedImage& image, std::int32_t max_side) {
    delete_world_texture(t);
    std::int32_t w = std::min(image.width, max_side), h = std::min(image.height, max_side);
    if (w < 1 || h < 1) return false;
    std::int32_t tw = texture_side(w), th = texture_side(h);
    std::vector<std::uint8_t> px(static_cast<std::size_t>(tw) * th * 4, 0);
    for (std::int32_t y = 0; y < h; ++y) {
        const std::uint8_t* src = image.row(y);
        std::copy(src, src + static_cast<std::size_t>(w) * 4, &px[static_cast<std::size_t>(h - 1 - y) * tw * 4]);
    }
    bleed_edges(px, tw, th);

    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    set_parameters(GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, tw, th, 0, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    t.texture = name;

    // The mip chain: square first, halving the longer side, then 2:1 in
    // both directions down to 1 x 1.
    std::int32_t mw = tw, mh = th;
    std::vector<std::uint8_t> level = px;
    while (mw != mh) {
        bool halve_width = mw > mh;
        std::int32_t nw = halve_width ? mw / 2 : mw, nh = halve_width ? mh : mh / 2;
        std::vector<std::uint8_t> next(static_cast<std::size_t>(nw) * nh * 4);
        for (std::int32_t y = 0; y < nh; ++y)
            for (std::int32_t x = 0; x < nw; ++x)
                for (int c = 0; c < 4; ++c) {
                    std::int32_t x0 = halve_width ? x * 2 : x, y0 = halve_width ? y : y * 2;
                    std::int32_t x1 = halve_width ? x0 + 1 : x0, y1 = halve_width ? y0 : y0 + 1;
                    int a = level[(static_cast<std::size_t>(y0) * mw + x0) * 4 + c];
                    int b = level[(static_cast<std::size_t>(y1) * mw + x1) * 4 + c];
                    next[(static_cast<std::size_t>(y) * nw + x) * 4 + c] = static_cast<std::uint8_t>((a + b) / 2);
                }
        level.swap(next);
        mw = nw;
        mh = nh;
    }
    GLuint mip = 0;
    glGenTextures(1, &mip);
    glBindTexture(GL_TEXTURE_2D, mip);
    set_parameters(GL_LINEAR_MIPMAP_LINEAR);
    for (GLint lod = 0;; ++lod) {
        glTexImage2D(GL_TEXTURE_2D, lod, GL_RGBA8, mw, mw, 0, GL_RGBA, GL_UNSIGNED_BYTE, level.data());
        if (mw == 1) break;
        std::int32_t nw = std::max(1, mw / 2);
        std::vector<std::uint8_t> next(static_cast<std::size_t>(nw) * nw * 4);
        for (std::int32_t y = 0; y < nw; ++y)
            for (std::int32_t x = 0; x < nw; ++x)
                for (int c = 0; c < 4; ++c) {
                    int s = 0;
                    for (int dy = 0; dy < 2; ++dy)
                        for (int dx = 0; dx < 2; ++dx)
                            s += level[(static_cast<std::size_t>(y * 2 + dy) * mw + (x * 2 + dx)) * 4 + c];
                    next[(static_cast<std::size_t>(y) * nw + x) * 4 + c] = static_cast<std::uint8_t>(s / 4);
                }
        level.swap(next);
        mw = nw;
    }
    t.mip_texture = mip;
    glBindTexture(GL_TEXTURE_2D, 0);
    return true;
}

}  // namespace crv
