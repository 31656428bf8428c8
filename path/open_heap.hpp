// OpenHeap: the planner's open list. A 4-ary min-heap of fixed capacity
// over search nodes, keyed by the node's f and then by an insertion rank, so
// that of nodes with equal f the one inserted (or re-inserted) first comes
// out first. Every node in the heap knows its slot (Node::open_slot), so
// that a node whose f changed is moved in place rather than searched for.
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

namespace crv {

class OpenHeap {
public:
    OpenHeap() noexcept = default;
    OpenHeap(const OpenHeap&) = delete;
    OpenHeap& operator=(const OpenHeap&) = delete;
    ~OpenHeap() = default;

    // Drops the contents and the buffer, then holds room for capacity nodes
    // (none for capacity <= 0).
    void reserve(std::int32_t capacity) {
        entries_.reset();
        capacity_ = 0;
        clear();
        if (capacity <= 0) return;
        // Room for a whole group of children behind the last slot.
        entries_ = std::make_unique_for_overwrite<Entry[]>(static_cast<std::size_t>(capacity) + k_spare);
        capacity_ = capacity;
        clear();
    }

    std::int32_t capacity() const noexcept { return capacity_; }
    std::int32_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }
    bool full() const noexcept { return size_ == capacity_; }

    // The node of lowest f, the earliest inserted among equals; null when
    // empty.
    Node* top() const noexcept { return size_ > 0 ? entries_[0].node : nullptr; }
    Node* pop() noexcept {
        if (size_ == 0) return nullptr;
        Node* node = entries_[0].node;
        node->open_slot = -1;
        const Entry last = entries_[--size_];
        entries_[size_] = k_empty;
        if (size_ == 0) return node;
        // The hole left at the top goes all the way down along the least
        // children, then the last entry rises into it from there: it
        // usually belongs near the bottom, and a descent that never stops
        // early has no branch to mispredict.
        std::int32_t slot = 0;
        for (std::int32_t first = 1; first < size_; first = 4 * slot + 1) {
            const std::int32_t least = least_child(first);
            place(slot, entries_[least]);
            slot = least;
        }
        sift_up(slot, last);
        return node;
    }
    // Adds a node that is not in the heap, ranked after every node inserted
    // before it. f must not be negative or NaN.
    bool push(Node* node) noexcept {
        if (node == nullptr || size_ == capacity_) return false;
        const std::uint32_t rank = take_rank();
        entries_[size_ + k_spare] = k_empty;
        sift_up(size_++, Entry{key_of(node->f, rank), node});
        return true;
    }
    // Takes a node in the heap out and puts it back with its current f, as
    // if it were inserted now.
    bool reinsert(Node* node) noexcept {
        if (!holds(node)) return false;
        const std::uint32_t rank = take_rank();  // may move the node
        const std::int32_t slot = node->open_slot;
        const Entry entry{key_of(node->f, rank), node};
        if (slot > 0 && entry.key < entries_[(slot - 1) >> 2].key)
            sift_up(slot, entry);
        else
            sift_down(slot, entry);
        return true;
    }
    bool holds(const Node* node) const noexcept {
        return node != nullptr && node->open_slot >= 0 && node->open_slot < size_ &&
               entries_[node->open_slot].node == node;
    }
    // Forgets every node; their open_slot is left as it is (they go back to
    // the pool with this).
    void clear() noexcept {
        size_ = 0;
        if (entries_ != nullptr) std::fill_n(entries_.get(), k_spare, k_empty);
        next_rank_ = 0;
    }

    // Sets the rank the next insertion gets. Ranks count insertions; when
    // they run out, the nodes held are ranked afresh in their order.
    void set_next_rank(std::uint32_t rank) noexcept { next_rank_ = rank; }

private:
    // f in the high half, the rank in the low half: since f is never
    // negative, its bits order like the float, so one integer comparison
    // orders by f and then by rank.
    struct Entry {
        std::uint64_t key;
        Node* node;
    };

    // Fills the slots behind the last one; no key of a node is this high
    // (f would be NaN).
    static constexpr Entry k_empty{UINT64_MAX, nullptr};
    // The slots from size_ on, this many of them, hold k_empty: pop reads
    // up to three of them when it compares a group of children.
    static constexpr std::int32_t k_spare = 4;

    static std::uint64_t key_of(float f, std::uint32_t rank) noexcept {
        return (std::uint64_t{std::bit_cast<std::uint32_t>(f)} << 32) | rank;
    }
    std::uint32_t take_rank() noexcept {
        if (next_rank_ == UINT32_MAX) rerank();
        return next_rank_++;
    }
    // Ranks the nodes held 0, 1, ... in their order. A sorted array is a
    // heap, so sorting in place keeps the heap valid without allocating.
    void rerank() noexcept {
        std::sort(entries_.get(), entries_.get() + size_,
                  [](const Entry& a, const Entry& b) { return a.key < b.key; });
        for (std::int32_t slot = 0; slot < size_; ++slot) {
            Entry& entry = entries_[slot];
            entry.key = (entry.key & ~std::uint64_t{UINT32_MAX}) | static_cast<std::uint32_t>(slot);
            entry.node->open_slot = slot;
        }
        next_rank_ = static_cast<std::uint32_t>(size_);
    }
    // Moves the hole at slot up until entry fits there.
    void sift_up(std::int32_t slot, Entry entry) noexcept {
        while (slot > 0) {
            const std::int32_t parent = (slot - 1) >> 2;
            if (!(entry.key < entries_[parent].key)) break;
            place(slot, entries_[parent]);
            slot = parent;
        }
        place(slot, entry);
    }
    // The least of the four children from first on; slots past the end
    // hold k_empty, so a group is always compared whole. Written so that the
    // compiler can pick without jumping.
    std::int32_t least_child(std::int32_t first) const noexcept {
        const Entry* group = entries_.get() + first;
        const std::int32_t a = group[1].key < group[0].key ? 1 : 0;
        const std::int32_t b = group[3].key < group[2].key ? 3 : 2;
        return first + (group[b].key < group[a].key ? b : a);
    }
    // Moves the hole at slot down along the least children until entry
    // fits there.
    void sift_down(std::int32_t slot, Entry entry) noexcept {
        for (std::int32_t first = 4 * slot + 1; first < size_; first = 4 * slot + 1) {
            const std::int32_t least = least_child(first);
            if (!(entries_[least].key < entry.key)) break;
            place(slot, entries_[least]);
            slot = least;
        }
        place(slot, entry);
    }
    void place(std::int32_t slot, Entry entry) noexcept {
        entries_[slot] = entry;
        entry.node->open_slot = slot;
    }

    std::unique_ptr<Entry[]> entries_;
    std::int32_t capacity_ = 0;
    std::int32_t size_ = 0;
    std::uint32_t next_rank_ = 0;
};

}  // namespace crv
