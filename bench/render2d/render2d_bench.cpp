// 2D drawing cost on a 640 x 480 window, whole frames including the
// rasterising (every frame ends with glFinish): rotated, blended 32 x 32
// sprites, 1000 prints of a 22-character line (fixed and proportional) and
// 10000 filled rectangles, each beside its ceiling: the same quads, made by
// hand, in one client-array draw call. per_frame_60Hz is how many sprites,
// prints or rectangles fit in the 16.7 ms of a 60 Hz frame at that rate.
// Also the per-call cost of sprite_draw. Needs a display: run under Xvfb
// (source scripts/xvfb.sh; start_xvfb) with CORVANE_AUTOMATION=1.
#include "runtime/app_state.hpp"
#include "app/clock.hpp"
#include "app/gl_window.hpp"
#include <corvane/dyn_array.hpp>
#include "render2d/gl_api.hpp"
#include "render2d/rainbows.hpp"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr std::int32_t k_sprite = 1;

crv::OpenGLRainbows& renderer() {
    static crv::OpenGLRainbows* r = [] {
        ::setenv("CORVANE_AUTOMATION", "1", 1);
        crv::timer_init();
        auto* created = new crv::OpenGLRainbows();
        crv::app_state.renderer = created;
        if (!crv::create_gl_window(*created, 640, 480, 0, 0, 0)) std::abort();
        crv::windowed_mode(*created);
        // A 32 x 32 ball: opaque disc, colour-keyed corners.
        std::vector<std::int32_t> pixels(32 * 32);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                int dx = x - 16, dy = y - 16;
                pixels[static_cast<std::size_t>(y * 32 + x)] =
                    dx * dx + dy * dy < 256 ? static_cast<std::int32_t>(0xff000000u | (x * 8) | (y * 8 << 8) | 0x400000) : 0;
            }
        crv::DynArray<std::int32_t> array;
        array.fill_values(32 * 32, pixels.data());
        created->sprite_from_pixels(k_sprite, array, 32, 32);
        created->font_install_builtin(0);
        created->font_select(0);
        return created;
    }();
    return *r;
}

void count_per_frame(benchmark::State& state, double items) {
    state.counters["per_frame_60Hz"] = benchmark::Counter(items / 60.0, benchmark::Counter::kIsIterationInvariantRate);
}

// Where sprite i goes and how far it is turned in a frame.
int sprite_x(int i) { return (i * 37) % 608; }
int sprite_y(int i) { return (i * 53) % 448; }

// One frame: clear, then n rotated, blended sprites spread over the screen.
void BM_RotatedSpritesPerFrame(benchmark::State& state) {
    crv::OpenGLRainbows& r = renderer();
    auto n = static_cast<int>(state.range(0));
    float angle = 0;
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT);
        r.set_alpha_mode(-1);
        for (int i = 0; i < n; ++i) r.sprite_draw_rotated(k_sprite, sprite_x(i), sprite_y(i), angle + static_cast<float>(i));
        r.flush();
        glFinish();
        angle += 1.0f;
    }
    r.set_alpha_mode(0);
    count_per_frame(state, n);
}
BENCHMARK(BM_RotatedSpritesPerFrame)
    ->Arg(250)->Arg(500)->Arg(1000)->Arg(2000)->Arg(4000)->Arg(8000)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

struct HandVertex {
    float x, y, s, t;
};

// The ceiling: the same turned quads computed each frame into one client
// array and drawn with one call, texture and blending set once.
void BM_CeilingSpritesPerFrame(benchmark::State& state) {
    crv::OpenGLRainbows& r = renderer();
    auto n = static_cast<int>(state.range(0));
    const crv::SpriteRecord& sprite = r.sprite(k_sprite);
    float s0 = 0.5f / sprite.texture_width, s1 = 31.5f / sprite.texture_width;
    float t0 = 0.5f / sprite.texture_height, t1 = 31.5f / sprite.texture_height;
    std::vector<HandVertex> quads(static_cast<std::size_t>(n) * 4);
    float angle = 0;
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT);
        r.set_alpha_mode(-1);
        r.flush();
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, sprite.texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        HandVertex* v = quads.data();
        for (int i = 0; i < n; ++i) {
            float radians = (angle + static_cast<float>(i)) * 0.017453292f;
            float c = std::cos(radians), s = std::sin(radians);
            auto cx = static_cast<float>(sprite_x(i) + 16), cy = static_cast<float>(sprite_y(i) + 16);
            const float corners[4][4] = {{16, -16, s1, t1}, {-16, -16, s0, t1}, {-16, 16, s0, t0}, {16, 16, s1, t0}};
            for (const auto& k : corners)
                *v++ = HandVertex{cx + k[0] * c + k[1] * s, cy - k[0] * s + k[1] * c, k[2], k[3]};
        }
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glVertexPointer(2, GL_FLOAT, sizeof(HandVertex), &quads[0].x);
        glTexCoordPointer(2, GL_FLOAT, sizeof(HandVertex), &quads[0].s);
        glDrawArrays(GL_QUADS, 0, n * 4);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        glDisableClientState(GL_VERTEX_ARRAY);
        glDisable(GL_TEXTURE_2D);
        glFinish();
        angle += 1.0f;
    }
    r.set_alpha_mode(0);
    count_per_frame(state, n);
}
BENCHMARK(BM_CeilingSpritesPerFrame)
    ->Arg(250)->Arg(500)->Arg(1000)->Arg(2000)->Arg(4000)->Arg(8000)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

