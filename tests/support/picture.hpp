// Test support: RGB pictures as the tests capture and compare them (rows
// top-down, three bytes a pixel) and their PPM files, the form the run-time's
// frame capture writes.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace crv::test {

struct Picture {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;  // rows top-down
    const std::uint8_t* at(int x, int y) const { return &rgb[(static_cast<std::size_t>(y) * width + x) * 3]; }
    int brightness(int x, int y) const { return at(x, y)[0] + at(x, y)[1] + at(x, y)[2]; }
    // Whether the pixel is within tolerance of colour (R + G*256 + B*65536)
    // in every channel.
    bool near(int x, int y, std::int32_t colour, int tolerance = 8) const {
        const std::uint8_t* c = at(x, y);
        for (int i = 0; i < 3; ++i)
            if (std::abs(c[i] - ((colour >> (8 * i)) & 0xff)) > tolerance) return false;
        return true;
    }
    // Pixels of the rectangle for which the test holds.
    int count(int x0, int y0, int x1, int y1, const std::function<bool(const std::uint8_t*)>& test) const {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) n += test(at(x, y)) ? 1 : 0;
        return n;
    }
};

inline bool read_ppm(const std::string& path, Picture& p) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int max = 0;
    if (!(in >> magic >> p.width >> p.height >> max) || magic != "P6") return false;
    in.get();
    p.rgb.resize(static_cast<std::size_t>(p.width) * p.height * 3);
    return static_cast<bool>(in.read(reinterpret_cast<char*>(p.rgb.data()), static_cast<std::streamsize>(p.rgb.size())));
}

inline void write_ppm(const std::string& path, const Picture& p) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << p.width << " " << p.height << "\n255\n";
    out.write(reinterpret_cast<const char*>(p.rgb.data()), static_cast<std::streamsize>(p.rgb.size()));
}

}  // namespace crv::test
