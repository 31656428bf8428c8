#include <corvane/path.hpp>

#include "map_support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace crv {
namespace {

using Cells = std::vector<std::pair<int, int>>;

Cells cells_of(const DynArray<std::int32_t>& path) {
    Cells cells;
    for (int i = 0; i < path.size1(); ++i) cells.emplace_back(path(i, 0), path(i, 1));
    return cells;
}

std::string text_of(const Cells& cells) {
    std::string text;
    for (const auto& [x, y] : cells) text += "(" + std::to_string(x) + "," + std::to_string(y) + ")";
    return text;
}

// Starts at the start, ends at the goal, one orthogonal step at a time
// through passable cells; returns the path's cost, or -1 when it is not such
// a path.
double walk_cost(const DynArray<double>& map, const DynArray<std::int32_t>& path, int n, int sx, int sy,
                 int gx, int gy) {
    if (n < 2 || path.size1() != n || path.size2() != 2) return -1;
    if (path(0, 0) != sx || path(0, 1) != sy || path(n - 1, 0) != gx || path(n - 1, 1) != gy) return -1;
    const std::vector<double> costs = test::step_costs(map);
    double cost = 0;
    for (int i = 1; i < n; ++i) {
        const int x = path(i, 0);
        const int y = path(i, 1);
        if (std::abs(x - path(i - 1, 0)) + std::abs(y - path(i - 1, 1)) != 1) return -1;
        if (x < 0 || x >= map.size1() || y < 0 || y >= map.size2()) return -1;
        const double step = costs[static_cast<std::size_t>(x + map.size1() * y)];
        if (step < 0) return -1;
        cost += step;
    }
    return cost;
}

DynArray<std::int32_t> stale_path() {
    DynArray<std::int32_t> path;
    path.set_dimensions(3, 2);
    path(2, 1) = 42;
    return path;
}

TEST(PathFind, TwoCells) {
    const DynArray<double> map = test::drawn_map({".."});
    DynArray<std::int32_t> path;
    ASSERT_EQ(path_find(map, path, 0.0, 0, 0, 1, 0), 2);
    EXPECT_EQ(path.dimensions(), 2);
    EXPECT_EQ(path.size1(), 2);
    EXPECT_EQ(path.size2(), 2);
    EXPECT_EQ(text_of(cells_of(path)), "(0,0)(1,0)");
}

// The count of expanded cells: every cell of a corridor, every cell that
// can be reached when the goal cannot, fewer with more weight on an open
// field, and 0 again after a refused call.
TEST(PathFind, ExpandedCellCount) {
    DynArray<std::int32_t> path;
    ASSERT_EQ(path_find(test::drawn_map({"....."}), path, 0.0, 0, 0, 4, 0), 5);
    EXPECT_EQ(path_last_expanded(), 5);
    EXPECT_EQ(path_find(test::drawn_map({"..#.", ".2#."}), path, 0.0, 0, 0, 3, 0), 0);
    EXPECT_EQ(path_last_expanded(), 4);

    const DynArray<double> field = test::random_map(30, 30, 0.0, 1, 1);
    const int n = path_find(field, path, 0.0, 0, 0, 29, 29);
    ASSERT_EQ(n, 59);
    const std::int64_t cheapest = path_last_expanded();
    ASSERT_EQ(path_find(field, path, 1.0, 0, 0, 29, 29), n);
    const std::int64_t quickest = path_last_expanded();
    EXPECT_GE(quickest, n);
    EXPECT_LT(quickest, cheapest);

    EXPECT_EQ(path_find(field, path, 0.0, 3, 3, 3, 3), 0);
    EXPECT_EQ(path_last_expanded(), 0);
}

// Hand-solved maps. Neighbours are found up, right, left, down, and of
// equally good candidates the one found first is expanded first: on an open
// field the path from the top left runs along x first, the one from the
// bottom right goes up first.
TEST(PathFind, HandSolvedMaps) {
    const std::vector<std::string> field3x2 = {"...", "..."};
    const std::vector<std::string> field5 = {".....", ".....", ".....", ".....", "....."};
    const std::vector<std::string> wall_with_gap = {"..#..", "..#..", "..#..", "..#..", "....."};
    const std::vector<std::string> walled_off = {".....", "...#.", "..#.#", "...#."};
    const std::vector<std::string> blocked_goal = {"...", ".#."};
    // Straight through three dear cells (cost 7.1) or round them over cheap
    // ones (6.6).
    const std::vector<std::string> detour = {".....", ".XXX."};
    const std::string x_first5 = "(0,0)(1,0)(2,0)(3,0)(4,0)(4,1)(4,2)(4,3)(4,4)";
    const std::string round = "(0,1)(0,0)(1,0)(2,0)(3,0)(4,0)(4,1)";
    const std::string straight = "(0,1)(1,1)(2,1)(3,1)(4,1)";
    struct Case {
        const char* what;
        const std::vector<std::string>& rows;
        double weight;
        int sx, sy, gx, gy;
        int expected;
        std::string cells;  // empty: any path of that length
        double cost;
    };
    const Case cases[] = {
        {"open field 3x2", field3x2, 0.0, 0, 0, 2, 1, 4, "(0,0)(1,0)(2,0)(2,1)", 6.0},
        {"open field 3x2, weight 1", field3x2, 1.0, 0, 0, 2, 1, 4, "(0,0)(1,0)(2,0)(2,1)", 6.0},
        {"open field, weight 0", field5, 0.0, 0, 0, 4, 4, 9, x_first5, 16.0},
        {"open field, weight 0.5", field5, 0.5, 0, 0, 4, 4, 9, x_first5, 16.0},
        {"open field, weight 1", field5, 1.0, 0, 0, 4, 4, 9, x_first5, 16.0},
        {"open field, backwards", field5, 0.0, 4, 4, 0, 0, 9,
         "(4,4)(4,3)(4,2)(4,1)(4,0)(3,0)(2,0)(1,0)(0,0)", 16.0},
        {"wall with a gap", wall_with_gap, 0.0, 0, 0, 4, 0, 13, "", 24.0},
        {"walled-off goal", walled_off, 0.0, 0, 0, 3, 2, 0, "", 0},
        {"walled-off goal, weight 1", walled_off, 1.0, 0, 0, 3, 2, 0, "", 0},
        {"blocked goal", blocked_goal, 0.5, 0, 0, 1, 1, 0, "", 0},
        {"detour, weight 0", detour, 0.0, 0, 1, 4, 1, 7, round, 6.6},
        {"detour, weight 0.5", detour, 0.5, 0, 1, 4, 1, 7, round, 6.6},
        {"detour, weight 1", detour, 1.0, 0, 1, 4, 1, 5, straight, 7.1},
        {"detour, weight -3 as 0", detour, -3.0, 0, 1, 4, 1, 7, round, 6.6},
        {"detour, weight 7 as 1", detour, 7.0, 0, 1, 4, 1, 5, straight, 7.1},
        {"detour, weight NaN as 0", detour, std::nan(""), 0, 1, 4, 1, 7, round, 6.6},
        {"costs 5 and 10", {"5X"}, 0.0, 0, 0, 1, 0, 2, "(0,0)(1,0)", 2.0},
        {"costs 10 and 5", {"5X"}, 0.0, 1, 0, 0, 0, 2, "(1,0)(0,0)", 1.5},
        {"blocked start is left", {"#.."}, 0.0, 0, 0, 2, 0, 3, "(0,0)(1,0)(2,0)", 4.0},
    };
    for (const Case& c : cases) {
        const DynArray<double> map = test::drawn_map(c.rows);
        DynArray<std::int32_t> path = stale_path();
        const int n = path_find(map, path, c.weight, c.sx, c.sy, c.gx, c.gy);
        ASSERT_EQ(n, c.expected) << c.what;
        if (n == 0) {
            EXPECT_EQ(path.element_count(), 0) << c.what;
            continue;
        }
        if (!c.cells.empty()) {
            EXPECT_EQ(text_of(cells_of(path)), c.cells) << c.what;
        }
        EXPECT_NEAR(walk_cost(map, path, n, c.sx, c.sy, c.gx, c.gy), c.cost, 1e-5) << c.what;
    }
    // The only way through the wall.
    DynArray<std::int32_t> path;
    path_find(test::drawn_map(wall_with_gap), path, 0.0, 0, 0, 4, 0);
    const Cells cells = cells_of(path);
    EXPECT_NE(std::find(cells.begin(), cells.end(), std::pair{2, 4}), cells.end());
}

TEST(PathFind, RefusedRequestsLeaveTheIntegerPathAlone) {
    struct Case {
        const char* what;
        DynArray<double> map;
        int sx, sy, gx, gy;
    };
    DynArray<double> one_row;
    one_row.set_dimensions(4);
    for (int x = 0; x < 4; ++x) one_row(x) = 1;
    const Case cases[] = {
        {"start equals goal", test::drawn_map({"...", "..."}), 1, 1, 1, 1},
        {"nothing passable", test::drawn_map({"#", "#"}), 0, 0, 0, 1},
        {"start outside", test::drawn_map({"...", "..."}), 3, 0, 0, 0},
        {"goal outside", test::drawn_map({"...", "..."}), 0, 0, 0, -1},
        {"map without a second dimension", one_row, 0, 0, 3, 0},
        {"empty map", DynArray<double>(), 0, 0, 1, 0},
    };
    for (const Case& c : cases) {
        DynArray<std::int32_t> path = stale_path();
        EXPECT_EQ(path_find(c.map, path, 0.5, c.sx, c.sy, c.gx, c.gy), 0) << c.what;
        EXPECT_EQ(path.size1(), 3) << c.what;
        EXPECT_EQ(path(2, 1), 42) << c.what;

        DynArray<double> rows;
        rows.set_dimensions(5, 2);
        EXPECT_EQ(path_find(c.map, rows, 0.5, c.sx, c.sy, c.gx, c.gy), 0) << c.what;
        EXPECT_EQ(rows.size1(), 0) << c.what;
        EXPECT_EQ(rows.size2(), 2) << c.what;
    }
}

// The three element-type forms agree, and a map may be its own path.
TEST(PathFind, ElementTypeForms) {
    DynArray<double> map = test::random_map(30, 20, 0.2, 10, 5);
    map(0, 0) = map(29, 19) = 3;
    DynArray<std::int32_t> integer_map;
    integer_map.set_dimensions(30, 20);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) integer_map(x, y) = static_cast<std::int32_t>(map(x, y));

