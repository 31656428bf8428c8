// Bitmap fonts and the text input line on a real window.
#include "runtime/app_state.hpp"
#include <corvane/app.hpp>
#include "input/input.hpp"
#include "render2d/image.hpp"
#include "render2d/rainbows.hpp"
#include "tests/render2d/render2d_support.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/gl_window.hpp"

#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <filesystem>

namespace crv {
namespace {

using test::Bytes;

std::int32_t width_of(OpenGLRainbows& r, const char* text, bool proportional) {
    return r.text_width(text, static_cast<std::int32_t>(std::strlen(text)), proportional);
}

void print(OpenGLRainbows& r, const char* text, float x, float y, bool proportional) {
    r.text_print(text, static_cast<std::int32_t>(std::strlen(text)), x, y, proportional);
}

// A font image of 8 x 8 cells (128 x 64, so 128 glyphs) on black, which the
// font colour key 0 makes transparent. Glyph k is lit from column left to
// column right of its cell, in its own colour.
struct GlyphBar { int code, left, right; std::uint32_t rgb; };
const GlyphBar k_bars[] = {{'A', 2, 6, 0x0000ff}, {'i', 3, 3, 0x00ff00}, {'W', 0, 7, 0xff0000},
                           {'j', 1, 3, 0x00ffff}, {'b', 0, 4, 0xffffff}};

Bytes bar_font_png() {
    Bytes rgb(128 * 64 * 3, 0);
    for (const GlyphBar& g : k_bars) {
        int cx = (g.code % 16) * 8, cy = (g.code / 16) * 8;
        for (int y = 1; y < 7; ++y)
            for (int x = g.left; x <= g.right; ++x) {
                std::uint8_t* p = &rgb[(static_cast<std::size_t>(cy + y) * 128 + cx + x) * 3];
                p[0] = static_cast<std::uint8_t>(g.rgb);
                p[1] = static_cast<std::uint8_t>(g.rgb >> 8);
                p[2] = static_cast<std::uint8_t>(g.rgb >> 16);
            }
    }
    return test::make_png({128, 64, PNG_COLOR_TYPE_RGB, 8, rgb});
}

class Fonts : public test::GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        r().set_colour_key(k_default_colour_key);
        r().font_colour_key = 0;
        r().font_install_builtin(0);
        r().font_select(0);
    }
    void TearDown() override {
        for (int slot = 1; slot < k_font_count; ++slot) r().font_load("", slot);
        r().font_select(0);
    }
    test::TempDir dir;
};

TEST_F(Fonts, BuiltInFontGolden) {
    std::int32_t w = 0, h = 0;
    r().font_get_size(&w, &h);
    EXPECT_EQ(w, 8);
    EXPECT_EQ(h, 8);
    EXPECT_EQ(width_of(r(), "Hello", false), 40);
    EXPECT_EQ(width_of(r(), "Hello", true), 40);
    r().fill_rect(0, 0, 64, 48, 0x604020);
    print(r(), "AaBb0123", 0, 0, false);
    print(r(), "gjpqy,;@", 0, 8, false);
    print(r(), "{~}[|]<>", 0, 16, true);
    print(r(), "Hi $5%!?", 0.4f, 24.2f, false);  // pen starts at (1, 25)
    print(r(), "xyz\x7f#&*/", 0, 34, false);
    // Lit pixels are opaque white with a dark outline of value 8.
    EXPECT_EQ(r().read_pixel(2, 1), 0xffffff);  // the top of the A
    EXPECT_EQ(r().read_pixel(1, 1), 0x080808);
    EXPECT_EQ(r().read_pixel(0, 0), 0x604020);  // cell border stays transparent
    EXPECT_TRUE(test::matches_golden(r(), "font_builtin"));
}

TEST_F(Fonts, MeasuredProportionalFontGolden) {
    std::string name = dir.file("bars.png");
    test::write_file(name, bar_font_png());
    app_state.error_code = 99;
    r().font_load(name.c_str(), 2);
    EXPECT_EQ(app_state.error_code, 0);
    EXPECT_EQ(r().current_font(), 2);
    // left and advance: a glyph lit from 3 to 9 of a 16-pixel cell gets
    // advance 8; here cells are 8 wide.
    struct Expect { int code, left, advance; };
    const Expect expect[] = {{'A', 2, 6}, {'i', 3, 2}, {'W', 0, 8}, {'j', 1, 4}, {'b', 0, 6}, {'Z', 0, 8}};
    for (const Expect& e : expect) {
        EXPECT_EQ(r().glyph(2, e.code).left, e.left) << char(e.code);
        EXPECT_EQ(r().glyph(2, e.code).advance, e.advance) << char(e.code);
        EXPECT_EQ(r().glyph(2, e.code + 128).advance, e.advance) << "copy of " << char(e.code);
    }
    // A space is as wide as j.
    EXPECT_EQ(r().glyph(2, ' ').advance, 4);
    EXPECT_EQ(width_of(r(), "A b", true), 6 + 4 + 6);
    EXPECT_EQ(width_of(r(), "AiW jA", true), 6 + 2 + 8 + 4 + 4 + 6);
    EXPECT_EQ(width_of(r(), "AiW jA", false), 6 * 8);
    EXPECT_EQ(width_of(r(), "", true), 0);
    EXPECT_EQ(width_of(r(), "", false), 0);

    r().fill_rect(0, 0, 64, 48, 0x202020);
    print(r(), "AiW jA", 1, 2, true);
    print(r(), "AiW jA", 1, 12, false);
    print(r(), "bb\x80W", 1, 24, true);  // byte 128 is glyph 0 of a 128-glyph font: the text ends there
    EXPECT_EQ(r().read_pixel(1 + 2, 3), 0x0000ff);  // A's first lit column sits at the pen
    EXPECT_TRUE(test::matches_golden(r(), "font_proportional"));
}

