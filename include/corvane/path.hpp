/// @defgroup path Path planning
/// The path planner: the cheapest (or, with more weight, the quickest to
/// find) path of orthogonal steps across a two-dimensional cost map.
///
/// The map's first index is x, its second y; a value <= 0 blocks the cell,
/// higher values cost more to enter. The path comes back as an [n][2]
/// array: path(i, 0) is x and path(i, 1) is y of the i-th cell, path(0,
/// ...) the start, path(n - 1, ...) the goal. The same map always gives the
/// same path.
///
/// **Threads:** each call plans on its own; all it leaves behind is the
/// calling thread's count of the cells it expanded (crv::path_last_expanded).
/// Any thread, one call per map and path at a time.
///
/// **Failures:** a result of 0 (see crv::path_find); only running out of
/// memory throws std::bad_alloc.
///
/// **Examples:** @ref example_pathfind (click a goal, change the weight,
/// see the path and the number of cells expanded).

/// @file
/// The path planner: see @ref path.
#pragma once

#include <corvane/dyn_array.hpp>

#include <cstdint>

namespace crv {

/// @addtogroup path
/// @{

/// Plans from (start_x, start_y) to (goal_x, goal_y) and returns the number
/// of path cells. weight, clamped to 0..1, trades path cost (0: cheapest
/// path) for speed (1: straight for the goal). 0 when start or goal lies
/// outside the map, they are equal or no cell is passable (the path keeps
/// its contents), and when the goal cannot be reached (the path is emptied).
int path_find(const DynArray<double>& map, DynArray<std::int32_t>& path, double weight, int start_x,
              int start_y, int goal_x, int goal_y);
/// The same with a floating-point path, which is emptied on every failure.
int path_find(const DynArray<double>& map, DynArray<double>& path, double weight, int start_x,
              int start_y, int goal_x, int goal_y);
/// The same over an integer cost map.
int path_find(const DynArray<std::int32_t>& map, DynArray<std::int32_t>& path, double weight,
              int start_x, int start_y, int goal_x, int goal_y);
/// The number of cells the calling thread's last path_find expanded (took
/// from the open list and searched the neighbours of, the goal included):
/// what the weight saves. 0 before any call and after a refused one.
std::int64_t path_last_expanded();

/// @}

}  // namespace crv
