#include <corvane/dyn_array.hpp>

#include <gtest/gtest.h>

namespace crv {
namespace {

TEST(DynArray, SetDimensionsCapacityAndShape) {
    struct Case { int s1, s2, s3, s4; int dimensions; int capacity; };
    const Case cases[] = {
        {121, 0, 0, 0, 1, 128}, {8, 0, 0, 0, 1, 16}, {7, 0, 0, 0, 1, 8}, {0, 5, 0, 0, 2, 8},
        {10, 3, 0, 0, 2, 32}, {2, 3, 4, 5, 4, 128}, {0, 0, 0, 0, 0, 8}, {-4, 0, 0, 0, 0, 8},
    };
    for (const Case& c : cases) {
        DynArray<double> a;
        a.set_dimensions(c.s1, c.s2, c.s3, c.s4);
        EXPECT_EQ(a.dimensions(), c.dimensions) << c.s1 << "x" << c.s2;
        EXPECT_EQ(a.element_capacity(), c.capacity) << c.s1 << "x" << c.s2;
        EXPECT_EQ(a.size1(), c.s1 < 0 ? 0 : c.s1);
        for (std::int64_t e = 0; e < a.element_count(); ++e) EXPECT_EQ(a.elements()[e], 0.0);
    }
    DynArray<DynString> texts;
    texts.set_dimensions(64);
    EXPECT_EQ(texts.element_capacity(), 128);
    DynArray<std::uint8_t> none;
    none.set_dimensions(0);
    EXPECT_EQ(none.element_capacity(), 0);
    EXPECT_EQ(none.elements(), nullptr);
}

TEST(DynArray, ReusedBlocksAreCleared) {
    DynArray<std::int32_t> a;
    a.set_dimensions(10);
    const std::int32_t* block = a.elements();
    for (int i = 0; i < 10; ++i) a(i) = i + 1;
    a.set_dimensions(5);
    EXPECT_EQ(a.elements(), block);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(a(i), 0);

    DynArray<DynString> t;
    t.set_dimensions(3);
    t(2) = "text";
    t.set_dimensions(3);
    EXPECT_STREQ(t(2).text(), "");
}

TEST(DynArray, IndexingFirstFastestAndWrapping) {
    DynArray<std::int32_t> a;
    a.set_dimensions(10, 3);
    a(2, 1) = 77;
    EXPECT_EQ(a.elements()[12], 77);
    DynArray<double> b;
    b.set_dimensions(10);
    b(9) = 4.5;
    EXPECT_EQ(b(-1), 4.5);
    DynArray<std::int32_t> four;
    four.set_dimensions(2, 3, 4, 5);
    four(1, 2, 3, 4) = 9;
    EXPECT_EQ(four.elements()[1 + 2 * 2 + 3 * 6 + 4 * 24], 9);
    EXPECT_EQ(four.dimension_size(3), 5);
    EXPECT_EQ(four.dimension_size(4), 0);
    EXPECT_EQ(four.dimension_size(-1), 0);
}

TEST(DynArray, ResizeKeepCopiesTheOverlap) {
    DynArray<std::int32_t> a;
    a.set_dimensions(4, 4);
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i) a(i, j) = 10 * i + j + 1;
    a.resize_keep(2, 6);
    EXPECT_EQ(a.size1(), 2);
    EXPECT_EQ(a.size2(), 6);
    for (int j = 0; j < 6; ++j)
        for (int i = 0; i < 2; ++i) EXPECT_EQ(a(i, j), j < 4 ? 10 * i + j + 1 : 0) << i << "," << j;

    DynArray<DynString> t;
    t.set_dimensions(2, 2, 2);
    t(1, 1, 0) = "kept";
    t(1, 1, 1) = "dropped";
    t.resize_keep(3, 2, 2);
    EXPECT_STREQ(t(1, 1, 0).text(), "kept");
    EXPECT_STREQ(t(1, 1, 1).text(), "");

    a.resize_keep(0, 3);
    EXPECT_EQ(a.size1(), 0);
    EXPECT_EQ(a.size2(), 0);
    EXPECT_EQ(a.dimensions(), 0);
}

TEST(DynArray, AppendGrowsInSteps) {
    DynArray<DynString> t;
    t.append_element("first");
    EXPECT_EQ(t.size1(), 1);
    EXPECT_STREQ(t(0).text(), "first");
    DynArray<double> d;
    const double* block = nullptr;
    int reallocations = 0;
    for (int i = 0; i < 100; ++i) {
        d.append_element(i * 0.5);
        if (d.elements() != block) ++reallocations;
        block = d.elements();
    }
    EXPECT_EQ(d.size1(), 100);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(d(i), i * 0.5);
    EXPECT_LE(reallocations, 14);
    d.append_element(d(0));  // a value from the array itself
    EXPECT_EQ(d(100), 0.0);
}

TEST(DynArray, CopiesAreDeepAndFillValuesSetsElements) {
    DynArray<DynString> a;
    a.fill_values({"x", "y", "z"});
    DynArray<DynString> b = a;
    b(0) = "changed";
    EXPECT_STREQ(a(0).text(), "x");
    DynArray<DynString> c;
    c.copy_from(a);
    EXPECT_EQ(c.size1(), 3);
    EXPECT_STREQ(c(2).text(), "z");
    c = c;
    EXPECT_STREQ(c(1).text(), "y");
    DynArray<std::int32_t> n;
    n.fill_values(0, nullptr);
    EXPECT_EQ(n.size1(), 0);
    DynArray<DynString> moved = std::move(c);
    EXPECT_EQ(moved.size1(), 3);
}

}  // namespace
}  // namespace crv
