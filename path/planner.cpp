#include "path/planner.hpp"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <climits>
#include <cstdlib>

namespace crv {

namespace {

// NaN counts as the lowest weight.
float clamp_weight(float weight) { return std::max(0.0f, std::min(weight, 1.0f)); }

bool inside(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) {
    return x >= 0 && x < width && y >= 0 && y < height;
}

// The map value as the grid holds it before scaling: NaN and anything that
// is not positive once it is a float is blocked (k_blocked_cell); values
// beyond the float range are the dearest passable cells rather than
// overflowing. Written without jumps: a fifth of a typical map is blocked,
// at random, and a branch per cell would be mispredicted that often.
float source_cost(double value) {
    const float cost = static_cast<float>(!(value >= double{FLT_MAX}) ? value : double{FLT_MAX});
    return cost > 0.0f ? cost : k_blocked_cell;  // NaN stays NaN above and fails here
}

struct Step {
    std::int32_t dx;
    std::int32_t dy;
    bool diagonal;
};

constexpr Step k_steps[8] = {
    {-1, -1, true}, {0, -1, false}, {1, -1, true}, {1, 0, false},
    {-1, 0, false}, {-1, 1, true},  {0, 1, false}, {1, 1, true},
};

}  // namespace

Planner::~Planner() {
    Planner::reset();
}

bool Planner::configure(const PlannerConfig& config) {
    const std::int32_t w = config.width;
    const std::int32_t h = config.height;
    if (!inside(config.start_x, config.start_y, w, h) || !inside(config.goal_x, config.goal_y, w, h))
        return false;
    if (config.start_x == config.goal_x && config.start_y == config.goal_y) return false;
    const std::int64_t cells = std::int64_t{w} * h;
    if (cells > INT32_MAX || config.values == nullptr) return false;
    if (config.pool_size < 0 || config.open_capacity < 0) return false;

    // Nothing may keep pointing into the storage that is about to go.
    reset();
    cells_.reset();
    indexed_ = 0;
    config_ = PlannerConfig{};
    width_ = 0;
    height_ = 0;

    // One pass over the map finds the dearest cell, a second one writes
    // every cell once, its cost scaled and its index entry empty.
    const auto count = static_cast<std::size_t>(cells);
    // The dearest cell as source_cost would give it: conversion to float
    // and the limit to FLT_MAX keep the order, so they can come after the
    // maximum. Four running maxima let the loop go as fast as the memory.
    double most[4] = {0.0, 0.0, 0.0, 0.0};
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4)
        for (std::size_t k = 0; k < 4; ++k) {
            const double value = config.values[i + k];
            most[k] = value > most[k] ? value : most[k];  // NaN is never taken
        }
    for (; i < count; ++i) most[0] = config.values[i] > most[0] ? config.values[i] : most[0];
    const double highest = std::max({most[0], most[1], most[2], most[3]});
    const float dearest = highest >= double{FLT_MAX} ? FLT_MAX : static_cast<float>(highest);
    if (!(dearest > 0.0f)) return false;
    const auto stride = static_cast<std::size_t>(w) + 2;
    const std::size_t grid_cells = stride * (static_cast<std::size_t>(h) + 2);
    auto grid = std::make_unique_for_overwrite<Cell[]>(grid_cells);
    constexpr Cell border{k_blocked_cell, k_blocked_g, 0};
    std::fill_n(grid.get(), stride + 1, border);
    for (std::size_t y = 0; y < static_cast<std::size_t>(h); ++y) {
        const double* values = config.values + y * static_cast<std::size_t>(w);
        Cell* row = grid.get() + (y + 1) * stride + 1;
        for (std::size_t x = 0; x < static_cast<std::size_t>(w); ++x) {
            // Scaled whether blocked or not, so that the loop has no jumps
            // and the compiler can do several cells at once.
            const float cost = source_cost(values[x]);
            const float scaled = cost / dearest + 1.0f;
            const bool blocked = cost == k_blocked_cell;
            row[x] = Cell{blocked ? k_blocked_cell : scaled, blocked ? k_blocked_g : k_fresh_g, 0};
        }
        row[w] = border;  // the right border, then the left one of the next row
        row[w + 1] = border;
    }
    std::fill_n(grid.get() + (static_cast<std::size_t>(h) + 1) * stride, stride, border);
    const auto all = static_cast<std::int32_t>(cells);
    pool_.reserve(config.pool_size > 0 ? config.pool_size : all);
    open_.reserve(config.open_capacity > 0 ? config.open_capacity : all);
    closed_.set_bits(config.closed_bits);

    cells_ = std::move(grid);
    indexed_ = 0;
    config_ = config;
    result_ = nullptr;
    width_ = w;
    height_ = h;
    config_.weight = clamp_weight(config.weight);
    finished_ = true;
    return true;
}

void Planner::start() {
    reset();
    forget_cells();
    finished_ = false;
    result_ = nullptr;
}

void Planner::reset() {
    // Every node handed out is in one of the two lists, so this gives all of
    // them back. Their entries in the cell index stay until the next start
    // clears them (forget_cells), which a planner that is thrown away after
    // one search never has to.
    indexed_ = std::max(indexed_, static_cast<std::uint32_t>(pool_.next_free()));
    pool_.put_back(open_.size());
    open_.clear();
    closed_.clear(pool_);
    result_ = nullptr;
    finished_ = true;
}

