// crvfont's images as the run-time reads them: made from a font Debian
// ships, loaded with font_load and measured and printed on a real window,
// against the advances and bitmaps FreeType itself gives for that font.
#include "render2d/rainbows.hpp"
#include "runtime/app_state.hpp"
#include "tests/support/gl_window.hpp"
#include "tests/tools/tool_run.hpp"

#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace crv {
namespace {

const std::string k_fonts = "/usr/share/fonts/truetype/dejavu/";
const std::string k_sans = k_fonts + "DejaVuSans.ttf";
const std::string k_mono = k_fonts + "DejaVuSansMono.ttf";

// The font at a pixel size, as FreeType renders it with its default
// hinting.
class FreeTypeFont {
public:
    FreeTypeFont(const std::string& path, int size) {
        ok_ = FT_Init_FreeType(&library_) == 0 && FT_New_Face(library_, path.c_str(), 0, &face_) == 0 &&
              FT_Set_Pixel_Sizes(face_, 0, static_cast<FT_UInt>(size)) == 0;
    }
    ~FreeTypeFont() {
        if (face_ != nullptr) FT_Done_Face(face_);
        if (library_ != nullptr) FT_Done_FreeType(library_);
    }
    FreeTypeFont(const FreeTypeFont&) = delete;
    FreeTypeFont& operator=(const FreeTypeFont&) = delete;

    bool ok() const { return ok_; }
    bool has(int code) const { return FT_Get_Char_Index(face_, static_cast<FT_ULong>(code)) != 0; }
    // The pen advance in whole pixels; 0 for a character the font lacks.
    int advance(int code) const {
        if (!has(code) || FT_Load_Char(face_, static_cast<FT_ULong>(code), FT_LOAD_DEFAULT) != 0) return 0;
        return static_cast<int>((face_->glyph->advance.x + 32) >> 6);
    }
    // Adds the character's coverage to a w-wide picture with the pen at
    // (pen_x, baseline), keeping only columns pen_x..right.
    void draw(int code, int pen_x, int baseline, int right, std::vector<int>& picture, int w) const {
        ASSERT_EQ(FT_Load_Char(face_, static_cast<FT_ULong>(code), FT_LOAD_RENDER), 0);
        const FT_GlyphSlot g = face_->glyph;
        const int h = static_cast<int>(picture.size()) / w;
        for (int y = 0; y < static_cast<int>(g->bitmap.rows); ++y)
            for (int x = 0; x < static_cast<int>(g->bitmap.width); ++x) {
                const int px = pen_x + g->bitmap_left + x, py = baseline - g->bitmap_top + y;
                if (px < pen_x || px > right || px >= w || py < 0 || py >= h) continue;
                picture[static_cast<std::size_t>(py * w + px)] = g->bitmap.buffer[y * g->bitmap.pitch + x];
            }
    }

private:
    FT_Library library_ = nullptr;
    FT_Face face_ = nullptr;
    bool ok_ = false;
};

std::string one(int code) { return std::string(1, static_cast<char>(code)); }

class Crvfont : public test::GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        r().font_colour_key = 0;
    }
    void TearDown() override {
        r().font_load("", 1);
        r().font_select(0);
    }

    // Makes a font image with crvfont and loads it into slot 1.
    void load(const std::vector<std::string>& args) {
        const std::string out = dir.file("font.png");
        std::vector<std::string> argv{CRVFONT};
        argv.insert(argv.end(), args.begin(), args.end());
        argv.insert(argv.begin() + 3, out);
        const test::ChildResult made = test::run_tool(argv);
        ASSERT_EQ(made.exit_code, 0) << test::shown(argv) << "\n" << made.errors;
        r().font_load(out.c_str(), 1);
        ASSERT_EQ(app_state.error_code, 0) << test::shown(argv);
        r().font_get_size(&cell_w, &cell_h);
    }
    int width(const std::string& text, bool proportional) {
        return r().text_width(text.data(), static_cast<std::int32_t>(text.size()), proportional);
    }
    void print(const std::string& text, float x, float y, bool proportional) {
        r().text_print(text.data(), static_cast<std::int32_t>(text.size()), x, y, proportional);
    }
    // The window's red channel, rows top-down.
    std::vector<int> picture() {
        r().flush();
        const int w = r().width, h = r().height;
        std::vector<std::uint8_t> rgb(static_cast<std::size_t>(w * h * 3));
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
        std::vector<int> red(static_cast<std::size_t>(w * h));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) red[static_cast<std::size_t>(y * w + x)] = rgb[static_cast<std::size_t>(((h - 1 - y) * w + x) * 3)];
        return red;
    }

    test::TempDir dir;
    std::int32_t cell_w = 0, cell_h = 0;
};

