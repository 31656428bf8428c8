// HTTP response header parsing as downloads do it, block by block: the first
// input byte chooses the block size; the header must end at the same byte
// however the stream is cut.
#include "net/http_header.hpp"
#include "tests/fuzz/fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace crv;
    if (size == 0) return 0;
    std::size_t block = static_cast<std::size_t>(data[0] % 16) + 1;
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    std::size_t count = size - 1;

    HttpHeaderSkipper whole;
    std::size_t whole_header = whole.consume(bytes, count);
    HttpHeaderSkipper pieces;
    std::size_t header = 0;
    for (std::size_t at = 0; at < count && !pieces.done(); at += block) {
        std::size_t n = count - at < block ? count - at : block;
        std::size_t taken = pieces.consume(bytes + at, n);
        fuzz::check(taken <= n, "the header took more than the block");
        header += taken;
    }
    fuzz::check(whole.done() == pieces.done() && whole_header == header, "the header end depends on the blocks");
    return 0;
}
