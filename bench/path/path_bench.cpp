// path_find on random maps (costs 1..10, a fifth of the cells blocked,
// corner to corner) at weight 0 and 0.5, next to the graph library's A*
// search over a graph of the same grid with the same cell costs.
//
// path_find sets up its storage on every call, as a game sees it; the
// planner's search alone is measured apart. The graph is built once per map
// (a game would keep it), and each search gets fresh predecessor and
// distance maps, the way a planner that keeps nothing between calls must.
#include <corvane/path.hpp>
#include "path/planner.hpp"

#include <benchmark/benchmark.h>
#include <boost/graph/astar_search.hpp>
#include <boost/graph/compressed_sparse_row_graph.hpp>

#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <utility>
#include <vector>

namespace {

struct Edge {
    float weight;
};
using Graph = boost::compressed_sparse_row_graph<boost::directedS, boost::no_property, Edge>;
using Vertex = boost::graph_traits<Graph>::vertex_descriptor;

struct Grid {
    int size = 0;
    crv::DynArray<double> map;
    std::unique_ptr<Graph> graph;
};

// The same cost of entering a cell as the planner uses: the value scaled by
// the dearest one into (1, 2]; blocked cells get no edges.
std::vector<float> step_costs(const crv::DynArray<double>& map) {
    const std::int64_t n = map.element_count();
    float dearest = 0.0f;
    for (std::int64_t e = 0; e < n; ++e) dearest = std::max(dearest, static_cast<float>(map.elements()[e]));
    std::vector<float> costs(static_cast<std::size_t>(n), -1.0f);
    for (std::int64_t e = 0; e < n; ++e) {
        const auto value = static_cast<float>(map.elements()[e]);
        if (value > 0.0f) costs[static_cast<std::size_t>(e)] = value / dearest + 1.0f;
    }
    return costs;
}

const Grid& grid(int size) {
    static std::map<int, Grid> grids;
    Grid& g = grids[size];
    if (g.size == size) return g;
    g.size = size;
    std::mt19937 random(static_cast<unsigned>(size));
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::uniform_int_distribution<int> cost(1, 10);
    g.map.set_dimensions(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) g.map(x, y) = unit(random) < 0.2 ? 0.0 : cost(random);
    g.map(0, 0) = 1;
    g.map(size - 1, size - 1) = 1;

    const std::vector<float> costs = step_costs(g.map);
    std::vector<std::pair<std::size_t, std::size_t>> edges;
    std::vector<Edge> weights;
    const int dx[4] = {0, 1, -1, 0};
    const int dy[4] = {-1, 0, 0, 1};
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            for (int k = 0; k < 4; ++k) {
                const int nx = x + dx[k];
                const int ny = y + dy[k];
                if (nx < 0 || nx >= size || ny < 0 || ny >= size) continue;
                const float c = costs[static_cast<std::size_t>(nx + size * ny)];
                if (c < 0) continue;
                edges.emplace_back(x + std::size_t(size) * y, nx + std::size_t(size) * ny);
                weights.push_back(Edge{c});
            }
    g.graph = std::make_unique<Graph>(boost::edges_are_sorted, edges.begin(), edges.end(), weights.begin(),
                                      std::size_t(size) * size);
    return g;
}

struct FoundGoal {};

class StopAtGoal : public boost::default_astar_visitor {
public:
    explicit StopAtGoal(Vertex goal) : goal_(goal) {}
    void examine_vertex(Vertex v, const Graph&) const {
        if (v == goal_) throw FoundGoal{};
    }

private:
    Vertex goal_;
};

class Manhattan : public boost::astar_heuristic<Graph, float> {
public:
    Manhattan(int size, bool enabled) : size_(size), enabled_(enabled) {}
    float operator()(Vertex v) const {
        if (!enabled_) return 0.0f;
        const int x = static_cast<int>(v % static_cast<std::size_t>(size_));
        const int y = static_cast<int>(v / static_cast<std::size_t>(size_));
        return static_cast<float>((size_ - 1 - x) + (size_ - 1 - y));
    }

private:
    int size_;
    bool enabled_;
};

double weight_of(const benchmark::State& state) { return static_cast<double>(state.range(1)) / 100.0; }

void path_find_bench(benchmark::State& state) {
    const int size = static_cast<int>(state.range(0));
    const Grid& g = grid(size);
    crv::DynArray<std::int32_t> path;
    int n = 0;
    for (auto _ : state) {
        n = crv::path_find(g.map, path, weight_of(state), 0, 0, size - 1, size - 1);
        benchmark::DoNotOptimize(n);
    }
    if (n == 0) state.SkipWithError("no path on this map");
    state.counters["cells"] = n;
}

void planner_search_bench(benchmark::State& state) {
    const int size = static_cast<int>(state.range(0));
    const Grid& g = grid(size);
    crv::PlannerConfig config;
    config.goal_x = size - 1;
    config.goal_y = size - 1;
    config.diagonal_cost = 1;
    config.closed_bits = 8;
    config.weight = static_cast<float>(weight_of(state));
    config.width = size;
    config.height = size;
    config.values = g.map.elements();
    crv::AStarPlanner planner;
    if (!planner.configure(config)) {
        state.SkipWithError("configure failed");
        return;
    }
    for (auto _ : state) {
        planner.start();
        planner.search();
        benchmark::DoNotOptimize(planner.result());
    }
    state.counters["cells"] = planner.path_length();
    state.counters["cost"] = planner.path_cost();
    state.counters["expanded"] = static_cast<double>(planner.closed_count());
    planner.reset();
}

void graph_astar_bench(benchmark::State& state) {
    const int size = static_cast<int>(state.range(0));
    const Grid& g = grid(size);
    const Vertex start = 0;
    const Vertex goal = std::size_t(size) * size - 1;
    const std::size_t vertices = boost::num_vertices(*g.graph);
    int n = 0;
    float cost = 0;
    for (auto _ : state) {
        std::vector<Vertex> predecessor(vertices);
        std::vector<float> distance(vertices);
        try {
            boost::astar_search(*g.graph, start, Manhattan(size, state.range(1) != 0),
                                boost::visitor(StopAtGoal(goal))
                                    .weight_map(boost::get(&Edge::weight, *g.graph))
                                    .predecessor_map(predecessor.data())
                                    .distance_map(distance.data()));
        } catch (const FoundGoal&) {
        }
        n = 1;
        for (Vertex v = goal; v != start && predecessor[v] != v; v = predecessor[v]) ++n;
        cost = distance[goal];
        benchmark::DoNotOptimize(n);
    }
    state.counters["cells"] = n;
    state.counters["cost"] = cost;
}

void sizes(benchmark::internal::Benchmark* b) {
    for (const int size : {256, 512, 1024})
        for (const int weight : {0, 50}) b->Args({size, weight});
    b->ArgNames({"size", "weight%"})->Unit(benchmark::kMillisecond);
}

}  // namespace

BENCHMARK(path_find_bench)->Apply(sizes);
BENCHMARK(planner_search_bench)->Apply(sizes);
BENCHMARK(graph_astar_bench)->Apply(sizes);

BENCHMARK_MAIN();
