// JPEG decoding through the decoder entry point. The JPEG decoder reads real
// files only: a "mem://" name of the same bytes must fail.
#include "render2d/image.hpp"
#include "tests/fuzz/fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace crv;
    static const std::string file = fuzz::scratch_name(".jpg");
    DecodedImage image;
    fuzz::check(!decode_jpeg(image, fuzz::memory_name_of(data, size).c_str()), "a memory name decoded as JPEG");
    fuzz::write_file(file, data, size);
    if (decode_jpeg(image, file.c_str()))
        fuzz::check(image.pixels.size() == static_cast<std::size_t>(image.width) * image.height * 4,
                    "pixel buffer does not match the image size");
    return 0;
}
