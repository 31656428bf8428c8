// Running the example programs from their tests: reading the files they
// write (their pictures come through CORVANE_CAPTURE_FRAMES as PPM files,
// see tests/support/picture.hpp) and waiting for a condition.
#pragma once

#include "tests/support/picture.hpp"

#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>

namespace crv::test {

inline std::string read_whole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline bool wait_for(const std::function<bool()>& condition, int timeout_ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}


}  // namespace crv::test
