#include "path/node_storage.hpp"

#include <algorithm>
#include <climits>
#include <utility>

namespace crv {

bool NodeFactory::reserve(std::int32_t count) {
    if (count <= 0) return false;
    nodes_.reset();
    count_ = 0;
    next_free_ = 0;
    nodes_ = std::make_unique_for_overwrite<Node[]>(static_cast<std::size_t>(count));
    count_ = count;
    return true;
}

NodeHashTable::NodeHashTable(const NodeFactory& pool) : pool_(pool), buckets_(new std::uint32_t[1]{k_no_node}) {}

void NodeHashTable::set_bits(int n) {
    n = std::clamp(n, 0, k_max_bits) & ~1;
    // Allocated before the old array goes, so that running out of memory
    // leaves the table as it was.
    const std::size_t count = std::size_t{1} << n;
    std::unique_ptr<std::uint32_t[]> fresh(new std::uint32_t[count]);
    std::fill_n(fresh.get(), count, k_no_node);
    buckets_ = std::move(fresh);
    bits_ = n;
    count_ = 0;
}

bool NodeHashTable::insert(Node* node) noexcept {
    if (node == nullptr) return false;
    for (Node* n = node_at(buckets_[bucket_of(node->x, node->y)]); n != nullptr; n = node_at(n->bucket_next))
        if (n == node) return false;
    insert_new(node);
    return true;
}

NodeHashTable::Cursor NodeHashTable::find(std::int32_t x, std::int32_t y) noexcept {
    Cursor cursor;
    cursor.table = this;
    cursor.bucket = bucket_of(x, y);
    for (std::uint32_t* link = &buckets_[cursor.bucket]; *link != k_no_node; link = &pool_.node(*link).bucket_next) {
        Node& node = pool_.node(*link);
        if (node.x == x && node.y == y) {
            cursor.link = link;
            cursor.node = &node;
            break;
        }
    }
    return cursor;
}

bool NodeHashTable::erase_found(Cursor& cursor) noexcept {
    if (cursor.table != this || cursor.link == nullptr || cursor.node == nullptr ||
        node_at(*cursor.link) != cursor.node)
        return false;
    *cursor.link = cursor.node->bucket_next;
    cursor.node->bucket_next = k_no_node;
    cursor.link = nullptr;
    cursor.node = nullptr;
    --count_;
    return true;
}

void NodeHashTable::clear(NodeFactory& pool) noexcept {
    pool.put_back(static_cast<std::int32_t>(std::min<std::int64_t>(count_, INT32_MAX)));
    std::fill_n(buckets_.get(), bucket_count(), k_no_node);
    count_ = 0;
}

}  // namespace crv
