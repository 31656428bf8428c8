#include "tests/render2d/render2d_support.hpp"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

namespace crv::test {

namespace {

void put16(Bytes& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(Bytes& b, std::size_t at, std::uint32_t v) {
    put16(b, at, v);
    put16(b, at + 2, v >> 16);
}

void png_append(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}
void png_no_flush(png_structp) {}

std::string golden_path(const std::string& name, const char* suffix) {
    return std::string(CRV_GOLDEN_DIR) + "/" + name + suffix;
}

void write_ppm(const std::string& path, const Bytes& rgb, int w, int h) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << w << " " << h << "\n255\n";
    out.write(reinterpret_cast<const char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
}

bool read_ppm(const std::string& path, Bytes& rgb, int& w, int& h) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int max = 0;
    if (!(in >> magic >> w >> h >> max) || magic != "P6" || max != 255) return false;
    in.get();
    rgb.resize(static_cast<std::size_t>(w) * h * 3);
    in.read(reinterpret_cast<char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
    return static_cast<std::size_t>(in.gcount()) == rgb.size();
}

}  // namespace

void write_file(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes make_bmp(const BmpLayout& layout) {
    std::size_t palette_bytes = layout.palette.size() * 4;
    std::size_t offset = 54 + palette_bytes;
    Bytes b(offset, 0);
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 2, static_cast<std::uint32_t>(offset + layout.rows.size()));
    put32(b, 10, static_cast<std::uint32_t>(offset));
    put32(b, 14, 40);
    put32(b, 18, static_cast<std::uint32_t>(layout.width));
    put32(b, 22, static_cast<std::uint32_t>(layout.height));
    put16(b, 26, 1);
    put16(b, 28, layout.bits);
    put32(b, 34, static_cast<std::uint32_t>(layout.rows.size()));
    for (std::size_t i = 0; i < layout.palette.size(); ++i) {
        std::uint32_t c = layout.palette[i];
        b[54 + i * 4] = static_cast<std::uint8_t>(c);
        b[54 + i * 4 + 1] = static_cast<std::uint8_t>(c >> 8);
        b[54 + i * 4 + 2] = static_cast<std::uint8_t>(c >> 16);
    }
    b.insert(b.end(), layout.rows.begin(), layout.rows.end());
    return b;
}

Bytes make_bmp24(std::int32_t w, std::int32_t h, const Bytes& rgba, bool top_down) {
    BmpLayout layout;
    layout.width = w;
    layout.height = top_down ? -h : h;
    std::size_t stride = (static_cast<std::size_t>(w) * 3 + 3) / 4 * 4;
    for (std::int32_t r = 0; r < h; ++r) {
        std::int32_t y = top_down ? r : h - 1 - r;
        Bytes line(stride, 0);
        for (std::int32_t x = 0; x < w; ++x) {
            const std::uint8_t* p = &rgba[(static_cast<std::size_t>(y) * w + x) * 4];
            line[x * 3] = p[2];
            line[x * 3 + 1] = p[1];
            line[x * 3 + 2] = p[0];
        }
        layout.rows.insert(layout.rows.end(), line.begin(), line.end());
    }
    return make_bmp(layout);
}

Bytes make_png(const PngLayout& layout) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_write_struct(&png, &info);
        ADD_FAILURE() << "libpng refused the fixture";
        return {};
    }
    png_set_write_fn(png, &out, png_append, png_no_flush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(layout.width), static_cast<png_uint_32>(layout.height),
                 layout.bit_depth, layout.colour_type, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette;
    for (std::uint32_t c : layout.palette)
        palette.push_back({static_cast<png_byte>(c >> 16), static_cast<png_byte>(c >> 8), static_cast<png_byte>(c)});
    if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    if (!layout.trns.empty())
        png_set_tRNS(png, info, layout.trns.data(), static_cast<int>(layout.trns.size()), nullptr);
    png_write_info(png, info);
    std::size_t row_bytes = layout.samples.size() / static_cast<std::size_t>(layout.height);
    for (std::int32_t y = 0; y < layout.height; ++y)
        png_write_row(png, &layout.samples[static_cast<std::size_t>(y) * row_bytes]);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

Bytes solid(std::int32_t w, std::int32_t h, std::uint32_t rgb, std::uint8_t alpha) {
    Bytes b(static_cast<std::size_t>(w) * h * 4);
    for (std::int32_t y = 0; y < h; ++y)
        for (std::int32_t x = 0; x < w; ++x) put(b, w, x, y, rgb, alpha);
    return b;
}

void put(Bytes& rgba, std::int32_t w, std::int32_t x, std::int32_t y, std::uint32_t rgb, std::uint8_t alpha) {
    std::uint8_t* p = &rgba[(static_cast<std::size_t>(y) * w + x) * 4];
    p[0] = static_cast<std::uint8_t>(rgb);
    p[1] = static_cast<std::uint8_t>(rgb >> 8);
    p[2] = static_cast<std::uint8_t>(rgb >> 16);
    p[3] = alpha;
}

DynArray<std::int32_t> pixel_array(const Bytes& rgba) {
    std::vector<std::int32_t> values(rgba.size() / 4);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::uint8_t* p = &rgba[i * 4];
        values[i] = static_cast<std::int32_t>(p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24));
    }
    DynArray<std::int32_t> a;
    a.fill_values(static_cast<int>(values.size()), values.data());
    return a;
}

Bytes window_rgb(OpenGLRainbows& r) {
    r.flush();
    int w = r.width, h = r.height;
    Bytes bottom_up(static_cast<std::size_t>(w) * h * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, bottom_up.data());
    Bytes rgb(bottom_up.size());
    for (int y = 0; y < h; ++y)
        std::memcpy(&rgb[static_cast<std::size_t>(y) * w * 3], &bottom_up[static_cast<std::size_t>(h - 1 - y) * w * 3],
                    static_cast<std::size_t>(w) * 3);
    return rgb;
}

::testing::AssertionResult matches_golden(OpenGLRainbows& r, const std::string& name) {
    Bytes actual = window_rgb(r);
    const char* update = std::getenv("CRV_UPDATE_GOLDEN");
    if (update != nullptr && std::strcmp(update, "1") == 0) {
        write_ppm(golden_path(name, ".ppm"), actual, r.width, r.height);
        return ::testing::AssertionSuccess();
    }
    Bytes expected;
    int w = 0, h = 0;
    if (!read_ppm(golden_path(name, ".ppm"), expected, w, h)) {
        write_ppm(golden_path(name, ".actual.ppm"), actual, r.width, r.height);
        return ::testing::AssertionFailure() << "no golden image " << golden_path(name, ".ppm");
    }
    if (w != r.width || h != r.height || expected != actual) {
        write_ppm(golden_path(name, ".actual.ppm"), actual, r.width, r.height);
        std::ostringstream where;
        for (std::size_t i = 0; i < actual.size() && i < expected.size(); ++i)
            if (actual[i] != expected[i]) {
                std::size_t pixel = i / 3;
                where << " first difference at (" << pixel % static_cast<std::size_t>(r.width) << ", "
                      << pixel / static_cast<std::size_t>(r.width) << ")";
                break;
            }
        return ::testing::AssertionFailure() << name << " differs from its golden image;" << where.str()
                                             << "; the picture drawn is " << golden_path(name, ".actual.ppm");
    }
    std::remove(golden_path(name, ".actual.ppm").c_str());
    return ::testing::AssertionSuccess();
}

}  // namespace crv::test
