// The media pack's byte layout: entry data, a directory and a 7-byte trailer
// ("sbX" + directory offset) at the very end, so that a pack can be appended
// to any file, an executable included. Offsets are little-endian int32; a
// negative one counts back from the end, which is what the writer uses so
// that a pack stays valid wherever it is appended. An entry's data is its
// decoded length (4 bytes) and an LZO1X-1 stream.
// Reading trusts nothing in the file: every offset, length and size is
// checked against the pack's size before it is used, and an entry is
// accepted only when it decodes to exactly its declared length.
// Pure functions over a ResourceStream or byte vectors; any thread.
#pragma once

#include "sys/resource.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace crv {

inline constexpr std::int32_t k_pack_trailer_size = 7;
// No entry may declare more decoded bytes than this.
inline constexpr std::uint32_t k_pack_entry_limit = 256u << 20;

struct PackEntry {
    std::string name;
    std::int64_t data_offset = 0;  // from the start of the pack
    std::int32_t stored_size = 0;
};

enum class PackStatus { ok, not_a_pack, damaged };

// Walks the directory of the pack the stream holds, calling visit for each
// entry until it returns true. not_a_pack: no trailer; damaged: the
// directory runs outside the pack before its end marker.
PackStatus pack_scan(ResourceStream& pack, const std::function<bool(const PackEntry&)>& visit);

// Reads and decodes one entry. False for anything that does not check out.
bool pack_decode(ResourceStream& pack, const PackEntry& entry, std::unique_ptr<std::uint8_t[]>& bytes,
                 std::uint32_t& size);

struct PackSource {
    std::string name;  // 1 to 255 bytes, no folder separators
    std::vector<std::uint8_t> bytes;
};

// A complete pack of the sources, every offset counted from its end.
// False with a reason when a name is unusable, repeated (ignoring case) or
// the pack would exceed the 32-bit offsets.
bool pack_build(const std::vector<PackSource>& sources, std::vector<std::uint8_t>& pack, std::string& error);

// Where the pack at the end of a file of this stream begins (the lowest
// offset its directory and entries use); -1 when there is no valid pack.
std::int64_t pack_start(ResourceStream& pack);

}  // namespace crv