TEST_F(Crvfont, ProportionalAdvancesAreTheFontsOwn) {
    struct Case {
        int size, outline;
        std::string chars;  // empty: the default
        bool wide;          // 128 glyphs
    };
    const Case cases[] = {
        {16, 0, "", false},
        {9, 0, "", false},
        {23, 0, "32-255", false},
        {16, 2, "", false},
        {12, 1, "32-126", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("size " + std::to_string(c.size) + " outline " + std::to_string(c.outline) + " chars " +
                     c.chars);
        std::vector<std::string> args{k_sans, std::to_string(c.size)};
        if (c.outline > 0) args.insert(args.end(), {"--outline", std::to_string(c.outline)});
        if (!c.chars.empty()) args.insert(args.end(), {"--chars", c.chars});
        load(args);
        if (HasFatalFailure()) return;
        FreeTypeFont font(k_sans, c.size);
        ASSERT_TRUE(font.ok());

        const SpriteRecord& image = r().sprite(k_font_sprite_base + 1);
        EXPECT_EQ(image.image_width > image.image_height, c.wide);
        const int last = c.wide ? 126 : 255;
        int widest = 0;
        for (int code = 32; code <= last; ++code)
            if (code < 127 || code >= 160 || c.chars == "32-255") widest = std::max(widest, font.advance(code));
        EXPECT_EQ(cell_w, widest + 2 * c.outline);

        const int pad = 2 * c.outline;
        for (int code = 33; code <= last; ++code) {
            if (code >= 127 && code < 160) continue;
            ASSERT_TRUE(font.has(code)) << code;
            EXPECT_EQ(width(one(code), true), font.advance(code) + pad) << "code " << code;
        }
        // The run-time makes a space as wide as j.
        EXPECT_EQ(width(" ", true), font.advance('j') + pad);
        const std::string text = "Hello, World";
        int sum = 0;
        for (char ch : text) sum += ch == ' ' ? font.advance('j') + pad : font.advance(ch) + pad;
        EXPECT_EQ(width(text, true), sum);
        EXPECT_EQ(width(text, false), static_cast<int>(text.size()) * cell_w);
        // Cells not drawn (control codes; in a 128-glyph font, the copies
        // of 0..127 stand for 128..255) advance by the cell width.
        if (c.wide) {
            EXPECT_EQ(width("\xC1", true), width("A", true));
        } else {
            EXPECT_EQ(width("\x82", true), cell_w);
        }
    }
}

TEST_F(Crvfont, PrintedTextIsFreeTypesOwnRendering) {
    load({k_sans, "16"});
    ASSERT_FALSE(HasFatalFailure());
    FreeTypeFont font(k_sans, 16);
    ASSERT_TRUE(font.ok());
    const int w = r().width, h = r().height;
    struct Line {
        std::string text;
        int x, y;
    };
    const Line lines[] = {{"Wave", 1, 1}, {"fj;Ag", 0, 24}};

    // FreeType's picture of the lines with a baseline dy below each line's
    // top: each glyph's ink inside its own advance (its last column is the
    // spacing pixel).
    auto reference = [&](int dy) {
        std::vector<int> picture(static_cast<std::size_t>(w * h), 0);
        for (const Line& line : lines) {
            int pen = line.x;
            for (char ch : line.text) {
                font.draw(ch, pen, line.y + dy, pen + font.advance(ch) - 2, picture, w);
                pen += font.advance(ch);
            }
        }
        return picture;
    };
    // With the alpha test a texel shows white when its alpha passes 0.05
    // (13 of 255 and up); blended over black it shows as its coverage.
    // Either way the measuring marks (alpha 1) never show.
    auto mismatches = [&](const std::vector<int>& expected, const std::vector<int>& actual, bool blended) {
        int n = 0;
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const int e = expected[i], a = actual[i];
            const bool wrong = blended ? std::abs(a - e) > 2 : (e >= 14 && a != 255) || (e <= 12 && a != 0);
            n += wrong ? 1 : 0;
        }
        return n;
    };

    for (bool blended : {false, true}) {
        SCOPED_TRACE(blended ? "blended" : "alpha test");
        r().fill_rect(0, 0, w, h, 0);
        if (blended) r().set_alpha_mode(-1);
        for (const Line& line : lines) print(line.text, static_cast<float>(line.x), static_cast<float>(line.y), true);
        const std::vector<int> actual = picture();
        r().reset_frame_state();
        // The baseline lies where the picture fits best; there it must fit
        // exactly.
        int best = -1, fewest = w * h;
        for (int dy = 0; dy < cell_h; ++dy) {
            const int n = mismatches(reference(dy), actual, blended);
            if (n < fewest) {
                fewest = n;
                best = dy;
            }
        }
        EXPECT_EQ(fewest, 0) << "best baseline " << best;
        int lit = 0;
        for (int v : actual) lit += v >= 128 ? 1 : 0;
        EXPECT_GT(lit, 150);
    }
}

