// Inline data lists: constant values a compiled program embeds and reads in
// order. One process-wide current list; game thread only. Reading past the
// end (or with no list) is fatal: error 20 and program end.
#pragma once

#include "core/dyn_string.hpp"

#include <cstdint>

namespace crv {

struct DataItem {
    double number;
    const char* text;  // null for a numeric item
};

struct DataList {
    const DataItem* items;
    std::int32_t count;
    std::int32_t read_index;
};

void data_select(DataList& list);
void data_read_text(DynString& target);
void data_read_double(double& target);
void data_read_int(int& target);

}  // namespace crv
