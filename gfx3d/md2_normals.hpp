// The normal table that zvd files index: 162 unit vectors. Read-only data,
// usable from any thread.
#pragma once

#include <cstdint>

namespace crv {

constexpr int k_md2_normal_count = 162;
extern const float k_md2_normals[k_md2_normal_count][3];

// The table entry a normal is stored as: the vector is normalised (left as
// it is when its squared length is 1e-7 or less), then the entry with the
// smallest |n . (n - t)| wins, later entries winning ties; an exact 0 ends
// the search.
std::uint8_t nearest_normal_index(const float normal[3]);

}  // namespace crv
