// Test support: RIFF WAVE files built in memory, whole or damaged on
// purpose, and tones to put in them.
#pragma once

#include <cmath>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace crv::test {

using Bytes = std::vector<std::uint8_t>;

inline void put16(Bytes& b, std::uint32_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

inline void put32(Bytes& b, std::uint32_t v) {
    put16(b, v & 0xffff);
    put16(b, v >> 16);
}

// A chunk; size_field replaces the true body size in the header when set.
inline Bytes chunk(const char* id, const Bytes& body, std::int64_t size_field = -1) {
    Bytes b(id, id + 4);
    put32(b, size_field >= 0 ? static_cast<std::uint32_t>(size_field) : static_cast<std::uint32_t>(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

struct FmtFields {
    std::uint16_t tag = 1;
    std::uint16_t channels = 1;
    std::uint32_t rate = 22050;
    std::uint16_t bits = 16;
    std::int32_t block_align = -1;  // -1: channels x bits / 8
    std::size_t size = 16;          // bytes of the chunk body (extra bytes are zero)
};

inline Bytes fmt_body(const FmtFields& f) {
    const std::uint16_t align =
        f.block_align >= 0 ? static_cast<std::uint16_t>(f.block_align) : static_cast<std::uint16_t>(f.channels * f.bits / 8);
    Bytes b;
    put16(b, f.tag);
    put16(b, f.channels);
    put32(b, f.rate);
    put32(b, f.rate * align);
    put16(b, align);
    put16(b, f.bits);
    b.resize(f.size, 0);
    return b;
}

inline Bytes riff(const std::vector<Bytes>& chunks, const char* form = "WAVE") {
    Bytes body(form, form + 4);
    for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
    Bytes b{'R', 'I', 'F', 'F'};
    put32(b, static_cast<std::uint32_t>(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

// 16-bit samples, interleaved when there are several channels.
inline Bytes pcm16(const std::vector<std::int16_t>& samples) {
    Bytes b;
    for (std::int16_t s : samples) put16(b, static_cast<std::uint16_t>(s));
    return b;
}

inline std::vector<std::int16_t> sine(int frames, double frequency, int rate, double amplitude) {
    std::vector<std::int16_t> s(static_cast<std::size_t>(frames));
    for (int i = 0; i < frames; ++i)
        s[static_cast<std::size_t>(i)] =
            static_cast<std::int16_t>(std::lround(amplitude * std::sin(2.0 * M_PI * frequency * i / rate)));
    return s;
}

// A whole mono (or interleaved stereo) 16-bit file.
inline Bytes wave_file(const std::vector<std::int16_t>& samples, int channels = 1, std::uint32_t rate = 22050) {
    FmtFields f;
    f.channels = static_cast<std::uint16_t>(channels);
    f.rate = rate;
    return riff({chunk("fmt ", fmt_body(f)), chunk("data", pcm16(samples))});
}

inline void write_file(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace crv::test
