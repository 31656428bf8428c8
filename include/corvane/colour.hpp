/// @file
/// Colours and pixel-array elements (part of @ref render2d).
///
/// Colours as the run-time takes them: one 32-bit integer R + G*256 +
/// B*65536, red in the low byte. Drawing ignores the top byte; colours the
/// run-time hands back (crv::read_pixel) have it 0.
///
/// Pixel arrays (crv::sprite_from_pixels, crv::sprite_to_pixels,
/// crv::image_load_pixels) use the same numbers with the top byte as alpha:
/// each element holds R + G*256 + B*65536 + A*16777216 (0 transparent ..
/// 255 opaque, so an opaque pixel is negative as an std::int32_t), and the
/// array is one-dimensional, w * h elements, row after row from the top:
/// element y * w + x is the pixel at (x, y). Loaded images give pixels of
/// the colour key transparent black (0); make pixels with crv::rgba.
///
/// Plain constexpr functions: any thread, nothing fails.
#pragma once

#include <cstdint>

namespace crv {

/// @addtogroup render2d
/// @{

/// The colour of red, green and blue, each clamped to 0..255; the top byte 0.
constexpr std::int32_t rgb(int r, int g, int b) {
    auto channel = [](int v) { return static_cast<std::uint32_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
    return static_cast<std::int32_t>(channel(r) | channel(g) << 8 | channel(b) << 16);
}

/// A pixel-array element: rgb(r, g, b) with alpha a (clamped to 0..255,
/// 255 opaque) in the top byte.
constexpr std::int32_t rgba(int r, int g, int b, int a) {
    auto alpha = static_cast<std::uint32_t>(a < 0 ? 0 : a > 255 ? 255 : a);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(rgb(r, g, b)) | alpha << 24);
}

/// The red part 0..255 of a colour or pixel.
constexpr int colour_red(std::int32_t colour) { return static_cast<int>(static_cast<std::uint32_t>(colour) & 0xFFu); }
/// The green part 0..255 of a colour or pixel.
constexpr int colour_green(std::int32_t colour) {
    return static_cast<int>(static_cast<std::uint32_t>(colour) >> 8 & 0xFFu);
}
/// The blue part 0..255 of a colour or pixel.
constexpr int colour_blue(std::int32_t colour) {
    return static_cast<int>(static_cast<std::uint32_t>(colour) >> 16 & 0xFFu);
}
/// The alpha part 0..255 of a pixel-array element.
constexpr int colour_alpha(std::int32_t colour) {
    return static_cast<int>(static_cast<std::uint32_t>(colour) >> 24 & 0xFFu);
}

/// The transparent colour of loaded images until set_colour_key changes it.
constexpr std::int32_t k_default_colour_key = 0x8000FF;

/// @}

}  // namespace crv
