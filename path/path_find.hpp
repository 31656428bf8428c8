// path_find: the game program's path planner. Given a two-dimensional cost
// map (first index x, second y; a value <= 0 blocks the cell, higher values
// cost more), it finds a path of orthogonal steps from the start cell to the
// goal cell and writes it as an [n][2] array: path(i, 0) is x and path(i, 1)
// is y of the i-th cell, path(0, ...) the start, path(n - 1, ...) the goal.
// The weight, clamped to 0..1, trades path cost (0: cheapest path) for
// speed (1: straight for the goal). The same map always gives the same path.
//
// Each call plans on its own and keeps nothing. Game thread. Returns the
// number of path cells, or 0: when start or goal lies outside the map, they
// are equal or no cell is passable (the integer path keeps its contents,
// the floating-point path is emptied), and when the goal cannot be reached
// (the path is emptied). Only running out of memory throws std::bad_alloc.
#pragma once

#include "core/dyn_array.hpp"

#include <cstdint>

namespace crv {

int path_find(const DynArray<double>& map, DynArray<std::int32_t>& path, double weight, int start_x,
              int start_y, int goal_x, int goal_y);
int path_find(const DynArray<double>& map, DynArray<double>& path, double weight, int start_x,
              int start_y, int goal_x, int goal_y);
int path_find(const DynArray<std::int32_t>& map, DynArray<std::int32_t>& path, double weight,
              int start_x, int start_y, int goal_x, int goal_y);

}  // namespace crv