void Planner::forget_cells() noexcept {
    // The nodes keep their cells after they go back to the pool, so the
    // entries they made are found through them; a search that follows only
    // a configure has nothing to forget.
    for (std::uint32_t i = 0; i < indexed_; ++i) {
        const Node& node = pool_.node(i);
        Cell& cell = cells_[cell_index(node.x, node.y)];
        cell.g = k_fresh_g;
        cell.node = 0;
    }
    indexed_ = 0;
}

float Planner::path_cost() const noexcept {
    return result_ != nullptr ? result_->g : -1.0f;
}

std::int32_t Planner::path_length() const noexcept {
    std::int32_t length = 0;
    for (const Node* node = result_; node != nullptr; node = parent(node)) ++length;
    return length;
}

float Planner::cell_cost(std::int32_t x, std::int32_t y) const noexcept {
    if (cells_ == nullptr || !inside(x, y, width_, height_)) return k_blocked_cell;
    return cells_[cell_index(x, y)].cost;
}

void AStarPlanner::start() {
    Planner::start();
    if (cells_ == nullptr) return;
    Node* node = pool_.take_node();
    if (node == nullptr) return;
    node->parent = k_no_node;
    node->x = config_.start_x;
    node->y = config_.start_y;
    node->f = 0.0f;
    node->g = 0.0f;
    node->bucket_next = k_no_node;
    if (!open_.push(node)) {
        pool_.put_back();
        return;
    }
    own_cell(pool_.index_of(node), node->g, cell_index(node->x, node->y));
}

bool AStarPlanner::search() {
    if (finished_) return false;
    const bool diagonal_moves = config_.diagonal_moves != 0;
    const float diagonal_factor = config_.diagonal_cost != 0 ? k_diagonal_factor : 1.0f;
    const Cell* cells = cells_.get();
    const std::int64_t stride = this->stride();
    while (!open_.empty()) {
        Node* current = open_.pop();
        const std::int32_t x = current->x;
        const std::int32_t y = current->y;
        if (x == config_.goal_x && y == config_.goal_y) {
            close_node(current);
            finished_ = true;
            result_ = current;
            return true;
        }
        const std::int64_t here = cell_index(x, y);
        const std::uint32_t current_id = pool_.index_of(current);
        bool room = true;
        if (!diagonal_moves) {
            // The four orthogonal steps of k_steps, in their order. Most
            // steps end at a blocked cell or at one whose node is already
            // as good; one comparison with the cell's g settles those. All
            // four are settled first, without jumps (a step off the map
            // looks at a blocked cell outside it); only the steps left over
            // go on, in order.
            const float g = current->g;
            const Cell* const next[4] = {&cells[here - stride], &cells[here + 1], &cells[here - 1],
                                         &cells[here + stride]};
            unsigned better = 0;
            for (unsigned k = 0; k < 4; ++k)
                better |= static_cast<unsigned>(g + next[k]->cost < next[k]->g) << k;
            constexpr std::int32_t dx[4] = {0, 1, -1, 0};
            constexpr std::int32_t dy[4] = {-1, 0, 0, 1};
            for (; better != 0 && room; better &= better - 1) {
                const auto k = static_cast<unsigned>(std::countr_zero(better));
                room = relax(current_id, x + dx[k], y + dy[k], next[k] - cells, g + next[k]->cost);
            }
        } else {
            // A step off the map ends in the blocked border.
            for (const Step& step : k_steps) {
                const std::int64_t cell = here + step.dx + stride * step.dy;
                const float cost = cells[cell].cost;
                if (cost == k_blocked_cell) continue;
                const std::int32_t nx = x + step.dx;
                const std::int32_t ny = y + step.dy;
                room = relax(current_id, nx, ny, cell, current->g + (step.diagonal ? cost * diagonal_factor : cost));
                if (!room) break;
            }
        }
        close_node(current);
        if (!room) {
            finished_ = true;
            return false;
        }
    }
    finished_ = true;
    return true;
}

bool AStarPlanner::relax(std::uint32_t current, std::int32_t nx, std::int32_t ny, std::int64_t cell,
                         float g) noexcept {
    Cell& entry = cells_[cell];
    if (!(g < entry.g)) return true;
    const auto distance = static_cast<float>(std::abs(config_.goal_x - nx) + std::abs(config_.goal_y - ny));
    const float f = g + config_.weight * (distance - g);
    if (entry.node != 0) return improve(current, entry, g, f);
    if (open_.full()) return false;
    const auto id = static_cast<std::uint32_t>(pool_.next_free());
    Node* node = pool_.take_node();
    if (node == nullptr) return false;
    node->parent = current;
    node->x = nx;
    node->y = ny;
    node->f = f;
    node->g = g;
    node->bucket_next = k_no_node;
    open_.push(node, id);
    own_cell(id, g, cell);
    // The node is expanded after the nodes now open ahead of it, and then
    // looks at the rows above and below; on a large map those are often
    // no longer (or not yet) in the cache, so ask for them now.
    __builtin_prefetch(&entry - stride());
    __builtin_prefetch(&entry + stride());
    return true;
}

bool AStarPlanner::improve(std::uint32_t current, Cell& entry, float g, float f) noexcept {
    Node* node = &pool_.node(entry.node - 1);
    const bool closed = node->open_slot < 0;
    if (closed && open_.full()) return false;
    entry.g = g;
    node->parent = current;
    node->g = g;
    node->f = f;
    if (closed) {
        // It leaves the closed table and is opened again.
        NodeHashTable::Cursor cursor = closed_.find(node->x, node->y);
        closed_.erase_found(cursor);
        open_.push(node);
    } else {
        open_.reinsert(node);
    }
    return true;
}

}  // namespace crv
