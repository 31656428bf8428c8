// Sprites on a real window: texture sizes and the mip chain, pixel arrays,
// every drawing mode against golden images, colour keys and collision.
#include "runtime/app_state.hpp"
#include "render2d/image.hpp"
#include "render2d/rainbows.hpp"
#include "tests/render2d/render2d_support.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/gl_window.hpp"
#include "tests/support/scoped_env.hpp"

#include <gtest/gtest.h>

namespace crv {
namespace {

using test::Bytes;

constexpr std::uint32_t k_red = 0x0000ff, k_green = 0x00ff00, k_blue = 0xff0000, k_white = 0xffffff,
                        k_yellow = 0x00ffff, k_key = 0x8000ff;

// 16 x 16: red, green, blue and white quadrants (top-left, top-right,
// bottom-left, bottom-right) and a yellow mark on the middle of the top edge.
Bytes quadrants() {
    Bytes b(16 * 16 * 4);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            test::put(b, 16, x, y, y < 8 ? (x < 8 ? k_red : k_green) : (x < 8 ? k_blue : k_white));
    for (int y = 0; y < 2; ++y)
        for (int x = 6; x < 10; ++x) test::put(b, 16, x, y, k_yellow);
    return b;
}

class Sprites : public test::GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        ASSERT_TRUE(r().sprite_from_pixels(1, test::pixel_array(quadrants()), 16, 16));
    }
    void TearDown() override {
        for (int n : {1, 2, 3, 4}) r().free_sprite(n);
    }
    test::TempDir dir;
};

TEST_F(Sprites, UploadSizesExtentsAndMipChain) {
    struct Case { int w, h, tw, th; float se, te; };
    const Case cases[] = {{100, 30, 128, 32, 0.78125f, 0.9375f}, {10, 10, 16, 16, 0.625f, 0.625f},
                          {1, 1, 16, 16, 0.0625f, 0.0625f}, {16, 17, 16, 32, 1.0f, 17.0f / 32}};
    for (const Case& c : cases) {
        ASSERT_TRUE(r().sprite_from_pixels(2, test::pixel_array(test::solid(c.w, c.h, k_red)), c.w, c.h));
        const SpriteRecord& s = r().sprite(2);
        EXPECT_EQ(s.texture_width, c.tw) << c.w << "x" << c.h;
        EXPECT_EQ(s.texture_height, c.th);
        EXPECT_FLOAT_EQ(s.s_extent, c.se);
        EXPECT_FLOAT_EQ(s.t_extent, c.te);
        EXPECT_NE(s.mip_texture, 0u);
    }
    // 16 x 32 is squared to 16 x 16, then halved down to 1 x 1: five levels.
    glBindTexture(GL_TEXTURE_2D, r().sprite(2).mip_texture);
    GLint w = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    EXPECT_EQ(w, 16);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 4, GL_TEXTURE_WIDTH, &w);
    EXPECT_EQ(w, 1);
    glBindTexture(GL_TEXTURE_2D, 0);

    // Transparent texels next to opaque ones take their colour (edge
    // bleeding); alpha stays 0.
    Bytes edge = test::solid(4, 4, 0, 0);
    test::put(edge, 4, 1, 1, k_green);
    ASSERT_TRUE(r().sprite_from_pixels(2, test::pixel_array(edge), 4, 4));
    Bytes texels(16 * 16 * 4);
    glBindTexture(GL_TEXTURE_2D, r().sprite(2).texture);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    // Image row 1 is texture row 2 (rows are flipped: 4 - 1 - 1).
    const std::uint8_t* beside = &texels[(2 * 16 + 2) * 4];
    EXPECT_EQ(beside[1], 255);
    EXPECT_EQ(beside[3], 0);
    EXPECT_EQ(texels[(10 * 16 + 10) * 4 + 1], 0);  // far away: black
}

