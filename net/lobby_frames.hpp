// Frame assembly of the lobby's wire format: whole frames taken from the
// front of the bytes a connection has received so far. The bytes come from
// peers nobody vouches for; a frame that declares a body longer than the
// lobby allows ends the stream, because nothing after it can be trusted to
// be a frame. Pure functions, any thread.
#pragma once

#include "net/lobby.hpp"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace crv {

// command (1), body length (2), receiver (2), sender (2), little-endian.
inline constexpr std::size_t k_lobby_header_size = 7;

struct LobbyFrame {
    std::uint8_t command = 0;
    std::uint16_t receiver = 0;
    std::uint16_t sender = 0;
    std::string body;
};

// Appends every whole frame at the front of in to frames and returns how
// many bytes they took (a partial frame stays for later). damaged is set
// when an over-long frame was met; the frames before it are still taken.
inline std::size_t take_lobby_frames(const std::string& in, std::vector<LobbyFrame>& frames, bool& damaged) {
    auto get16 = [](const char* p) {
        return static_cast<std::uint16_t>(static_cast<unsigned char>(p[0]) |
                                          (static_cast<unsigned char>(p[1]) << 8));
    };
    damaged = false;
    std::size_t pos = 0;
    while (in.size() - pos >= k_lobby_header_size) {
        const char* h = in.data() + pos;
        std::size_t length = get16(h + 1);
        if (length > static_cast<std::size_t>(k_lobby_max_body)) {
            damaged = true;
            break;
        }
        if (in.size() - pos < k_lobby_header_size + length) break;
        LobbyFrame f;
        f.command = static_cast<std::uint8_t>(h[0]);
        f.receiver = get16(h + 3);
        f.sender = get16(h + 5);
        f.body.assign(h + k_lobby_header_size, length);
        frames.push_back(std::move(f));
        pos += k_lobby_header_size + length;
    }
    return pos;
}

}  // namespace crv
