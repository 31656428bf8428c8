// BMP decoding through the decoder entry point, from a "mem://" name and from
// a file: both must give the same image.
#include "render2d/image.hpp"
#include "tests/fuzz/fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    crv::fuzz::check_image_decoder(crv::decode_bmp, ".bmp", data, size);
    return 0;
}
