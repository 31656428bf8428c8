// Off-screen surfaces (framebuffer objects and the emulated path), grabbing,
// backgrounds from the screen, screenshots and saved sprites.
#include "runtime/app_state.hpp"
#include "render2d/image.hpp"
#include "render2d/rainbows.hpp"
#include "tests/render2d/render2d_support.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/gl_window.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace crv {
namespace {

using test::Bytes;

constexpr std::int32_t k_red = 0x0000ff, k_green = 0x00ff00, k_key = 0x8000ff;

class Surfaces : public test::GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        saved_fbo_ = r().fbo_supported;
        saved_alpha_ = r().framebuffer_alpha_bits;
        saved_bgra_ = r().bgra_supported;
        r().font_install_builtin(0);
        r().font_select(0);
    }
    void TearDown() override {
        r().surface_use(-1);
        r().fbo_supported = saved_fbo_;
        r().framebuffer_alpha_bits = saved_alpha_;
        r().bgra_supported = saved_bgra_;
        for (int n : {10, 20, 21}) r().free_sprite(n);
        r().release_background(0);
    }
    // Draws a small scene into surface 0 (sprite 10) and the surface back
    // onto the window.
    void draw_through_surface() {
        r().fill_rect(0, 0, 64, 48, 0x336699);
        r().surface_create(0, 10, 40, 24);
        const SpriteRecord& s = r().sprite(10);
        EXPECT_EQ(s.image_width, 40);
        EXPECT_EQ(s.texture_width, 64);
        EXPECT_EQ(s.texture_height, 32);
        r().surface_use(0);
        std::int32_t x = 0, y = 0, w = 0, h = 0;
        r().get_viewport(&x, &y, &w, &h);
        EXPECT_EQ(w, 40);
        EXPECT_EQ(h, 24);
        r().fill_rect(0, 0, 40, 24, 0x802020);
        r().fill_rect(1, 1, 8, 4, k_red);
        r().draw_line(0, 23, 39, 12, 0x00ffff);
        r().text_print("Up", 2, 20, 10, false);
        r().draw_point(39, 23, 0xffffff);
        EXPECT_EQ(r().read_pixel(1, 1), k_red);
        EXPECT_EQ(r().read_pixel(39, 23), 0xffffff);
        r().surface_use(-1);
        EXPECT_EQ(r().current_surface, -1);
        // The window outside the surface is untouched; with emulation the
        // area under the surface is given back too.
        EXPECT_EQ(r().read_pixel(50, 40), 0x336699);
        EXPECT_EQ(r().read_pixel(5, 5), 0x336699);
        r().set_clear_colour(0);
        r().sprite_draw(10, 12, 12);
    }

private:
    bool saved_fbo_ = false, saved_bgra_ = false;
    std::int32_t saved_alpha_ = -1;
};

TEST_F(Surfaces, FramebufferObjectSurfaceDrawnBackUprightGolden) {
    if (!r().fbo_supported) GTEST_SKIP() << "no framebuffer objects on this driver";
    draw_through_surface();
    EXPECT_NE(r().surface(0).framebuffer, 0u);
    EXPECT_EQ(r().read_pixel(13, 13), k_red);  // the surface's top-left corner, upright
    EXPECT_TRUE(test::matches_golden(r(), "surface_upright"));
}

TEST_F(Surfaces, EmulatedSurfaceGivesTheSamePicture) {
    for (int alpha_bits : {0, 8}) {
        r().fbo_supported = false;
        r().framebuffer_alpha_bits = alpha_bits;
        r().set_clear_colour(0);
        draw_through_surface();
        EXPECT_EQ(r().surface(0).framebuffer, 0u);
        EXPECT_EQ(r().read_pixel(13, 13), k_red);
        EXPECT_TRUE(test::matches_golden(r(), "surface_upright")) << "alpha bits " << alpha_bits;
    }
}

