// The image decoders and writers on files made byte by byte: the formats'
// edge cases and a set of damaged files, which must fail cleanly.
#include "render2d/image.hpp"

#include "sys/resource.hpp"
#include "tests/render2d/jpeg_fixtures.hpp"
#include "tests/render2d/render2d_support.hpp"
#include "tests/support/child_process.hpp"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstring>

namespace crv {
namespace {

using test::Bytes;

std::uint32_t rgba_at(const DecodedImage& image, int x, int y) {
    const std::uint8_t* p = image.row(y) + x * 4;
    return static_cast<std::uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16)) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// A small picture with a different colour in every pixel.
Bytes pattern(int w, int h) {
    Bytes rgba(static_cast<std::size_t>(w) * h * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) test::put(rgba, w, x, y, static_cast<std::uint32_t>(x * 40 + (y * 50 << 8) + 0x300000));
    return rgba;
}

class ImageFiles : public ::testing::Test {
protected:
    std::string save(const std::string& name, const Bytes& bytes) {
        std::string path = dir.file(name);
        test::write_file(path, bytes);
        return path;
    }
    test::TempDir dir;
};

TEST_F(ImageFiles, BmpRowOrderBitCountsAndPalettes) {
    Bytes rgba = pattern(5, 3);
    DecodedImage up, down;
    ASSERT_TRUE(decode_bmp(up, save("up.bmp", test::make_bmp24(5, 3, rgba, false)).c_str(), k_no_colour_key));
    ASSERT_TRUE(decode_bmp(down, save("down.bmp", test::make_bmp24(5, 3, rgba, true)).c_str(), k_no_colour_key));
    EXPECT_EQ(up.width, 5);
    EXPECT_EQ(up.height, 3);
    EXPECT_EQ(up.pixels, rgba);
    EXPECT_EQ(down.pixels, rgba);

    // 16 bits: 5 bits per channel, all set is white; 0x7C00 is pure red.
    test::BmpLayout s16;
    s16.width = 2;
    s16.height = 1;
    s16.bits = 16;
    s16.rows = {0xff, 0x7f, 0x00, 0x7c};
    DecodedImage image;
    ASSERT_TRUE(decode_bmp(image, save("16.bmp", test::make_bmp(s16)).c_str(), k_no_colour_key));
    EXPECT_EQ(rgba_at(image, 0, 0), 0xffffffffu);
    EXPECT_EQ(rgba_at(image, 1, 0), 0xff0000ffu);

    // 1, 4 and 8 bits: palette indices, most significant bits first.
    struct Paletted { std::uint16_t bits; Bytes row; };
    const Paletted cases[] = {{1, {0x40, 0, 0, 0}}, {4, {0x01, 0x00, 0, 0}}, {8, {0, 1, 0, 0, 0, 0, 0, 0}}};
    for (const Paletted& c : cases) {
        test::BmpLayout s;
        s.width = c.bits == 8 ? 2 : 2;
        s.height = 1;
        s.bits = c.bits;
        s.palette = {0x112233, 0xAABBCC};
        s.rows = c.row;
        ASSERT_TRUE(decode_bmp(image, save("p.bmp", test::make_bmp(s)).c_str(), k_no_colour_key)) << c.bits;
        EXPECT_EQ(rgba_at(image, 0, 0), 0xff332211u) << c.bits;
        EXPECT_EQ(rgba_at(image, 1, 0), 0xffccbbaau) << c.bits;
    }

    // A 32-bit pixel's fourth byte is ignored.
    test::BmpLayout s32;
    s32.width = 1;
    s32.height = 1;
    s32.bits = 32;
    s32.rows = {0x30, 0x20, 0x10, 0x00};
    ASSERT_TRUE(decode_bmp(image, save("32.bmp", test::make_bmp(s32)).c_str(), k_no_colour_key));
    EXPECT_EQ(rgba_at(image, 0, 0), 0xff302010u);
}

TEST_F(ImageFiles, BmpOldCoreHeader) {
    // 14-byte file header, 12-byte core header, 3-byte palette entries.
    Bytes b = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 32, 0, 0, 0,  // pixels at 32
               12, 0, 0, 0, 2, 0, 1, 0, 1, 0, 1, 0,             // 2 x 1, 1 bit
               0x00, 0x00, 0xff, 0xff, 0x00, 0x00,               // red, blue
               0x40, 0, 0, 0};
    DecodedImage image;
    ASSERT_TRUE(decode_bmp(image, save("core.bmp", b).c_str(), k_no_colour_key));
    EXPECT_EQ(rgba_at(image, 0, 0), 0xff0000ffu);
    EXPECT_EQ(rgba_at(image, 1, 0), 0xffff0000u);
}

