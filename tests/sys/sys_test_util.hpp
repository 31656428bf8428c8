// Helpers shared by the sys tests: files in temporary folders, packs, the
// environment, the current folder, and checks of fatal ends.
#pragma once

#include "runtime/app_state.hpp"
#include <corvane/core.hpp>
#include "sys/media_pack.hpp"
#include "sys/resource.hpp"
#include "sys/sys_lifecycle.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/scoped_env.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace crv::test {

inline void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline bool exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

inline void make_folder(const std::string& path) {
    std::error_code error;
    std::filesystem::create_directory(path, error);
}

// The names in a folder, without "." and "..", sorted.
inline std::vector<std::string> folder_names(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

inline std::vector<std::uint8_t> build_pack(const std::vector<std::pair<std::string, std::string>>& files) {
    std::vector<PackSource> sources;
    for (const auto& [name, content] : files) sources.push_back({name, {content.begin(), content.end()}});
    std::vector<std::uint8_t> pack;
    std::string error;
    EXPECT_TRUE(pack_build(sources, pack, error)) << error;
    return pack;
}

inline std::string pack_text(const std::vector<std::pair<std::string, std::string>>& files) {
    std::vector<std::uint8_t> pack = build_pack(files);
    return std::string(pack.begin(), pack.end());
}

// Makes a folder current for the scope of the object.
class ScopedCurrentDir {
public:
    explicit ScopedCurrentDir(const std::string& folder) {
        std::error_code error;
        old_ = std::filesystem::current_path(error);
        std::filesystem::current_path(folder, error);
        EXPECT_FALSE(error) << folder;
    }
    ~ScopedCurrentDir() {
        std::error_code ignored;
        std::filesystem::current_path(old_, ignored);
    }

private:
    std::filesystem::path old_;
};

// Pack contexts naming a pack file, released at the end of the scope.
class ScopedPacks {
public:
    explicit ScopedPacks(const std::string& pack_file) { pack_contexts_create(DynString(pack_file.c_str())); }
    ~ScopedPacks() { pack_contexts_release(); }
};

inline void print_error_code_at_exit() {
    std::fprintf(stderr, "error=%d\n", last_error_code());
}

}  // namespace crv::test

// The statement must end the program through end_program with this error code.
#define EXPECT_FATAL(statement, code)                                             \
    EXPECT_EXIT(                                                                  \
        {                                                                         \
            std::atexit(::crv::test::print_error_code_at_exit);                   \
            statement;                                                            \
        },                                                                        \
        ::testing::ExitedWithCode(0), "error=" #code "\n")
