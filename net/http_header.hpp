// The end of an HTTP response header, found in a byte stream that arrives
// in blocks of any size: the header ends where two line feeds follow each
// other with nothing but carriage returns between them. The bytes come from
// servers nobody vouches for; nothing is kept but a count. Any thread.
#pragma once

#include <cstddef>

namespace crv {

class HttpHeaderSkipper {
public:
    // How many leading bytes of the block belong to the header (all of them
    // while it has not ended).
    std::size_t consume(const char* bytes, std::size_t count) {
        std::size_t i = 0;
        while (!done_ && i < count) {
            char c = bytes[i++];
            if (c == '\n') {
                if (++line_feeds_ == 2) done_ = true;
            } else if (c != '\r') {
                line_feeds_ = 0;
            }
        }
        return i;
    }
    bool done() const { return done_; }

private:
    int line_feeds_ = 0;
    bool done_ = false;
};

}  // namespace crv
