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
//   crvpack --help | --version
//
// Entries are named by the files' base names; the run-time looks them up by
// base name ignoring case. Exit status 0 on success, 1 on failure (the
// message names the file and the reason), 2 on wrong usage (the usage goes
// to standard error; --help writes it to standard output).
#include "sys/media_pack.hpp"
#include "sys/resource.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace {

using crv::PackEntry;
using crv::PackSource;
using crv::PackStatus;
using crv::ResourceStream;

constexpr const char* k_usage =
    "usage: crvpack create PACK FILE...\n"
    "       crvpack append TARGET FILE...\n"
    "       crvpack list PACK\n"
    "       crvpack extract PACK NAME [OUT]\n"
    "       crvpack strip TARGET\n"
    "       crvpack --help | --version\n";

int usage() {
    std::cerr << k_usage;
    return 2;
}

// "crvpack: FILE: reason".
int fail(const std::string& file, const std::string& reason) {
    std::cerr << "crvpack: " << file << ": " << reason << "\n";
    return 1;
}

// Why a file cannot be opened for reading, in the system's words.
std::string open_failure(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return std::string("cannot be opened: ") + std::strerror(errno);
    std::fclose(f);
    return "cannot be opened";
}

bool read_file(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& reason) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) {
        reason = std::string("cannot be read: ") + std::strerror(errno);
        return false;
    }
    bytes.clear();
    std::uint8_t block[65536];
    std::size_t got = 0;
    while ((got = std::fread(block, 1, sizeof block, f)) > 0) bytes.insert(bytes.end(), block, block + got);
    const bool ok = std::ferror(f) == 0;
    if (!ok) reason = std::string("cannot be read: ") + std::strerror(errno);
    std::fclose(f);
    return ok;
}

bool build(const std::string& target, const std::vector<std::string>& files, std::vector<std::uint8_t>& pack) {
    std::vector<PackSource> sources;
    for (const std::string& path : files) {
        PackSource source;
        source.name = std::filesystem::path(path).filename().string();
        std::string reason;
        if (!read_file(path, source.bytes, reason)) {
            fail(path, reason);
            return false;
        }
        sources.push_back(std::move(source));
    }
    std::string error;
    if (!crv::pack_build(sources, pack, error)) {
        fail(target, "no pack made: " + error);
        return false;
    }
    return true;
}

bool write_bytes(const std::string& path, const std::vector<std::uint8_t>& bytes, bool append, std::string& reason) {
    std::FILE* f = std::fopen(path.c_str(), append ? "ab" : "wb");
    if (f == nullptr) {
        reason = std::string("cannot be written: ") + std::strerror(errno);
        return false;
    }
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fflush(f) == 0 && ok;
    if (!ok) reason = std::string("cannot be written: ") + std::strerror(errno);
    if (std::fclose(f) != 0 && ok) {
        reason = std::string("cannot be written: ") + std::strerror(errno);
        ok = false;
    }
    return ok;
}

// Where the pack at the end of path starts; -1 when it has none.
std::int64_t existing_pack(const std::string& path) {
    ResourceStream stream;
    if (!stream.open_read(path.c_str())) return -1;
    return crv::pack_start(stream);
}

bool strip(const std::string& path, std::string& reason) {
    std::int64_t start = existing_pack(path);
    if (start < 0) return true;
    std::error_code error;
    std::filesystem::resize_file(path, static_cast<std::uintmax_t>(start), error);
    if (error) reason = "its pack cannot be removed: " + error.message();
    return !error;
}

// A target that append and strip may change: an existing regular file.
bool usable_target(const std::string& path, std::string& reason) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (error || !std::filesystem::exists(status)) {
        reason = error ? error.message() : "no such file";
        return false;
    }
    if (!std::filesystem::is_regular_file(status)) {
        reason = "not a regular file";
        return false;
    }
    return true;
}

int list(const std::string& path) {
    ResourceStream stream;
    if (!stream.open_read(path.c_str())) return fail(path, open_failure(path));
    std::vector<PackEntry> entries;
    PackStatus status = crv::pack_scan(stream, [&](const PackEntry& e) {
        entries.push_back(e);
        return false;
    });
    if (status == PackStatus::not_a_pack) return fail(path, "holds no pack");
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
    if (status != PackStatus::ok) std::fprintf(stderr, "crvpack: %s: the pack's directory is damaged\n", path.c_str());
    return result;
}

int extract(const std::string& path, const std::string& name, const std::string& out) {
    ResourceStream stream;
    if (!stream.open_read(path.c_str())) return fail(path, open_failure(path));
    PackEntry found;
    bool matched = false;
    PackStatus status = crv::pack_scan(stream, [&](const PackEntry& e) {
        if (e.name != name) return false;
        found = e;
        matched = true;
        return true;
    });
    if (status == PackStatus::not_a_pack) return fail(path, "holds no pack");
    if (!matched) return fail(path, "no entry named " + name);
    std::unique_ptr<std::uint8_t[]> bytes;
    std::uint32_t size = 0;
    if (!crv::pack_decode(stream, found, bytes, size)) return fail(path, "entry " + name + " is damaged");
    std::vector<std::uint8_t> content(bytes.get(), bytes.get() + size);
    std::string reason;
    if (!write_bytes(out, content, false, reason)) return fail(out, reason);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::cout << k_usage;
        return 0;
    }
    if (args.size() == 1 && args[0] == "--version") {
        std::cout << "crvpack " << CRV_VERSION << "\n";
        return 0;
    }
    if (args.size() < 2) return usage();
    const std::string& command = args[0];
    const std::string& target = args[1];
    std::vector<std::string> files(args.begin() + 2, args.end());
    std::string reason;
    if (command == "create" || command == "append") {
        std::vector<std::uint8_t> pack;
        if (!build(target, files, pack)) return 1;
        if (command == "append" && !usable_target(target, reason)) return fail(target, reason);
        if (command == "append" && !strip(target, reason)) return fail(target, reason);
        if (!write_bytes(target, pack, command == "append", reason)) return fail(target, reason);
        return 0;
    }
    if (command == "list" && args.size() == 2) return list(target);
    if (command == "extract" && (args.size() == 3 || args.size() == 4))
        return extract(target, args[2], args.size() == 4 ? args[3] : args[2]);
    if (command == "strip" && args.size() == 2) {
        // A file without a pack is left as it is; a missing one is an error.
        if (!usable_target(target, reason)) return fail(target, reason);
        return strip(target, reason) ? 0 : fail(target, reason);
    }
    return usage();
}