TEST_F(Crvfont, FixedFontsAdvanceByTheCellInBothModes) {
    // A fixed-width font keeps its advance; a proportional one made fixed
    // gets the widest advance, each glyph in the middle of its cell.
    for (const std::string& path : {k_mono, k_sans}) {
        SCOPED_TRACE(path);
        load({path, "15", "--fixed"});
        ASSERT_FALSE(HasFatalFailure());
        FreeTypeFont font(path, 15);
        ASSERT_TRUE(font.ok());
        int widest = 0;
        for (int code = 32; code <= 255; ++code)
            if (code < 127 || code >= 160) widest = std::max(widest, font.advance(code));
        EXPECT_EQ(cell_w, widest);
        if (path == k_mono) {
            EXPECT_EQ(cell_w, font.advance('M'));
        }
        for (int code = 32; code <= 255; ++code) {
            if (code >= 127 && code < 160) continue;
            EXPECT_EQ(width(one(code), true), cell_w) << "code " << code;
        }
        const std::string text = "il Mw.";
        EXPECT_EQ(width(text, true), width(text, false));

        r().fill_rect(0, 0, r().width, r().height, 0);
        print("i", 0, 0, false);
        const std::vector<int> actual = picture();
        int sum = 0, count = 0;
        for (int y = 0; y < cell_h; ++y)
            for (int x = 0; x < r().width; ++x)
                if (actual[static_cast<std::size_t>(y * r().width + x)] >= 128) {
                    sum += x;
                    ++count;
                }
        ASSERT_GT(count, 0);
        EXPECT_NEAR(static_cast<double>(sum) / count, (cell_w - 1) / 2.0, 1.5);
    }
}

TEST_F(Crvfont, OutlinesAreDarkAroundWhiteGlyphs) {
    load({k_sans, "20", "--outline", "2", "--chars", "73"});  // "I" only
    ASSERT_FALSE(HasFatalFailure());
    const int w = r().width;
    r().fill_rect(0, 0, w, r().height, 0x604020);
    print("I", 0, 0, true);
    const std::vector<int> actual = picture();
    // The middle row of the cell: background, dark outline, white stem,
    // dark outline, background.
    const int y = cell_h / 2;
    std::string runs;
    for (int x = 0; x < w; ++x) {
        const int v = actual[static_cast<std::size_t>(y * w + x)];
        const char kind = v == 0x20 ? 'b' : v < 0x20 ? 'o' : v >= 200 ? 'W' : '?';
        if (runs.empty() || runs.back() != kind) runs += kind;
    }
    EXPECT_EQ(runs, "boWob") << "red channel along row " << y;
}

// A UTF-8 name as the file system's own.
std::filesystem::path path_of(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string bytes_of(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Names beyond ASCII, with letters no single ANSI code page holds all of
// (German ones, the euro sign, a Cyrillic one), reach the files: the image is the one a plain name gets, and it replaces the
// file that was there, leaving nothing else behind.
TEST(CrvfontFileNames, NamesBeyondAsciiReadAndWriteTheSameImage) {
    test::TempDir dir;
    const std::string font = dir.file("Schrift \xC3\xA4\xC3\x9F\xE2\x82\xAC\xD0\x96.ttf");
    const std::string out = dir.file("Bild \xC3\xBC\xE2\x82\xAC\xD0\x96.png");
    const std::string plain = dir.file("plain.png");
    std::filesystem::copy_file(k_sans, path_of(font));
    std::ofstream(path_of(out), std::ios::binary) << "older";

    const test::ChildResult named = test::run_tool({CRVFONT, font, "12", out});
    ASSERT_EQ(named.exit_code, 0) << named.errors;
    EXPECT_EQ(named.output.rfind(out + ": ", 0), 0u) << named.output;
    const test::ChildResult reference = test::run_tool({CRVFONT, k_sans, "12", plain});
    ASSERT_EQ(reference.exit_code, 0) << reference.errors;
    const std::string image = bytes_of(path_of(out));
    EXPECT_EQ(image.compare(0, 4, "\x89PNG"), 0);
    EXPECT_TRUE(image == bytes_of(path_of(plain)));
    const auto entries = std::distance(std::filesystem::directory_iterator(path_of(dir.path())),
                                       std::filesystem::directory_iterator());
    EXPECT_EQ(entries, 3);
}

}  // namespace
}  // namespace crv