TEST_F(Sprites, PixelArraysRoundTripAndAlphaComesFromTheTopByte) {
    Bytes picture = quadrants();
    test::put(picture, 16, 3, 12, 0x123456, 77);
    ASSERT_TRUE(r().sprite_from_pixels(2, test::pixel_array(picture), 16, 16));
    DynArray<std::int32_t> back;
    ASSERT_TRUE(r().sprite_to_pixels(back, 2));
    ASSERT_EQ(back.element_count(), 256);
    DynArray<std::int32_t> expected = test::pixel_array(picture);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(back(i), expected(i)) << i;

    // Pure red given as 255 has alpha 0; opaque red is 255 + 255 * 2^24.
    DynArray<std::int32_t> red;
    const std::int32_t values[] = {255, static_cast<std::int32_t>(0xff0000ffu)};
    red.fill_values(2, values);
    ASSERT_TRUE(r().sprite_from_pixels(3, red, 2, 1));
    r().set_clear_colour(0);
    r().sprite_draw(3, 0, 0);
    EXPECT_EQ(r().read_pixel(0, 0), 0);
    EXPECT_EQ(r().read_pixel(1, 0), 0x0000ff);

    // Wrong counts and sizes fail and leave the sprite empty.
    EXPECT_FALSE(r().sprite_from_pixels(3, red, 3, 1));
    EXPECT_EQ(r().sprite(3).image_width, 0);
    EXPECT_FALSE(r().sprite_from_pixels(3, red, 0, 0));
    EXPECT_FALSE(r().sprite_to_pixels(back, 3));
    r().set_clear_colour(0);
    r().sprite_draw_stretched(3, 0, 0, 10, 10);  // an empty sprite shows nothing
    r().sprite_draw_rotozoom(3, 0, 0, 0, 4.0f);
    EXPECT_EQ(r().read_pixel(5, 5), 0);
    EXPECT_FALSE(r().sprite_from_pixels(k_sprite_count, red, 2, 1));
}

TEST_F(Sprites, LoadingFilesRecordsTheErrorCode) {
    std::string bmp = dir.file("q.bmp");
    test::write_file(bmp, test::make_bmp24(16, 16, quadrants(), false));
    app_state.error_code = 99;
    r().sprite_load(bmp.c_str(), 2);
    EXPECT_EQ(app_state.error_code, 0);
    EXPECT_EQ(r().sprite(2).image_width, 16);

    std::string damaged = dir.file("damaged.png");
    test::write_file(damaged, Bytes{0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0});
    for (const std::string& name : {damaged, dir.file("missing.png"), std::string()}) {
        r().sprite_load(name.c_str(), 2);
        EXPECT_EQ(app_state.error_code, 3) << name;
        EXPECT_EQ(r().sprite(2).image_width, 0) << name;
        EXPECT_EQ(r().sprite(2).texture, 0u);
    }
    {
        // The game's calls name what failed and why in the debug log.
        test::TempDir log_dir;
        test::ScopedEnv temp(test::k_temp_variable, log_dir.path().c_str());
        crv::sprite_load(damaged.c_str(), 2);
        crv::background_load(dir.file("missing.png").c_str());
        crv::sprite_load(bmp.c_str(), 2);
        EXPECT_EQ(log_dir.read("ErrorLog.txt"), "sprite_load \"" + damaged + "\": not an image it can read\n" +
                                                    "background_load \"" + dir.file("missing.png") +
                                                    "\": file not found\n");
        r().free_sprite(2);
    }
    // image_load_pixels applies the drawing key and makes no sprite.
    Bytes keyed = test::solid(2, 1, k_green);
    test::put(keyed, 2, 0, 0, k_key);
    test::write_file(bmp, test::make_bmp24(2, 1, keyed, true));
    std::int32_t w = 0, h = 0;
    DynArray<std::int32_t> pixels;
    ASSERT_TRUE(r().image_load_pixels(bmp.c_str(), &w, &h, pixels));
    EXPECT_EQ(w, 2);
    EXPECT_EQ(h, 1);
    EXPECT_EQ(pixels(0), 0);
    EXPECT_EQ(pixels(1), static_cast<std::int32_t>(0xff00ff00u));
    EXPECT_FALSE(r().image_load_pixels(damaged.c_str(), &w, &h, pixels));
    EXPECT_EQ(app_state.error_code, 3);

    // Slots: the lowest empty number below the font slots.
    EXPECT_EQ(r().sprite_free_slot(), 0);
    r().sprite_from_pixels(0, test::pixel_array(test::solid(1, 1, k_red)), 1, 1);
    EXPECT_EQ(r().sprite_free_slot(), 2);
    r().free_sprite(0);
}

