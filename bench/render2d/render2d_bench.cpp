// Sprite and text drawing cost on a 640 x 480 window: whole frames of
// rotated 32 x 32 sprites (how many fit in the 16.7 ms of a 60 Hz frame),
// and the per-call cost of sprite_draw and text_print including the
// rasterising (every measurement ends with glFinish). Needs a display: run
// under Xvfb (source scripts/xvfb.sh; start_xvfb) with
// CORVANE_AUTOMATION=1.
#include "app/app_state.hpp"
#include "app/clock.hpp"
#include "app/gl_window.hpp"
#include "core/dyn_array.hpp"
#include "render2d/gl_api.hpp"
#include "render2d/rainbows.hpp"

#include <benchmark/benchmark.h>

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

// One frame: clear, then n rotated sprites spread over the screen.
void BM_RotatedSpritesPerFrame(benchmark::State& state) {
    crv::OpenGLRainbows& r = renderer();
    auto n = static_cast<int>(state.range(0));
    float angle = 0;
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT);
        for (int i = 0; i < n; ++i)
            r.sprite_draw_rotated(k_sprite, (i * 37) % 608, (i * 53) % 448, angle + static_cast<float>(i));
        glFinish();
        angle += 1.0f;
    }
    state.counters["sprites_per_s"] = benchmark::Counter(n, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_RotatedSpritesPerFrame)
    ->Arg(250)->Arg(500)->Arg(750)->Arg(1000)->Arg(1500)->Arg(2000)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void BM_SpriteDraw(benchmark::State& state) {
    crv::OpenGLRainbows& r = renderer();
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) r.sprite_draw(k_sprite, (i * 37) % 608, (i * 53) % 448);
        glFinish();
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_SpriteDraw)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_TextPrint(benchmark::State& state) {
    crv::OpenGLRainbows& r = renderer();
    const char* text = "Score 0001234  Lives 3";
    auto length = static_cast<std::int32_t>(std::strlen(text));
    bool proportional = state.range(0) != 0;
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i)
            r.text_print(text, length, static_cast<float>((i * 37) % 460), static_cast<float>((i * 53) % 470),
                         proportional);
        glFinish();
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_TextPrint)->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
