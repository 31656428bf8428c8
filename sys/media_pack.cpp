#include "sys/media_pack.hpp"

#include <lzo/lzo1x.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <mutex>

namespace crv {

namespace {

// A directory larger than this is taken as damage rather than read.
constexpr std::int64_t k_directory_limit = 64 << 20;

bool lzo_ready() {
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] { ready = lzo_init() == LZO_E_OK; });
    return ready;
}

std::int32_t read_i32(const std::uint8_t* p) {
    std::uint32_t v = static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                      static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    return static_cast<std::int32_t>(v);
}

void put_i32(std::vector<std::uint8_t>& out, std::int64_t value) {
    std::uint32_t v = static_cast<std::uint32_t>(static_cast<std::int32_t>(value));
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// Offsets below 0 count back from the end of the pack.
std::int64_t absolute(std::int32_t offset, std::int64_t pack_size) {
    return offset < 0 ? pack_size + offset : offset;
}

bool lower_equal(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

}  // namespace

PackStatus pack_scan(ResourceStream& pack, const std::function<bool(const PackEntry&)>& visit) {
    const std::int64_t size = pack.size();
    if (size < k_pack_trailer_size) return PackStatus::not_a_pack;
    std::uint8_t trailer[k_pack_trailer_size];
    if (!pack.seek(size - k_pack_trailer_size, false) || !pack.read(trailer, k_pack_trailer_size))
        return PackStatus::not_a_pack;
    if (std::memcmp(trailer, "sbX", 3) != 0) return PackStatus::not_a_pack;

    const std::int64_t directory_end = size - k_pack_trailer_size;
    const std::int64_t directory = absolute(read_i32(trailer + 3), size);
    if (directory < 0 || directory >= directory_end) return PackStatus::damaged;
    const std::int64_t length = std::min(directory_end - directory, k_directory_limit);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
    if (!pack.seek(directory, false) || !pack.read(bytes.data(), static_cast<std::int32_t>(length)))
        return PackStatus::damaged;

    std::size_t p = 0;
    while (p < bytes.size()) {
        std::size_t name_length = bytes[p];
        if (name_length == 0) return PackStatus::ok;
        if (bytes.size() - p < 1 + name_length + 8) return PackStatus::damaged;
        PackEntry entry;
        entry.name.assign(reinterpret_cast<const char*>(&bytes[p + 1]), name_length);
        entry.data_offset = absolute(read_i32(&bytes[p + 1 + name_length]), size);
        entry.stored_size = read_i32(&bytes[p + 1 + name_length + 4]);
        p += 1 + name_length + 8;
        if (visit(entry)) return PackStatus::ok;
    }
    return PackStatus::damaged;
}

bool pack_decode(ResourceStream& pack, const PackEntry& entry, std::unique_ptr<std::uint8_t[]>& bytes,
                 std::uint32_t& size) {
    bytes.reset();
    size = 0;
    const std::int64_t data_end = static_cast<std::int64_t>(pack.size()) - k_pack_trailer_size;
    if (entry.stored_size < 4 || entry.data_offset < 0 || entry.data_offset > data_end ||
        entry.stored_size > data_end - entry.data_offset || !lzo_ready())
        return false;
    std::vector<std::uint8_t> stored(static_cast<std::size_t>(entry.stored_size));
    if (!pack.seek(entry.data_offset, false) || !pack.read(stored.data(), entry.stored_size)) return false;
    const std::uint32_t declared = static_cast<std::uint32_t>(read_i32(stored.data()));
    const std::uint64_t compressed = stored.size() - 4;
    // LZO1X cannot produce more than 255 bytes per input byte, so a larger
    // declaration is a lie that would only cost memory.
    if (declared > k_pack_entry_limit || declared > compressed * 256 + 256) return false;
    std::unique_ptr<std::uint8_t[]> out(new std::uint8_t[declared > 0 ? declared : 1]);
    lzo_uint out_length = declared;
    int r = lzo1x_decompress_safe(stored.data() + 4, static_cast<lzo_uint>(compressed), out.get(), &out_length,
                                  nullptr);
    if (r != LZO_E_OK || out_length != declared) return false;
    bytes = std::move(out);
    size = declared;
    return true;
}

bool pack_build(const std::vector<PackSource>& sources, std::vector<std::uint8_t>& pack, std::string& error) {
    pack.clear();
    if (!lzo_ready()) {
        error = "the compressor could not be initialised";
        return false;
    }
    std::vector<std::uint8_t> work(LZO1X_1_MEM_COMPRESS);
    std::vector<std::int64_t> starts;
    for (std::size_t i = 0; i < sources.size(); ++i) {
        const PackSource& s = sources[i];
        if (s.name.empty() || s.name.size() > 255 || s.name.find_first_of("/\\") != std::string::npos ||
            s.name.find('\0') != std::string::npos) {
            error = "unusable entry name \"" + s.name + "\" (1 to 255 bytes, no folders)";
            return false;
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (lower_equal(sources[j].name, s.name)) {
                error = "two entries named \"" + s.name + "\" (names are compared ignoring case)";
                return false;
            }
        }
        if (s.bytes.size() > k_pack_entry_limit) {
            error = "\"" + s.name + "\" is larger than an entry may be";
            return false;
        }
        starts.push_back(static_cast<std::int64_t>(pack.size()));
        put_i32(pack, static_cast<std::int64_t>(s.bytes.size()));
        std::size_t at = pack.size();
        pack.resize(at + s.bytes.size() + s.bytes.size() / 16 + 64 + 3);
        lzo_uint out_length = 0;
        lzo1x_1_compress(s.bytes.data(), s.bytes.size(), pack.data() + at, &out_length, work.data());
        pack.resize(at + out_length);
        if (pack.size() > INT32_MAX / 2) {
            error = "the pack would be too large";
            return false;
        }
    }
    std::vector<std::uint8_t> directory;
    std::int64_t directory_size = 1;
    for (const PackSource& s : sources) directory_size += 1 + static_cast<std::int64_t>(s.name.size()) + 8;
    const std::int64_t total = static_cast<std::int64_t>(pack.size()) + directory_size + k_pack_trailer_size;
    const std::int64_t directory_start = static_cast<std::int64_t>(pack.size());
    for (std::size_t i = 0; i < sources.size(); ++i) {
        const std::int64_t end = i + 1 < sources.size() ? starts[i + 1] : directory_start;
        pack.push_back(static_cast<std::uint8_t>(sources[i].name.size()));
        pack.insert(pack.end(), sources[i].name.begin(), sources[i].name.end());
        put_i32(pack, starts[i] - total);
        put_i32(pack, end - starts[i]);
    }
    pack.push_back(0);
    pack.insert(pack.end(), {'s', 'b', 'X'});
    put_i32(pack, directory_start - total);
    return true;
}

std::int64_t pack_start(ResourceStream& pack) {
    const std::int64_t size = pack.size();
    std::uint8_t trailer[k_pack_trailer_size];
    if (size < k_pack_trailer_size || !pack.seek(size - k_pack_trailer_size, false) ||
        !pack.read(trailer, k_pack_trailer_size) || std::memcmp(trailer, "sbX", 3) != 0)
        return -1;
    std::int64_t start = absolute(read_i32(trailer + 3), size);
    bool sound = true;
    PackStatus status = pack_scan(pack, [&](const PackEntry& e) {
        if (e.data_offset < 0 || e.stored_size < 4) sound = false;
        start = std::min(start, e.data_offset);
        return false;
    });
    return status == PackStatus::ok && sound && start >= 0 ? start : -1;
}

}  // namespace crv
