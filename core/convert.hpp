// Number and text conversion for game programs: atof/atoi readers, the
// number text, fixed-width formatting and character codes. The fixed-format
// buffer is process-wide: game thread only.
#pragma once

#include "core/dyn_string.hpp"

namespace crv {

double text_to_double(const char* text);
inline double text_to_double(const DynString& text) { return text_to_double(text.text()); }
int text_to_int(const char* text);
inline int text_to_int(const DynString& text) { return text_to_int(text.text()); }

DynString number_to_text(double value);
DynString int_to_text(int value);
int number_text_length(double value);
int int_text_length(int value);

// printf("%W.Df") of value; width and decimals are truncated toward zero.
// A negative width left-aligns; negative decimals count as 0; width and
// decimals are held within 65536. The result may exceed 128 bytes.
DynString format_fixed(double width, double decimals, double value);

// First byte as 0..255; 0 for an empty text.
int char_code(const DynString& text);
// One-byte text of the low 8 bits (0 gives a text of length 1 holding 0).
DynString char_text(int code);

}  // namespace crv
