#include <corvane/path.hpp>

#include "path/planner.hpp"

#include <algorithm>

namespace crv {

namespace {

// The search used by the game program: four neighbours, fresh storage the
// size of the map, a closed table of 256 buckets.
constexpr std::int32_t k_closed_bits = 8;

// Every expanded cell ends in the closed table once, however often a
// cheaper way reopened it, so its size after the search is the count.
thread_local std::int64_t t_last_expanded = 0;

}  // namespace

std::int64_t path_last_expanded() { return t_last_expanded; }

int path_find(const DynArray<double>& map, DynArray<std::int32_t>& path, double weight, int start_x,
              int start_y, int goal_x, int goal_y) {
    t_last_expanded = 0;
    AStarPlanner planner;
    PlannerConfig config;
    config.start_x = start_x;
    config.start_y = start_y;
    config.goal_x = goal_x;
    config.goal_y = goal_y;
    config.diagonal_cost = 1;
    config.diagonal_moves = 0;
    config.pool_size = 0;
    config.open_capacity = 0;
    config.closed_bits = k_closed_bits;
    config.weight = static_cast<float>(std::max(0.0, std::min(weight, 1.0)));
    config.width = map.size1();
    config.height = map.size2();
    config.values = map.elements();
    if (!planner.configure(config)) return 0;

    planner.start();
    planner.search();
    t_last_expanded = planner.closed_count();
    const std::int32_t n = planner.path_length();
    if (n == 0) {
        path.set_dimensions(0);
        return 0;
    }
    path.set_dimensions(n, 2);
    std::int32_t i = n - 1;
    for (const Node* node = planner.result(); node != nullptr; node = planner.parent(node), --i) {
        path(i, 0) = node->x;
        path(i, 1) = node->y;
    }
    planner.reset();
    return n;
}

int path_find(const DynArray<double>& map, DynArray<double>& path, double weight, int start_x,
              int start_y, int goal_x, int goal_y) {
    DynArray<std::int32_t> cells;
    const int n = path_find(map, cells, weight, start_x, start_y, goal_x, goal_y);
    path.set_dimensions(n, 2);
    for (int i = 0; i < n; ++i) {
        path(i, 0) = cells(i, 0);
        path(i, 1) = cells(i, 1);
    }
    return n;
}

int path_find(const DynArray<std::int32_t>& map, DynArray<std::int32_t>& path, double weight,
              int start_x, int start_y, int goal_x, int goal_y) {
    DynArray<double> costs;
    costs.set_dimensions(map.size1(), map.size2());
    const std::int64_t count = map.elements() != nullptr ? costs.element_count() : 0;
    for (std::int64_t e = 0; e < count; ++e) costs.elements()[e] = map.elements()[e];
    return path_find(costs, path, weight, start_x, start_y, goal_x, goal_y);
}

}  // namespace crv
