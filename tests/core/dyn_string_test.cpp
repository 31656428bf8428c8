#include <corvane/dyn_string.hpp>

#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <string>

namespace crv {
namespace {

void expect_shared_empty(const DynString& s) {
    EXPECT_EQ(s.length(), 0u);
    EXPECT_EQ(s.capacity(), 0u);
    EXPECT_EQ(s.text(), empty_text);
}

TEST(DynString, EmptyStatesShareTheEmptyText) {
    DynString a;
    DynString b("");
    DynString c(b);
    DynString d("abc");
    d.release();
    expect_shared_empty(a);
    expect_shared_empty(b);
    expect_shared_empty(c);
    expect_shared_empty(d);
}

TEST(DynString, CapacityRoundsUpToTheNextMultipleOf16) {
    struct Case { std::string text; unsigned capacity; };
    for (const Case& c : {Case{std::string(14, 'x'), 16}, Case{std::string(15, 'x'), 32},
                          Case{std::string(31, 'x'), 48}, Case{std::string(63, 'x'), 80}}) {
        DynString s(c.text.c_str());
        EXPECT_EQ(s.capacity(), c.capacity) << c.text.size();
        EXPECT_EQ(s.length(), c.text.size());
    }
}

TEST(DynString, ByteAppendsGrowEvery16Bytes) {
    DynString s;
    for (int i = 1; i <= 48; ++i) {
        s += 'a';
        unsigned expected = i <= 15 ? 16 : i <= 31 ? 32 : i <= 47 ? 48 : 64;
        ASSERT_EQ(s.capacity(), expected) << i;
        ASSERT_EQ(s.length(), static_cast<unsigned>(i));
        ASSERT_EQ(s.text()[i], 0);
    }
}

TEST(DynString, AssignmentRules) {
    DynString s("a long enough text");
    unsigned capacity = s.capacity();
    s = DynString("");  // empty DynString: keeps the buffer
    EXPECT_EQ(s.capacity(), capacity);
    EXPECT_EQ(s.length(), 0u);
    EXPECT_STREQ(s.text(), "");

    s = "abc";  // plain text: exact size
    EXPECT_EQ(s.capacity(), 4u);
    EXPECT_STREQ(s.text(), "abc");

    DynString big("0123456789012345678901234567890");
    DynString shorter("xy");
    big = shorter;  // never shrinks
    EXPECT_EQ(big.capacity(), 48u);
    EXPECT_STREQ(big.text(), "xy");
    big = DynString("z");  // nor when the value is a temporary
    EXPECT_EQ(big.capacity(), 48u);
    EXPECT_STREQ(big.text(), "z");

    s = "";  // plain empty text: back to the shared state
    EXPECT_EQ(s.text(), empty_text);

    DynString self("self");
    self = self;
    EXPECT_STREQ(self.text(), "self");
    self = self.text() + 1;  // assigning part of itself
    EXPECT_STREQ(self.text(), "elf");
}

TEST(DynString, AppendingPartOfItselfWhileGrowing) {
    DynString s("abcdefghijklmno");  // 15 bytes, capacity 32
    s += s;
    EXPECT_STREQ(s.text(), "abcdefghijklmnoabcdefghijklmno");
    s += s.text() + 28;
    EXPECT_STREQ(s.text(), "abcdefghijklmnoabcdefghijklmnono");
}

TEST(DynString, TruncateAndSyncLength) {
    DynString s("hello");
    s.truncate(-1);
    s.truncate(5);
    EXPECT_STREQ(s.text(), "hello");
    unsigned capacity = s.capacity();
    s.truncate(0);
    EXPECT_EQ(s.length(), 0u);
    EXPECT_EQ(s.capacity(), capacity);

    DynString full;
    char* p = full.writable_buffer(15);
    std::memset(p, 'z', full.capacity());  // no terminator at all
    full.sync_length();
    EXPECT_EQ(full.length(), full.capacity() - 1);
    EXPECT_EQ(full.text()[full.capacity() - 1], 0);

    DynString none;
    none.sync_length();
    EXPECT_EQ(none.length(), 0u);
}

TEST(DynString, NumbersAppendAsText) {
    DynString x("x");
    EXPECT_STREQ((x + 100000).text(), "x100000");
    EXPECT_STREQ((x + -7).text(), "x-7");
    EXPECT_STREQ((x + 5.0).text(), "x5");
    EXPECT_STREQ((x + 2.5).text(), "x2.5");
    EXPECT_STREQ((x + 0.1f).text(), "x0.1000000015");
    EXPECT_STREQ((1.0 / 3.0 + x).text(), "0.3333333333x");
    EXPECT_STREQ(concat("n=", 12).text(), "n=12");
    EXPECT_STREQ(concat("v=", 2.25).text(), "v=2.25");
    // Numbers reserve 15 and 63 bytes, which the growth rule rounds to 32 and 80.
    EXPECT_EQ(DynString(12).capacity(), 32u);
    EXPECT_EQ(DynString(1.5).capacity(), 80u);
}

TEST(DynString, TextComparisonIsByUnsignedBytes) {
    EXPECT_LT(DynString("10"), DynString("9"));
    EXPECT_LT(DynString("abc"), "abd");
    EXPECT_LT(DynString(""), "a");
    EXPECT_GT(DynString("\xc8"), "z");  // byte 200 sorts after ASCII
    EXPECT_EQ(DynString("abc"), "abc");
    EXPECT_NE(DynString("abc"), DynString("ABC"));
    EXPECT_LT(DynString("ab").compare("abc"), 0);
}

TEST(DynString, TextAgainstNumberComparesNumerically) {
    EXPECT_TRUE(DynString("12abc") == 12);
    EXPECT_TRUE(DynString("abc") == 0.0);
    EXPECT_TRUE(DynString(" 3.5") == 3);
    EXPECT_TRUE(DynString(" 3.5") > 3.0);
    EXPECT_TRUE(DynString("3.5") > 3.0f);
    EXPECT_TRUE(DynString("-2") < 1);
    EXPECT_EQ(compare_number(" 3.5", 3), 0);
    EXPECT_EQ(compare_number(" 3.5", 3.0), 1);
    EXPECT_EQ(compare_number("2", 3.0), -1);
    EXPECT_EQ(compare_number("99999999999", 5), 1);  // saturates instead of wrapping
}

TEST(DynString, Conversions) {
    EXPECT_DOUBLE_EQ(DynString("  2.5e1xyz").to_double(), 25.0);
    EXPECT_EQ(DynString("-42.9").to_int(), -42);
    EXPECT_EQ(DynString("abc").to_int(), 0);
}

TEST(DynString, WideTextRoundTripsAndNeverOverflows) {
    std::setlocale(LC_ALL, "C.UTF-8");
    DynString s("h\xc3\xa9llo");
    const char16_t* wide = s.to_wide();
    EXPECT_EQ(wide[0], u'h');
    EXPECT_EQ(wide[1], u'\u00e9');
    EXPECT_EQ(wide[5], 0);
    EXPECT_STREQ(DynString(wide).text(), "h\xc3\xa9llo");

    std::string long_text(2000, 'q');
    const char16_t* cut = DynString(long_text.c_str()).to_wide();
    EXPECT_EQ(cut[510], u'q');
    EXPECT_EQ(cut[511], 0);
    std::setlocale(LC_ALL, "C");
}

TEST(DynString, MovesLeaveTheSourceEmpty) {
    DynString a("moved text");
    DynString b(std::move(a));
    EXPECT_STREQ(b.text(), "moved text");
    expect_shared_empty(a);  // NOLINT: checking the moved-from state on purpose
    a = std::move(b);
    EXPECT_STREQ(a.text(), "moved text");
}

}  // namespace
}  // namespace crv
