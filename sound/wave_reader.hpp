// Reading RIFF WAVE sound files held in memory. The bytes come from game
// files and packs and are not trusted: every chunk must fit in the bytes
// given and the format must describe plain PCM that an output device can
// take (one or two channels, 8 or 16 bits, a matching block alignment);
// anything else is refused, nothing is read past the end. Pure functions,
// any thread.
#pragma once

#include "platform/audio.hpp"

#include <cstddef>
#include <cstdint>

namespace crv {

struct WaveSound {
    // Stereo when the file has more than one channel, else mono; the
    // file's rate, bits and block alignment.
    plat::AudioFormat format;
    const std::uint8_t* samples = nullptr;  // inside the bytes given
    std::size_t sample_bytes = 0;           // the "data" chunk's size
};

// The first "fmt " chunk (at least 16 bytes; a longer one is skipped to its
// end), then the first "data" chunk after it; other chunks are skipped by
// their sizes. False when the bytes are not such a file.
bool read_wave(const std::uint8_t* bytes, std::size_t size, WaveSound& out);

}  // namespace crv
