// Shared pieces of the fuzz harnesses: the input as a "mem://" name and as a
// scratch file of this process, and a check that stops the run when a
// harness finds two ways of reading the same bytes disagreeing.
#pragma once

#include "sys/resource.hpp"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

namespace crv::fuzz {

inline std::string memory_name_of(const std::uint8_t* data, std::size_t size) {
    return memory_name(data, static_cast<std::int32_t>(size));
}

// A file in the temporary folder that only this process uses.
inline std::string scratch_name(const char* suffix) {
    const char* dir = std::getenv("TMPDIR");
    std::string name = dir != nullptr && *dir != 0 ? dir : "/tmp";
    if (name.back() != '/') name += '/';
    return name + "crv_fuzz_" + std::to_string(static_cast<long>(getpid())) + suffix;
}

inline bool write_file(const std::string& name, const std::uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen(name.c_str(), "wb");
    if (f == nullptr) return false;
    bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

// An inconsistency is a finding like a crash: report it and abort.
inline void check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

}  // namespace crv::fuzz