    DynArray<std::int32_t> expected;
    const int n = path_find(map, expected, 0.3, 0, 0, 29, 19);
    ASSERT_GT(n, 0);
    DynArray<std::int32_t> from_integers;
    EXPECT_EQ(path_find(integer_map, from_integers, 0.3, 0, 0, 29, 19), n);
    DynArray<double> as_doubles;
    EXPECT_EQ(path_find(map, as_doubles, 0.3, 0, 0, 29, 19), n);
    DynArray<double> self = map;
    EXPECT_EQ(path_find(self, self, 0.3, 0, 0, 29, 19), n);
    ASSERT_EQ(as_doubles.size2(), 2);
    for (int i = 0; i < n; ++i)
        for (int k = 0; k < 2; ++k) {
            EXPECT_EQ(from_integers(i, k), expected(i, k));
            EXPECT_EQ(as_doubles(i, k), expected(i, k));
            EXPECT_EQ(self(i, k), expected(i, k));
        }

    DynArray<double> none;
    none.set_dimensions(5, 2);
    map(29, 19) = 0;
    EXPECT_EQ(path_find(map, none, 0.3, 0, 0, 29, 19), 0);
    EXPECT_EQ(none.size1(), 0);
}

// The search written out plainly: the open list a vector kept in
// non-increasing f (the next node at the back, a new node in front of its
// equals), positions found by walking it, at most one node per cell.
Cells plain_search(const DynArray<double>& map, double weight, int sx, int sy, int gx, int gy) {
    struct Entry { int parent; int x, y; float f, g; bool closed; };
    const int width = map.size1();
    const int height = map.size2();
    const std::vector<double> costs = test::step_costs(map);
    const auto w = static_cast<float>(std::max(0.0, std::min(weight, 1.0)));
    std::vector<Entry> nodes{{-1, sx, sy, 0.0f, 0.0f, false}};
    std::vector<int> cell_node(costs.size(), -1);
    cell_node[static_cast<std::size_t>(sx + width * sy)] = 0;
    std::vector<int> open{0};
    auto entry = [&](int node) -> Entry& { return nodes[static_cast<std::size_t>(node)]; };
    auto insert_sorted = [&](int node) {
        auto at = open.begin();
        while (at != open.end() && entry(*at).f > entry(node).f) ++at;
        open.insert(at, node);
    };
    while (!open.empty()) {
        const int current = open.back();
        open.pop_back();
        const Entry here = entry(current);
        if (here.x == gx && here.y == gy) {
            Cells cells;
            for (int n = current; n >= 0; n = entry(n).parent) cells.emplace(cells.begin(), entry(n).x, entry(n).y);
            return cells;
        }
        const int dx[4] = {0, 1, -1, 0};
        const int dy[4] = {-1, 0, 0, 1};
        for (int k = 0; k < 4; ++k) {
            const int nx = here.x + dx[k];
            const int ny = here.y + dy[k];
            if (nx < 0 || nx >= width || ny < 0 || ny >= height) continue;
            const auto cell = static_cast<std::size_t>(nx + width * ny);
            if (costs[cell] < 0) continue;
            const float g = here.g + static_cast<float>(costs[cell]);
            const auto h = static_cast<float>(std::abs(gx - nx) + std::abs(gy - ny));
            const float f = g + w * (h - g);
            int node = cell_node[cell];
            if (node >= 0) {
                Entry& known = entry(node);
                if (!(g < known.g)) continue;
                if (known.closed)
                    known.closed = false;
                else
                    open.erase(std::find(open.begin(), open.end(), node));
                known.parent = current;
                known.g = g;
                known.f = f;
            } else {
                node = static_cast<int>(nodes.size());
                nodes.push_back({current, nx, ny, f, g, false});
                cell_node[cell] = node;
            }
            insert_sorted(node);
        }
        entry(current).closed = true;
    }
    return {};
}

