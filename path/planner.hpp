// The grid planners behind path_find. A Planner owns all search storage
// (node pool, open list, closed table, cost grid); configure sizes it once,
// so that start and search never allocate. AStarPlanner is the one concrete
// planner: A* over a cost grid with a weight that blends path cost and the
// Manhattan distance to the goal, and a fixed neighbour order and tie rule,
// so that the same map always gives the same path.
//
// Lifetime: whatever the owner chooses (path_find keeps one on its stack per
// call). Single-threaded. Failures are results: configure returns false,
// a search without a path leaves no result; only construction and
// configure may throw std::bad_alloc.
#pragma once

#include "path/node_storage.hpp"
#include "path/open_heap.hpp"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>

namespace crv {

// Cost factor of a diagonal step when diagonal_cost is set.
inline constexpr float k_diagonal_factor = 1.4142137f;
// Grid value of a cell that cannot be entered.
inline constexpr float k_blocked_cell = -1.0f;

struct PlannerConfig {
    std::int32_t start_x = 0;
    std::int32_t start_y = 0;
    std::int32_t goal_x = 0;
    std::int32_t goal_y = 0;
    std::uint8_t diagonal_cost = 0;   // a diagonal step costs k_diagonal_factor times the cell
    std::uint8_t diagonal_moves = 0;  // search the four diagonal neighbours too
    std::int32_t pool_size = 0;       // nodes; 0: width x height
    std::int32_t open_capacity = 0;   // 0: width x height
    std::int32_t closed_bits = 0;     // the closed table has 2^bits buckets
    float weight = 0.0f;              // 0: path cost only, 1: distance to the goal only
    std::int32_t width = 0;
    std::int32_t height = 0;
    const double* values = nullptr;   // width x height, index x + width * y; <= 0 is blocked
};

class Planner {
public:
    Planner() = default;
    Planner(const Planner&) = delete;
    Planner& operator=(const Planner&) = delete;
    virtual ~Planner();

    // Checks the cells and sizes, builds the cost grid (blocked cells -1,
    // passable ones scaled into (1, 2] by the dearest value) and sizes the
    // storage. False, with nothing changed, when start or goal lies outside
    // the map, they are the same cell, a size is negative or the map has
    // more than 2^31 - 1 cells; false, and the planner left unconfigured,
    // when no cell is passable.
    bool configure(const PlannerConfig& config);
    // Begins a search; nodes of an earlier search go back to the pool first.
    virtual void start();
    // Runs the search begun by start to its end. True when it ended by
    // reaching the goal or by running out of cells to try (result() tells
    // which); false when no search was under way or a pool or open list
    // smaller than the map ran out (then there is no result).
    virtual bool search() = 0;
    // Gives every node back to the pool and forgets the result.
    virtual void reset();

    bool finished() const noexcept { return finished_; }
    // The goal node of the last successful search; its parent chain leads
    // back to the start node.
    const Node* result() const noexcept { return result_; }
    // The node's predecessor on its path, null for the start node. The
    // node must be one of this planner's.
    const Node* parent(const Node* node) const noexcept {
        return node->parent != k_no_node ? &pool_.node(node->parent) : nullptr;
    }
    // g of the result, or -1 without one.
    float path_cost() const noexcept;
    // Nodes on the result's parent chain (start and goal included).
    std::int32_t path_length() const noexcept;
    std::int32_t open_count() const noexcept { return open_.size(); }
    std::int64_t closed_count() const noexcept { return closed_.node_count(); }

    const PlannerConfig& config() const noexcept { return config_; }
    std::int32_t width() const noexcept { return width_; }
    std::int32_t height() const noexcept { return height_; }
    // The grid value of a cell; k_blocked_cell outside the map.
    float cell_cost(std::int32_t x, std::int32_t y) const noexcept;
    const NodeFactory& pool() const noexcept { return pool_; }

protected:
    // What the planner keeps per cell, side by side so that looking at a
    // neighbour touches one place: its cost, its node in the current search
    // and that node's g. Each cell gets at most one node, so this answers
    // "has it a node, and would this step improve it" without touching the
    // node, the open list or a closed chain.
    struct Cell {
        float cost;  // k_blocked_cell, or the scaled cost of entering
        // g of the cell's node; k_fresh_g without one, k_blocked_g for a
        // blocked cell, so that "would a step improve the cell" is one
        // comparison for every kind of cell.
        float g;
        std::uint32_t node;  // the node's pool index plus one; 0: none
    };
    static constexpr float k_fresh_g = std::numeric_limits<float>::infinity();
    static constexpr float k_blocked_g = -std::numeric_limits<float>::infinity();

    // The grid has a blocked border one cell wide around the map, so that
    // the neighbours of any map cell are grid cells and no step needs a
    // bounds check; a row of the grid is width + 2 cells.
    std::int64_t stride() const noexcept { return std::int64_t{width_} + 2; }
    std::int64_t cell_index(std::int32_t x, std::int32_t y) const noexcept {
        return (x + 1) + stride() * (y + 1);
    }
    void close_node(Node* node) noexcept { closed_.insert_new(node); }
    // Makes the fresh node with pool index id, and that g, the node of its
    // cell.
    void own_cell(std::uint32_t id, float g, std::int64_t cell) noexcept {
        cells_[cell].g = g;
        cells_[cell].node = id + 1;
    }
    // Takes the nodes of an earlier search out of the cell index.
    void forget_cells() noexcept;

    bool finished_ = true;
    NodeFactory pool_;
    PlannerConfig config_;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    std::unique_ptr<Cell[]> cells_;
    OpenHeap open_{pool_};
    NodeHashTable closed_{pool_};
    Node* result_ = nullptr;
    // The nodes from the first up to this many may still be in the cell
    // index (as many as were ever handed out at one time since the last
    // clearing).
    std::uint32_t indexed_ = 0;
};

class AStarPlanner : public Planner {
public:
    AStarPlanner() = default;
    ~AStarPlanner() override = default;

    // Puts the start node (g 0, no parent) on the open list.
    void start() override;
    // Takes the open node of lowest f (the earliest inserted among equals),
    // stops at the goal, and otherwise tries its neighbours in the order
    // (x-1,y-1)d, (x,y-1), (x+1,y-1)d, (x+1,y), (x-1,y), (x-1,y+1)d, (x,y+1),
    // (x+1,y+1)d, the diagonal ones (d) only with diagonal_moves. A
    // neighbour gets g' = g + cost (times the diagonal factor), f' = g' +
    // weight * (h - g') with h the Manhattan distance to the goal; a cell
    // already open or closed is updated only when g' is lower, and then goes
    // back onto the open list.
    bool search() override;

private:
    // The step from the node with pool index current to the cell (nx, ny),
    // index cell, giving it g. False when the pool or the open list has no
    // room for the step.
    [[gnu::always_inline]] inline bool relax(std::uint32_t current, std::int32_t nx, std::int32_t ny, std::int64_t cell,
                                             float g) noexcept;
    // relax for a cell that has a node already: a step to it found a lower
    // g. Apart from relax, which then stays small enough to be inlined into
    // the search: most steps reach fresh cells.
    [[gnu::noinline]] bool improve(std::uint32_t current, Cell& entry, float g, float f) noexcept;
};

}  // namespace crv