TEST_F(ImageFiles, ColourKeyMakesBmpAndRgbPngPixelsTransparent) {
    Bytes rgba = test::solid(2, 1, 0x00ff00);
    test::put(rgba, 2, 1, 0, 0x8000ff);  // red 255, blue 128: the default key
    std::string bmp = save("k.bmp", test::make_bmp24(2, 1, rgba, false));
    DecodedImage image;
    ASSERT_TRUE(decode_bmp(image, bmp.c_str(), 0x8000ff));
    EXPECT_EQ(rgba_at(image, 1, 0), 0u);
    EXPECT_EQ(rgba_at(image, 0, 0), 0xff00ff00u);
    ASSERT_TRUE(decode_bmp(image, bmp.c_str(), k_no_colour_key));
    EXPECT_EQ(rgba_at(image, 1, 0), 0xff8000ffu);

    test::PngLayout rgb{2, 1, PNG_COLOR_TYPE_RGB, 8, {0, 255, 0, 255, 0, 128}};
    ASSERT_TRUE(decode_png(image, save("k.png", test::make_png(rgb)).c_str(), 0x8000ff));
    EXPECT_EQ(rgba_at(image, 1, 0), 0u);
    EXPECT_EQ(rgba_at(image, 0, 0), 0xff00ff00u);

    // Grey and RGBA images are never keyed.
    test::PngLayout grey{1, 1, PNG_COLOR_TYPE_GRAY, 8, {0}};
    ASSERT_TRUE(decode_png(image, save("g.png", test::make_png(grey)).c_str(), 0));
    EXPECT_EQ(rgba_at(image, 0, 0), 0xff000000u);
    test::PngLayout rgba_png{1, 1, PNG_COLOR_TYPE_RGB_ALPHA, 8, {255, 0, 128, 200}};
    ASSERT_TRUE(decode_png(image, save("a.png", test::make_png(rgba_png)).c_str(), 0x8000ff));
    EXPECT_EQ(rgba_at(image, 0, 0), 0xc88000ffu);
}

TEST_F(ImageFiles, PngPalettesDepthsAndRejectedGreyAlpha) {
    DecodedImage image;
    // Palette with transparency: the alpha comes from the tRNS chunk and
    // the key is not applied.
    test::PngLayout pal{3, 1, PNG_COLOR_TYPE_PALETTE, 8, {0, 1, 2}, {0xff0080, 0x102030, 0x405060}, {0, 128}};
    ASSERT_TRUE(decode_png(image, save("pal.png", test::make_png(pal)).c_str(), 0x8000ff));
    EXPECT_EQ(rgba_at(image, 0, 0), 0x008000ffu);
    EXPECT_EQ(rgba_at(image, 1, 0), 0x80302010u);
    EXPECT_EQ(rgba_at(image, 2, 0), 0xff605040u);

    // 2-bit palette samples are unpacked.
    test::PngLayout pal2{4, 1, PNG_COLOR_TYPE_PALETTE, 2, {0x1b}, {0x000000, 0x0000ff, 0x00ff00, 0xff0000}, {}};
    ASSERT_TRUE(decode_png(image, save("pal2.png", test::make_png(pal2)).c_str(), k_no_colour_key));
    EXPECT_EQ(rgba_at(image, 0, 0), 0xff000000u);
    EXPECT_EQ(rgba_at(image, 3, 0), 0xff0000ffu);

    // 16-bit samples keep their high byte.
    test::PngLayout deep{1, 1, PNG_COLOR_TYPE_RGB, 16, {0x12, 0x34, 0xab, 0xcd, 0xff, 0x00}};
    ASSERT_TRUE(decode_png(image, save("deep.png", test::make_png(deep)).c_str(), k_no_colour_key));
    EXPECT_EQ(rgba_at(image, 0, 0), 0xffffab12u);

    // 1-bit grey expands to 0 and 255.
    test::PngLayout bits{2, 1, PNG_COLOR_TYPE_GRAY, 1, {0x40}};
    ASSERT_TRUE(decode_png(image, save("bits.png", test::make_png(bits)).c_str(), k_no_colour_key));
    EXPECT_EQ(rgba_at(image, 0, 0), 0xff000000u);
    EXPECT_EQ(rgba_at(image, 1, 0), 0xffffffffu);

    // Grey with alpha fails, and says nothing.
    test::PngLayout grey_alpha{1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {10, 20}};
    std::string name = save("ga.png", test::make_png(grey_alpha));
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(decode_png(image, name.c_str(), k_no_colour_key));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(image.width, 0);
}

