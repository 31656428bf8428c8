#include "path/planner.hpp"

#include <algorithm>
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
// is not positive once it is a float is blocked; values beyond the float
// range are the dearest passable cells rather than overflowing.
float source_cost(double value) {
    if (!(value > 0.0)) return k_blocked_cell;
    const float cost = value >= double{FLT_MAX} ? FLT_MAX : static_cast<float>(value);
    return cost > 0.0f ? cost : k_blocked_cell;
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
    grid_.reset();
    cell_nodes_.reset();
    cell_closed_.reset();
    config_ = PlannerConfig{};
    width_ = 0;
    height_ = 0;

    const auto count = static_cast<std::size_t>(cells);
    auto grid = std::make_unique_for_overwrite<float[]>(count);
    float dearest = 0.0f;
    for (std::size_t i = 0; i < count; ++i) {
        grid[i] = source_cost(config.values[i]);
        dearest = std::max(dearest, grid[i]);
    }
    if (dearest <= 0.0f) return false;
    for (std::size_t i = 0; i < count; ++i)
        if (grid[i] != k_blocked_cell) grid[i] = grid[i] / dearest + 1.0f;

    const auto all = static_cast<std::int32_t>(cells);
    pool_.reserve(config.pool_size > 0 ? config.pool_size : all);
    open_.reserve(config.open_capacity > 0 ? config.open_capacity : all);
    closed_.set_bits(config.closed_bits);
    cell_nodes_.reset(new Node*[count]());
    cell_closed_.reset(new std::uint8_t[count]());

    grid_ = std::move(grid);
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
    finished_ = false;
    result_ = nullptr;
}

void Planner::reset() {
    // Every node handed out is in one of the two lists, so this gives all of
    // them back. The cell index needs no clearing: it only believes nodes
    // that are handed out and sit on its cell.
    pool_.put_back(open_.size());
    open_.clear();
    closed_.clear(pool_);
    result_ = nullptr;
    finished_ = true;
}

float Planner::path_cost() const noexcept {
    return result_ != nullptr ? result_->g : -1.0f;
}

std::int32_t Planner::path_length() const noexcept {
    std::int32_t length = 0;
    for (const Node* node = result_; node != nullptr; node = node->parent) ++length;
    return length;
}

float Planner::cell_cost(std::int32_t x, std::int32_t y) const noexcept {
    if (grid_ == nullptr || !inside(x, y, width_, height_)) return k_blocked_cell;
    return grid_[cell_index(x, y)];
}

std::int32_t Planner::sorted_place(float f) const noexcept {
    std::int32_t lo = 0;
    std::int32_t hi = open_.size();
    while (lo < hi) {
        const std::int32_t mid = lo + (hi - lo) / 2;
        if (open_.at(mid)->f > f)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

bool Planner::open_insert(Node* node) noexcept {
    return open_.insert(sorted_place(node->f), node);
}

std::int32_t Planner::open_position(const Node* node) const noexcept {
    // The list is ordered by f, and the node keeps the f it was inserted
    // with: it sits among the run of equal f that begins at its sorted place.
    for (std::int32_t i = sorted_place(node->f), n = open_.size(); i < n; ++i) {
        const Node* other = open_.at(i);
        if (other == node) return i;
        if (other->f != node->f) break;
    }
    return -1;
}

void Planner::close_node(Node* node) noexcept {
    closed_.insert_new(node);
    cell_closed_[cell_index(node->x, node->y)] = 1;
}

Node* Planner::cell_node(std::int64_t cell, std::int32_t x, std::int32_t y) const noexcept {
    Node* node = cell_nodes_[cell];
    return pool_.in_use(node) && node->x == x && node->y == y ? node : nullptr;
}

void Planner::own_cell(Node* node) noexcept {
    const std::int64_t cell = cell_index(node->x, node->y);
    cell_nodes_[cell] = node;
    cell_closed_[cell] = 0;
}

void AStarPlanner::start() {
    Planner::start();
    if (grid_ == nullptr) return;
    Node* node = pool_.take_node();
    if (node == nullptr) return;
    node->parent = nullptr;
    node->x = config_.start_x;
    node->y = config_.start_y;
    node->f = 0.0f;
    node->g = 0.0f;
    node->bucket_next = nullptr;
    if (!open_.push_back(node)) {
        pool_.put_back();
        return;
    }
    own_cell(node);
}

bool AStarPlanner::search() {
    if (finished_) return false;
    const bool diagonal_moves = config_.diagonal_moves != 0;
    const float diagonal_factor = config_.diagonal_cost != 0 ? k_diagonal_factor : 1.0f;
    while (!open_.empty()) {
        Node* current = open_.back();
        open_.pop_back();
        if (current->x == config_.goal_x && current->y == config_.goal_y) {
            close_node(current);
            finished_ = true;
            result_ = current;
            return true;
        }
        for (const Step& step : k_steps) {
            if (step.diagonal && !diagonal_moves) continue;
            const std::int32_t nx = current->x + step.dx;
            const std::int32_t ny = current->y + step.dy;
            if (!inside(nx, ny, width_, height_)) continue;
            const float cost = grid_[cell_index(nx, ny)];
            if (cost == k_blocked_cell) continue;
            const float g = current->g + (step.diagonal ? cost * diagonal_factor : cost);
            if (!relax(current, nx, ny, g)) {
                close_node(current);
                finished_ = true;
                return false;
            }
        }
        close_node(current);
    }
    finished_ = true;
    return true;
}

bool AStarPlanner::relax(Node* current, std::int32_t nx, std::int32_t ny, float g) noexcept {
    const auto distance = static_cast<float>(std::abs(config_.goal_x - nx) + std::abs(config_.goal_y - ny));
    const float f = g + config_.weight * (distance - g);
    const std::int64_t cell = cell_index(nx, ny);
    Node* node = cell_node(cell, nx, ny);
    if (node != nullptr) {
        if (!(g < node->g)) return true;
        if (cell_closed_[cell] != 0) {
            if (open_.full()) return false;
            NodeHashTable::Cursor cursor = closed_.find(nx, ny);
            closed_.erase_found(cursor);
            cell_closed_[cell] = 0;
        } else if (!open_.erase(open_position(node))) {
            return true;  // not where the open list should hold it: leave it be
        }
        node->parent = current;
        node->g = g;
        node->f = f;
        open_insert(node);
        return true;
    }
    if (open_.full()) return false;
    node = pool_.take_node();
    if (node == nullptr) return false;
    node->parent = current;
    node->x = nx;
    node->y = ny;
    node->f = f;
    node->g = g;
    node->bucket_next = nullptr;
    open_insert(node);
    own_cell(node);
    return true;
}

}  // namespace crv
