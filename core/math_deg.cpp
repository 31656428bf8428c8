#include <corvane/core.hpp>

#include "core/number_text.hpp"

#include <climits>
#include <cmath>

namespace crv {

namespace {
constexpr double k_deg_to_rad = 0.017453292519943295;
constexpr double k_rad_to_deg = 57.29577951308232;
}  // namespace

double sin_deg(double x) { return std::sin(x * k_deg_to_rad); }
double cos_deg(double x) { return std::cos(x * k_deg_to_rad); }
double tan_deg(double x) { return std::tan(x * k_deg_to_rad); }

double asin_deg(double x) {
    if (x >= 1) return 90;
    if (x <= -1) return -90;
    return std::asin(x) * k_rad_to_deg;
}

double acos_deg(double x) {
    if (x >= 1) return 0;
    if (x <= -1) return 180;
    return std::acos(x) * k_rad_to_deg;
}

double atan2_deg(double y, double x) { return std::atan2(y, x) * k_rad_to_deg; }
double square_root(double x) { return std::sqrt(x); }
double power(double base, double exponent) { return std::pow(base, exponent); }
double float_mod(double x, double y) { return y == 0 ? 0 : std::fmod(x, y); }

int int_mod(int x, int y) {
    if (y == 0) return 0;
    if (y == -1) return 0;  // INT_MIN % -1 would trap
    return x % y;
}

int abs_int(int x) { return x == INT_MIN ? INT_MIN : (x < 0 ? -x : x); }
double abs_double(double x) { return std::fabs(x); }
int min_int(int a, int b) { return a < b ? a : b; }
int max_int(int a, int b) { return a > b ? a : b; }
double min_double(double a, double b) { return a < b ? a : b; }
double max_double(double a, double b) { return a > b ? a : b; }

int max_int_double(int a, double b) {
    int t = to_int32(b);
    return a > t ? a : t;
}

}  // namespace crv
