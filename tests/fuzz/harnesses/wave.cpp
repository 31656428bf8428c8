// WAVE reading: an accepted file's samples lie inside the bytes given and
// fit its format.
#include "sound/wave_reader.hpp"
#include "tests/fuzz/fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace crv;
    WaveSound sound;
    if (!read_wave(data, size, sound)) return 0;
    fuzz::check(sound.samples >= data && sound.samples <= data + size &&
                    sound.sample_bytes <= static_cast<std::size_t>(data + size - sound.samples),
                "samples outside the file");
    volatile std::uint8_t sum = 0;
    for (std::size_t i = 0; i < sound.sample_bytes; ++i) sum = static_cast<std::uint8_t>(sum + sound.samples[i]);
    return 0;
}
