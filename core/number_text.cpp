#include "core/number_text.hpp"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace crv {

void format_number_text(double value, char* out, std::size_t size) {
    if (size < 2) {
        if (size == 1) out[0] = 0;
        return;
    }
    std::string text;
    if (std::isnan(value)) {
        text = "nan";
    } else if (std::isinf(value)) {
        text = value < 0 ? "-inf" : "inf";
    } else if (value == 0) {
        text = "0";
    } else {
        // %.9e rounds correctly to 10 significant digits and tells the
        // exponent of the rounded value.
        char sci[40];
        std::snprintf(sci, sizeof sci, "%.9e", value);
        const char* p = sci;
        bool negative = *p == '-';
        if (negative) ++p;
        std::string digits;
        for (; *p != 'e'; ++p)
            if (*p != '.') digits += *p;
        int exponent = std::atoi(p + 1);
        if (negative) text += '-';
        if (exponent < -1 || exponent > 9) {
            std::string fraction = digits.substr(1);
            while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
            char exp_text[16];
            std::snprintf(exp_text, sizeof exp_text, "e%c%03d", exponent < 0 ? '-' : '+',
                          std::abs(exponent));
            text += digits[0];
            text += '.';
            text += fraction;
            text += exp_text;
        } else {
            std::string whole, fraction;
            if (exponent < 0) {
                whole = "0";
                fraction = digits;  // exponent -1: 0.dddddddddd
            } else {
                whole = digits.substr(0, static_cast<std::size_t>(exponent) + 1);
                fraction = digits.substr(static_cast<std::size_t>(exponent) + 1);
            }
            while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
            text += whole;
            if (!fraction.empty()) {
                text += '.';
                text += fraction;
            }
            // A fraction that rounded away leaves "5." whose point is dropped.
        }
    }
    std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(out, text.data(), n);
    out[n] = 0;
}

double parse_double(const char* text) noexcept {
    if (text == nullptr) return 0;
    return std::strtod(text, nullptr);
}

int parse_int(const char* text) noexcept {
    if (text == nullptr) return 0;
    long long v = std::strtoll(text, nullptr, 10);
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

std::int32_t to_int32(double value) noexcept {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return INT32_MAX;
    if (value <= -2147483648.0) return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

}  // namespace crv