TEST_F(Sprites, DrawWholeStretchedAndZoomedGolden) {
    ASSERT_TRUE(r().sprite_from_pixels(2, test::pixel_array(test::solid(10, 6, k_yellow)), 10, 6));
    r().sprite_draw(1, 4, 4);
    r().sprite_draw(2, 40, 4);
    // Nothing but the image itself is drawn, though the texture is larger.
    EXPECT_EQ(r().read_pixel(49, 9), static_cast<std::int32_t>(k_yellow));
    EXPECT_EQ(r().read_pixel(50, 9), 0);
    EXPECT_EQ(r().read_pixel(49, 10), 0);
    EXPECT_TRUE(test::matches_golden(r(), "sprite_draw"));

    r().set_clear_colour(0);
    r().set_smoothing(0);
    r().sprite_draw_stretched(1, 2, 2, 32, 16);
    r().sprite_draw_zoomed(1, 44, 28, 2.0f, 1.5f);  // 32 x 24 about the centre: at (36, 24)
    EXPECT_EQ(r().read_pixel(36, 24), static_cast<std::int32_t>(k_red));
    EXPECT_EQ(r().read_pixel(35, 24), 0);
    EXPECT_TRUE(test::matches_golden(r(), "sprite_stretched_zoomed"));
}

TEST_F(Sprites, NegativeZoomsAndSizesMirror) {
    r().set_smoothing(0);
    r().sprite_draw_zoomed(1, 4, 4, -1.0f, 1.0f);   // left to right, in place
    r().sprite_draw_zoomed(1, 24, 4, 1.0f, -1.0f);  // upside down, in place
    r().sprite_draw_stretched(1, 60, 4, -16, 16);   // left to right, left of x
    r().sprite_draw_rotozoom(1, 4, 24, 0, -1.0f);   // both ways: half a turn
    // Where each drawing shows the red, green, blue and white quadrants of
    // the upright sprite (top-left, top-right, bottom-left, bottom-right).
    struct Case { int x, y; std::uint32_t top_left, top_right, bottom_left, bottom_right; };
    const Case cases[] = {
        {4, 4, k_green, k_red, k_white, k_blue},
        {24, 4, k_blue, k_white, k_red, k_green},
        {44, 4, k_green, k_red, k_white, k_blue},
        {4, 24, k_white, k_blue, k_green, k_red},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(r().read_pixel(c.x + 2, c.y + 4), static_cast<std::int32_t>(c.top_left)) << c.x << "," << c.y;
        EXPECT_EQ(r().read_pixel(c.x + 13, c.y + 4), static_cast<std::int32_t>(c.top_right)) << c.x << "," << c.y;
        EXPECT_EQ(r().read_pixel(c.x + 2, c.y + 12), static_cast<std::int32_t>(c.bottom_left)) << c.x << "," << c.y;
        EXPECT_EQ(r().read_pixel(c.x + 13, c.y + 12), static_cast<std::int32_t>(c.bottom_right)) << c.x << "," << c.y;
    }
    EXPECT_EQ(r().read_pixel(61, 10), 0) << "the stretched one lies left of x";
}

