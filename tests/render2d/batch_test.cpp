// The draw batch is invisible: frames that mix sprites (plain, stretched,
// turned and zoomed), animation frames, text, rectangles, lines and points
// with state changes in between come out pixel for pixel as when every call
// is drawn at once by the plain path, under every orientation; and the GL
// state the batch remembers is given up when others use OpenGL.
#include "render2d/rainbows.hpp"
#include "tests/render2d/render2d_support.hpp"
#include "tests/support/gl_window.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <random>

namespace crv {
namespace {

using test::Bytes;

class Batch : public test::GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        // 32 x 32: a shaded disc on colour-keyed corners, so that linear
        // filtering and blending show every sub-texel difference.
        Bytes ball(32 * 32 * 4);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                int dx = x - 16, dy = y - 16;
                bool in = dx * dx + dy * dy < 256;
                test::put(ball, 32, x, y, in ? static_cast<std::uint32_t>(x * 8 | (y * 8) << 8 | (x ^ y) * 8 << 16)
                                             : 0x8000ff);
            }
        ASSERT_TRUE(r().sprite_from_pixels(1, test::pixel_array(ball), 32, 32));
        // 48 x 16: three 16 x 16 frames of stripes.
        Bytes strip(48 * 16 * 4);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 48; ++x) test::put(strip, 48, x, y, (x + y) % 3 == 0 ? 0xffffff : 0x3060c0u * (x / 16 + 1));
        ASSERT_TRUE(r().sprite_from_pixels(2, test::pixel_array(strip), 48, 16));
        r().anim_set_frame_size(2, 16, 16);
        r().font_install_builtin(0);
        r().font_select(0);
    }
    void TearDown() override {
        r().set_batching(true);
        r().set_orientation(0);
        for (int n : {1, 2}) r().free_sprite(n);
    }

    // The frame drawn batched and drawn call by call: the same picture.
    void expect_same_picture(const std::function<void()>& frame, const char* what) {
        ASSERT_TRUE(r().batching());
        r().reset_frame_state();
        r().set_clear_colour(0x202020);
        frame();
        r().flush();
        Bytes batched = test::window_rgb(r());
        r().set_batching(false);
        r().reset_frame_state();
        r().set_clear_colour(0x202020);
        frame();
        r().flush();
        Bytes plain = test::window_rgb(r());
        r().set_batching(true);
        ASSERT_EQ(batched.size(), plain.size());
        std::size_t differing = 0, first = batched.size();
        for (std::size_t i = 0; i < batched.size(); ++i)
            if (batched[i] != plain[i]) {
                ++differing;
                if (first == batched.size()) first = i;
            }
        EXPECT_EQ(differing, 0u) << what << ": first differing byte " << first;
        // The frame drew something besides the clear colour.
        std::size_t drawn = 0;
        for (std::size_t i = 0; i < batched.size(); ++i) drawn += batched[i] != 0x20 ? 1 : 0;
        EXPECT_GT(drawn, batched.size() / 10) << what;
    }
};

// Many turned, zoomed, blended sprites at awkward angles and positions.
TEST_F(Batch, TurnedAndZoomedSpritesMatchTheMatrixPath) {
    for (int orientation : {0, 1, 2, 3}) {
        r().set_orientation(orientation);
        for (float alpha : {0.0f, -0.7f, 1.0f}) {
            for (int smoothing : {1, 0}) {
                auto frame = [&] {
                    r().set_alpha_mode(alpha);
                    r().set_smoothing(smoothing);
                    std::mt19937 random(static_cast<unsigned>(orientation * 31 + smoothing));
                    std::uniform_real_distribution<float> angle(-720.0f, 720.0f), zoom(0.3f, 2.5f);
                    for (int i = 0; i < 300; ++i) {
                        int x = static_cast<int>(random() % 90) - 30, y = static_cast<int>(random() % 70) - 25;
                        if (i % 3 == 0) r().sprite_draw_rotated(1, x, y, angle(random));
                        else r().sprite_draw_rotozoom(1, x, y, angle(random), zoom(random));
                    }
                    // Exact quarter turns and no turn at all.
                    for (float a : {0.0f, 90.0f, 180.0f, -90.0f, 45.0f}) r().sprite_draw_rotated(1, 10, 8, a);
                };
                expect_same_picture(frame, "turned sprites");
            }
        }
    }
}

