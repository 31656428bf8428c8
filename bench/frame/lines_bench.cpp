// Veltrack's 360 draw_line calls of one frame next to the same lines (and
// end pixels) handed to OpenGL in one client-array call. Needs a display
// (run under Xvfb: source scripts/xvfb.sh; start_xvfb).
#include "runtime/app_state.hpp"
#include "app/clock.hpp"
#include "app/gl_window.hpp"
#include "render2d/gl_api.hpp"
#include "render2d/rainbows.hpp"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

namespace {

struct Line {
    int x1, y1, x2, y2, colour;
};

// The three lines of each of the 120 rows of a straight frame.
std::vector<Line> frame_lines() {
    std::vector<Line> lines;
    int half = 120;
    for (int row = 319; row >= 200; --row, --half) {
        int colour = (row / 7) % 2 != 0 ? 0xC8C8C8 : 0x646464;
        lines.push_back({240 - half, row, 240 + half, row, colour});
        lines.push_back({0, row, 240 - half, row, 0x00C800});
        lines.push_back({240 + half, row, 479, row, 0x00C800});
    }
    return lines;
}

crv::OpenGLRainbows& renderer() {
    static crv::OpenGLRainbows* r = [] {
        ::setenv("CORVANE_AUTOMATION", "1", 1);
        crv::timer_init();
        auto* created = new crv::OpenGLRainbows();
        crv::app_state.renderer = created;
        if (!crv::create_gl_window(*created, 480, 320, 0, 0, 0)) std::abort();
        crv::windowed_mode(*created);
        return created;
    }();
    return *r;
}

void BM_DrawLine360(benchmark::State& state) {
    crv::OpenGLRainbows& r = renderer();
    std::vector<Line> lines = frame_lines();
    for (auto _ : state) {
        for (const Line& l : lines) r.draw_line(l.x1, l.y1, l.x2, l.y2, l.colour);
        r.flush();
        glFinish();
    }
}

void BM_OneClientArrayCall(benchmark::State& state) {
    crv::OpenGLRainbows& r = renderer();
    std::vector<Line> lines = frame_lines();
    struct Vertex {
        float x, y;
        unsigned char rgba[4];
    };
    std::vector<Vertex> vertices;
    for (const Line& l : lines) {
        unsigned char c[4] = {static_cast<unsigned char>(l.colour), static_cast<unsigned char>(l.colour >> 8),
                              static_cast<unsigned char>(l.colour >> 16), 255};
        for (auto [x, y] : {std::pair{l.x1, l.y1}, std::pair{l.x2, l.y2}, std::pair{l.x2, l.y2},
                            std::pair{l.x2 + 1, l.y2}})
            vertices.push_back({static_cast<float>(x), static_cast<float>(y), {c[0], c[1], c[2], c[3]}});
    }
    r.flush();
    for (auto _ : state) {
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glTranslatef(0.375f, 0.375f, 0);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_COLOR_ARRAY);
        glVertexPointer(2, GL_FLOAT, sizeof(Vertex), &vertices[0].x);
        glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(Vertex), vertices[0].rgba);
        glDrawArrays(GL_LINES, 0, static_cast<GLsizei>(vertices.size()));
        glDisableClientState(GL_COLOR_ARRAY);
        glDisableClientState(GL_VERTEX_ARRAY);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glFinish();
    }
}

BENCHMARK(BM_DrawLine360)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OneClientArrayCall)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
