// Line-indexed text files: one small text file held in memory as 256 line
// slots of at most 1023 bytes, read and replaced by index. Using another
// name saves the held file (if changed) and loads the new one, from disk or
// the media pack; the held file is saved at program end as well (an exit
// handler is registered on first use). A save replaces the file whole or
// not at all. Game thread.
// Results: 0 on success, 7 for an index outside 0-255, 3 for a missing file
// on reading; the error code is recorded as well.
#pragma once

#include "core/dyn_string.hpp"

namespace crv {

inline constexpr int k_line_slots = 256;
inline constexpr int k_line_slot_bytes = 1023;

// target: the line without trailing control bytes, or "NO_DATA" (empty line
// or bad index) or "NO_FILE".
int line_read_text(const DynString& file, double index, DynString& target);
double line_read_double(const DynString& file, double index);
int line_read_int(const DynString& file, double index);
// A missing file starts empty; longer texts are cut at 1023 bytes.
int line_write_text(const DynString& file, double index, const DynString& text);
int line_write_double(const DynString& file, double index, double value);
// Saves the held file if it changed.
void line_file_save();

}  // namespace crv
