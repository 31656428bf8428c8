// Helpers of the 2D renderer tests: image files built byte by byte (BMP)
// or through libpng directly (PNG variants our writer never makes), the
// window's picture as RGB bytes, and golden-image comparison.
//
// Golden images live in tests/render2d/golden as binary PPM files. A
// mismatch writes the picture actually drawn beside the expected one as
// <name>.actual.ppm. With CRV_UPDATE_GOLDEN=1 the expected files are
// (re)written instead of compared: scripts/update_render2d_goldens.sh.
#pragma once

#include "render2d/rainbows.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace crv::test {

using Bytes = std::vector<std::uint8_t>;

void write_file(const std::string& path, const Bytes& bytes);
Bytes read_file(const std::string& path);

// An uncompressed BMP with a 40-byte info header. `rows` holds the raw
// pixel rows in file order, each already padded; palette entries are
// B, G, R, 0.
struct BmpLayout {
    std::int32_t width = 0;
    std::int32_t height = 0;  // negative: rows stored top-down
    std::uint16_t bits = 24;
    std::vector<std::uint32_t> palette;  // 0xRRGGBB
    Bytes rows;
};
Bytes make_bmp(const BmpLayout& layout);
// A 24-bit BMP of RGBA pixels (alpha ignored), rows top-down in `rgba`.
Bytes make_bmp24(std::int32_t w, std::int32_t h, const Bytes& rgba, bool top_down);

// A PNG through libpng: colour type and bit depth as given, samples packed
// as libpng expects them (rows top-down). `palette` (0xRRGGBB) and `trns`
// (alpha per palette entry) only for palette images.
struct PngLayout {
    std::int32_t width = 0;
    std::int32_t height = 0;
    int colour_type = 2;  // PNG_COLOR_TYPE_*
    int bit_depth = 8;
    Bytes samples;
    std::vector<std::uint32_t> palette;
    Bytes trns;
};
Bytes make_png(const PngLayout& layout);

// RGBA helpers: a w x h image of one colour, and setting one pixel.
Bytes solid(std::int32_t w, std::int32_t h, std::uint32_t rgb, std::uint8_t alpha = 255);
void put(Bytes& rgba, std::int32_t w, std::int32_t x, std::int32_t y, std::uint32_t rgb, std::uint8_t alpha = 255);

// A DynArray of pixels R + G*256 + B*65536 + A*16777216 from RGBA bytes.
DynArray<std::int32_t> pixel_array(const Bytes& rgba);

// The whole back buffer of the test window as RGB rows top-down.
Bytes window_rgb(OpenGLRainbows& r);

// Compares the window with golden/<name>.ppm (or writes it, see above).
::testing::AssertionResult matches_golden(OpenGLRainbows& r, const std::string& name);

}  // namespace crv::test
