// The text input line: a blocking line editor drawn over a frozen copy of
// the screen, fed by the typed-character queue, ended by Enter. Borrows
// background slot 3 for the duration of a call. Main thread only; like
// every wait it presents frames, so the quit keys and a close request end
// the program from inside it.
#pragma once

#include "core/dyn_string.hpp"

#include <cstdint>

namespace crv {

// Edits text in place at (x, y) with the current font (kerning: the
// proportional flag of text_print) and returns it.
DynString input_text(DynString& text, double x, double y, std::int32_t kerning);
std::int32_t input_integer(double x, double y, std::int32_t kerning);
double input_number(double x, double y, std::int32_t kerning);

}  // namespace crv
