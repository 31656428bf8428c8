// Shared pieces of the fuzz harnesses: the input as a "mem://" name and as a
// scratch file of this process, and a check that stops the run when a
// harness finds two ways of reading the same bytes disagreeing.
#pragma once

#include "render2d/image.hpp"
#include "sys/resource.hpp"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

namespace crv::fuzz {

inline std::string memory_name_of(const std::uint8_t* data, std::size_t size) {
    return memory_name(data, static_cast<std::int32_t>(size));
}

// A file in the temporary folder that only this process uses.
inline std::string scratch_name(const char* suffix) {
    const char* dir = std::getenv("TMPDIR");
    std::string name = dir != nullptr && *dir != 0 ? dir : "/tmp";
    if (name.back() != '/') name += '/';
    return name + "crv_fuzz_" + std::to_string(static_cast<long>(getpid())) + suffix;
}

inline bool write_file(const std::string& name, const std::uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen(name.c_str(), "wb");
    if (f == nullptr) return false;
    bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

// An inconsistency is a finding like a crash: report it and abort.
inline void check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

// An image decoder read from a "mem://" name and from a file must give the
// same image, with a pixel buffer of the image's size.
template <typename Decoder>
void check_image_decoder(Decoder decode, const char* suffix, const std::uint8_t* data, std::size_t size) {
    static const std::string file = scratch_name(suffix);
    DecodedImage from_memory, from_file;
    bool a = decode(from_memory, memory_name_of(data, size).c_str(), 0xFF00FF);
    write_file(file, data, size);
    bool b = decode(from_file, file.c_str(), 0xFF00FF);
    check(a == b && from_memory.width == from_file.width && from_memory.height == from_file.height &&
              from_memory.pixels == from_file.pixels,
          "memory and file decodes differ");
    check(!a || from_memory.pixels.size() == static_cast<std::size_t>(from_memory.width) * from_memory.height * 4,
          "pixel buffer does not match the image size");
}

}  // namespace crv::fuzz
