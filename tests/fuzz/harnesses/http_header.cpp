// HTTP response header reading as downloads do it, block by block: the
// first input byte chooses the block size (low four bits) and the header's
// size limit (high four bits: 0 the downloads' own, else a small one). The
// header must end or overflow at the same byte, and announce the same body
// length, however the stream is cut.
#include <corvane/net.hpp>

#include "net/http_header.hpp"
#include "tests/fuzz/fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace crv;
    if (size == 0) return 0;
    std::size_t block = static_cast<std::size_t>(data[0] % 16) + 1;
    std::size_t limit = data[0] / 16 == 0 ? k_http_max_header_bytes : static_cast<std::size_t>(data[0] / 16) * 8;
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    std::size_t count = size - 1;

    HttpHeader whole(limit);
    std::size_t whole_header = whole.consume(bytes, count);
    fuzz::check(whole_header <= limit, "the header took more than its limit");
    fuzz::check(!(whole.done() && whole.too_long()), "the header both ended and overflowed");
    HttpHeader pieces(limit);
    std::size_t header = 0;
    for (std::size_t at = 0; at < count && !pieces.done() && !pieces.too_long(); at += block) {
        std::size_t n = count - at < block ? count - at : block;
        std::size_t taken = pieces.consume(bytes + at, n);
        fuzz::check(taken <= n, "the header took more than the block");
        header += taken;
    }
    fuzz::check(whole.done() == pieces.done() && whole.too_long() == pieces.too_long() && whole_header == header,
                "the header end depends on the blocks");
    fuzz::check(whole.content_length() == pieces.content_length() &&
                    whole.length_invalid() == pieces.length_invalid(),
                "the announced length depends on the blocks");
    fuzz::check(whole.content_length() >= -1 && whole.content_length() <= HttpHeader::k_huge,
                "an announced length out of range");
    return 0;
}
