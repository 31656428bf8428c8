// Shader source loading up to the driver call: the text handed over is the
// whole block with one zero byte after it.
#include "render2d/shader_source.hpp"
#include "tests/fuzz/fuzz_support.hpp"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace crv;
    std::vector<char> text;
    fuzz::check(read_shader_source(fuzz::memory_name_of(data, size).c_str(), text), "a memory block did not read");
    fuzz::check(text.size() == size + 1 && text.back() == 0 && (size == 0 || std::memcmp(text.data(), data, size) == 0),
                "the source differs from the block");
    return 0;
}