TEST_F(Surfaces, LeavingTheWindowOnlyResetsTheViewport) {
    r().set_viewport(10, 10, 20, 20);
    r().surface_use(-1);
    std::int32_t x = 1, y = 1, w = 0, h = 0;
    r().get_viewport(&x, &y, &w, &h);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(w, 64);
    EXPECT_EQ(h, 48);
    r().surface_use(31);  // never created: nothing happens
    EXPECT_EQ(r().current_surface, -1);
}

TEST_F(Surfaces, GrabbedSpriteHasKeyedPixelsTransparentGolden) {
    r().framebuffer_alpha_bits = 0;  // the read-back path
    r().fill_rect(0, 0, 64, 48, 0x102030);
    r().fill_rect(4, 4, 16, 12, k_green);
    r().fill_rect(8, 6, 6, 6, k_key);
    r().draw_line(0, 19, 23, 19, k_key);
    r().sprite_grab(20, 0, 0, 24, 20);
    EXPECT_EQ(r().read_pixel(4, 4), k_green);  // the key probe left no trace
    const SpriteRecord& s = r().sprite(20);
    EXPECT_EQ(s.image_width, 24);
    EXPECT_EQ(s.image_height, 20);
    EXPECT_EQ(s.texture_width, 32);
    r().set_clear_colour(0);
    r().fill_rect(0, 0, 64, 48, 0x800000);
    r().sprite_draw(20, 30, 20);
    EXPECT_EQ(r().read_pixel(30 + 9, 20 + 7), 0x800000);
    EXPECT_TRUE(test::matches_golden(r(), "grab_keyed"));
}

TEST_F(Surfaces, GrabUnderATurnedScreenIsUpright) {
    r().framebuffer_alpha_bits = 0;
    r().set_orientation(1);
    r().fill_rect(0, 0, 48, 64, 0x102030);
    r().fill_rect(2, 1, 5, 3, k_red);
    r().draw_line(0, 9, 9, 0, k_green);
    r().sprite_grab(21, 0, 0, 10, 12);
    DynArray<std::int32_t> pixels;
    ASSERT_TRUE(r().sprite_to_pixels(pixels, 21));
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 10; ++x) ASSERT_EQ(pixels(y * 10 + x) & 0xffffff, r().read_pixel(x, y)) << x << "," << y;
    r().set_orientation(0);
}

TEST_F(Surfaces, BackgroundFromScreenComesBackAfterEachSwap) {
    for (bool bgra : {true, false}) {
        r().bgra_supported = bgra;
        r().set_clear_colour(0);
        r().fill_rect(0, 0, 64, 48, 0x204060);
        r().fill_rect(3, 5, 20, 9, k_red);
        r().draw_line(63, 0, 0, 47, k_green);
        Bytes before = test::window_rgb(r());
        r().background_from_screen(0);
        EXPECT_EQ(r().background(0).texture_width[0], 128);
        r().fill_rect(0, 0, 64, 48, 0);
        r().prepare_next_frame();
        EXPECT_EQ(test::window_rgb(r()), before) << "bgra " << bgra;
    }
}

// The file decoded by ImageMagick as RGB rows, or empty.
Bytes magick_rgb(const std::string& file, const std::string& raw) {
    std::string command = "convert '" + file + "' -depth 8 rgb:'" + raw + "' 2>/dev/null";
    if (std::system(command.c_str()) != 0) return {};
    return test::read_file(raw);
}

