#include "path/planner.hpp"

#include "map_support.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>

// Counts the allocations of the whole test program, so that a search can
// show that it makes none. Every ordinary form is replaced, so that all of
// them pair up with the same malloc and free.
namespace {
std::atomic<long> g_allocations{0};

void* counted(std::size_t size) noexcept {
    ++g_allocations;
    return std::malloc(size == 0 ? 1 : size);
}
void* counted_or_throw(std::size_t size) {
    if (void* p = counted(size)) return p;
    throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t size) { return counted_or_throw(size); }
void* operator new[](std::size_t size) { return counted_or_throw(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return counted(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return counted(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace crv {
namespace {

PlannerConfig config_for(const DynArray<double>& map, int sx, int sy, int gx, int gy, float weight = 0.0f) {
    PlannerConfig config;
    config.start_x = sx;
    config.start_y = sy;
    config.goal_x = gx;
    config.goal_y = gy;
    config.diagonal_cost = 1;
    config.closed_bits = 8;
    config.weight = weight;
    config.width = map.size1();
    config.height = map.size2();
    config.values = map.elements();
    return config;
}

TEST(Planner, CostsScaleByTheDearestCell) {
    DynArray<double> map;
    map.set_dimensions(4, 2);
    const double values[8] = {5, 10, 0, -3, std::nan(""), 2.5, 1e-300, 10};
    for (int e = 0; e < 8; ++e) map.elements()[e] = values[e];
    AStarPlanner planner;
    ASSERT_TRUE(planner.configure(config_for(map, 0, 0, 1, 0)));
    const float expected[8] = {1.5f, 2.0f, -1.0f, -1.0f, -1.0f, 1.25f, -1.0f, 2.0f};
    for (int e = 0; e < 8; ++e) EXPECT_EQ(planner.cell_cost(e % 4, e / 4), expected[e]) << "cell " << e;
    EXPECT_EQ(planner.cell_cost(4, 0), k_blocked_cell);
    planner.start();
    EXPECT_TRUE(planner.search());
    EXPECT_EQ(planner.path_cost(), 2.0f);
    EXPECT_EQ(planner.path_length(), 2);

    ASSERT_TRUE(planner.configure(config_for(map, 1, 0, 0, 0)));
    planner.start();
    planner.search();
    EXPECT_EQ(planner.path_cost(), 1.5f);

    // Values beyond single precision are simply the dearest cells.
    map.elements()[1] = 1e300;
    map.elements()[7] = std::numeric_limits<double>::infinity();
    ASSERT_TRUE(planner.configure(config_for(map, 0, 0, 1, 0)));
    EXPECT_EQ(planner.cell_cost(1, 0), 2.0f);
    EXPECT_EQ(planner.cell_cost(3, 1), 2.0f);
    EXPECT_EQ(planner.cell_cost(0, 0), 1.0f);  // 5 against FLT_MAX
}

TEST(Planner, ConfigureRefusals) {
    const DynArray<double> map = test::drawn_map({"...", "..."});
    struct Case {
        const char* what;
        PlannerConfig config;
    };
    auto with = [&](auto change) {
        PlannerConfig c = config_for(map, 0, 0, 2, 1);
        change(c);
        return c;
    };
    const Case cases[] = {
        {"start x left of the map", with([](PlannerConfig& c) { c.start_x = -1; })},
        {"start y below the map", with([](PlannerConfig& c) { c.start_y = 2; })},
        {"goal x right of the map", with([](PlannerConfig& c) { c.goal_x = 3; })},
        {"goal y above the map", with([](PlannerConfig& c) { c.goal_y = -1; })},
        {"start equals goal", with([](PlannerConfig& c) { c.goal_x = 0, c.goal_y = 0; })},
        {"no values", with([](PlannerConfig& c) { c.values = nullptr; })},
        {"negative pool", with([](PlannerConfig& c) { c.pool_size = -1; })},
        {"negative open list", with([](PlannerConfig& c) { c.open_capacity = -4; })},
        {"more cells than an int holds", with([](PlannerConfig& c) { c.width = 65536, c.height = 65536; })},
    };
    for (const Case& c : cases) {
        AStarPlanner planner;
        ASSERT_TRUE(planner.configure(config_for(map, 0, 0, 2, 1)));
        EXPECT_FALSE(planner.configure(c.config)) << c.what;
        // A refusal leaves the earlier configuration working.
        planner.start();
        planner.search();
        EXPECT_EQ(planner.path_length(), 4) << c.what;
    }

    // A map without a passable cell leaves the planner unconfigured: a
    // search then finds nothing, safely.
    const DynArray<double> walls = test::drawn_map({"##", "##"});
    AStarPlanner planner;
    ASSERT_TRUE(planner.configure(config_for(map, 0, 0, 2, 1)));
    EXPECT_FALSE(planner.configure(config_for(walls, 0, 0, 1, 1)));
    planner.start();
    EXPECT_TRUE(planner.search());
    EXPECT_EQ(planner.result(), nullptr);
    EXPECT_EQ(planner.path_cost(), -1.0f);
}

// Every node handed out is in the open list or the closed table, each cell
// has at most one node, and reset gives all of them back, whatever the
// weight (the higher weights reopen closed cells).
TEST(Planner, NodesAreAccountedForAndReturned) {
    for (unsigned seed = 1; seed <= 12; ++seed) {
        const DynArray<double> map = test::random_map(24, 17, 0.25, 10, seed);
        for (const float weight : {0.0f, 0.5f, 0.8f, 1.0f}) {
            AStarPlanner planner;
            ASSERT_TRUE(planner.configure(config_for(map, 0, 0, 23, 16, weight)));
            planner.start();
            EXPECT_FALSE(planner.finished());
            ASSERT_TRUE(planner.search());
            EXPECT_TRUE(planner.finished());
            const std::int32_t taken = planner.pool().next_free();
            EXPECT_EQ(taken, planner.open_count() + planner.closed_count());
            EXPECT_LE(taken, 24 * 17);
            const std::int32_t length = planner.path_length();
            const float cost = planner.path_cost();

            // The same search again on the reused storage gives the same path.
            planner.start();
            planner.search();
            EXPECT_EQ(planner.path_length(), length);
            EXPECT_EQ(planner.path_cost(), cost);

            planner.reset();
            EXPECT_EQ(planner.pool().next_free(), 0);
            EXPECT_EQ(planner.open_count(), 0);
            EXPECT_EQ(planner.closed_count(), 0);
            EXPECT_EQ(planner.result(), nullptr);
            EXPECT_FALSE(planner.search());  // nothing under way
        }
    }
}

TEST(Planner, DiagonalMoves) {
    struct Case {
        const char* what;
        std::vector<std::string> rows;
        std::uint8_t diagonal_cost;
        int length;
        float cost;
    };
    const Case cases[] = {
        {"open square, diagonal cost", {"..", ".."}, 1, 2, 2.0f * k_diagonal_factor},
        {"open square, plain cost", {"..", ".."}, 0, 2, 2.0f},
        {"corner between two walls", {".#", "#."}, 1, 2, 2.0f * k_diagonal_factor},
    };
    for (const Case& c : cases) {
        const DynArray<double> map = test::drawn_map(c.rows);
        PlannerConfig config = config_for(map, 0, 0, 1, 1);
        config.diagonal_moves = 1;
        config.diagonal_cost = c.diagonal_cost;
        AStarPlanner planner;
        ASSERT_TRUE(planner.configure(config));
        planner.start();
        planner.search();
        EXPECT_EQ(planner.path_length(), c.length) << c.what;
        EXPECT_FLOAT_EQ(planner.path_cost(), c.cost) << c.what;
    }
}

// A pool or open list smaller than the map may run out; the search then
// stops without a result instead of overrunning anything.
TEST(Planner, UndersizedStorageEndsTheSearch) {
    const DynArray<double> map = test::random_map(20, 20, 0.0, 5, 3);
    for (const auto& [pool, open] : {std::pair{5, 0}, {0, 3}, {1, 1}}) {
        PlannerConfig config = config_for(map, 0, 0, 19, 19);
        config.pool_size = pool;
        config.open_capacity = open;
        AStarPlanner planner;
        ASSERT_TRUE(planner.configure(config));
        planner.start();
        EXPECT_FALSE(planner.search()) << pool << " " << open;
        EXPECT_EQ(planner.result(), nullptr);
        EXPECT_EQ(planner.pool().next_free(), planner.open_count() + planner.closed_count());
    }
}

TEST(Planner, SearchAllocatesNothing) {
    const DynArray<double> map = test::random_map(64, 64, 0.2, 10, 11);
    for (const float weight : {0.0f, 1.0f}) {
        AStarPlanner planner;
        long before = g_allocations.load();
        ASSERT_TRUE(planner.configure(config_for(map, 0, 0, 63, 63, weight)));
        EXPECT_GT(g_allocations.load() - before, 0);  // the counter does count
        before = g_allocations.load();
        planner.start();
        planner.search();
        const std::int32_t length = planner.path_length();
        planner.reset();
        EXPECT_EQ(g_allocations.load() - before, 0);
        EXPECT_GT(length, 0);
    }
}

}  // namespace
}  // namespace crv
