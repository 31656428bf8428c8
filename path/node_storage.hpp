// Search nodes and the two stores the planner keeps them in: NodeFactory,
// the preallocated pool every node comes from, and NodeHashTable, the
// closed set, chained through the nodes themselves so that closing a node
// never allocates. Nodes go back to the pool only in bulk (the pool's
// next-free index steps back once per node found in the planner's lists).
// Nodes refer to each other by their index in the pool rather than by
// pointer: that keeps a node at 28 bytes, and a large search touches
// correspondingly less memory.
// Both stores belong to one planner and live as long as it does; single-
// threaded. Failures are results (a null node, false); only reserving and
// resizing may throw std::bad_alloc.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>

namespace crv {

// The index that stands for no node.
inline constexpr std::uint32_t k_no_node = UINT32_MAX;

struct Node {
    std::uint32_t parent;  // pool index; k_no_node for the start node
    std::int32_t x;
    std::int32_t y;
    float f;  // ordering key of the open list
    float g;  // cost from the start
    std::uint32_t bucket_next;  // pool index of the next node in the same closed-table chain
    std::int32_t open_slot;  // place in the open list, -1 when not in it
};

class NodeFactory {
public:
    NodeFactory() noexcept = default;
    NodeFactory(const NodeFactory&) = delete;
    NodeFactory& operator=(const NodeFactory&) = delete;
    virtual ~NodeFactory() = default;

    // Drops every node held and makes count fresh, uninitialised nodes.
    // A count <= 0 changes nothing and gives false.
    bool reserve(std::int32_t count);
    // The next unused node, or null when all are handed out.
    Node* take_node() noexcept {
        return next_free_ < count_ ? &nodes_[next_free_++] : nullptr;
    }
    // Gives nodes back, the last handed out first; never goes below the
    // first node.
    void put_back(std::int32_t count = 1) noexcept {
        next_free_ = count >= next_free_ ? 0 : next_free_ - std::max(count, 0);
    }
    // The index-th node (counting from 0) of the pool, handed out or not;
    // the index must be below count().
    Node& node(std::uint32_t index) const noexcept { return nodes_[index]; }
    // The first node of the pool (null before reserve); node(i) is
    // nodes()[i].
    Node* nodes() const noexcept { return nodes_.get(); }
    // The index of a node of this pool.
    std::uint32_t index_of(const Node* node) const noexcept {
        return static_cast<std::uint32_t>(node - nodes_.get());
    }
    // Whether the node is one of those handed out and not yet given back.
    bool in_use(const Node* node) const noexcept {
        const std::less<const Node*> before;
        return node != nullptr && !before(node, nodes_.get()) && before(node, nodes_.get() + next_free_);
    }

    std::int32_t count() const noexcept { return count_; }
    std::int32_t next_free() const noexcept { return next_free_; }

private:
    std::int32_t count_ = 0;
    // One block: the nodes are handed out in order and returned in bulk, so
    // they never need allocating one by one.
    std::unique_ptr<Node[]> nodes_;
    std::int32_t next_free_ = 0;
};

class NodeHashTable {
public:
    // Where find stopped: the bucket, the link that holds the index of the
    // node found (for unlinking) and the node, null when there is none for
    // the cell.
    struct Cursor {
        NodeHashTable* table = nullptr;
        std::uint32_t bucket = 0;
        std::uint32_t* link = nullptr;
        Node* node = nullptr;
    };

    static constexpr int k_max_bits = 24;

    // One bucket; the nodes linked in must come from this pool, which must
    // outlive the table.
    explicit NodeHashTable(const NodeFactory& pool);
    NodeHashTable(const NodeHashTable&) = delete;
    NodeHashTable& operator=(const NodeHashTable&) = delete;
    virtual ~NodeHashTable() = default;

    // 2^n empty buckets; n is limited to 0..24 and rounded down to even,
    // since x and y get half of the bits each. Forgets every node held.
    void set_bits(int n);
    int bits() const noexcept { return bits_; }
    std::uint32_t bucket_count() const noexcept { return std::uint32_t{1} << bits_; }
    // The low bits/2 bits of x, then those of y above them.
    std::uint32_t bucket_of(std::int32_t x, std::int32_t y) const noexcept {
        const std::uint32_t half = static_cast<std::uint32_t>(bits_) / 2;
        const std::uint32_t mask = (std::uint32_t{1} << half) - 1;
        return (static_cast<std::uint32_t>(x) & mask) | ((static_cast<std::uint32_t>(y) & mask) << half);
    }
    Node* bucket_head(std::uint32_t bucket) const noexcept {
        return bucket < bucket_count() ? node_at(buckets_[bucket]) : nullptr;
    }

    // Links the node in at the head of its chain. Refuses a null node and
    // one that is already in the chain (false).
    bool insert(Node* node) noexcept;
    // insert for a caller that knows the node is in no chain of this table.
    void insert_new(Node* node) noexcept {
        std::uint32_t& head = buckets_[bucket_of(node->x, node->y)];
        node->bucket_next = head;
        head = pool_.index_of(node);
        ++count_;
    }
    Cursor find(std::int32_t x, std::int32_t y) noexcept;
    // Unlinks the node the cursor found; false when it found none.
    bool erase_found(Cursor& cursor) noexcept;
    // Gives every node held back to the pool, then empties every bucket.
    void clear(NodeFactory& pool) noexcept;
    // Nodes in all chains.
    std::int64_t node_count() const noexcept { return count_; }

private:
    Node* node_at(std::uint32_t index) const noexcept {
        return index != k_no_node ? &pool_.node(index) : nullptr;
    }

    const NodeFactory& pool_;
    std::unique_ptr<std::uint32_t[]> buckets_;  // pool index of each chain's head
    int bits_ = 0;
    // Kept as nodes come and go, so that neither clear nor node_count has
    // to walk the chains (with few buckets they grow long).
    std::int64_t count_ = 0;
};

}  // namespace crv
