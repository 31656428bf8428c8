#include "gfx3d/geometry.hpp"
#include "gfx3d/mesh.hpp"
#include "gfx3d/rainbows3d.hpp"

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

using namespace crv;

// A terrain grid of n x n cells as strips, with a gentle height field.
MeshObjectX terrain(int n) {
    MeshObjectX m;
    m.frames.push_back(MeshFrame{});
    auto height = [](int x, int z) { return std::sin(static_cast<float>(x) * 0.3f) * std::cos(static_cast<float>(z) * 0.2f); };
    for (int row = 0; row < n; ++row) {
        MeshVertex marker{};
        marker.colour = k_marker_strip;
        m.frames[0].stream.push_back(marker);
        for (int i = 0; i <= n; ++i)
            for (int dz : {1, 0}) {
                MeshVertex v{};
                v.position[0] = static_cast<float>(i);
                v.position[1] = height(i, row + dz);
                v.position[2] = static_cast<float>(row + dz);
                v.uv[0] = static_cast<float>(i) / n;
                v.uv[1] = static_cast<float>(row + dz) / n;
                v.colour = 0x00FFFFFF;
                m.frames[0].stream.push_back(v);
            }
    }
    m.compact_palette();
    m.rebuild_triangles();
    m.compute_bounds();
    return m;
}

void BM_RebuildTriangles(benchmark::State& state) {
    MeshObjectX m = terrain(static_cast<int>(state.range(0)));
    for (auto _ : state) m.rebuild_triangles();
    state.SetItemsProcessed(state.iterations() * m.frames[0].stream.size());
}
BENCHMARK(BM_RebuildTriangles)->Arg(64)->Arg(256);

void BM_SmoothNormalsAndTangents(benchmark::State& state) {
    MeshObjectX m = terrain(static_cast<int>(state.range(0)));
    for (auto _ : state) m.generate_normals(true, true, true);
    state.SetItemsProcessed(state.iterations() * m.frames[0].stream.size());
}
BENCHMARK(BM_SmoothNormalsAndTangents)->Arg(64)->Arg(256);

void BM_LoadBinaryZvd(benchmark::State& state) {
    MeshObjectX m = terrain(static_cast<int>(state.range(0)));
    std::vector<std::uint8_t> bytes = mesh_save_bytes(m);
    MeshObjectX back;
    for (auto _ : state) benchmark::DoNotOptimize(mesh_load_bytes(back, bytes.data(), bytes.size(), "bench"));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_LoadBinaryZvd)->Arg(64)->Arg(256);

void BM_SphereAgainstTerrain(benchmark::State& state) {
    Rainbows3D engine(nullptr);
    int n = static_cast<int>(state.range(0));
    engine.begin_object(0);
    MeshObjectX* m = engine.object(0);
    *m = terrain(n);
    engine.end_object();
    // A sphere hovering just above the far corner: every triangle is tested.
    float far = static_cast<float>(n) - 0.5f;
    for (auto _ : state) benchmark::DoNotOptimize(engine.sphere_hits_object(0, 0, 0.1f, far, 5, far));
    state.SetItemsProcessed(state.iterations() * m->frames[0].triangles.size() / 3);
}
BENCHMARK(BM_SphereAgainstTerrain)->Arg(64);

}  // namespace

BENCHMARK_MAIN();
