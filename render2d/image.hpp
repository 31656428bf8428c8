// Image files: the decoders that turn BMP, PNG and JPEG files into the
// renderer's decoded image (4-byte RGBA pixels, rows top-down) and the
// writers that store such pixels as PNG, JPEG or BMP by the name's
// extension. Files are read through resource streams, so "mem://" names
// work wherever a decoder accepts them (the JPEG decoder reads real files
// only). The decoders are fed untrusted files: every header field is
// checked before it is used, image sides are capped at what a texture can
// hold, and a damaged file makes the decode return false, never more.
// Main thread only: the PNG and JPEG paths keep their library state in
// file-level variables. Nothing here records error codes; callers do.
#pragma once

#include <cstdint>
#include <vector>

namespace crv {

// A colour key that matches no pixel.
constexpr std::int32_t k_no_colour_key = -1;

struct DecodedImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> pixels;  // width x height x 4 bytes R, G, B, A, rows top-down

    // Sizes the buffer for w x h pixels (reusing its capacity) and zeroes
    // it. False, with the image left empty, when the size is out of the
    // decoders' limits.
    bool prepare(std::int32_t w, std::int32_t h);
    void clear() {
        width = height = 0;
        pixels.clear();
    }
    std::uint8_t* row(std::int32_t y) { return pixels.data() + static_cast<std::size_t>(y) * width * 4; }
    const std::uint8_t* row(std::int32_t y) const {
        return pixels.data() + static_cast<std::size_t>(y) * width * 4;
    }
};

// The largest image side the decoders accept. The renderer sets it from
// the driver's maximum texture size; before that a conservative default
// holds. A total of k_image_pixel_limit pixels is never exceeded.
void set_image_side_limit(std::int32_t side);
std::int32_t image_side_limit();
constexpr std::int64_t k_image_pixel_limit = 8192LL * 8192LL;

// The check the compressed formats make before allocating: a header that
// declares more decoded bytes than k_decoded_bytes_per_file_byte for each
// byte of its file (plus 64 KiB, so that small images never meet it) is
// damaged or hostile and is refused. The ratio sits just above what the
// codings can reach: zlib expands at most about 1032:1, and a Huffman-coded
// JPEG spends at least one bit on every 8 x 8 block it codes, which with
// the usual 2 x 2 subsampled colour makes at most 1024 samples a byte.
// (Arithmetic-coded JPEGs of flat colour can pack far more; such files are
// refused above the ratio as well.)
constexpr std::int64_t k_decoded_bytes_per_file_byte = 1100;
bool decoded_size_fits_file(std::int64_t decoded_bytes, std::int64_t file_size);

// Turns pixels equal to the key (R + G*256 + B*65536) into transparent black.
void apply_colour_key(std::uint8_t* rgba, std::int32_t key);

// The decoders open the name as given (disk path or memory name); each
// returns false and leaves the image empty when the file is not of its kind
// or is damaged.
bool decode_bmp(DecodedImage& image, const char* name, std::int32_t colour_key);
bool decode_png(DecodedImage& image, const char* name, std::int32_t colour_key);
bool decode_jpeg(DecodedImage& image, const char* name);

// A file as the game names it: resolved on disk or in the media pack, then
// decoded by BMP, PNG and (when allowed) JPEG in that order. False when the
// name cannot be resolved or no decoder accepts the file.
bool load_image_file(DecodedImage& image, const char* name, std::int32_t colour_key, bool allow_jpeg);
// After a game's image load failed with error 3 (set by the call itself):
// names the call, the file and whether it was missing or not an image in
// the debug log.
void log_image_load_failure(const char* call, const char* name);

// Writes w x h RGBA pixels (rows top-down): ".png" gives an 8-bit RGBA PNG,
// ".jpg" a quality-80 JPEG without alpha, any other name a 24-bit BMP
// (pixels that are not opaque take the default colour key 0x8000FF). The extension
// is compared without regard to case; an existing file is replaced.
bool write_image_file(const char* name, const std::uint8_t* rgba, std::int32_t w, std::int32_t h);
bool write_png(const char* name, const std::uint8_t* rgba, std::int32_t w, std::int32_t h);
bool write_jpeg(const char* name, const std::uint8_t* rgba, std::int32_t w, std::int32_t h);
bool write_bmp(const char* name, const std::uint8_t* rgba, std::int32_t w, std::int32_t h);

}  // namespace crv
