#include "render2d/rainbows.hpp"
#include "tests/support/gl_window.hpp"

#include <gtest/gtest.h>

#include <set>
#include <utility>

namespace crv {
namespace {

using test::GlTest;
using Pixel = std::pair<int, int>;

// Every pixel of the 64 x 48 window that is not black.
std::set<Pixel> lit(OpenGLRainbows& r) {
    std::set<Pixel> out;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            if (r.read_pixel(x, y) != 0) out.insert({x, y});
    return out;
}

using Primitives = GlTest;

TEST_F(Primitives, LinesLightBothEndsAndNothingElse) {
    struct Case { int x1, y1, x2, y2; std::set<Pixel> pixels; };
    const Case cases[] = {
        {10, 10, 10, 10, {{10, 10}}},
        {3, 5, 7, 5, {{3, 5}, {4, 5}, {5, 5}, {6, 5}, {7, 5}}},
        {7, 5, 3, 5, {{3, 5}, {4, 5}, {5, 5}, {6, 5}, {7, 5}}},
        {2, 1, 2, 4, {{2, 1}, {2, 2}, {2, 3}, {2, 4}}},
        {0, 0, 3, 3, {{0, 0}, {1, 1}, {2, 2}, {3, 3}}},
    };
    for (const Case& c : cases) {
        r().set_clear_colour(0);
        r().draw_line(c.x1, c.y1, c.x2, c.y2, 0xffffff);
        EXPECT_EQ(lit(r()), c.pixels) << c.x1 << "," << c.y1 << " -> " << c.x2 << "," << c.y2;
    }
}

TEST_F(Primitives, MergedLinesKeepTheirDrawingOrder) {
    // The second line's end pixel overwrites the first line's start: the
    // merged draw call must keep the order of the calls.
    r().draw_line(5, 2, 9, 2, 0x0000ff);
    r().draw_line(1, 2, 5, 2, 0x00ff00);
    r().draw_line(9, 2, 12, 2, 0xff0000);
    EXPECT_EQ(r().read_pixel(5, 2), 0x00ff00);
    EXPECT_EQ(r().read_pixel(6, 2), 0x0000ff);
    EXPECT_EQ(r().read_pixel(9, 2), 0xff0000);
    EXPECT_EQ(r().read_pixel(13, 2), 0);
}

TEST_F(Primitives, PointsRectanglesAndReadBack) {
    r().draw_point(4, 6, 0x0000ff);
    EXPECT_EQ(r().read_pixel(4, 6), 0x0000ff);
    r().set_clear_colour(0);
    r().fill_rect(5, 5, -3, 2, 0x123456);
    std::set<Pixel> expected{{3, 5}, {4, 5}, {5, 5}, {3, 6}, {4, 6}, {5, 6}};
    EXPECT_EQ(lit(r()), expected);
    EXPECT_EQ(r().read_pixel(4, 6), 0x123456);
    r().set_clear_colour(0);
    r().fill_rect(5, 5, 0, 10, 0xffffff);
    r().fill_rect(5, 5, 10, 0, 0xffffff);
    EXPECT_TRUE(lit(r()).empty());
}

TEST_F(Primitives, AlphaModesAndTheColourKey) {
    r().set_alpha_mode(0);
    EXPECT_EQ(r().global_alpha, 1.0f);
    r().set_alpha_mode(-0.5f);
    EXPECT_EQ(r().global_alpha, 0.5f);
    r().fill_rect(0, 0, 4, 4, 0xffffff);  // half of white over black
    int grey = r().read_pixel(1, 1) & 0xff;
    EXPECT_NEAR(grey, 127, 1);
    r().set_alpha_mode(2);
    EXPECT_EQ(r().global_alpha, 1.0f);
    r().set_alpha_mode(-3);
    EXPECT_EQ(r().global_alpha, 1.0f);

    // A primitive in the colour key has alpha 0: invisible when blending.
    for (float mode : {-1.0f, 1.0f}) {
        r().set_clear_colour(0);
        r().set_alpha_mode(mode);
        r().draw_point(8, 8, k_default_colour_key);
        r().draw_line(1, 9, 20, 9, k_default_colour_key);
        EXPECT_TRUE(lit(r()).empty()) << mode;
    }
}

TEST_F(Primitives, ClearingStopsAtMinusOne) {
    r().set_clear_colour(0x000080);
    r().prepare_next_frame();
    EXPECT_EQ(r().read_pixel(0, 0), 0x000080);
    r().set_clear_colour(-1);
    r().draw_point(2, 2, 0xffffff);
    r().prepare_next_frame();  // no clearing: the drawing stays
    EXPECT_EQ(r().read_pixel(2, 2), 0xffffff);
}

TEST_F(Primitives, OrientationTurnsThePicture) {
    struct Case { int set, stored; };
    for (Case c : {Case{7, 3}, Case{-2, 0}, Case{1, 1}}) {
        r().set_orientation(c.set);
        EXPECT_EQ(r().orientation, c.stored);
    }
    r().set_orientation(1);
    int w = 0, h = 0;
    r().get_screen_size(&w, &h);
    EXPECT_EQ(w, 48);
    EXPECT_EQ(h, 64);
    // Program (x, y) lands on physical (W - 1 - y, x).
    r().set_clear_colour(0);
    r().draw_point(5, 2, 0xffffff);
    r().set_orientation(0);
    EXPECT_EQ(lit(r()), (std::set<Pixel>{{64 - 1 - 2, 5}}));
    r().set_orientation(2);
    r().set_clear_colour(0);
    r().fill_rect(0, 0, 2, 1, 0xffffff);
    r().set_orientation(0);
    EXPECT_EQ(lit(r()), (std::set<Pixel>{{63, 47}, {62, 47}}));
}

TEST_F(Primitives, ViewportClipsAndResets) {
    r().set_viewport(10, 10, 5, 5);
    int x, y, w, h;
    r().get_viewport(&x, &y, &w, &h);
    EXPECT_EQ(std::make_tuple(x, y, w, h), std::make_tuple(10, 10, 5, 5));
    r().fill_rect(0, 0, 20, 20, 0xffffff);  // clipped to the viewport
    std::set<Pixel> pixels = lit(r());
    EXPECT_EQ(pixels.size(), 25u);
    EXPECT_EQ(*pixels.begin(), Pixel(10, 10));
    r().set_viewport(3, 3, 0, 9);
    r().get_viewport(&x, &y, &w, &h);
    EXPECT_EQ(std::make_tuple(x, y, w, h), std::make_tuple(0, 0, 64, 48));
}

TEST_F(Primitives, BatchStripsJoinWithoutABridge) {
    // Two quads as strips in one batch: columns 2..5 and 20..23, nothing between.
    r().poly_begin(-1, 2);
    for (float x0 : {2.0f, 20.0f}) {
        r().poly_new_strip();
        r().poly_vertex(x0, 2, 0, 0, 0x00ff00);
        r().poly_vertex(x0, 10, 0, 0, 0x00ff00);
        r().poly_vertex(x0 + 4, 2, 0, 0, 0x00ff00);
        r().poly_vertex(x0 + 4, 10, 0, 0, 0x00ff00);
    }
    r().poly_new_strip();
    r().poly_new_strip();  // twice is once
    r().poly_end();
    EXPECT_EQ(r().batch_vertex_count(), 4 + 1 + 1 + 4 + 1);
    EXPECT_EQ(r().read_pixel(3, 5), 0x00ff00);
    EXPECT_EQ(r().read_pixel(21, 5), 0x00ff00);
    for (int x = 7; x < 19; ++x) EXPECT_EQ(r().read_pixel(x, 5), 0) << x;
    EXPECT_GE(r().batch_capacity(), 512);

    // All-key vertices are invisible; all-white ones take the current colour.
    r().set_clear_colour(0);
    r().poly_begin(-1, 1);
    r().poly_vertex(0, 0, 0, 0, k_default_colour_key);
    r().poly_vertex(30, 0, 0, 0, k_default_colour_key);
    r().poly_vertex(0, 30, 0, 0, k_default_colour_key);
    r().poly_end();
    EXPECT_TRUE(lit(r()).empty());
    r().poly_begin(-1, 0);
    r().poly_vertex(0, 0, 0, 0, 0xffffff);
    r().poly_vertex(8, 0, 0, 0, 0xffffff);
    r().poly_vertex(8, 8, 0, 0, 0xffffff);
    r().poly_vertex(0, 8, 0, 0, 0xffffff);
    r().poly_end();
    EXPECT_EQ(r().read_pixel(4, 4), 0xffffff);
}

TEST_F(Primitives, FrameResetRestoresOpaqueDrawing) {
    r().set_alpha_mode(-0.25f);
    r().set_viewport(5, 5, 10, 10);
    r().set_smoothing(0);
    r().reset_frame_state();
    EXPECT_EQ(r().global_alpha, 1.0f);
    EXPECT_TRUE(r().smoothing);
    int x, y, w, h;
    r().get_viewport(&x, &y, &w, &h);
    EXPECT_EQ(std::make_tuple(x, y, w, h), std::make_tuple(0, 0, 64, 48));
    r().draw_point(1, 1, 0x00ff00);
    EXPECT_EQ(r().read_pixel(1, 1), 0x00ff00);
}

}  // namespace
}  // namespace crv