const char* const k_line = "Score 0001234  Lives 3";  // 22 characters

// 1000 prints of the line per frame; range(0): proportional.
void BM_TextPerFrame(benchmark::State& state) {
    crv::OpenGLRainbows& r = renderer();
    auto length = static_cast<std::int32_t>(std::strlen(k_line));
    bool proportional = state.range(0) != 0;
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT);
        for (int i = 0; i < 1000; ++i)
            r.text_print(k_line, length, static_cast<float>((i * 37) % 460), static_cast<float>((i * 53) % 470),
                         proportional);
        r.flush();
        glFinish();
    }
    count_per_frame(state, 1000);
}
BENCHMARK(BM_TextPerFrame)->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond);

// The ceiling: the same glyph quads laid out by hand into one array.
void BM_CeilingTextPerFrame(benchmark::State& state) {
    crv::OpenGLRainbows& r = renderer();
    bool proportional = state.range(0) != 0;
    const crv::SpriteRecord& font = r.sprite(crv::k_font_sprite_base + r.current_font());
    auto length = static_cast<int>(std::strlen(k_line));
    std::vector<HandVertex> quads(static_cast<std::size_t>(1000 * length) * 4);
    float cell_w = static_cast<float>(font.image_width / 16), cell_h = static_cast<float>(font.image_height / 8);
    float row_h = font.t_extent / 8;
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT);
        r.flush();
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, font.texture);
        // The filters text is drawn with (smoothing is on), so that the
        // ceiling rasterises the same pixels.
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        HandVertex* v = quads.data();
        for (int i = 0; i < 1000; ++i) {
            auto x = static_cast<float>((i * 37) % 460), y = static_cast<float>((i * 53) % 470);
            for (int c = 0; c < length; ++c) {
                int k = static_cast<unsigned char>(k_line[c]) % 128;
                const crv::GlyphRecord& g = r.glyph(r.current_font(), k);
                float advance = proportional ? g.advance : cell_w;
                float s0 = proportional ? g.s0 : static_cast<float>(k % 16) * font.s_extent / 16;
                float s1 = proportional ? g.s1 : s0 + font.s_extent / 16;
                float t0 = row_h * static_cast<float>(7 - k / 16), t1 = t0 + row_h;
                *v++ = HandVertex{x, y + cell_h, s0, t0};
                *v++ = HandVertex{x + advance, y + cell_h, s1, t0};
                *v++ = HandVertex{x + advance, y, s1, t1};
                *v++ = HandVertex{x, y, s0, t1};
                x += advance;
            }
        }
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glVertexPointer(2, GL_FLOAT, sizeof(HandVertex), &quads[0].x);
        glTexCoordPointer(2, GL_FLOAT, sizeof(HandVertex), &quads[0].s);
        glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(quads.size()));
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        glDisableClientState(GL_VERTEX_ARRAY);
        glDisable(GL_TEXTURE_2D);
        glFinish();
    }
    count_per_frame(state, 1000);
}
BENCHMARK(BM_CeilingTextPerFrame)->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond);

int rect_x(int i) { return (i * 37) % 620; }
int rect_y(int i) { return (i * 53) % 460; }
std::int32_t rect_colour(int i) { return (i * 0x10305) & 0xffffff; }

void BM_FilledRectsPerFrame(benchmark::State& state) {
    crv::OpenGLRainbows& r = renderer();
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT);
        for (int i = 0; i < 10000; ++i) r.fill_rect(rect_x(i), rect_y(i), 12, 10, rect_colour(i));
        r.flush();
        glFinish();
    }
    count_per_frame(state, 10000);
}
BENCHMARK(BM_FilledRectsPerFrame)->UseRealTime()->Unit(benchmark::kMillisecond);

struct ColourVertex {
    float x, y;
    std::uint8_t rgba[4];
};

void BM_CeilingRectsPerFrame(benchmark::State& state) {
    crv::OpenGLRainbows& r = renderer();
    std::vector<ColourVertex> quads(10000 * 4);
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT);
        r.flush();
        // Untextured, whatever the last drawing left bound.
        glDisable(GL_TEXTURE_2D);
        ColourVertex* v = quads.data();
        for (int i = 0; i < 10000; ++i) {
            auto x = static_cast<float>(rect_x(i)), y = static_cast<float>(rect_y(i));
            std::int32_t c = rect_colour(i);
            ColourVertex p{0, 0, {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8),
                                  static_cast<std::uint8_t>(c >> 16), 255}};
            p.x = x; p.y = y + 10; *v++ = p;
            p.x = x + 12; *v++ = p;
            p.y = y; *v++ = p;
            p.x = x; *v++ = p;
        }
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_COLOR_ARRAY);
        glVertexPointer(2, GL_FLOAT, sizeof(ColourVertex), &quads[0].x);
        glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(ColourVertex), quads[0].rgba);
        glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(quads.size()));
        glDisableClientState(GL_COLOR_ARRAY);
        glDisableClientState(GL_VERTEX_ARRAY);
        glColor4f(1, 1, 1, 1);
        glFinish();
    }
    count_per_frame(state, 10000);
}
BENCHMARK(BM_CeilingRectsPerFrame)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_SpriteDraw(benchmark::State& state) {
    crv::OpenGLRainbows& r = renderer();
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) r.sprite_draw(k_sprite, sprite_x(i), sprite_y(i));
        r.flush();
        glFinish();
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_SpriteDraw)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
