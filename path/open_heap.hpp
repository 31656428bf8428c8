// OpenHeap: the planner's open list. A 4-ary min-heap of fixed capacity
// over search nodes, keyed by the node's f and then by an insertion rank, so
// that of nodes with equal f the one inserted (or re-inserted) first comes
// out first. Every node in the heap knows its slot (Node::open_slot), so
// that a node whose f changed is moved in place rather than searched for.
// The heap holds nodes of one pool by their index, which must outlive it.
// Nothing is allocated after reserve. Operations that cannot be carried out
// (full, empty, a node not in the heap) return false or null and change
// nothing. Single-threaded; the owner decides the lifetime; only reserve may
// throw std::bad_alloc.
#pragma once

#include "path/node_storage.hpp"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <memory>
#include <utility>

namespace crv {

class OpenHeap {
public:
    explicit OpenHeap(const NodeFactory& pool) noexcept : pool_(pool) {}
    OpenHeap(const OpenHeap&) = delete;
    OpenHeap& operator=(const OpenHeap&) = delete;
    ~OpenHeap() = default;

    // Drops the contents and the buffers, then holds room for capacity
    // nodes (none for capacity <= 0).
    void reserve(std::int32_t capacity) {
        keys_.reset();
        ids_.reset();
        capacity_ = 0;
        clear();
        if (capacity <= 0) return;
        // Room for a whole group of children behind the last slot.
        const auto slots = static_cast<std::size_t>(capacity) + k_spare;
        keys_ = std::make_unique_for_overwrite<std::uint64_t[]>(slots);
        ids_ = std::make_unique_for_overwrite<std::uint32_t[]>(slots);
        capacity_ = capacity;
        clear();
    }

    std::int32_t capacity() const noexcept { return capacity_; }
    std::int32_t size() const noexcept { return size_ - (taken_ ? 1 : 0); }
    bool empty() const noexcept { return size() == 0; }
    bool full() const noexcept { return size() == capacity_; }

    // The node of lowest f, the earliest inserted among equals; null when
    // empty.
    Node* top() noexcept {
        if (taken_) remove_top();
        return size_ > 0 ? &pool_.node(ids_[0]) : nullptr;
    }
    // Takes out the node of top(). Its entry stays in the top slot until the
    // next change: the planner pushes the node's neighbours next, and the
    // first of them then takes that slot and sinks from there, which costs
    // one pass down the heap instead of a removal and an insertion.
    Node* pop() noexcept {
        if (taken_) remove_top();
        if (size_ == 0) return nullptr;
        Node* node = &pool_.node(ids_[0]);
        node->open_slot = -1;
        taken_ = true;
        return node;
    }
    // Adds a node of the pool that is not in the heap, ranked after every
    // node inserted before it. f must not be negative or NaN.
    bool push(Node* node) noexcept { return node != nullptr && push(node, pool_.index_of(node)); }
    // push for a caller that knows the node's pool index.
    bool push(Node* node, std::uint32_t id) noexcept {
        if (size() == capacity_) return false;
        const std::uint32_t rank = take_rank();
        if (taken_) {
            taken_ = false;
            sift_down(0, key_of(node->f, rank), id);
            return true;
        }
        keys_[size_ + k_spare] = k_empty;
        sift_up(size_++, key_of(node->f, rank), id);
        return true;
    }
    // Takes a node in the heap out and puts it back with its current f, as
    // if it were inserted now.
    bool reinsert(Node* node) noexcept {
        if (!holds(node)) return false;
        if (taken_) remove_top();
        const std::uint32_t rank = take_rank();  // may move the node
        const std::int32_t slot = node->open_slot;
        const std::uint64_t key = key_of(node->f, rank);
        if (slot > 0 && key < keys_[(slot - 1) >> 2])
            sift_up(slot, key, ids_[slot]);
        else
            sift_down(slot, key, ids_[slot]);
        return true;
    }
    bool holds(const Node* node) const noexcept {
        return node != nullptr && node->open_slot >= 0 && node->open_slot < size_ &&
               &pool_.node(ids_[node->open_slot]) == node;
    }
    // Forgets every node; their open_slot is left as it is (they go back to
    // the pool with this).
    void clear() noexcept {
        size_ = 0;
        taken_ = false;
        if (keys_ != nullptr) std::fill_n(keys_.get(), k_spare, k_empty);
        next_rank_ = 0;
    }

    // Sets the rank the next insertion gets. Ranks count insertions; when
    // they run out, the nodes held are ranked afresh in their order.
    void set_next_rank(std::uint32_t rank) noexcept { next_rank_ = rank; }

private:
    // Removes the entry in the top slot, whose node pop already gave out.
    void remove_top() noexcept {
        taken_ = false;
        --size_;
        const std::uint64_t last_key = keys_[size_];
        const std::uint32_t last_id = ids_[size_];
        keys_[size_] = k_empty;
        if (size_ == 0) return;
        // The hole left at the top goes all the way down along the least
        // children, then the last entry rises into it from there: it
        // usually belongs near the bottom, and a descent that never stops
        // early has no branch to mispredict.
        const Slots at = slots();
        const std::int32_t size = size_;
        std::int32_t slot = 0;
        for (std::int32_t first = 1; first < size; first = 4 * slot + 1) {
            const Least least = least_child(at.keys, first);
            at.place(slot, least.key, at.ids[least.slot]);
            slot = least.slot;
        }
        sift_up(slot, last_key, last_id);
    }

