// PNG decoding through the decoder entry point, from a "mem://" name and from
// a file: both must give the same image.
#include "render2d/image.hpp"
#include "tests/fuzz/fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace crv;
    static const std::string file = fuzz::scratch_name(".png");
    DecodedImage from_memory, from_file;
    bool a = decode_png(from_memory, fuzz::memory_name_of(data, size).c_str(), 0xFF00FF);
    fuzz::write_file(file, data, size);
    bool b = decode_png(from_file, file.c_str(), 0xFF00FF);
    fuzz::check(a == b && from_memory.width == from_file.width && from_memory.height == from_file.height &&
                    from_memory.pixels == from_file.pixels,
                "memory and file decodes differ");
    fuzz::check(!a || from_memory.pixels.size() == static_cast<std::size_t>(from_memory.width) * from_memory.height * 4,
                "pixel buffer does not match the image size");
    return 0;
}
