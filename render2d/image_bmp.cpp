// The BMP reader and writer of our own: uncompressed pixel data of 1, 4, 8,
// 16, 24 and 32 bits, bottom-up or top-down rows, the 12-byte core header
// and the 40-byte (or longer) info header.
#include "render2d/image.hpp"

#include "sys/resource.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

namespace crv {

namespace {

std::uint32_t u16(const std::uint8_t* p) { return p[0] | (p[1] << 8); }
std::uint32_t u32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::int32_t s32(const std::uint8_t* p) { return static_cast<std::int32_t>(u32(p)); }

void put16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(std::uint8_t* p, std::uint32_t v) {
    put16(p, v);
    put16(p + 2, v >> 16);
}

struct BmpHeader {
    std::int64_t width = 0;
    std::int64_t height = 0;  // absolute
    bool top_down = false;
    std::uint32_t bits = 0;
    std::int64_t pixel_offset = 0;
    std::int64_t palette_offset = 0;
    std::int32_t palette_entry_size = 4;
    std::int32_t palette_entries = 0;
};

// Reads and checks the two headers; the stream stays open for the rest.
bool read_header(ResourceStream& stream, BmpHeader& h) {
    std::uint8_t head[18];
    if (!stream.read(head, 18) || stream.position() != 18) return false;
    if (head[0] != 'B' || head[1] != 'M') return false;
    h.pixel_offset = u32(head + 10);
    std::uint32_t info_size = u32(head + 14);
    std::int64_t file_size = stream.stream_size();
    if (info_size == 12) {
        std::uint8_t core[8];
        if (!stream.read(core, 8) || stream.position() != 26) return false;
        h.width = u16(core);
        h.height = u16(core + 2);
        h.bits = u16(core + 6);
        h.palette_offset = 26;
        h.palette_entry_size = 3;
        h.palette_entries = h.bits <= 8 ? 1 << h.bits : 0;
    } else if (info_size >= 40 && info_size <= 1024) {
        std::uint8_t info[36];
        if (!stream.read(info, 36) || stream.position() != 54) return false;
        h.width = s32(info);
        std::int64_t height = s32(info + 4);
        h.top_down = height < 0;
        h.height = height < 0 ? -height : height;
        h.bits = u16(info + 10);
        // The palette fills the gap between the headers and the pixels.
        h.palette_offset = 14 + static_cast<std::int64_t>(info_size);
        std::int64_t gap = h.pixel_offset - h.palette_offset;
        h.palette_entries = gap > 0 ? static_cast<std::int32_t>(std::min<std::int64_t>(gap / 4, 256)) : 0;
    } else {
        return false;
    }
    switch (h.bits) {
        case 1: case 4: case 8: case 16: case 24: case 32: break;
        default: return false;
    }
    if (h.width <= 0 || h.height <= 0 || h.width > image_side_limit() || h.height > image_side_limit())
        return false;
    if (h.pixel_offset < h.palette_offset || h.pixel_offset > file_size) return false;
    if (h.bits <= 8) {
        std::int64_t palette_end = h.palette_offset + static_cast<std::int64_t>(h.palette_entries) * h.palette_entry_size;
        if (h.palette_entries == 0 || palette_end > file_size) return false;
    }
    return true;
}

}  // namespace

bool decode_bmp(DecodedImage& image, const char* name, std::int32_t key) {
    image.clear();
    ResourceStream stream;
    if (!stream.open_read(name)) return false;
    BmpHeader h;
    if (!read_header(stream, h)) return false;

    std::uint8_t palette[256][3] = {};
    if (h.bits <= 8) {
        std::vector<std::uint8_t> raw(static_cast<std::size_t>(h.palette_entries) * h.palette_entry_size);
        if (!stream.seek(h.palette_offset, false) || !stream.read(raw.data(), static_cast<std::int32_t>(raw.size())) ||
            stream.position() != h.palette_offset + static_cast<std::int64_t>(raw.size()))
            return false;
        for (std::int32_t i = 0; i < h.palette_entries; ++i) {
            const std::uint8_t* e = &raw[static_cast<std::size_t>(i) * h.palette_entry_size];
            palette[i][0] = e[2];
            palette[i][1] = e[1];
            palette[i][2] = e[0];
        }
    }

    std::int64_t stride = (h.width * h.bits + 31) / 32 * 4;
    if (stride * h.height > static_cast<std::int64_t>(stream.stream_size()) - h.pixel_offset) return false;
    auto width = static_cast<std::int32_t>(h.width), height = static_cast<std::int32_t>(h.height);
    if (!image.prepare(width, height)) return false;
    if (!stream.seek(h.pixel_offset, false)) {
        image.clear();
        return false;
    }
    std::vector<std::uint8_t> line(static_cast<std::size_t>(stride));
    for (std::int32_t r = 0; r < height; ++r) {
        if (!stream.read(line.data(), static_cast<std::int32_t>(stride)) ||
            stream.position() != h.pixel_offset + stride * (r + 1)) {
            image.clear();
            return false;
        }
        std::uint8_t* out = image.row(h.top_down ? r : height - 1 - r);
        for (std::int32_t x = 0; x < width; ++x, out += 4) {
            out[3] = 255;
            switch (h.bits) {
                case 1: case 4: case 8: {
                    std::int64_t bit = static_cast<std::int64_t>(x) * h.bits;
                    std::uint32_t byte = line[static_cast<std::size_t>(bit / 8)];
                    std::uint32_t shift = 8 - h.bits - static_cast<std::uint32_t>(bit % 8);
                    std::uint32_t index = (byte >> shift) & ((1u << h.bits) - 1);
                    if (index >= static_cast<std::uint32_t>(h.palette_entries)) {
                        image.clear();
                        return false;
                    }
                    std::memcpy(out, palette[index], 3);
                    break;
                }
                case 16: {
                    std::uint32_t v = u16(&line[static_cast<std::size_t>(x) * 2]);
                    out[0] = static_cast<std::uint8_t>(((v >> 10) & 31) * 255 / 31);
                    out[1] = static_cast<std::uint8_t>(((v >> 5) & 31) * 255 / 31);
                    out[2] = static_cast<std::uint8_t>((v & 31) * 255 / 31);
                    break;
                }
                default: {
                    const std::uint8_t* p = &line[static_cast<std::size_t>(x) * (h.bits / 8)];
                    out[0] = p[2];
                    out[1] = p[1];
                    out[2] = p[0];
                    break;
                }
            }
            apply_colour_key(out, key);
        }
    }
    return true;
}

bool write_bmp(const char* name, const std::uint8_t* rgba, std::int32_t w, std::int32_t h) {
    if (w <= 0 || h <= 0) return false;
    std::int64_t stride = (static_cast<std::int64_t>(w) * 3 + 3) / 4 * 4;
    std::int64_t image_size = stride * h;
    if (image_size + 54 > 0x7fffffff) return false;
    std::uint8_t header[54] = {'B', 'M'};
    put32(header + 2, static_cast<std::uint32_t>(54 + image_size));
    put32(header + 10, 54);
    put32(header + 14, 40);
    put32(header + 18, static_cast<std::uint32_t>(w));
    put32(header + 22, static_cast<std::uint32_t>(h));
    put16(header + 26, 1);
    put16(header + 28, 24);
    put32(header + 34, static_cast<std::uint32_t>(image_size));
    put32(header + 38, 10000);
    put32(header + 42, 10000);
    ResourceStream stream;
    if (!stream.open_write(name) || !stream.write(header, 54)) return false;
    std::vector<std::uint8_t> line(static_cast<std::size_t>(stride), 0);
    for (std::int32_t r = h - 1; r >= 0; --r) {
        const std::uint8_t* p = rgba + static_cast<std::size_t>(r) * w * 4;
        for (std::int32_t x = 0; x < w; ++x, p += 4) {
            std::uint8_t* o = &line[static_cast<std::size_t>(x) * 3];
            if (p[3] != 255) {
                // BMP has no alpha: such pixels take the default colour key
                // (0x8000FF, blue 0x80, green 0, red 0xFF), so that loading
                // the file with that key makes them transparent again.
                o[0] = 0x80;
                o[1] = 0;
                o[2] = 0xff;
            } else {
                o[0] = p[2];
                o[1] = p[1];
                o[2] = p[0];
            }
        }
        if (!stream.write(line.data(), static_cast<std::int32_t>(stride))) return false;
    }
    return true;
}

}  // namespace crv