TEST_F(Fonts, SlotsErrorsAndTallFonts) {
    // 256 x 256: 16 x 16 cells, 256 glyphs; 256 x 128: 16 x 16 cells, 128
    // glyphs, the upper half repeating the lower.
    Bytes square(256 * 256 * 3, 0);
    square[(static_cast<std::size_t>(8 * 16 + 8) * 256 + 8 * 16 + 3) * 3] = 255;  // glyph 136, column 3
    std::string name = dir.file("square.png");
    test::write_file(name, test::make_png({256, 256, PNG_COLOR_TYPE_RGB, 8, square}));
    r().font_load(name.c_str(), 3);
    std::int32_t w = 0, h = 0;
    r().font_get_size(&w, &h);
    EXPECT_EQ(w, 16);
    EXPECT_EQ(h, 16);
    EXPECT_EQ(r().glyph(3, 136).left, 3);
    EXPECT_EQ(r().glyph(3, 8).advance, 16);
    Bytes wide(256 * 128 * 3, 0);
    wide[(static_cast<std::size_t>(2 * 16 + 8) * 256 + 8 * 16 + 3) * 3] = 255;  // glyph 40, column 3
    test::write_file(name, test::make_png({256, 128, PNG_COLOR_TYPE_RGB, 8, wide}));
    r().font_load(name.c_str(), 3);
    r().font_get_size(&w, &h);
    EXPECT_EQ(w, 16);
    EXPECT_EQ(h, 16);
    EXPECT_EQ(r().glyph(3, 40).left, 3);
    EXPECT_EQ(r().glyph(3, 40 + 128).left, 3);
    EXPECT_EQ(r().glyph(3, 40).advance, 2);

    // A file that cannot be read gives code 3 and the built-in font.
    r().font_load(dir.file("missing.png").c_str(), 4);
    EXPECT_EQ(app_state.error_code, 3);
    EXPECT_EQ(r().current_font(), 4);
    r().font_get_size(&w, &h);
    EXPECT_EQ(w, 8);
    // JPEG is not accepted for fonts.
    std::string jpg = dir.file("font.jpg");
    Bytes pixels = test::solid(128, 64, 0xffffff);
    ASSERT_TRUE(write_image_file(jpg.c_str(), pixels.data(), 128, 64));
    r().font_load(jpg.c_str(), 5);
    EXPECT_EQ(app_state.error_code, 3);

    // Slots out of range: code 7, the current font stays.
    r().font_select(1);
    r().font_select(32);
    EXPECT_EQ(app_state.error_code, 7);
    EXPECT_EQ(r().current_font(), 1);
    r().font_load(name.c_str(), -1);
    EXPECT_EQ(app_state.error_code, 7);
    // Free slots: the first whose image is narrower than 16 pixels; 31 is
    // never reported.
    EXPECT_EQ(r().font_free_slot(), 1);
    for (int slot = 1; slot < 31; ++slot) r().font_install_builtin(slot);
    EXPECT_EQ(r().font_free_slot(), -1);
}

TEST_F(Fonts, DefaultFontFilesInTheirOrder) {
    std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    // Nothing there: the built-in font stays.
    r().load_default_font();
    std::int32_t w = 0, h = 0;
    r().font_get_size(&w, &h);
    EXPECT_EQ(w, 8);
    // smalfont.bmp is found; Media/smalfont.bmp comes before it.
    test::write_file(dir.file("smalfont.bmp"), test::make_bmp24(160, 80, test::solid(160, 80, 0xffffff), false));
    std::filesystem::create_directory(dir.file("Media"));
    test::write_file(dir.file("Media/smalfont.bmp"), test::make_bmp24(192, 96, test::solid(192, 96, 0xffffff), false));
    r().load_default_font();
    r().font_get_size(&w, &h);
    EXPECT_EQ(w, 12);
    EXPECT_EQ(h, 12);
    std::filesystem::remove(dir.file("Media/smalfont.bmp"));
    r().load_default_font();
    r().font_get_size(&w, &h);
    EXPECT_EQ(w, 10);
    std::filesystem::current_path(previous);
}

class TextInput : public Fonts {
protected:
    void SetUp() override {
        Fonts::SetUp();
        app_state.input = new InputSystem(r().window);
    }
    void TearDown() override {
        delete app_state.input;
        app_state.input = nullptr;
        Fonts::TearDown();
    }
    void type(const char* keys) {
        for (const char* p = keys; *p != 0; ++p) app_state.input->offer_char(static_cast<unsigned char>(*p));
    }
};

TEST_F(TextInput, EditsTheTextUntilEnterOrLineFeed) {
    struct Case { const char* start; const char* keys; const char* result; };
    const Case cases[] = {
        {"", "\b\bab\bc\r", "ac"},      // backspace on an empty text does nothing
        {"start", "\b\b\bop\n", "stop"},  // a starting text is edited; line feed ends
        {"x", "\n", "x"},
    };
    for (const Case& c : cases) {
        DynString text(c.start);
        type(c.keys);
        DynString result = input_text(text, 4, 4, 0);
        EXPECT_EQ(result, c.result) << c.keys;
        EXPECT_EQ(text, c.result);
        EXPECT_EQ(r().background(3).columns, 0) << "the frozen picture is released";
    }
    type("-42x\r");
    EXPECT_EQ(input_integer(0, 0, 1), -42);
    type("2.5e1\r");
    EXPECT_DOUBLE_EQ(input_number(0, 0, 0), 25.0);
}

}  // namespace
}  // namespace crv