// Everything 2D interleaved, with a state change in the middle.
TEST_F(Batch, MixedFrameMatchesCallByCallDrawing) {
    for (int orientation : {0, 1, 2, 3}) {
        r().set_orientation(orientation);
        auto frame = [&] {
            for (int i = 0; i < 6; ++i) {
                r().sprite_draw(1, i * 7 - 4, i * 5);
                r().fill_rect(i * 9, 30 - i * 3, 12, -5, 0x4080ff + i * 0x10);
                r().text_print("Ab!x", 4, static_cast<float>(i * 6) + 0.3f, static_cast<float>(i * 4), i % 2 == 0);
                r().draw_line(i, 0, 60 - i, 47, 0x00ff00);
                r().draw_point(i * 3, 40, 0xff00ff);
                r().anim_draw(2, i, 40 - i * 4, 20);
                r().sprite_draw_rotated(1, 20 + i, 10, 33.0f * static_cast<float>(i));
            }
            r().set_alpha_mode(-0.5f);  // translucency from here on
            r().set_smoothing(0);
            r().sprite_draw_stretched(1, 3, 3, 50, 20);
            r().sprite_draw_zoomed(1, 30, 20, 1.7f, 0.6f);
            r().anim_draw_stretched(2, 1, 10, 25, 30, 12);
            r().anim_draw_rotozoom(2, 2, 30, 10, 30.0f, 1.5f);
            r().fill_rect(5, 5, 20, 20, 0x8000ff);  // the colour key: invisible when blended
            r().fill_rect(0, 0, 64, 48, 0x00ffff);
            r().text_print("Hello, world", 12, 2.5f, 30.2f, false);
            r().text_print("Hello, world", 12, 2, 38, true);
            r().set_viewport(10, 5, 30, 30);
            r().sprite_draw_rotozoom(1, 0, 0, 10.0f, 1.3f);
            r().draw_point(2, 2, 0xffffff);
            r().fill_rect(20, 20, 4, 4, 0xff0000);
        };
        expect_same_picture(frame, "mixed frame");
    }
}

// Batches longer than one draw call takes (rectangles and glyphs past
// 16384 quads) keep their order across the split; the font's texture drawn
// as a sprite between prints (another triangle order, the same texture)
// keeps its place too.
TEST_F(Batch, LongBatchesAndFontSpritesBetweenPrints) {
    const struct {
        const char* what;
        std::function<void()> frame;
    } cases[] = {
        {"17000 rectangles",
         [this] {
             for (int i = 0; i < 17000; ++i)
                 r().fill_rect((i * 7) % 60, (i * 11) % 44, 1 + i % 5, 1 + i % 4, (i * 0x10305) & 0xffffff);
         }},
        {"rectangles far outside the window, clipped",
         [this] {
             for (int o : {0, 1, 2, 3}) {
                 r().set_orientation(o);
                 r().fill_rect(-100000, -70000, 100040, 70030, 0x3080ff);
                 r().fill_rect(50, 40, 90000, 123457, 0xff8040);
                 r().fill_rect(-3, 20, 2000000, 3, 0x40ff80 + o);
             }
             r().set_orientation(0);
         }},
        {"17600 glyphs",
         [this] {
             for (int i = 0; i < 800; ++i)
                 r().text_print("Score 0001234  Lives 3", 22, static_cast<float>((i * 3) % 50) - 20,
                                static_cast<float>((i * 5) % 44), i % 2 == 0);
         }},
        {"font texture as a sprite between prints",
         [this] {
             for (int i = 0; i < 8; ++i) {
                 r().text_print("Wq", 2, static_cast<float>(i * 5), static_cast<float>(i * 4), true);
                 r().sprite_draw(k_font_sprite_base, i * 6 - 40, i * 3 - 20);
                 r().sprite_draw_stretched(k_font_sprite_base, i * 4, 30, 9, 9);
             }
             r().fill_rect(0, 0, 64, 48, 0x30a0a0);
             for (int i = 0; i < 8; ++i) {
                 r().sprite_draw_stretched(k_font_sprite_base, i * 4, i * 2, 12, 12);
                 r().text_print("Wq", 2, static_cast<float>(i * 5), static_cast<float>(i * 4), true);
             }
         }},
    };
    for (const auto& c : cases) expect_same_picture(c.frame, c.what);
}