TEST_F(ImageFiles, JpegFromFilesOnlyAndWritersRoundTrip) {
    Bytes rgba = test::solid(16, 8, 0x2080c0);
    std::string jpg = dir.file("shot.JPG");
    ASSERT_TRUE(write_image_file(jpg.c_str(), rgba.data(), 16, 8));
    Bytes bytes = test::read_file(jpg);
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes[0], 0xff);
    EXPECT_EQ(bytes[1], 0xd8);
    DecodedImage image;
    ASSERT_TRUE(decode_jpeg(image, jpg.c_str()));
    EXPECT_EQ(image.width, 16);
    EXPECT_EQ(image.height, 8);
    const std::uint8_t* p = image.row(4) + 8 * 4;
    EXPECT_NEAR(p[0], 0xc0, 3);
    EXPECT_NEAR(p[1], 0x80, 3);
    EXPECT_NEAR(p[2], 0x20, 3);
    EXPECT_EQ(p[3], 255);
    // The same bytes named in memory are refused by the JPEG decoder, and
    // the whole load fails since JPEG is tried last.
    std::string in_memory = memory_name(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    EXPECT_FALSE(decode_jpeg(image, in_memory.c_str()));
    EXPECT_FALSE(load_image_file(image, in_memory.c_str(), k_no_colour_key, true));
    EXPECT_FALSE(decode_jpeg(image, dir.path().c_str()));  // a directory

    // PNG and BMP written and read back; the BMP stores non-opaque pixels
    // in the default colour key.
    Bytes picture = pattern(5, 3);
    test::put(picture, 5, 4, 2, 0x123456, 100);
    std::string png = dir.file("p.Png"), bmp = dir.file("p.dat");
    ASSERT_TRUE(write_image_file(png.c_str(), picture.data(), 5, 3));
    ASSERT_TRUE(write_image_file(bmp.c_str(), picture.data(), 5, 3));
    ASSERT_TRUE(decode_png(image, png.c_str(), k_no_colour_key));
    EXPECT_EQ(image.pixels, picture);
    ASSERT_TRUE(decode_bmp(image, bmp.c_str(), k_no_colour_key));
    EXPECT_EQ(rgba_at(image, 4, 2), 0xff8000ffu);
    test::put(picture, 5, 4, 2, 0x8000ff);
    EXPECT_EQ(image.pixels, picture);
    Bytes header = test::read_file(bmp);
    EXPECT_EQ(header.size(), 54u + 3 * 16);  // stride 15 padded to 16
    EXPECT_EQ(header[28], 24);

    // Memory names work for the BMP and PNG decoders.
    Bytes png_bytes = test::read_file(png);
    std::string png_memory = memory_name(png_bytes.data(), static_cast<std::int32_t>(png_bytes.size()));
    EXPECT_TRUE(load_image_file(image, png_memory.c_str(), k_no_colour_key, true));
    EXPECT_FALSE(write_image_file(png_memory.c_str(), picture.data(), 5, 3));
}