TEST_F(Sprites, RotatedByNinetyDegreesGolden) {
    r().set_smoothing(0);
    r().sprite_draw_rotated(1, 8, 8, 90);
    // The top edge (with the yellow mark) turns to the left side, the red
    // top-left quadrant to the bottom-left.
    EXPECT_EQ(r().read_pixel(8, 15), static_cast<std::int32_t>(k_yellow));
    EXPECT_EQ(r().read_pixel(12, 20), static_cast<std::int32_t>(k_red));
    EXPECT_EQ(r().read_pixel(20, 20), static_cast<std::int32_t>(k_blue));
    EXPECT_EQ(r().read_pixel(12, 10), static_cast<std::int32_t>(k_green));
    r().sprite_draw_rotozoom(1, 40, 16, -90, 0.5f);
    EXPECT_TRUE(test::matches_golden(r(), "sprite_rotated_90"));
}

TEST_F(Sprites, AnimationFrameFiveOfAStripGolden) {
    // 64 x 32 strip of 16 x 16 frames, each frame its own colour with a
    // white pixel in its top-left corner.
    const std::uint32_t colours[8] = {k_red, k_green, k_blue, k_yellow, 0xff00ff, 0x808080, 0x0080ff, 0xff8000};
    Bytes strip(64 * 32 * 4);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x) {
            int frame = (y / 16) * 4 + x / 16;
            test::put(strip, 64, x, y, x % 16 == 0 && y % 16 == 0 ? k_white : colours[frame]);
        }
    ASSERT_TRUE(r().sprite_from_pixels(2, test::pixel_array(strip), 64, 32));
    r().anim_set_frame_size(2, 16, 16);
    r().anim_draw(2, 5, 4, 4);
    EXPECT_EQ(r().read_pixel(4, 4), static_cast<std::int32_t>(k_white));
    EXPECT_EQ(r().read_pixel(10, 10), 0x808080);  // frame 5: column 1 of row 1
    r().set_smoothing(0);
    r().anim_draw_stretched(2, 2, 24, 4, 32, 8);
    r().anim_draw_rotozoom(2, 7, 36, 20, 90, 1.0f);
    EXPECT_TRUE(test::matches_golden(r(), "anim_frame_5"));
    // Without a frame size nothing is drawn.
    r().set_clear_colour(0);
    r().anim_set_frame_size(2, 0, 0);
    r().anim_draw(2, 5, 4, 4);
    EXPECT_EQ(r().read_pixel(10, 10), 0);
}

TEST_F(Sprites, ColourKeyedPixelsAreTransparentGolden) {
    // A BMP whose key-coloured pixels (a diagonal and a border) disappear.
    Bytes picture = test::solid(16, 16, k_blue);
    for (int i = 0; i < 16; ++i) {
        test::put(picture, 16, i, i, k_key);
        test::put(picture, 16, i, 0, k_key);
        test::put(picture, 16, 15, i, k_key);
    }
    std::string bmp = dir.file("keyed.bmp");
    test::write_file(bmp, test::make_bmp24(16, 16, picture, false));
    r().sprite_load(bmp.c_str(), 2);
    r().fill_rect(0, 0, 64, 48, 0x204020);
    r().sprite_draw(2, 8, 8);
    r().set_alpha_mode(-1);  // blended drawing shows the same
    r().sprite_draw(2, 32, 8);
    r().set_alpha_mode(0);
    EXPECT_EQ(r().read_pixel(10, 10), 0x204020);
    EXPECT_EQ(r().read_pixel(11, 10), static_cast<std::int32_t>(k_blue));
    EXPECT_TRUE(test::matches_golden(r(), "colour_key"));
}