TEST_F(Surfaces, ScreenshotsAndSavedSpritesReadBackElsewhere) {
    if (std::system("convert -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "ImageMagick is not installed";
    test::TempDir dir;
    r().fill_rect(0, 0, 64, 48, 0x204060);
    r().fill_rect(3, 5, 20, 9, k_red);
    r().fill_rect(30, 20, 30, 20, 0xe0e0e0);
    r().draw_line(63, 0, 0, 47, k_green);
    Bytes window = test::window_rgb(r());
    for (const char* name : {"shot.png", "shot.BMP", "shot.jpg"}) {
        app_state.error_code = 99;
        ASSERT_TRUE(r().screenshot_save(dir.file(name).c_str())) << name;
        EXPECT_EQ(app_state.error_code, 0);
        Bytes rgb = magick_rgb(dir.file(name), dir.file("raw"));
        ASSERT_EQ(rgb.size(), window.size()) << name;
        if (std::strstr(name, ".jpg") == nullptr) {
            EXPECT_EQ(rgb, window) << name;
        } else {
            // Quality 80: flat areas come back close, edges less so.
            EXPECT_NEAR(rgb[(30 * 64 + 45) * 3], 0xe0, 4);
            EXPECT_NEAR(rgb[(7 * 64 + 10) * 3], 0xff, 12);
        }
    }
    EXPECT_EQ(r().sprite_free_slot(), 0) << "the screenshot's sprite is freed";

    ASSERT_TRUE(r().sprite_from_pixels(20, test::pixel_array(test::solid(3, 2, 0x123456)), 3, 2));
    struct Case { const char* name; Bytes magic; };
    const Case cases[] = {{"s.PNG", {0x89, 'P', 'N', 'G'}}, {"s.jpg", {0xff, 0xd8}}, {"s.bmp", {'B', 'M'}},
                          {"s.tga", {'B', 'M'}}, {"s", {'B', 'M'}}};
    for (const Case& c : cases) {
        ASSERT_TRUE(r().sprite_save(dir.file(c.name).c_str(), 20)) << c.name;
        Bytes bytes = test::read_file(dir.file(c.name));
        ASSERT_GE(bytes.size(), c.magic.size());
        EXPECT_TRUE(std::equal(c.magic.begin(), c.magic.end(), bytes.begin())) << c.name;
    }
    Bytes rgb = magick_rgb(dir.file("s.PNG"), dir.file("raw"));
    EXPECT_EQ(rgb, (Bytes{0x56, 0x34, 0x12, 0x56, 0x34, 0x12, 0x56, 0x34, 0x12, 0x56, 0x34, 0x12, 0x56, 0x34,
                          0x12, 0x56, 0x34, 0x12}));
    EXPECT_FALSE(r().sprite_save(dir.file("no/such/folder/s.png").c_str(), 20));
    EXPECT_EQ(app_state.error_code, 3);
    EXPECT_FALSE(r().sprite_save(dir.file("empty.png").c_str(), 21));
    EXPECT_EQ(app_state.error_code, 3);
}

TEST_F(Surfaces, ASpriteSavedAsBmpKeepsItsTransparencyUnderTheDefaultKey) {
    // The BMP has no alpha: pixels that are not opaque are written in the
    // default colour key, which loading with that key turns back into
    // transparency.
    test::TempDir dir;
    Bytes picture = test::solid(3, 2, 0x123456);
    test::put(picture, 3, 1, 0, 0x654321, 0);
    test::put(picture, 3, 2, 1, 0xabcdef, 128);
    ASSERT_TRUE(r().sprite_from_pixels(20, test::pixel_array(picture), 3, 2));
    ASSERT_TRUE(r().sprite_save(dir.file("s.bmp").c_str(), 20));
    r().sprite_load(dir.file("s.bmp").c_str(), 21);
    DynArray<std::int32_t> back;
    ASSERT_TRUE(r().sprite_to_pixels(back, 21));
    ASSERT_EQ(back.element_count(), 6);
    for (int i = 0; i < 6; ++i) {
        std::uint32_t pixel = static_cast<std::uint32_t>(back.element_at(i));
        bool opaque = i != 1 && i != 5;
        EXPECT_EQ(pixel >> 24, opaque ? 255u : 0u) << i;
        if (opaque) {
            EXPECT_EQ(pixel & 0xffffff, 0x123456u) << i;
        }
    }
}

}  // namespace
}  // namespace crv
