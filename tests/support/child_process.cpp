#include "tests/support/child_process.hpp"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace crv::test {

TempDir::TempDir() {
    std::error_code error;
    const std::filesystem::path base = std::filesystem::temp_directory_path(error);
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        std::filesystem::path candidate = base / ("crv-test-" + std::to_string(random() % 1000000000u));
        if (std::filesystem::create_directory(candidate, error)) path_ = candidate.generic_string();
    }
}

TempDir::~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::read(const std::string& name) const {
    std::ifstream in(file(name), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace crv::test
