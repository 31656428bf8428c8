// JPEG reading and writing through libjpeg (6b interface). The library's
// standard error manager ends the process on an error; ours jumps back to
// the one function per direction that calls the library instead, and the
// state that must survive the jump lives at file level.
// The library only warns about damaged entropy data and goes on, filling
// what it could not decode with grey: a scan that stops at an early marker
// would give a full-size picture from a few bytes. So once the scan starts
// every warning ends the decode as a failure, and before that the
// declared size must be plausible for the file's size.
#include "render2d/image.hpp"

#include "runtime/log.hpp"
#include "platform/files.hpp"
#include "sys/resource.hpp"

#include <cstdio>
// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>
#include <jerror.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace crv {

namespace {

struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    bool scanning = false;  // from the start of decompression on
};

struct JpegReadState {
    jpeg_decompress_struct info;
    JpegError error;
    std::FILE* file = nullptr;
    std::int64_t file_size = 0;
    std::vector<std::uint8_t> samples;
    std::int32_t width = 0, height = 0, components = 0;
};
JpegReadState reading;

struct JpegWriteState {
    jpeg_compress_struct info;
    JpegError error;
    unsigned char* bytes = nullptr;
    unsigned long size = 0;
    std::vector<std::uint8_t> line;
};
JpegWriteState writing;

[[noreturn]] void on_error(j_common_ptr info) {
    auto* error = reinterpret_cast<JpegError*>(info->err);
    std::longjmp(error->jump, 1);
}

// Nothing is printed. A warning (level -1) during the scan means corrupt
// data (premature end of the data segment, a bad Huffman code, bytes
// before a marker, the file ending early) and jumps out like an error, so
// a damaged file costs no more than the bytes read so far. The file
// ending inside the header is damage too; the header's other warnings
// (an unknown JFIF revision, say) are harmless.
void on_message(j_common_ptr info, int level) {
    auto* error = reinterpret_cast<JpegError*>(info->err);
    if (level < 0 && (error->scanning || info->err->msg_code == JWRN_JPEG_EOF)) std::longjmp(error->jump, 1);
}

enum class Outcome { ok, failed, refused };

Outcome read_header() {
    if (setjmp(reading.error.jump) != 0) return Outcome::failed;
    jpeg_create_decompress(&reading.info);
    reading.info.mem->max_memory_to_use = 256L << 20;
    jpeg_stdio_src(&reading.info, reading.file);
    jpeg_read_header(&reading.info, TRUE);
    auto w = static_cast<std::int64_t>(reading.info.image_width);
    auto h = static_cast<std::int64_t>(reading.info.image_height);
    if (w <= 0 || h <= 0 || w > image_side_limit() || h > image_side_limit() || w * h > k_image_pixel_limit)
        return Outcome::refused;
    // Before the library sizes its own buffers and before ours: the sample
    // buffer the file asks for against what its bytes can hold.
    jpeg_calc_output_dimensions(&reading.info);
    auto samples = static_cast<std::int64_t>(reading.info.output_width) * reading.info.output_height *
                   reading.info.output_components;
    if (!decoded_size_fits_file(samples, reading.file_size)) return Outcome::refused;
    // A progressive file's scans are all read here already.
    reading.error.scanning = true;
    jpeg_start_decompress(&reading.info);
    reading.width = static_cast<std::int32_t>(reading.info.output_width);
    reading.height = static_cast<std::int32_t>(reading.info.output_height);
    reading.components = reading.info.output_components;
    return Outcome::ok;
}

Outcome read_scanlines() {
    if (setjmp(reading.error.jump) != 0) return Outcome::failed;
    std::size_t stride = static_cast<std::size_t>(reading.width) * reading.components;
    while (reading.info.output_scanline < reading.info.output_height) {
        JSAMPROW row = &reading.samples[reading.info.output_scanline * stride];
        if (jpeg_read_scanlines(&reading.info, &row, 1) != 1) return Outcome::failed;
    }
    jpeg_finish_decompress(&reading.info);
    return Outcome::ok;
}