// Vertex batches between sprites, text and rectangles: textured ones join
// the sprites of their texture, the others are drawn on their own; either
// way in order, with the texture and wrap mode the plain path would give
// them (also when another sprite is drawn between poly_begin and poly_end,
// and when a batch is ended twice or grown after its end).
TEST_F(Batch, VertexBatchesAmongSpritesTextAndRectangles) {
    // A fan, separate triangles (one left over) and two joined strips, with
    // texture coordinates past the image so that the repeat shows.
    auto batch = [this](int sprite, int mode, float x, float y, std::int32_t colour) {
        r().poly_begin(sprite, mode);
        const float points[7][4] = {{0, 0, -3, -5},   {21.5f, 2, 40, 0},  {18, 17.3f, 37, 30}, {1, 20, 0, 36},
                                    {-6, 9, -9, 12}, {10, -4.7f, 12, -9}, {30, 12, 50, 21}};
        for (int i = 0; i < 7; ++i) {
            if (mode == 2 && i == 4) r().poly_new_strip();
            r().poly_vertex(x + points[i][0], y + points[i][1], points[i][2], points[i][3], i == 2 ? colour : 0xffffff);
        }
        r().poly_end();
    };
    const struct {
        const char* what;
        std::function<void()> frame;
    } cases[] = {
        {"uncoloured batches between sprites, text and rectangles",
         [&] {
             for (int i = 0; i < 9; ++i) {
                 r().set_smoothing(i % 4 != 3);
                 r().sprite_draw(1, i * 6 - 5, i * 4);
                 batch(1, i % 3, static_cast<float>(i * 5), static_cast<float>(i * 3) + 0.5f, 0xffffff);
                 r().sprite_draw_rotated(1, 30 - i * 3, 10, 17.0f * static_cast<float>(i));
                 batch(2, (i + 1) % 3, 40 - static_cast<float>(i * 4), 20, 0xffffff);
                 if (i % 2 == 0) r().text_print("Poly", 4, static_cast<float>(i * 6), 40, true);
                 r().fill_rect(i * 7, 44 - i, 5, 3, 0x40c080 + i);
                 batch(-1, i % 3, static_cast<float>(i * 4), 2, 0x3080ff);
                 r().anim_draw(2, i, i * 5, 30);
             }
         }},
        {"coloured and translucent batches",
         [&] {
             for (int i = 0; i < 6; ++i) {
                 r().sprite_draw(1, i * 8, i * 5);
                 batch(1, i % 3, static_cast<float>(i * 6), 4, 0x2040ff);
                 batch(1, i % 3, static_cast<float>(i * 5), 24, 0x8000ff);  // colour key: that corner clear
                 if (i == 3) r().set_alpha_mode(-0.6f);
             }
         }},
        {"drawing between begin and end, ended twice, grown after the end",
         [&] {
             r().sprite_draw(1, 0, 0);
             r().poly_begin(1, 0);
             r().sprite_draw(2, 10, 10);  // the batch takes this texture
             for (auto [x, y] : {std::pair{5.0f, 5.0f}, {40.0f, 8.0f}, {35.0f, 40.0f}, {3.0f, 30.0f}})
                 r().poly_vertex(x, y, x, y, 0xffffff);
             r().poly_end();
             r().sprite_draw(1, 20, 0);
             r().poly_begin(1, 1);
             r().sprite_draw_stretched(1, 30, 30, 20, 10);  // clamps the wrap of the batch's own texture
             for (auto [x, y] : {std::pair{0.0f, 20.0f}, {60.0f, 25.0f}, {10.0f, 47.0f}})
                 r().poly_vertex(x, y, x * 2, y - 30, 0xffffff);
             r().poly_end();
             r().sprite_draw_stretched(1, 40, 5, 30, 12);  // clamped just before the batch binds with repeat
             r().poly_begin(1, 2);
             for (auto [x, y] : {std::pair{2.0f, 2.0f}, {20.0f, 3.0f}, {4.0f, 20.0f}})
                 r().poly_vertex(x, y, -x, y * 3, 0xffffff);
             r().poly_end();
             r().sprite_draw(1, 8, 8);
             r().poly_end();  // drawn again, over the sprite
             r().poly_vertex(30, 30, 5, 5, 0xffffff);
             r().poly_end();  // one more strip triangle
         }},
    };
    for (int orientation : {0, 1, 2, 3}) {
        r().set_orientation(orientation);
        for (const auto& c : cases) expect_same_picture(c.frame, c.what);
    }
}

// The same sprite over and over is one draw call; the pictures of drawing
// order (later sprites cover earlier ones, also across textures) stay.
TEST_F(Batch, DrawingOrderSurvivesAcrossTexturesAndKinds) {
    r().sprite_draw(1, 0, 0);
    r().fill_rect(4, 4, 4, 4, 0x0000ff);
    r().sprite_draw(1, 4, 4);  // covers the rectangle's centre with the disc
    r().draw_point(20, 20, 0x00ff00);
    r().fill_rect(20, 20, 1, 1, 0xff0000);
    EXPECT_EQ(r().read_pixel(20, 20), 0xff0000);
    EXPECT_NE(r().read_pixel(20, 16), 0x0000ff);
    r().fill_rect(30, 30, 2, 2, 0x00ff00);
    r().draw_point(30, 30, 0xff0000);
    EXPECT_EQ(r().read_pixel(30, 30), 0xff0000);
    EXPECT_EQ(r().read_pixel(31, 31), 0x00ff00);
}

// Other OpenGL users change the binding, filters, wrap mode and client
// arrays behind the renderer's back; after flush() the renderer sets them
// again instead of trusting what it remembered.
TEST_F(Batch, StateChangedBehindTheRenderersBackIsSetAgain) {
    r().set_smoothing(0);
    r().sprite_draw_stretched(1, 0, 0, 64, 48);
    r().flush();
    Bytes expected = test::window_rgb(r());
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));

    // Someone else: another texture bound, this one's filters and wrap
    // changed, texturing switched off.
    GLuint other = 0;
    glGenTextures(1, &other);
    glBindTexture(GL_TEXTURE_2D, r().sprite(1).texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glBindTexture(GL_TEXTURE_2D, other);
    glDisable(GL_TEXTURE_2D);

    r().set_clear_colour(0);
    r().set_smoothing(0);
    r().sprite_draw_stretched(1, 0, 0, 64, 48);
    r().flush();
    EXPECT_EQ(test::window_rgb(r()), expected);
    glDeleteTextures(1, &other);
}

}  // namespace
}  // namespace crv
