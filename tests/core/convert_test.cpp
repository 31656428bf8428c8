#include <corvane/core.hpp>
#include "core/number_text.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <string>
#include <vector>

namespace crv {
namespace {

TEST(NumberText, MatchesTheTenDigitRules) {
    struct Case { double value; const char* text; };
    const Case cases[] = {
        {0.01, "1.e-002"}, {0.05, "5.e-002"}, {1e10, "1.e+010"},
        {12345678901.0, "1.23456789e+010"}, {-2.5e-7, "-2.5e-007"},
        {1234567890.0, "1234567890"}, {5.0, "5"}, {0.5, "0.5"}, {0.1, "0.1"}, {0.0, "0"},
        {1.0 / 3.0, "0.3333333333"}, {2.0 / 3.0, "0.6666666667"}, {-1.5, "-1.5"},
        {123.456, "123.456"}, {9999999999.5, "1.e+010"}, {99.999999999, "100"},
        {0.099999999999, "0.1"}, {1e-300, "1.e-300"}, {1.7976931348623157e308, "1.797693135e+308"},
        {static_cast<double>(0.1f), "0.1000000015"}, {-0.0, "0"},
        {std::numeric_limits<double>::infinity(), "inf"},
        {-std::numeric_limits<double>::infinity(), "-inf"},
        {std::numeric_limits<double>::quiet_NaN(), "nan"},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(number_to_text(c.value).text(), c.text) << c.value;
        EXPECT_EQ(number_text_length(c.value), static_cast<int>(std::string(c.text).size()));
    }
    EXPECT_STREQ(int_to_text(-2147483647 - 1).text(), "-2147483648");
    EXPECT_EQ(int_text_length(-7), 2);
}

TEST(NumberText, ReadersSaturateAndTruncate) {
    EXPECT_EQ(text_to_int("  -17xyz"), -17);
    EXPECT_EQ(text_to_int("99999999999"), 2147483647);
    EXPECT_EQ(text_to_int("-99999999999"), -2147483647 - 1);
    EXPECT_DOUBLE_EQ(text_to_double("1e3"), 1000.0);
    EXPECT_DOUBLE_EQ(text_to_double("abc"), 0.0);
    EXPECT_EQ(to_int32(-2.9), -2);
    EXPECT_EQ(to_int32(1e20), 2147483647);
    EXPECT_EQ(to_int32(-1e20), -2147483647 - 1);
    EXPECT_EQ(to_int32(std::nan("")), 0);
}

TEST(FormatFixed, WidthAndDecimals) {
    struct Case { double width, decimals, value; const char* text; };
    const Case cases[] = {
        {4, 0, 8, "   8"}, {0, 2, 3.14159, "3.14"}, {7, 3, -1.5, " -1.500"},
        {4.9, 0.9, 121, " 121"}, {-5, 1, 2, "2.0  "}, {3, -2, 2.6, "  3"},
        {2, 0, 12345, "12345"},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(format_fixed(c.width, c.decimals, c.value).text(), c.text)
            << c.width << " " << c.decimals << " " << c.value;
}

TEST(FormatFixed, LongResultsGrowTheBuffer) {
    DynString wide = format_fixed(300, 0, 1);
    EXPECT_EQ(wide.length(), 300u);
    EXPECT_EQ(wide.text()[299], '1');
    DynString huge = format_fixed(0, 2, 1e200);  // 200 digits: 1e200 is just below 10^200
    EXPECT_EQ(huge.length(), 203u);
    EXPECT_EQ(format_fixed(1e12, 0, 1).length(), 65536u);
}

TEST(CharCodes, BytesAreUnsigned) {
    EXPECT_EQ(char_code(DynString("")), 0);
    EXPECT_EQ(char_code(DynString("\xc8x")), 200);
    EXPECT_STREQ(char_text(65).text(), "A");
    EXPECT_STREQ(char_text(321).text(), "A");
    DynString zero = char_text(0);
    EXPECT_EQ(zero.length(), 1u);
    EXPECT_EQ(zero.text()[0], 0);
}

TEST(MathDeg, TableOfResults) {
    EXPECT_NEAR(sin_deg(30), 0.5, 1e-12);
    EXPECT_NEAR(cos_deg(60), 0.5, 1e-12);
    EXPECT_NEAR(tan_deg(45), 1.0, 1e-12);
    EXPECT_EQ(asin_deg(1.5), 90);
    EXPECT_EQ(asin_deg(-3), -90);
    EXPECT_EQ(acos_deg(-2), 180);
    EXPECT_EQ(acos_deg(1), 0);
    EXPECT_NEAR(asin_deg(0.5), 30, 1e-9);
    EXPECT_EQ(atan2_deg(1, 0), 90);
    EXPECT_EQ(atan2_deg(0, -1), 180);
    EXPECT_TRUE(std::isnan(square_root(-1)));
    EXPECT_EQ(power(2, 10), 1024);
    EXPECT_EQ(int_mod(-7, 3), -1);
    EXPECT_EQ(int_mod(7, -3), 1);
    EXPECT_EQ(int_mod(5, 0), 0);
    EXPECT_EQ(int_mod(-2147483647 - 1, -1), 0);
    EXPECT_EQ(float_mod(5.5, 0), 0);
    EXPECT_DOUBLE_EQ(float_mod(5.5, 2), 1.5);
    EXPECT_EQ(abs_int(-4), 4);
    EXPECT_EQ(max_int_double(3, 7.9), 7);
    EXPECT_EQ(max_int_double(3, -7.9), 3);
    EXPECT_EQ(min_double(1.5, -2), -2);
}

TEST(Random, IsaacSequenceAndRange) {
    // The published ISAAC test vector: an all-zero seed gives f650e4c8 as the
    // first result of the pass after initialisation.
    random_seed(0);
    std::uint32_t first = static_cast<std::uint32_t>(random_int(2147483647));
    EXPECT_EQ(first, 0xf650e4c8u % 0x80000000u);

    random_seed(1234);
    std::vector<int> a, b;
    for (int i = 0; i < 50; ++i) a.push_back(random_int(1000));
    random_seed(1234);
    for (int i = 0; i < 50; ++i) b.push_back(random_int(1000));
    EXPECT_EQ(a, b);
    random_seed(1235);
    std::vector<int> c;
    for (int i = 0; i < 50; ++i) c.push_back(random_int(1000));
    EXPECT_NE(a, c);

    EXPECT_EQ(random_int(0), 0);
    EXPECT_EQ(random_int(-5), 0);
    std::set<int> seen;
    for (int i = 0; i < 200; ++i) {
        int v = random_int(1);
        ASSERT_TRUE(v == 0 || v == 1);
        seen.insert(v);
    }
    EXPECT_EQ(seen.size(), 2u);
}

TEST(DataList, ReadsConvertByTarget) {
    const DataItem items[] = {{0, "3abc"}, {2.9, nullptr}, {-2.9, nullptr}, {0, "hello"}, {2.5, nullptr},
                              {0, "1.25"}};
    DataList list{items, 6, 99};
    data_select(list);
    EXPECT_EQ(list.read_index, 0);
    int i = 0;
    double d = 0;
    DynString s;
    data_read_int(i);
    EXPECT_EQ(i, 3);
    data_read_int(i);
    EXPECT_EQ(i, 2);
    data_read_int(i);
    EXPECT_EQ(i, -2);
    data_read_text(s);
    EXPECT_STREQ(s.text(), "hello");
    data_read_text(s);
    EXPECT_STREQ(s.text(), "2.5");
    data_read_double(d);
    EXPECT_EQ(d, 1.25);
    data_select(list);
    data_read_text(s);
    EXPECT_STREQ(s.text(), "3abc");
}

}  // namespace
}  // namespace crv
