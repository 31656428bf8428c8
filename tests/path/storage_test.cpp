#include "path/fixed_deque.hpp"
#include "path/node_storage.hpp"

#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <vector>

namespace crv {
namespace {

// Every operation on a small ring, checked against a plain deque; the ring
// is small so that the contents wrap, fill and empty again and again.
TEST(FixedDeque, BehavesLikeADequeOfFixedCapacity) {
    for (const int capacity : {1, 2, 7}) {
        FixedDeque<long> ring;
        ring.reserve(capacity);
        std::deque<long> model;
        std::mt19937 random(static_cast<unsigned>(capacity));
        long next = 1;
        for (int step = 0; step < 20000; ++step) {
            const int size = static_cast<int>(model.size());
            const int op = static_cast<int>(random() % 6);
            // Indices one beyond either end probe the refusals.
            const int i = static_cast<int>(random() % static_cast<unsigned>(size + 3)) - 1;
            const bool full = size == capacity;
            switch (op) {
                case 0:
                    ASSERT_EQ(ring.push_back(next), !full);
                    if (!full) model.push_back(next);
                    break;
                case 1:
                    ASSERT_EQ(ring.push_front(next), !full);
                    if (!full) model.push_front(next);
                    break;
                case 2:
                    ASSERT_EQ(ring.pop_back(), size > 0);
                    if (size > 0) model.pop_back();
                    break;
                case 3:
                    ASSERT_EQ(ring.pop_front(), size > 0);
                    if (size > 0) model.pop_front();
                    break;
                case 4: {
                    const bool ok = i >= 0 && i <= size && !full;
                    ASSERT_EQ(ring.insert(i, next), ok) << "insert at " << i << " of " << size;
                    if (ok) model.insert(model.begin() + i, next);
                    break;
                }
                default: {
                    const bool ok = i >= 0 && i < size;
                    ASSERT_EQ(ring.erase(i), ok) << "erase at " << i << " of " << size;
                    if (ok) model.erase(model.begin() + i);
                    break;
                }
            }
            ++next;
            ASSERT_EQ(ring.size(), static_cast<int>(model.size()));
            ASSERT_EQ(ring.empty(), model.empty());
            ASSERT_EQ(ring.back(), model.empty() ? 0 : model.back());
            for (int k = 0; k < ring.size(); ++k) ASSERT_EQ(ring.at(k), model[static_cast<std::size_t>(k)]);
            ASSERT_EQ(ring.at(ring.size()), 0);
            ASSERT_EQ(ring.at(-1), 0);
        }
    }
}

// A ring filled by an insert must go on working across the wrap.
TEST(FixedDeque, FillingByInsertKeepsTheRingUsable) {
    FixedDeque<int> ring;
    ring.reserve(4);
    ring.push_back(1);
    ring.push_back(3);
    ring.push_back(4);
    ASSERT_TRUE(ring.insert(1, 2));
    EXPECT_FALSE(ring.push_back(5));
    EXPECT_TRUE(ring.pop_front());
    EXPECT_TRUE(ring.push_back(5));
    const int expected[] = {2, 3, 4, 5};
    for (int k = 0; k < 4; ++k) EXPECT_EQ(ring.at(k), expected[k]);
    EXPECT_EQ(ring.back(), 5);
}

TEST(FixedDeque, WithoutCapacityRefusesEverything) {
    FixedDeque<int> ring;
    EXPECT_FALSE(ring.push_back(1));
    EXPECT_FALSE(ring.push_front(1));
    EXPECT_FALSE(ring.insert(0, 1));
    EXPECT_FALSE(ring.pop_back());
    EXPECT_EQ(ring.back(), 0);
    ring.reserve(3);
    ring.push_back(7);
    ring.reserve(-1);
    EXPECT_TRUE(ring.empty());
    EXPECT_FALSE(ring.push_back(1));
    ring.reserve(2);
    EXPECT_TRUE(ring.empty());
    EXPECT_TRUE(ring.push_back(1));
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
    NodeHashTable table;
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
    NodeHashTable table;
    table.set_bits(8);
    NodeFactory pool;
    pool.reserve(8);
    // Three nodes in one bucket (x and y equal modulo 16), one elsewhere.
    std::vector<Node*> nodes;
    for (const auto& [x, y] : {std::pair{1, 2}, {17, 2}, {33, 18}, {5, 5}}) {
        Node* node = pool.take_node();
        *node = Node{nullptr, x, y, 0.0f, 0.0f, nullptr};
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
