// Maps for the planner tests: small ones drawn as text, random ones from a
// seed, and an independent reference search over the same cell costs.
#pragma once

#include <corvane/dyn_array.hpp>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <queue>
#include <random>
#include <string>
#include <vector>

namespace crv::test {

// One string per row y; '.' is 1, '#' is 0 (blocked), '2'..'9' their
// value, 'X' 10.
inline DynArray<double> drawn_map(const std::vector<std::string>& rows) {
    DynArray<double> map;
    const int width = static_cast<int>(rows.front().size());
    map.set_dimensions(width, static_cast<int>(rows.size()));
    for (int y = 0; y < static_cast<int>(rows.size()); ++y)
        for (int x = 0; x < width; ++x) {
            const char c = rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)];
            map(x, y) = c == '.' ? 1 : c == '#' ? 0 : c == 'X' ? 10 : c - '0';
        }
    return map;
}

// Costs 1..max_cost, a share of the cells blocked.
inline DynArray<double> random_map(int width, int height, double blocked, int max_cost, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::uniform_int_distribution<int> cost(1, max_cost);
    DynArray<double> map;
    map.set_dimensions(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) map(x, y) = unit(random) < blocked ? 0.0 : cost(random);
    return map;
}

// The cost of entering each cell as the planner counts it, or a negative
// value for a blocked cell: positive values scaled by the dearest one into
// (1, 2], in single precision.
inline std::vector<double> step_costs(const DynArray<double>& map) {
    const std::int64_t n = map.element_count();
    float dearest = 0.0f;
    for (std::int64_t e = 0; e < n; ++e) dearest = std::max(dearest, static_cast<float>(map.elements()[e]));
    std::vector<double> costs(static_cast<std::size_t>(n), -1.0);
    for (std::int64_t e = 0; e < n; ++e) {
        const auto v = static_cast<float>(map.elements()[e]);
        if (v > 0.0f) costs[static_cast<std::size_t>(e)] = v / dearest + 1.0f;
    }
    return costs;
}

// Dijkstra over the four orthogonal neighbours: the cheapest cost from the
// start to the goal, or -1 when the goal cannot be reached.
inline double cheapest_cost(const DynArray<double>& map, int sx, int sy, int gx, int gy) {
    const int width = map.size1();
    const int height = map.size2();
    const std::vector<double> costs = step_costs(map);
    std::vector<double> best(costs.size(), -1.0);
    using Entry = std::pair<double, int>;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<>> queue;
    best[static_cast<std::size_t>(sx + width * sy)] = 0.0;
    queue.emplace(0.0, sx + width * sy);
    while (!queue.empty()) {
        const auto [g, cell] = queue.top();
        queue.pop();
        if (g > best[static_cast<std::size_t>(cell)]) continue;
        const int x = cell % width;
        const int y = cell / width;
        if (x == gx && y == gy) return g;
        const int dx[4] = {0, 1, -1, 0};
        const int dy[4] = {-1, 0, 0, 1};
        for (int k = 0; k < 4; ++k) {
            const int nx = x + dx[k];
            const int ny = y + dy[k];
            if (nx < 0 || nx >= width || ny < 0 || ny >= height) continue;
            const auto next = static_cast<std::size_t>(nx + width * ny);
            if (costs[next] < 0.0) continue;
            const double through = g + costs[next];
            if (best[next] < 0.0 || through < best[next]) {
                best[next] = through;
                queue.emplace(through, static_cast<int>(next));
            }
        }
    }
    return -1.0;
}

}  // namespace crv::test