// Every weight, including those that reopen closed cells, gives exactly the
// path of the plain search.
TEST(PathFind, SameOrderAsThePlainSearch) {
    for (unsigned seed = 100; seed < 112; ++seed) {
        const int width = 12 + static_cast<int>(seed % 5) * 6;
        const int height = 30 - static_cast<int>(seed % 4) * 5;
        const DynArray<double> map = test::random_map(width, height, 0.25, seed % 2 == 0 ? 10 : 3, seed);
        for (const double weight : {0.0, 0.3, 0.5, 0.75, 0.9, 1.0}) {
            DynArray<std::int32_t> path;
            path_find(map, path, weight, 0, height - 1, width - 1, 0);
            EXPECT_EQ(text_of(cells_of(path)), text_of(plain_search(map, weight, 0, height - 1, width - 1, 0)))
                << "seed " << seed << " weight " << weight;
        }
    }
}

// Where the order of equal f decides the path: maps of one or two costs
// (every step on them ties with many others), walls, goals that cannot be
// reached, odd sizes and a single row, from random starts to random goals.
TEST(PathFind, SameOrderAsThePlainSearchWhenCostsTie) {
    struct Shape { int width, height; double blocked; int costs; };
    const Shape shapes[] = {{17, 9, 0.0, 1}, {31, 33, 0.1, 1}, {23, 19, 0.3, 2}, {45, 7, 0.45, 2},
                            {1, 37, 0.05, 1}, {29, 1, 0.0, 2}, {50, 50, 0.55, 1}, {13, 27, 0.2, 3}};
    int found = 0;
    int unreachable = 0;
    for (unsigned seed = 1; seed <= 64; ++seed) {
        const Shape& shape = shapes[seed % std::size(shapes)];
        const DynArray<double> map = test::random_map(shape.width, shape.height, shape.blocked, shape.costs, seed);
        std::mt19937 random(seed);
        const int sx = static_cast<int>(random() % static_cast<unsigned>(shape.width));
        const int sy = static_cast<int>(random() % static_cast<unsigned>(shape.height));
        const int gx = static_cast<int>(random() % static_cast<unsigned>(shape.width));
        const int gy = static_cast<int>(random() % static_cast<unsigned>(shape.height));
        if (sx == gx && sy == gy) continue;
        for (const double weight : {0.0, 0.25, 0.5, 0.6, 1.0}) {
            DynArray<std::int32_t> path;
            const int n = path_find(map, path, weight, sx, sy, gx, gy);
            const Cells expected = plain_search(map, weight, sx, sy, gx, gy);
            EXPECT_EQ(text_of(cells_of(path)), text_of(expected)) << "seed " << seed << " weight " << weight;
            ++(n > 0 ? found : unreachable);
        }
    }
    EXPECT_GT(found, 100);
    EXPECT_GT(unreachable, 10);
}

