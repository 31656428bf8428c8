// crvpack: the media pack tool.
//
//   crvpack create PACK FILE...       a new pack file holding the files
//   crvpack append TARGET FILE...     appends a pack of the files to TARGET
//                                     (a game's executable, say), replacing
//                                     a pack TARGET already ends with
//   crvpack list PACK                 entries with stored and decoded sizes
//   crvpack extract PACK NAME [OUT]   writes one entry (to OUT, else NAME)
//   crvpack strip TARGET              removes the pack at the end of TARGET
//
// Entries are named by the files' base names; the run-time looks them up by
// base name ignoring case. Exit status 0 on success, 1 on failure, 2 on
// wrong usage.
#include "sys/media_pack.hpp"
#include "sys/resource.hpp"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using crv::PackEntry;
using crv::PackSource;
using crv::PackStatus;
using crv::ResourceStream;

int usage() {
    std::cerr << "usage: crvpack create PACK FILE...\n"
                 "       crvpack append TARGET FILE...\n"
                 "       crvpack list PACK\n"
                 "       crvpack extract PACK NAME [OUT]\n"
                 "       crvpack strip TARGET\n";
    return 2;
}

int fail(const std::string& message) {
    std::cerr << "crvpack: " << message << "\n";
    return 1;
}

bool read_file(const std::string& path, std::vector<std::uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool build(const std::vector<std::string>& files, std::vector<std::uint8_t>& pack) {
    std::vector<PackSource> sources;
    for (const std::string& path : files) {
        PackSource source;
        source.name = std::filesystem::path(path).filename().string();
        if (!read_file(path, source.bytes)) {
            fail("cannot read " + path);
            return false;
        }
        sources.push_back(std::move(source));
    }
    std::string error;
    if (!crv::pack_build(sources, pack, error)) {
        fail(error);
        return false;
    }
    return true;
}

bool write_bytes(const std::string& path, const std::vector<std::uint8_t>& bytes, bool append) {
    std::ofstream out(path, std::ios::binary | (append ? std::ios::app : std::ios::trunc));
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

// Where the pack at the end of path starts; -1 when it has none.
std::int64_t existing_pack(const std::string& path) {
    ResourceStream stream;
    if (!stream.open_read(path.c_str())) return -1;
    return crv::pack_start(stream);
}

bool strip(const std::string& path) {
    std::int64_t start = existing_pack(path);
    if (start < 0) return true;
    std::error_code error;
    std::filesystem::resize_file(path, static_cast<std::uintmax_t>(start), error);
    return !error;
}

int list(const std::string& path) {
    ResourceStream stream;
    if (!stream.open_read(path.c_str())) return fail("cannot open " + path);
    std::vector<PackEntry> entries;
    PackStatus status = crv::pack_scan(stream, [&](const PackEntry& e) {
        entries.push_back(e);
        return false;
    });
    if (status == PackStatus::not_a_pack) return fail(path + " holds no pack");
    int result = status == PackStatus::ok ? 0 : 1;
    for (const PackEntry& e : entries) {
        std::unique_ptr<std::uint8_t[]> bytes;
        std::uint32_t size = 0;
        if (crv::pack_decode(stream, e, bytes, size)) {
            std::printf("%10d %10u  %s\n", e.stored_size, size, e.name.c_str());
        } else {
            std::printf("%10d    damaged  %s\n", e.stored_size, e.name.c_str());
            result = 1;
        }
    }
    if (status != PackStatus::ok) std::fprintf(stderr, "crvpack: the directory of %s is damaged\n", path.c_str());
    return result;
}

int extract(const std::string& path, const std::string& name, const std::string& out) {
    ResourceStream stream;
    if (!stream.open_read(path.c_str())) return fail("cannot open " + path);
    PackEntry found;
    bool matched = false;
    PackStatus status = crv::pack_scan(stream, [&](const PackEntry& e) {
        if (e.name != name) return false;
        found = e;
        matched = true;
        return true;
    });
    if (status == PackStatus::not_a_pack) return fail(path + " holds no pack");
    if (!matched) return fail("no entry " + name + " in " + path);
    std::unique_ptr<std::uint8_t[]> bytes;
    std::uint32_t size = 0;
    if (!crv::pack_decode(stream, found, bytes, size)) return fail("entry " + name + " is damaged");
    std::vector<std::uint8_t> content(bytes.get(), bytes.get() + size);
    if (!write_bytes(out, content, false)) return fail("cannot write " + out);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() < 2) return usage();
    const std::string& command = args[0];
    const std::string& target = args[1];
    std::vector<std::string> files(args.begin() + 2, args.end());
    if (command == "create" || command == "append") {
        std::vector<std::uint8_t> pack;
        if (!build(files, pack)) return 1;
        if (command == "append" && !std::filesystem::is_regular_file(target))
            return fail(target + " is not a file");
        if (command == "append" && !strip(target)) return fail("cannot remove the old pack of " + target);
        if (!write_bytes(target, pack, command == "append")) return fail("cannot write " + target);
        return 0;
    }
    if (command == "list" && args.size() == 2) return list(target);
    if (command == "extract" && (args.size() == 3 || args.size() == 4))
        return extract(target, args[2], args.size() == 4 ? args[3] : args[2]);
    if (command == "strip" && args.size() == 2) {
        // A file without a pack is left as it is; a missing one is an error.
        if (!std::filesystem::is_regular_file(target)) return fail(target + " is not a file");
        return strip(target) ? 0 : fail("cannot strip " + target);
    }
    return usage();
}
