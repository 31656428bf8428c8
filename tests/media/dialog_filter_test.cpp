#include "app/dialogs.hpp"

#include <gtest/gtest.h>

namespace crv {
namespace {

TEST(DialogFilter, PairsOfDescriptionAndPattern) {
    struct Case {
        DynString text;
        std::vector<std::pair<std::string, std::string>> expected;
    };
    const std::string long_description(1020, 'd');
    const Case cases[] = {
        {"Text files|*.txt|Images|*.png;*.bmp", {{"Text files", "*.txt"}, {"Images", "*.png;*.bmp"}}},
        {"Text files|*.txt|", {{"Text files", "*.txt"}}},
        {"Text files|*.txt|Images", {{"Text files", "*.txt"}}},  // a description without a pattern
        {"", {}},
        {"A|*.a||*.b|C|*.c", {{"A", "*.a"}}},  // the list ends at the first empty entry
        {"A||B|*.b", {}},
        // Only 1023 bytes travel: the pattern is cut to two characters.
        {(long_description + "|*.abc").c_str(), {{long_description, "*."}}},
    };
    for (const Case& c : cases) {
        std::vector<std::pair<std::string, std::string>> got;
        for (const DialogFilter& f : parse_dialog_filter(c.text)) got.emplace_back(f.description, f.patterns);
        EXPECT_EQ(got, c.expected) << c.text.text();
    }
}

}  // namespace
}  // namespace crv
