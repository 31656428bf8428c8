// The rotated-sprite frames of render2d_bench drawn by SFML 2.5 the two
// ways its users do: one sf::Sprite draw per sprite, and all quads in one
// sf::VertexArray drawn with the texture. Same window size (640 x 480),
// the same 32 x 32 ball (opaque disc, transparent corners, linear
// filtering, alpha blending), the same positions and angles, and every
// frame ends with glFinish; per_frame_60Hz is how many sprites fit in the
// 16.7 ms of a 60 Hz frame at that rate. Needs a display (Xvfb).
// compare.sh runs it beside render2d_bench and prints the ratios.
#include <SFML/Graphics.hpp>
#include <SFML/OpenGL.hpp>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

struct Scene {
    sf::RenderWindow window;
    sf::Texture ball;
};

Scene& scene() {
    static Scene* s = [] {
        auto* created = new Scene;
        created->window.create(sf::VideoMode(640, 480), "sfml_render2d_bench", sf::Style::Titlebar);
        created->window.setVerticalSyncEnabled(false);
        sf::Image image;
        image.create(32, 32, sf::Color::Transparent);
        for (unsigned y = 0; y < 32; ++y)
            for (unsigned x = 0; x < 32; ++x) {
                int dx = static_cast<int>(x) - 16, dy = static_cast<int>(y) - 16;
                if (dx * dx + dy * dy < 256)
                    image.setPixel(x, y, sf::Color(static_cast<sf::Uint8>(x * 8), static_cast<sf::Uint8>(y * 8), 0x40));
            }
        if (!created->ball.loadFromImage(image)) std::abort();
        created->ball.setSmooth(true);
        return created;
    }();
    return *s;
}

void count_per_frame(benchmark::State& state, double items) {
    state.counters["per_frame_60Hz"] = benchmark::Counter(items / 60.0, benchmark::Counter::kIsIterationInvariantRate);
}

// Where sprite i goes, as in render2d_bench (its centre 16 pixels in).
float sprite_cx(int i) { return static_cast<float>((i * 37) % 608 + 16); }
float sprite_cy(int i) { return static_cast<float>((i * 53) % 448 + 16); }

// One sf::Sprite per sprite, turned about its centre, drawn one by one.
void BM_SfmlSpritesPerFrame(benchmark::State& state) {
    Scene& s = scene();
    auto n = static_cast<int>(state.range(0));
    std::vector<sf::Sprite> sprites(static_cast<std::size_t>(n), sf::Sprite(s.ball));
    for (int i = 0; i < n; ++i) {
        sf::Sprite& sprite = sprites[static_cast<std::size_t>(i)];
        sprite.setOrigin(16, 16);
        sprite.setPosition(sprite_cx(i), sprite_cy(i));
    }
    float angle = 0;
    for (auto _ : state) {
        s.window.clear();
        for (int i = 0; i < n; ++i) {
            sf::Sprite& sprite = sprites[static_cast<std::size_t>(i)];
            sprite.setRotation(angle + static_cast<float>(i));
            s.window.draw(sprite);
        }
        glFinish();
        angle += 1.0f;
    }
    count_per_frame(state, n);
}
BENCHMARK(BM_SfmlSpritesPerFrame)
    ->Arg(250)->Arg(500)->Arg(1000)->Arg(2000)->Arg(4000)->Arg(8000)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// All quads turned on the CPU into one sf::VertexArray each frame, drawn
// with the texture in one call.
void BM_SfmlVertexArrayPerFrame(benchmark::State& state) {
    Scene& s = scene();
    auto n = static_cast<int>(state.range(0));
    sf::VertexArray quads(sf::Quads, static_cast<std::size_t>(n) * 4);
    const sf::Vector2f corners[4] = {{-16, -16}, {16, -16}, {16, 16}, {-16, 16}};
    const sf::Vector2f texels[4] = {{0, 0}, {32, 0}, {32, 32}, {0, 32}};
    sf::RenderStates states(&s.ball);
    float angle = 0;
    for (auto _ : state) {
        s.window.clear();
        for (int i = 0; i < n; ++i) {
            sf::Transform turn;
            turn.translate(sprite_cx(i), sprite_cy(i)).rotate(angle + static_cast<float>(i));
            for (std::size_t k = 0; k < 4; ++k) {
                sf::Vertex& v = quads[static_cast<std::size_t>(i) * 4 + k];
                v.position = turn.transformPoint(corners[k]);
                v.texCoords = texels[k];
            }
        }
        s.window.draw(quads, states);
        glFinish();
        angle += 1.0f;
    }
    count_per_frame(state, n);
}
BENCHMARK(BM_SfmlVertexArrayPerFrame)
    ->Arg(250)->Arg(500)->Arg(1000)->Arg(2000)->Arg(4000)->Arg(8000)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