// Fixes the CRC of the chunk whose type starts at `type`.
void fix_crc(Bytes& png, std::size_t type, std::size_t length) {
    std::uint32_t crc = static_cast<std::uint32_t>(crc32(0, &png[type], static_cast<uInt>(length + 4)));
    for (int i = 0; i < 4; ++i) png[type + 4 + length + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
}

TEST_F(ImageFiles, DamagedFilesFailCleanly) {
    Bytes rgba = pattern(8, 8);
    Bytes good_bmp = test::make_bmp24(8, 8, rgba, false);
    Bytes tall_grey(64 * 64, 0);
    Bytes good_png = test::make_png({64, 64, PNG_COLOR_TYPE_GRAY, 8, tall_grey});
    Bytes good_rgb_png = test::make_png({8, 8, PNG_COLOR_TYPE_RGB, 8, Bytes(8 * 8 * 3, 7)});
    std::string jpg_path = dir.file("ok.jpg");
    ASSERT_TRUE(write_jpeg(jpg_path.c_str(), rgba.data(), 8, 8));
    Bytes good_jpg = test::read_file(jpg_path);

    auto with = [](Bytes b, std::size_t at, std::initializer_list<std::uint8_t> values) {
        for (std::uint8_t v : values) b[at++] = v;
        return b;
    };
    auto cut = [](Bytes b, std::size_t n) {
        b.resize(n);
        return b;
    };
    // IHDR starts at byte 8: length, "IHDR", width, height, ...
    Bytes huge_png = with(good_png, 16, {0x40, 0, 0, 0, 0x40, 0, 0, 0});
    fix_crc(huge_png, 12, 13);
    Bytes inflated_png = with(good_png, 16, {0, 0, 0x10, 0, 0, 0, 0x10, 0});  // 4096 x 4096 from a few bytes
    fix_crc(inflated_png, 12, 13);
    Bytes bad_crc_png = good_rgb_png;
    bad_crc_png[bad_crc_png.size() - 20] ^= 0x55;  // inside IDAT

    test::BmpLayout out_of_palette;
    out_of_palette.width = 2;
    out_of_palette.height = 1;
    out_of_palette.bits = 8;
    out_of_palette.palette = {0x000000, 0xffffff};
    out_of_palette.rows = {1, 5, 0, 0};

    // The SOF0 marker holds height and width at +5 and +7.
    std::size_t sof = 0;
    for (std::size_t i = 0; i + 1 < good_jpg.size(); ++i)
        if (good_jpg[i] == 0xff && good_jpg[i + 1] == 0xc0) {
            sof = i;
            break;
        }
    ASSERT_NE(sof, 0u);

    struct Case { const char* what; Bytes bytes; };
    const Case cases[] = {
        {"empty file", {}},
        {"garbage", Bytes(300, 0x5a)},
        {"BMP cut in its header", cut(good_bmp, 20)},
        {"BMP cut in its pixels", cut(good_bmp, good_bmp.size() - 10)},
        {"BMP 100000 pixels wide", with(good_bmp, 18, {0xa0, 0x86, 0x01, 0x00})},
        {"BMP of height -2^31", with(good_bmp, 22, {0, 0, 0, 0x80})},
        {"BMP of width 0", with(good_bmp, 18, {0, 0, 0, 0})},
        {"BMP of 7 bits", with(good_bmp, 28, {7, 0})},
        {"BMP pixels beyond the file", with(good_bmp, 10, {0, 0, 0, 0x10})},
        {"BMP pixels inside the header", with(good_bmp, 10, {20, 0, 0, 0})},
        {"BMP info header of 2 GB", with(good_bmp, 14, {0, 0, 0, 0x80})},
        {"BMP palette index out of range", test::make_bmp(out_of_palette)},
        {"BMP 8 bits without a palette", with(good_bmp, 28, {8, 0})},
        {"PNG cut in half", cut(good_png, good_png.size() / 2)},
        {"PNG cut after its header", cut(good_png, 33)},
        {"PNG of 2^30 x 2^30", huge_png},
        {"PNG claiming 4096 x 4096 from a few bytes", inflated_png},
        {"PNG with a damaged IDAT", bad_crc_png},
        {"JPEG cut in half", cut(good_jpg, good_jpg.size() / 2)},
        {"JPEG cut after its header", cut(good_jpg, sof + 20)},
        {"JPEG of 65000 x 65000", with(good_jpg, sof + 5, {0xfd, 0xe8, 0xfd, 0xe8})},
        {"JPEG of height 0", with(good_jpg, sof + 5, {0, 0})},
    };
    for (const Case& c : cases) {
        std::string path = save("damaged.img", c.bytes);
        DecodedImage image;
        ::testing::internal::CaptureStdout();
        EXPECT_FALSE(load_image_file(image, path.c_str(), 0x8000ff, true)) << c.what;
        ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(image.width, 0) << c.what;
        EXPECT_TRUE(image.pixels.empty()) << c.what;
        // The same bytes from memory go through the same checks.
        std::string memory = memory_name(c.bytes.data(), static_cast<std::int32_t>(c.bytes.size()));
        EXPECT_FALSE(load_image_file(image, memory.c_str(), 0x8000ff, true)) << c.what;
    }
    // The intact originals load.
    DecodedImage image;
    EXPECT_TRUE(load_image_file(image, save("ok.bmp", good_bmp).c_str(), 0x8000ff, true));
    EXPECT_TRUE(load_image_file(image, save("ok.png", good_png).c_str(), 0x8000ff, true));
    EXPECT_TRUE(load_image_file(image, jpg_path.c_str(), 0x8000ff, true));
    EXPECT_FALSE(load_image_file(image, dir.file("missing.png").c_str(), 0x8000ff, true));
}

// The library only warns about damaged scan data and would hand back a
// picture padded with grey; the decoder fails on every such warning. A
// declared size far beyond what the file's bytes can code is refused
// before anything is allocated, even when the file is well-formed.
TEST_F(ImageFiles, JpegWithADamagedScanOrAnImplausibleSizeIsRefused) {
    // A renderer on a usual driver raises the side limit this far.
    struct SideLimit {
        std::int32_t old = image_side_limit();
        SideLimit() { set_image_side_limit(8192); }
        ~SideLimit() { set_image_side_limit(old); }
    } limit;

    // Detail everywhere, so that the scan runs to a few kilobytes.
    Bytes rgba(64 * 48 * 4);
    for (std::size_t i = 0; i < rgba.size(); ++i) rgba[i] = static_cast<std::uint8_t>(i * 37 + i / 97);
    std::string path = dir.file("written.jpg");
    auto written = [&](const Bytes& pixels, std::int32_t w, std::int32_t h) {
        EXPECT_TRUE(write_jpeg(path.c_str(), pixels.data(), w, h));
        return test::read_file(path);
    };
    Bytes valid = written(rgba, 64, 48);
    ASSERT_NE(test::jpeg_scan(valid).end, 0u);
    Bytes tiny = written(rgba, 8, 8);
    Bytes flat = written(test::solid(1024, 1024, 0x808080), 1024, 1024);

    struct Case {
        const char* what;
        Bytes bytes;
        std::int32_t width = 0, height = 0;  // 0: refused
    };
    std::vector<Case> cases = {
        {"cut at the end of the file inside its scan", test::jpeg_cut_in_scan(valid)},
        {"scan ended early by the end marker", test::jpeg_ended_by_marker(valid)},
        {"scan with a bad Huffman code", test::jpeg_with_corrupt_scan(valid)},
        {"8192 x 8192 declared over the scan of 8 x 8", test::jpeg_declaring(tiny, 8192, 8192)},
        {"valid", valid, 64, 48},
        {"1024 x 1024 of one grey (about 185 samples a byte)", flat, 1024, 1024},
    };
#ifdef C_ARITH_CODING_SUPPORTED
    cases.push_back({"4096 x 4096 of one grey, arithmetic-coded", test::flat_arithmetic_jpeg(4096, 4096)});
#endif
    for (const Case& c : cases) {
        std::string name = save("case.jpg", c.bytes);
        DecodedImage image;
        EXPECT_EQ(decode_jpeg(image, name.c_str()), c.width != 0) << c.what << ", " << c.bytes.size() << " bytes";
        EXPECT_EQ(image.width, c.width) << c.what;
        EXPECT_EQ(image.height, c.height) << c.what;
        EXPECT_EQ(image.pixels.size(), static_cast<std::size_t>(c.width) * c.height * 4) << c.what;
    }
}

}  // namespace
}  // namespace crv
