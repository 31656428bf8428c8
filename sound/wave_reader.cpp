#include "sound/wave_reader.hpp"

#include <cstring>

namespace crv {

namespace {

constexpr std::uint16_t k_format_pcm = 1;
constexpr std::uint16_t k_format_extensible = 0xFFFE;
// Rates an output buffer accepts.
constexpr std::uint32_t k_min_rate = 100;
constexpr std::uint32_t k_max_rate = 200000;
// The PCM sub-format of an extensible format block, after its first two
// bytes (which hold the format tag 1).
constexpr std::uint8_t k_pcm_guid_tail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                             0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

std::uint16_t u16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

std::uint32_t u32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

struct Chunk {
    const std::uint8_t* body = nullptr;
    std::size_t size = 0;
};

// Walks chunk headers from *pos until one named id; every chunk passed
// over, and the one found, must lie inside the bytes.
bool find_chunk(const std::uint8_t* bytes, std::size_t size, std::size_t* pos, const char* id, Chunk& found) {
    while (size - *pos >= 8) {
        const std::uint8_t* header = bytes + *pos;
        const std::size_t chunk_size = u32(header + 4);
        const std::size_t body = *pos + 8;
        if (chunk_size > size - body) return false;
        *pos = body + chunk_size;
        if (std::memcmp(header, id, 4) == 0) {
            found.body = bytes + body;
            found.size = chunk_size;
            return true;
        }
    }
    return false;
}

}  // namespace

bool read_wave(const std::uint8_t* bytes, std::size_t size, WaveSound& out) {
    out = WaveSound{};
    if (bytes == nullptr || size < 12) return false;
    if (std::memcmp(bytes, "RIFF", 4) != 0 || std::memcmp(bytes + 8, "WAVE", 4) != 0) return false;

    std::size_t pos = 12;
    Chunk fmt;
    if (!find_chunk(bytes, size, &pos, "fmt ", fmt) || fmt.size < 16) return false;
    const std::uint16_t tag = u16(fmt.body);
    const std::uint16_t channels = u16(fmt.body + 2);
    const std::uint32_t rate = u32(fmt.body + 4);
    const std::uint16_t block_align = u16(fmt.body + 12);
    const std::uint16_t bits = u16(fmt.body + 14);

    // Other encodings would be played as noise.
    if (tag == k_format_extensible) {
        if (fmt.size < 40 || u16(fmt.body + 24) != k_format_pcm ||
            std::memcmp(fmt.body + 26, k_pcm_guid_tail, sizeof k_pcm_guid_tail) != 0)
            return false;
    } else if (tag != k_format_pcm) {
        return false;
    }
    if (channels == 0 || (bits != 8 && bits != 16)) return false;
    const int used_channels = channels > 1 ? 2 : 1;
    if (block_align != used_channels * bits / 8) return false;
    if (rate < k_min_rate || rate > k_max_rate) return false;

    Chunk data;
    if (!find_chunk(bytes, size, &pos, "data", data) || data.size < block_align) return false;

    out.format.channels = used_channels;
    out.format.samples_per_second = static_cast<int>(rate);
    out.format.bits_per_sample = bits;
    out.format.block_align = block_align;
    out.samples = data.body;
    out.sample_bytes = data.size;
    return true;
}

}  // namespace crv
