#include "path/node_storage.hpp"
#include "path/open_heap.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace crv {
namespace {

// The open list's order written out plainly: a list kept in non-increasing
// f, a node inserted in front of all nodes of equal f, the next node taken
// from the back; a node whose f changes is erased and inserted again.
class SortedList {
public:
    void insert(Node* node) {
        auto at = list_.begin();
        while (at != list_.end() && (*at)->f > node->f) ++at;
        list_.insert(at, node);
    }
    Node* pop() {
        Node* node = list_.back();
        list_.pop_back();
        return node;
    }
    void reinsert(Node* node) {
        list_.erase(std::find(list_.begin(), list_.end(), node));
        insert(node);
    }
    std::size_t size() const { return list_.size(); }

private:
    std::vector<Node*> list_;
};

// Random pushes, pops and re-insertions with few distinct f values, so that
// ties decide nearly every step; the heap gives out the nodes in exactly the
// list's order, also when the insertion ranks run out and start afresh.
TEST(OpenHeap, TakesNodesInTheSortedListOrder) {
    for (const std::uint32_t first_rank : {0u, UINT32_MAX - 300u}) {
        NodeFactory pool;
        pool.reserve(400);
        OpenHeap heap(pool);
        heap.reserve(pool.count());
        heap.set_next_rank(first_rank);
        SortedList list;
        std::mt19937 random(first_rank);
        std::vector<Node*> open;
        for (int step = 0; step < 3000; ++step) {
            const unsigned op = random() % 8;
            if (op < 3 && pool.next_free() < pool.count()) {
                Node* node = pool.take_node();
                node->f = static_cast<float>(random() % 4) * 0.5f;
                ASSERT_TRUE(heap.push(node));
                list.insert(node);
                open.push_back(node);
            } else if (op < 6 && !open.empty()) {
                // A lower f, or the same one (the highest weight keeps f).
                Node* node = open[random() % open.size()];
                node->f = std::max(0.0f, node->f - static_cast<float>(random() % 2) * 0.5f);
                ASSERT_TRUE(heap.reinsert(node));
                list.reinsert(node);
            } else if (list.size() > 0) {
                Node* expected = list.pop();
                ASSERT_EQ(heap.top(), expected) << "step " << step;
                ASSERT_EQ(heap.pop(), expected) << "step " << step;
                EXPECT_EQ(expected->open_slot, -1);
                EXPECT_FALSE(heap.holds(expected));
                open.erase(std::find(open.begin(), open.end(), expected));
            }
            ASSERT_EQ(static_cast<std::size_t>(heap.size()), list.size());
        }
        while (list.size() > 0) ASSERT_EQ(heap.pop(), list.pop());
        EXPECT_TRUE(heap.empty());
        EXPECT_EQ(heap.pop(), nullptr);
    }
}

TEST(OpenHeap, RefusalsChangeNothing) {
    NodeFactory pool;
    pool.reserve(3);
    Node* nodes[3] = {pool.take_node(), pool.take_node(), pool.take_node()};
    OpenHeap heap(pool);
    nodes[0]->f = 2.0f;
    nodes[1]->f = 1.0f;
    EXPECT_FALSE(heap.push(nodes[0]));  // no room yet
    heap.reserve(2);
    EXPECT_FALSE(heap.push(nullptr));
    nodes[2]->open_slot = 0;  // claims a slot it does not hold
    ASSERT_TRUE(heap.push(nodes[0]));
    ASSERT_TRUE(heap.push(nodes[1]));
    EXPECT_TRUE(heap.full());
    EXPECT_FALSE(heap.push(nodes[2]));
    EXPECT_FALSE(heap.reinsert(nodes[2]));
    EXPECT_FALSE(heap.reinsert(nullptr));
    EXPECT_EQ(heap.pop(), nodes[1]);
    EXPECT_FALSE(heap.reinsert(nodes[1]));  // gone with pop
    EXPECT_EQ(heap.pop(), nodes[0]);
    heap.reserve(0);
    EXPECT_EQ(heap.capacity(), 0);
    EXPECT_FALSE(heap.push(nodes[0]));
}

TEST(NodeFactory, HandsOutEachNodeOnceAndTakesThemBackInBulk) {
    NodeFactory pool;
    EXPECT_FALSE(pool.reserve(0));
    EXPECT_EQ(pool.take_node(), nullptr);
    ASSERT_TRUE(pool.reserve(3));
    Node* a = pool.take_node();
    Node* b = pool.take_node();
    Node* c = pool.take_node();
    ASSERT_NE(a, nullptr);
    EXPECT_TRUE(a != b && b != c && a != c);
    EXPECT_EQ(pool.take_node(), nullptr);
    EXPECT_TRUE(pool.in_use(c));
    pool.put_back();
    EXPECT_FALSE(pool.in_use(c));
    EXPECT_TRUE(pool.in_use(b));
    EXPECT_EQ(pool.take_node(), c);
    pool.put_back(2);
    EXPECT_EQ(pool.next_free(), 1);
    pool.put_back(5);
    EXPECT_EQ(pool.next_free(), 0);
    EXPECT_FALSE(pool.in_use(a));
    EXPECT_FALSE(pool.in_use(nullptr));
    EXPECT_EQ(pool.take_node(), a);
    EXPECT_FALSE(pool.reserve(-2));
    EXPECT_EQ(pool.count(), 3);
}

TEST(NodeHashTable, SizeAndBucketOfACell) {
    NodeFactory pool;
    NodeHashTable table(pool);
    EXPECT_EQ(table.bucket_count(), 1u);
    EXPECT_EQ(table.bucket_of(12345, 678), 0u);
    struct Case { int asked; int bits; };
    for (const Case c : {Case{8, 8}, Case{9, 8}, Case{1, 0}, Case{-5, 0}, Case{12, 12}}) {
        table.set_bits(c.asked);
        EXPECT_EQ(table.bits(), c.bits) << c.asked;
        EXPECT_EQ(table.bucket_count(), 1u << c.bits) << c.asked;
    }
    table.set_bits(8);
    // The low four bits of x, then those of y.
    EXPECT_EQ(table.bucket_of(0x1234, 0x56), 0x64u);
    EXPECT_EQ(table.bucket_of(15, 15), 255u);
    EXPECT_EQ(table.bucket_of(16, 16), 0u);
    EXPECT_EQ(table.bucket_of(-1, 0), 15u);
}

TEST(NodeHashTable, ChainsInsertFindEraseAndClear) {
    NodeFactory pool;
    pool.reserve(8);
    NodeHashTable table(pool);
    table.set_bits(8);
    // Three nodes in one bucket (x and y equal modulo 16), one elsewhere.
    std::vector<Node*> nodes;
    for (const auto& [x, y] : {std::pair{1, 2}, {17, 2}, {33, 18}, {5, 5}}) {
        Node* node = pool.take_node();
        *node = Node{k_no_node, x, y, 0.0f, 0.0f, k_no_node, -1};
        nodes.push_back(node);
        EXPECT_TRUE(table.insert(node));
    }
    EXPECT_FALSE(table.insert(nullptr));
    EXPECT_FALSE(table.insert(nodes[1]));
    EXPECT_EQ(table.node_count(), 4);

    NodeHashTable::Cursor found = table.find(17, 2);
    EXPECT_EQ(found.node, nodes[1]);
    EXPECT_EQ(found.bucket, table.bucket_of(17, 2));
    EXPECT_TRUE(table.erase_found(found));
    EXPECT_FALSE(table.erase_found(found));
    EXPECT_EQ(table.find(17, 2).node, nullptr);
    EXPECT_EQ(table.find(1, 2).node, nodes[0]);
    EXPECT_EQ(table.find(33, 18).node, nodes[2]);
    EXPECT_EQ(table.find(2, 1).node, nullptr);
    EXPECT_EQ(table.node_count(), 3);

    // Three nodes held: the pool steps back three, from 4 to 1.
    table.clear(pool);
    EXPECT_EQ(pool.next_free(), 1);
    EXPECT_EQ(table.node_count(), 0);
    EXPECT_EQ(table.find(1, 2).node, nullptr);
    EXPECT_TRUE(table.insert(nodes[3]));
    NodeFactory spare;
    table.clear(spare);  // never below the first node
    EXPECT_EQ(spare.next_free(), 0);
}

}  // namespace
}  // namespace crv