// On random maps every path is a proper walk; it exists exactly when a
// reference search reaches the goal, and with weight 0 (and 0.5, whose
// distance estimate never overrates the cost) it is as cheap as the
// reference's. The same request always gives the same path.
TEST(PathFind, RandomMapsAgainstAReferenceSearch) {
    struct Shape { int width, height; double blocked; };
    const Shape shapes[] = {{40, 40, 0.2}, {33, 21, 0.35}, {1, 30, 0.1}, {30, 1, 0.0},
                            {25, 25, 0.45}, {60, 8, 0.3}};
    int found = 0;
    int unreachable = 0;
    for (unsigned seed = 1; seed <= 24; ++seed) {
        const Shape& shape = shapes[seed % std::size(shapes)];
        const DynArray<double> map = test::random_map(shape.width, shape.height, shape.blocked, 10, seed);
        std::mt19937 random(seed * 7919u);
        const int sx = static_cast<int>(random() % static_cast<unsigned>(shape.width));
        const int sy = static_cast<int>(random() % static_cast<unsigned>(shape.height));
        const int gx = static_cast<int>(random() % static_cast<unsigned>(shape.width));
        const int gy = static_cast<int>(random() % static_cast<unsigned>(shape.height));
        if (sx == gx && sy == gy) continue;
        const double cheapest = test::cheapest_cost(map, sx, sy, gx, gy);
        for (const double weight : {0.0, 0.5, 0.75, 1.0}) {
            DynArray<std::int32_t> path;
            const int n = path_find(map, path, weight, sx, sy, gx, gy);
            const std::string where = "seed " + std::to_string(seed) + " weight " + std::to_string(weight);
            if (cheapest < 0) {
                EXPECT_EQ(n, 0) << where;
                ++unreachable;
                continue;
            }
            ASSERT_GT(n, 0) << where;
            ++found;
            const double cost = walk_cost(map, path, n, sx, sy, gx, gy);
            ASSERT_GE(cost, 0) << where << ": not a walk from start to goal";
            EXPECT_GE(cost, cheapest - 1e-4) << where;
            if (weight <= 0.5) {
                EXPECT_NEAR(cost, cheapest, 1e-4 * cheapest) << where;
            }

            DynArray<std::int32_t> again;
            path_find(map, again, weight, sx, sy, gx, gy);
            EXPECT_EQ(cells_of(again), cells_of(path)) << where;
        }
    }
    // Both outcomes occurred.
    EXPECT_GT(found, 40);
    EXPECT_GT(unreachable, 0);
}

}  // namespace
}  // namespace crv
