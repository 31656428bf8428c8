// Number <-> text primitives shared by DynString and the conversion
// functions: the 10-significant-digit number text, and atoi/atof readers that
// never overflow. Pure functions, no state. to_int32 is a game function
// (corvane/core.hpp).
#pragma once

#include <corvane/core.hpp>

#include <cstddef>
#include <cstdint>

namespace crv {

// Writes the number text of value into out (size bytes, at least 2):
// fixed notation for decimal exponents -1..9, else d.ddde+NNN, at most 10
// significant digits, trailing fraction zeros dropped, a final point removed.
// Negative zero prints as "0"; infinities as "inf"/"-inf"; NaN as "nan".
void format_number_text(double value, char* out, std::size_t size);

// atof: leading white space, sign, digits, fraction, exponent; 0 without a
// numeric prefix.
double parse_double(const char* text) noexcept;
// atoi: leading white space, sign, digits; 0 without digits. Values beyond
// the 32-bit range saturate.
int parse_int(const char* text) noexcept;

}  // namespace crv
