// A fresh folder under the system's temporary folder for one test, removed
// with everything in it at the end.
#pragma once

#include "platform/clock.hpp"
#include "platform/files.hpp"
#include "platform/paths.hpp"

#include <filesystem>
#include <string>

namespace crv::test {

class PlatformTempDir {
public:
    PlatformTempDir() {
        static int serial = 0;
        path_ = plat::temp_folder() + "crv_platform_" + std::to_string(plat::counter_ticks()) + "_" +
                std::to_string(++serial);
        plat::dir_make_all(path_.c_str());
    }
    ~PlatformTempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(to_fs(path_), ignored);
    }
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

    static std::filesystem::path to_fs(const std::string& utf8) {
        return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
    }

private:
    std::string path_;
};

inline std::string read_all(const std::string& name) {
    plat::File* f = plat::file_open_read(name.c_str());
    if (f == nullptr) return "<missing>";
    std::string text(static_cast<std::size_t>(plat::file_size(f)), '\0');
    plat::file_read(f, text.data(), static_cast<std::int64_t>(text.size()));
    plat::file_close(f);
    return text;
}

}  // namespace crv::test