TEST_F(Sprites, PixelExactCollision) {
    // A: 8 x 8 with only its left half opaque. B: 4 x 4 opaque.
    Bytes a = test::solid(8, 8, k_red, 0);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 4; ++x) test::put(a, 8, x, y, k_red);
    ASSERT_TRUE(r().sprite_from_pixels(2, test::pixel_array(a), 8, 8));
    ASSERT_TRUE(r().sprite_from_pixels(3, test::pixel_array(test::solid(4, 4, k_green)), 4, 4));
    struct Case { int xb, yb; bool hit; };
    const Case cases[] = {
        {2, 2, true},     // over the opaque half
        {5, 2, false},    // rectangles overlap only where A is transparent
        {3, 7, true},     // one pixel in the corner of the opaque half
        {4, -3, false},   // touches A's transparent column 4 only
        {8, 0, false},    // side by side, no shared pixel
        {-3, -3, true},   // one shared pixel at A's origin
        {-4, 0, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(r().sprite_collide(2, 0, 0, 3, c.xb, c.yb), c.hit) << c.xb << "," << c.yb;

    // Frames: a 16 x 8 strip of two 8 x 8 frames, the first empty.
    Bytes strip = test::solid(16, 8, k_red, 0);
    for (int y = 0; y < 8; ++y)
        for (int x = 8; x < 16; ++x) test::put(strip, 16, x, y, k_red);
    ASSERT_TRUE(r().sprite_from_pixels(4, test::pixel_array(strip), 16, 8));
    r().anim_set_frame_size(4, 8, 8);
    r().anim_set_frame_size(3, 4, 4);
    EXPECT_FALSE(r().anim_collide(4, 0, 0, 0, 3, 0, 2, 2));
    EXPECT_TRUE(r().anim_collide(4, 1, 0, 0, 3, 0, 2, 2));
    EXPECT_FALSE(r().anim_collide(4, 9, 0, 0, 3, 0, 2, 2));  // a frame outside the image
    // An image loaded into a slot never given a frame size has none: as
    // frames it never collides, though the whole image does.
    std::string solid = dir.file("solid.bmp");
    test::write_file(solid, test::make_bmp24(8, 8, test::solid(8, 8, k_red), false));
    r().sprite_load(solid.c_str(), 40);
    EXPECT_TRUE(r().sprite_collide(40, 0, 0, 3, 2, 2));
    EXPECT_FALSE(r().anim_collide(40, 0, 0, 0, 3, 0, 2, 2));
    r().anim_set_frame_size(40, 8, 8);
    EXPECT_TRUE(r().anim_collide(40, 0, 0, 0, 3, 0, 2, 2));
    r().anim_set_frame_size(40, 0, 0);  // the slot as it was
    r().free_sprite(40);
    // A sprite reloaded with other pixels collides by its new mask.
    ASSERT_TRUE(r().sprite_from_pixels(2, test::pixel_array(test::solid(8, 8, k_red)), 8, 8));
    EXPECT_TRUE(r().sprite_collide(2, 0, 0, 3, 5, 2));
    EXPECT_FALSE(r().sprite_collide(2, 0, 0, 99, 0, 0));  // empty sprite
}

TEST_F(Sprites, TexturedBatchesAndTheBackgroundSlot) {
    // A batch bound to the sprite maps pixel coordinates of its image.
    r().set_smoothing(0);
    r().poly_begin(1, 0);
    r().poly_vertex(0, 0, 8, 0, 0xffffff);
    r().poly_vertex(8, 0, 16, 0, 0xffffff);
    r().poly_vertex(8, 8, 16, 8, 0xffffff);
    r().poly_vertex(0, 8, 8, 8, 0xffffff);
    r().poly_end();
    EXPECT_EQ(r().read_pixel(0, 7), static_cast<std::int32_t>(k_green));

    // A background image is drawn in place of clearing after every swap.
    std::string bmp = dir.file("bg.bmp");
    Bytes bg = test::solid(64, 48, 0x303030);
    test::put(bg, 64, 63, 47, k_key);  // no key for backgrounds
    test::write_file(bmp, test::make_bmp24(64, 48, bg, false));
    r().background_load(bmp.c_str());
    EXPECT_EQ(app_state.error_code, 0);
    EXPECT_EQ(r().background(0).columns, 1);
    r().fill_rect(0, 0, 10, 10, k_red);
    r().prepare_next_frame();
    EXPECT_EQ(r().read_pixel(5, 5), 0x303030);
    EXPECT_EQ(r().read_pixel(63, 47), static_cast<std::int32_t>(k_key));
    r().background_load(dir.file("missing.bmp").c_str());
    EXPECT_EQ(app_state.error_code, 3);
    EXPECT_EQ(r().background(0).columns, 0);
}

}  // namespace
}  // namespace crv
