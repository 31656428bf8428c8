// Lobby frame assembly: the bytes a peer sends, arriving in blocks whose
// size the first input byte chooses, are turned into frames as a host's or
// a joiner's connection does; the frames must not depend on the blocks.
#include "net/lobby_frames.hpp"
#include "tests/fuzz/fuzz_support.hpp"

namespace {

// What one connection assembles; false once the stream is damaged.
bool assemble(const char* bytes, std::size_t count, std::size_t block, std::vector<crv::LobbyFrame>& frames) {
    std::string in;
    for (std::size_t at = 0; at < count; at += block) {
        in.append(bytes + at, count - at < block ? count - at : block);
        bool damaged = false;
        std::size_t used = crv::take_lobby_frames(in, frames, damaged);
        crv::fuzz::check(used <= in.size(), "frames took more than arrived");
        if (damaged) return false;
        in.erase(0, used);
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace crv;
    if (size == 0) return 0;
    std::size_t block = static_cast<std::size_t>(data[0]) * 7 + 1;
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    std::vector<LobbyFrame> whole, pieces;
    bool whole_ok = assemble(bytes, size - 1, size, whole);
    bool pieces_ok = assemble(bytes, size - 1, block, pieces);
    fuzz::check(whole_ok == pieces_ok && whole.size() == pieces.size(), "frames depend on the blocks");
    for (std::size_t i = 0; i < whole.size(); ++i) {
        fuzz::check(whole[i].body.size() <= static_cast<std::size_t>(k_lobby_max_body), "an over-long body");
        fuzz::check(whole[i].command == pieces[i].command && whole[i].sender == pieces[i].sender &&
                        whole[i].receiver == pieces[i].receiver && whole[i].body == pieces[i].body,
                    "frames depend on the blocks");
    }
    return 0;
}
