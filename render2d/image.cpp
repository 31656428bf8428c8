#include "render2d/image.hpp"

#include "runtime/app_state.hpp"
#include "runtime/log.hpp"
#include "sys/resource.hpp"

#include <cstring>
#include <string>

namespace crv {

namespace {

// Until a context reports its limit: a size every OpenGL 2 driver takes.
std::int32_t side_limit = 4096;

bool ends_with_ignoring_case(const char* name, const char* suffix) {
    std::size_t n = std::strlen(name), m = std::strlen(suffix);
    if (n < m) return false;
    for (std::size_t i = 0; i < m; ++i) {
        char a = name[n - m + i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a + 32);
        if (a != suffix[i]) return false;
    }
    return true;
}

bool decode_any(DecodedImage& image, const char* name, std::int32_t key, bool allow_jpeg) {
    if (decode_bmp(image, name, key)) return true;
    if (decode_png(image, name, key)) return true;
    return allow_jpeg && decode_jpeg(image, name);
}

}  // namespace

void set_image_side_limit(std::int32_t side) {
    if (side < 16) side = 16;
    if (side > 16384) side = 16384;
    side_limit = side;
}

std::int32_t image_side_limit() { return side_limit; }

bool DecodedImage::prepare(std::int32_t w, std::int32_t h) {
    if (w <= 0 || h <= 0 || w > side_limit || h > side_limit ||
        static_cast<std::int64_t>(w) * h > k_image_pixel_limit) {
        clear();
        return false;
    }
    width = w;
    height = h;
    pixels.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4, 0);
    return true;
}

bool decoded_size_fits_file(std::int64_t decoded_bytes, std::int64_t file_size) {
    if (decoded_bytes < 0 || file_size < 0) return false;
    return decoded_bytes <= file_size * k_decoded_bytes_per_file_byte + 65536;
}

void apply_colour_key(std::uint8_t* p, std::int32_t key) {
    if (key == k_no_colour_key) return;
    std::int32_t colour = p[0] | (p[1] << 8) | (p[2] << 16);
    if (colour == (key & 0xffffff)) std::memset(p, 0, 4);
}

bool load_image_file(DecodedImage& image, const char* name, std::int32_t key, bool allow_jpeg) {
    image.clear();
    if (name == nullptr || *name == 0) return false;
    if (is_memory_name(name)) return decode_any(image, name, key, allow_jpeg);
    std::string resolved;
    if (!resolve_resource(general_pack(), name, resolved, true)) return false;
    if (!is_memory_name(resolved.c_str())) return decode_any(image, resolved.c_str(), key, allow_jpeg);
    // Found in the media pack. The JPEG library reads real files only, so a
    // packed JPEG is handed out once more as a temporary file.
    if (decode_any(image, resolved.c_str(), key, false)) return true;
    if (!allow_jpeg || !resolve_resource(general_pack(), name, resolved, false)) return false;
    return decode_jpeg(image, resolved.c_str());
}

bool write_image_file(const char* name, const std::uint8_t* rgba, std::int32_t w, std::int32_t h) {
    if (name == nullptr || rgba == nullptr || w <= 0 || h <= 0) return false;
    if (ends_with_ignoring_case(name, ".png")) return write_png(name, rgba, w, h);
    if (ends_with_ignoring_case(name, ".jpg")) return write_jpeg(name, rgba, w, h);
    return write_bmp(name, rgba, w, h);
}

void log_image_load_failure(const char* call, const char* name) {
    if (app_state.error_code != 3) return;
    log_load_failure(call, name, resource_readable(name) ? "not an image it can read" : k_reason_not_found);
}

}  // namespace crv