Outcome compress(const std::uint8_t* rgba, std::int32_t w, std::int32_t h) {
    if (setjmp(writing.error.jump) != 0) return Outcome::failed;
    jpeg_create_compress(&writing.info);
    jpeg_mem_dest(&writing.info, &writing.bytes, &writing.size);
    writing.info.image_width = static_cast<JDIMENSION>(w);
    writing.info.image_height = static_cast<JDIMENSION>(h);
    writing.info.input_components = 3;
    writing.info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&writing.info);
    jpeg_set_quality(&writing.info, 80, TRUE);
    jpeg_start_compress(&writing.info, TRUE);
    while (writing.info.next_scanline < writing.info.image_height) {
        const std::uint8_t* p = rgba + static_cast<std::size_t>(writing.info.next_scanline) * w * 4;
        for (std::int32_t x = 0; x < w; ++x) std::memcpy(&writing.line[static_cast<std::size_t>(x) * 3], p + x * 4, 3);
        JSAMPROW row = writing.line.data();
        jpeg_write_scanlines(&writing.info, &row, 1);
    }
    jpeg_finish_compress(&writing.info);
    return Outcome::ok;
}

void install_errors(JpegError& error) {
    jpeg_std_error(&error.manager);
    error.manager.error_exit = on_error;
    error.manager.emit_message = on_message;
    error.scanning = false;
}

}  // namespace

bool decode_jpeg(DecodedImage& image, const char* name) {
    image.clear();
    if (name == nullptr || is_memory_name(name)) return false;
    std::string path = plat::system_path(name, false);
    if (plat::path_kind(path.c_str()) != plat::PathKind::file) return false;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    // ftell's long cannot say the size of a file over 2 GiB on Windows;
    // such a file is refused with the others it cannot measure.
    long size = std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : -1L;
    if (size < 0 || std::fseek(file, 0, SEEK_SET) != 0) {
        std::fclose(file);
        return false;
    }

    std::memset(&reading.info, 0, sizeof reading.info);
    install_errors(reading.error);
    reading.info.err = &reading.error.manager;
    reading.file = file;
    reading.file_size = size;
    bool ok = read_header() == Outcome::ok;
    if (ok && reading.components != 1 && reading.components != 3 && reading.components != 4) {
        char line[64];
        std::snprintf(line, sizeof line, "JPEG: Channels: %d not supported!\n", reading.components);
        log_write(line);
        ok = false;
    }
    if (ok) {
        try {
            reading.samples.assign(static_cast<std::size_t>(reading.width) * reading.height * reading.components, 0);
        } catch (const std::bad_alloc&) {
            ok = false;
        }
    }
    ok = ok && read_scanlines() == Outcome::ok;
    jpeg_destroy_decompress(&reading.info);
    std::fclose(file);
    ok = ok && image.prepare(reading.width, reading.height);
    if (ok) {
        const std::uint8_t* in = reading.samples.data();
        std::uint8_t* out = image.pixels.data();
        std::size_t count = static_cast<std::size_t>(reading.width) * reading.height;
        for (std::size_t i = 0; i < count; ++i, out += 4) {
            switch (reading.components) {
                case 1:
                    out[0] = out[1] = out[2] = *in++;
                    out[3] = 255;
                    break;
                case 3:
                    std::memcpy(out, in, 3);
                    out[3] = 255;
                    in += 3;
                    break;
                default:
                    std::memcpy(out, in, 4);
                    in += 4;
                    break;
            }
        }
    }
    reading.samples = std::vector<std::uint8_t>();
    reading.file = nullptr;
    return ok;
}

bool write_jpeg(const char* name, const std::uint8_t* rgba, std::int32_t w, std::int32_t h) {
    if (w <= 0 || h <= 0 || w > 65500 || h > 65500) return false;
    ResourceStream stream;
    if (!stream.open_write(name)) return false;
    std::memset(&writing.info, 0, sizeof writing.info);
    install_errors(writing.error);
    writing.info.err = &writing.error.manager;
    writing.bytes = nullptr;
    writing.size = 0;
    writing.line.assign(static_cast<std::size_t>(w) * 3, 0);
    bool ok = compress(rgba, w, h) == Outcome::ok;
    jpeg_destroy_compress(&writing.info);
    ok = ok && writing.size <= 0x7fffffff &&
         stream.write(writing.bytes, static_cast<std::int32_t>(writing.size));
    std::free(writing.bytes);
    writing.bytes = nullptr;
    writing.line = std::vector<std::uint8_t>();
    return ok;
}

}  // namespace crv
