// PNG reading and writing through libpng. libpng reports errors by a long
// jump; the jump target is the one function per direction that talks to
// the library, and everything that must survive the jump lives in the
// file-level state below, never in that function's locals.
#include "render2d/image.hpp"

#include "sys/resource.hpp"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

namespace crv {

namespace {

struct PngReadState {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ResourceStream* stream = nullptr;
    bool failed = false;
    std::vector<std::uint8_t> rows;
    std::vector<png_bytep> row_pointers;
    png_uint_32 width = 0, height = 0;
    int bit_depth = 0, colour_type = 0, channels = 0;
    std::size_t row_bytes = 0;
};
PngReadState reading;

struct PngWriteState {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ResourceStream* stream = nullptr;
    bool failed = false;
    std::vector<png_bytep> row_pointers;
};
PngWriteState writing;

// The handlers jump themselves: libpng would print the message first if
// they returned.
[[noreturn]] void on_read_error(png_structp png, png_const_charp) {
    reading.failed = true;
    png_longjmp(png, 1);
}
[[noreturn]] void on_write_error(png_structp png, png_const_charp) {
    writing.failed = true;
    png_longjmp(png, 1);
}
void on_warning(png_structp, png_const_charp) {}

void read_bytes(png_structp png, png_bytep data, png_size_t length) {
    std::int32_t got = 0;
    if (length > 0x7fffffff || !reading.stream->read(data, static_cast<std::int32_t>(length), &got) ||
        static_cast<png_size_t>(got) != length)
        png_error(png, "read past the end of the file");
}

void write_bytes(png_structp png, png_bytep data, png_size_t length) {
    if (length > 0x7fffffff || !writing.stream->write(data, static_cast<std::int32_t>(length)))
        png_error(png, "write failed");
}

void flush_nothing(png_structp) {}

enum class ReadOutcome { ok, failed, refused };

// Reads header and pixels into `reading`. No C++ object with a destructor
// lives in this frame: libpng may jump back into it at any call.
ReadOutcome read_rows() {
    if (setjmp(png_jmpbuf(reading.png)) != 0) return ReadOutcome::failed;
    png_structp png = reading.png;
    png_infop info = reading.info;
    png_set_user_limits(png, static_cast<png_uint_32>(image_side_limit()),
                        static_cast<png_uint_32>(image_side_limit()));
    png_set_chunk_malloc_max(png, 8u << 20);
    // Only the image's own chunks (header, palette, transparency, data,
    // end) are read; every other chunk is skipped unread, so that a length
    // field in one of them can never make the decoder allocate it.
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    png_set_sig_bytes(png, 4);
    png_read_info(png, info);
    png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
    std::int64_t raw_bytes = static_cast<std::int64_t>(png_get_rowbytes(png, info) + 1) * h;
    if (static_cast<std::int64_t>(w) * h > k_image_pixel_limit ||
        !decoded_size_fits_file(raw_bytes, reading.stream->stream_size()))
        return ReadOutcome::refused;

    int colour_type = png_get_color_type(png, info);
    int depth = png_get_bit_depth(png, info);
    if (colour_type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colour_type == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS) != 0) png_set_tRNS_to_alpha(png);
    if (depth == 16) png_set_strip_16(png);
    if (depth < 8) png_set_packing(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    reading.width = w;
    reading.height = h;
    reading.bit_depth = png_get_bit_depth(png, info);
    reading.colour_type = png_get_color_type(png, info);
    reading.channels = png_get_channels(png, info);
    reading.row_bytes = png_get_rowbytes(png, info);
    return ReadOutcome::ok;
}

ReadOutcome read_pixels() {
    if (setjmp(png_jmpbuf(reading.png)) != 0) return ReadOutcome::failed;
    png_read_image(reading.png, reading.row_pointers.data());
    png_read_end(reading.png, nullptr);
    return ReadOutcome::ok;
}

bool accepted_format(const char* name) {
    if (reading.channels != 1 && reading.channels != 3 && reading.channels != 4) return false;
    if (reading.bit_depth != 8) {
        std::printf("File %s has bit depth %d.\n", name, reading.bit_depth);
        std::printf("Only bit depth of 8 is supported.\n");
        return false;
    }
    if (reading.colour_type != PNG_COLOR_TYPE_GRAY && reading.colour_type != PNG_COLOR_TYPE_RGB &&
        reading.colour_type != PNG_COLOR_TYPE_RGB_ALPHA) {
        std::printf("File %s has unsupported color type.\n", name);
        std::printf("Types GRAY, RGB and RGB_ALPHA are supported.\n");
        return false;
    }
    return true;
}

ReadOutcome write_all(std::int32_t w, std::int32_t h) {
    if (setjmp(png_jmpbuf(writing.png)) != 0) return ReadOutcome::failed;
    png_set_IHDR(writing.png, writing.info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), 8,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(writing.png, writing.info);
    png_write_image(writing.png, writing.row_pointers.data());
    png_write_end(writing.png, nullptr);
    return ReadOutcome::ok;
}

}  // namespace

bool decode_png(DecodedImage& image, const char* name, std::int32_t key) {
    image.clear();
    ResourceStream stream;
    if (!stream.open_read(name)) return false;
    std::uint8_t signature[4];
    std::int32_t got = 0;
    if (!stream.read(signature, 4, &got) || got != 4 || std::memcmp(signature + 1, "PNG", 3) != 0) return false;

    reading = PngReadState{};
    reading.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, on_read_error, on_warning);
    if (reading.png != nullptr) reading.info = png_create_info_struct(reading.png);
    bool ok = reading.info != nullptr;
    if (ok) {
        reading.stream = &stream;
        png_set_read_fn(reading.png, nullptr, read_bytes);
        ok = read_rows() == ReadOutcome::ok && accepted_format(name);
    }
    if (ok) {
        reading.rows.resize(reading.row_bytes * reading.height);
        reading.row_pointers.resize(reading.height);
        for (png_uint_32 y = 0; y < reading.height; ++y) reading.row_pointers[y] = &reading.rows[y * reading.row_bytes];
        ok = read_pixels() == ReadOutcome::ok;
    }
    png_destroy_read_struct(&reading.png, &reading.info, nullptr);
    ok = ok && image.prepare(static_cast<std::int32_t>(reading.width), static_cast<std::int32_t>(reading.height));
    if (ok) {
        for (std::int32_t y = 0; y < image.height; ++y) {
            const std::uint8_t* in = reading.row_pointers[static_cast<std::size_t>(y)];
            std::uint8_t* out = image.row(y);
            for (std::int32_t x = 0; x < image.width; ++x, out += 4) {
                switch (reading.channels) {
                    case 1:
                        out[0] = out[1] = out[2] = in[x];
                        out[3] = 255;
                        break;
                    case 3:
                        std::memcpy(out, in + x * 3, 3);
                        out[3] = 255;
                        apply_colour_key(out, key);
                        break;
                    default:
                        std::memcpy(out, in + x * 4, 4);
                        break;
                }
            }
        }
    }
    reading = PngReadState{};
    return ok;
}

bool write_png(const char* name, const std::uint8_t* rgba, std::int32_t w, std::int32_t h) {
    if (w <= 0 || h <= 0) return false;
    ResourceStream stream;
    if (!stream.open_write(name)) return false;
    writing = PngWriteState{};
    writing.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, on_write_error, on_warning);
    if (writing.png != nullptr) writing.info = png_create_info_struct(writing.png);
    bool ok = writing.info != nullptr;
    if (ok) {
        writing.stream = &stream;
        png_set_write_fn(writing.png, nullptr, write_bytes, flush_nothing);
        writing.row_pointers.resize(static_cast<std::size_t>(h));
        for (std::int32_t y = 0; y < h; ++y)
            writing.row_pointers[static_cast<std::size_t>(y)] =
                const_cast<png_bytep>(rgba + static_cast<std::size_t>(y) * w * 4);
        ok = write_all(w, h) == ReadOutcome::ok;
    }
    png_destroy_write_struct(&writing.png, &writing.info);
    writing = PngWriteState{};
    return ok;
}

}  // namespace crv
