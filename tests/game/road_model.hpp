// An independent model of the road picture: the depth table, the stretch
// and band rules and the three lines per row, worked out pixel by pixel.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace crv::test {

struct Picture {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;  // R + G*256 + B*65536, row by row
    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// The picture of the game's n-th frame (n >= 1) in a 480 x 320 window.
Picture road_frame(int n);
// The picture drawn with the given band phase, stretch boundary and kind;
// the first frame also shows the grey set-up rows.
Picture road_picture(double tex_offset, int seg_y, bool straight, bool first_frame);
// A binary PPM (P6) file; width 0 when it cannot be read.
Picture read_ppm(const std::string& path);
// Pixels that differ, with the first few described.
int count_differences(const Picture& a, const Picture& b, std::string* first);

}  // namespace crv::test
