// The media pack read from memory: the trailer and directory walk, the LZO
// entries, and resource resolution through the pack (as a memory name and
// as a temporary file), whose result must hold the decoded entry.
#include "sys/media_pack.hpp"
#include "sys/resource.hpp"
#include "tests/fuzz/fuzz_support.hpp"

#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace crv;
    const std::string name = fuzz::memory_name_of(data, size);
    std::vector<PackEntry> entries;
    {
        ResourceStream stream;
        fuzz::check(stream.open_read(name.c_str()), "memory stream did not open");
        pack_scan(stream, [&](const PackEntry& e) {
            entries.push_back(e);
            return entries.size() >= 16;
        });
        pack_start(stream);
        for (const PackEntry& e : entries) {
            std::unique_ptr<std::uint8_t[]> bytes;
            std::uint32_t decoded = 0;
            if (pack_decode(stream, e, bytes, decoded))
                fuzz::check(decoded <= k_pack_entry_limit, "entry larger than the limit");
        }
    }

    ResourcePack pack;
    pack.set_pack_name(name);
    int resolved_count = 0;
    for (const PackEntry& e : entries) {
        if (e.name.find_first_of("/\\") != std::string::npos || e.name.find('\0') != std::string::npos) continue;
        if (++resolved_count > 4) break;
        // A folder in front: the pack is searched by base name; nothing of
        // that name is on disk.
        std::string request = "crv-fuzz-missing-folder/" + e.name;
        bool to_file = resolved_count == 1;
        std::string out;
        if (!resolve_resource(&pack, request.c_str(), out, !to_file)) continue;
        fuzz::check(to_file != is_memory_name(out.c_str()), "resolution handed out the wrong kind of name");
        ResourceStream result;
        fuzz::check(result.open_read(out.c_str()), "resolved name does not open");
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(result.size()) + 1);
        std::int32_t got = 0;
        result.read(bytes.data(), result.size(), &got);
        fuzz::check(got == result.size(), "resolved entry reads short");
    }
    pack.release();
    return 0;
}
