#include "tests/game/road_model.hpp"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace crv::test {

namespace {

void hline(Picture& p, int x1, int x2, int y, std::uint32_t colour) {
    if (y < 0 || y >= p.height) return;
    if (x1 > x2) std::swap(x1, x2);
    for (int x = std::max(x1, 0); x <= std::min(x2, p.width - 1); ++x)
        p.pixels[static_cast<std::size_t>(y) * p.width + x] = colour;
}

}  // namespace

Picture road_frame(int n) {
    // The phase grows 10 per frame, the boundary falls one row per frame and
    // wraps by 120, swapping the stretch kind.
    double tex = 100;
    int seg = 120;
    bool straight = true;
    for (int f = 1; f < n; ++f) {
        tex += 10;
        while (tex >= 100) tex -= 100;
        seg -= 1;
        while (seg < 0) {
            seg += 120;
            straight = !straight;
        }
    }
    return road_picture(tex, seg, straight, n == 1);
}

Picture road_picture(double tex, int seg, bool straight, bool first_frame) {
    Picture p;
    p.width = 480;
    p.height = 320;
    p.pixels.assign(480 * 320, 0);
    // Depths: two passes over -1 / (A - 160), scaled so that row 8 is 100.
    double z[121] = {0};
    for (int a = 1; a <= 120; ++a) z[a] = -1.0 / (a - 160.0);
    double b = 100 * (1 / z[8]);
    for (int a = 1; a <= 120; ++a) z[a] = b * z[a];
    if (first_frame)
        for (int y = 1; y <= 200; ++y) hline(p, 0, 480, y, 0x090909);
    double x = 240, dx = 0, half = 120;
    int row = 319;
    for (int a = 1; a <= 120; ++a) {
        long depth = static_cast<long>(tex + z[a]);
        bool light = depth % 100 > 50;
        std::uint32_t road = light ? 0xC8C8C8 : 0x646464;
        std::uint32_t grass = (light ? 100u : 200u) << 8;
        int left = static_cast<int>(x - half), right = static_cast<int>(x + half);
        hline(p, left, right, row, road);
        hline(p, 0, left, row, grass);
        hline(p, right, 479, row, grass);
        half -= 1;
        row -= 1;
        if (straight ? a > seg : seg > a) dx += 0.02;
        x += dx;
    }
    return p;
}

Picture read_ppm(const std::string& path) {
    Picture p;
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int w = 0, h = 0, max = 0;
    in >> magic >> w >> h >> max;
    in.get();
    if (magic != "P6" || w <= 0 || h <= 0 || max != 255) return p;
    std::vector<unsigned char> rgb(static_cast<std::size_t>(w) * h * 3);
    in.read(reinterpret_cast<char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
    if (!in) return p;
    p.width = w;
    p.height = h;
    p.pixels.resize(static_cast<std::size_t>(w) * h);
    for (std::size_t i = 0; i < p.pixels.size(); ++i)
        p.pixels[i] = rgb[3 * i] | (rgb[3 * i + 1] << 8) | (rgb[3 * i + 2] << 16);
    return p;
}

int count_differences(const Picture& a, const Picture& b, std::string* first) {
    if (a.width != b.width || a.height != b.height) {
        if (first != nullptr)
            *first = "sizes differ: " + std::to_string(a.width) + "x" + std::to_string(a.height) + " and " +
                     std::to_string(b.width) + "x" + std::to_string(b.height);
        return -1;
    }
    int count = 0;
    std::ostringstream out;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            if (a.at(x, y) != b.at(x, y)) {
                if (++count <= 5)
                    out << "(" << x << "," << y << ") " << std::hex << a.at(x, y) << " vs " << b.at(x, y) << std::dec
                        << "; ";
            }
    if (first != nullptr) *first = out.str();
    return count;
}

}  // namespace crv::test
