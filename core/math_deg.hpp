// Mathematics for game programs: angles in degrees, remainders that never
// fault on a zero divisor. Pure functions.
#pragma once

namespace crv {

double sin_deg(double x);
double cos_deg(double x);
double tan_deg(double x);
double asin_deg(double x);  // clamps to +-90 outside -1..1
double acos_deg(double x);  // clamps to 0/180 outside -1..1
double atan2_deg(double y, double x);
double square_root(double x);
double power(double base, double exponent);
double float_mod(double x, double y);  // 0 when y is 0
int int_mod(int x, int y);             // sign of x; 0 when y is 0
int abs_int(int x);
double abs_double(double x);
int min_int(int a, int b);
int max_int(int a, int b);
double min_double(double a, double b);
double max_double(double a, double b);
// The larger of a and b truncated toward zero.
int max_int_double(int a, double b);

}  // namespace crv