    // A key holds f in the high half and the rank in the low half: since f
    // is never negative, its bits order like the float, so one integer
    // comparison orders by f and then by rank. The slots behind the last
    // one hold k_empty, which no node's key reaches (its f would be NaN).
    static constexpr std::uint64_t k_empty = UINT64_MAX;
    // The slots from size_ on, this many of them, hold k_empty: pop reads
    // up to three of them when it compares a group of children.
    static constexpr std::int32_t k_spare = 4;

    static std::uint64_t key_of(float f, std::uint32_t rank) noexcept {
        return (std::uint64_t{std::bit_cast<std::uint32_t>(f)} << 32) | rank;
    }
    std::uint32_t take_rank() noexcept {
        if (next_rank_ == UINT32_MAX) {
            if (taken_) remove_top();
            rerank();
        }
        return next_rank_++;
    }
    // Ranks the nodes held 0, 1, ... in their order. A sorted array is a
    // heap, so sorting in place (heapsort, on both arrays at once) keeps
    // the heap valid without allocating.
    void rerank() noexcept {
        const auto swap_slots = [this](std::int32_t a, std::int32_t b) {
            std::swap(keys_[a], keys_[b]);
            std::swap(ids_[a], ids_[b]);
        };
        // Sinks slot within the first n slots of a heap with the greatest
        // key on top.
        const auto sink = [&](std::int32_t slot, std::int32_t n) {
            for (std::int32_t child = 2 * slot + 1; child < n; child = 2 * slot + 1) {
                if (child + 1 < n && keys_[child] < keys_[child + 1]) ++child;
                if (!(keys_[slot] < keys_[child])) break;
                swap_slots(slot, child);
                slot = child;
            }
        };
        for (std::int32_t slot = size_ / 2 - 1; slot >= 0; --slot) sink(slot, size_);
        for (std::int32_t n = size_ - 1; n > 0; --n) {
            swap_slots(0, n);
            sink(0, n);
        }
        for (std::int32_t slot = 0; slot < size_; ++slot) {
            keys_[slot] = (keys_[slot] & ~std::uint64_t{UINT32_MAX}) | static_cast<std::uint32_t>(slot);
            pool_.node(ids_[slot]).open_slot = slot;
        }
        next_rank_ = static_cast<std::uint32_t>(size_);
    }
    // The arrays and the pool in locals: the loops below store through
    // them, and members would have to be read again after every store.
    struct Slots {
        std::uint64_t* keys;
        std::uint32_t* ids;
        Node* nodes;
        void place(std::int32_t slot, std::uint64_t key, std::uint32_t id) const noexcept {
            keys[slot] = key;
            ids[slot] = id;
            nodes[id].open_slot = slot;
        }
    };
    Slots slots() const noexcept { return Slots{keys_.get(), ids_.get(), pool_.nodes()}; }

    // Moves the hole at slot up until the entry fits there.
    void sift_up(std::int32_t slot, std::uint64_t key, std::uint32_t id) noexcept {
        const Slots at = slots();
        while (slot > 0) {
            const std::int32_t parent = (slot - 1) >> 2;
            if (!(key < at.keys[parent])) break;
            at.place(slot, at.keys[parent], at.ids[parent]);
            slot = parent;
        }
        at.place(slot, key, id);
    }
    // The least of the four children from first on, and its key; slots
    // past the end hold k_empty, so a group is always compared whole. The
    // picks are masks rather than conditions: the compiler turns a
    // condition into a jump here, and which child is least is a coin toss
    // that the processor would guess wrong half of the time.
    struct Least {
        std::int32_t slot;
        std::uint64_t key;
    };
    static Least least_child(const std::uint64_t* keys, std::int32_t first) noexcept {
        const std::uint64_t* group = keys + first;
        const auto pick = [](std::uint64_t x, std::uint64_t y, std::uint64_t take_y) { return x ^ ((x ^ y) & take_y); };
        const std::uint64_t take1 = std::uint64_t{0} - (group[1] < group[0]);
        const std::uint64_t take3 = std::uint64_t{0} - (group[3] < group[2]);
        const std::uint64_t key_a = pick(group[0], group[1], take1);
        const std::uint64_t key_b = pick(group[2], group[3], take3);
        const std::uint64_t take_b = std::uint64_t{0} - (key_b < key_a);
        const std::uint64_t slot = pick(take1 & 1, 2 | (take3 & 1), take_b);
        return Least{first + static_cast<std::int32_t>(slot), pick(key_a, key_b, take_b)};
    }
    // Moves the hole at slot down along the least children until the entry
    // fits there.
    void sift_down(std::int32_t slot, std::uint64_t key, std::uint32_t id) noexcept {
        const Slots at = slots();
        const std::int32_t size = size_;
        for (std::int32_t first = 4 * slot + 1; first < size; first = 4 * slot + 1) {
            const Least least = least_child(at.keys, first);
            if (!(least.key < key)) break;
            at.place(slot, least.key, at.ids[least.slot]);
            slot = least.slot;
        }
        at.place(slot, key, id);
    }

    const NodeFactory& pool_;
    // Two arrays rather than one of pairs: twelve bytes a slot, and a group
    // of four children's keys lies within half a cache line.
    std::unique_ptr<std::uint64_t[]> keys_;
    std::unique_ptr<std::uint32_t[]> ids_;  // pool index of each slot's node
    std::int32_t capacity_ = 0;
    std::int32_t size_ = 0;  // slots in use, the taken top included
    bool taken_ = false;     // the top slot's node was given out by pop
    std::uint32_t next_rank_ = 0;
};

}  // namespace crv
