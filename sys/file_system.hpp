// The game program's file system: existence tests, delete, copy, folders,
// the current folder, file sizes, and the listing of the current folder
// filtered by a wildcard pattern. Names may use "/" or "\"; names handed
// back use "/". Disk only: the media pack is not consulted. Game thread.
// Failures are results (false, 0) and, where noted, error code 3.
#pragma once

#include "core/dyn_array.hpp"
#include "core/dyn_string.hpp"

#include <cstdint>

namespace crv {

// True for an existing name that is not a folder.
bool file_exists(const DynString& name);
bool dir_exists(const DynString& name);
bool file_delete(const DynString& name);
// One folder; its parent must exist.
bool dir_create(const DynString& name);
// The source may be a memory name. On any failure (error code 3) no partial
// target is left behind.
bool file_copy(const DynString& source, const DynString& target);
// Bytes of a file or of a memory name; 0 and error code 3 when it cannot be
// opened.
std::int64_t file_size(const DynString& name);
// Always ends in "/".
DynString dir_current();
// 1, or 0 with error code 3.
int dir_change(const DynString& name);
// Fills names with the current folder's subfolders (all of them, "." and
// ".." included), then its files that match pattern, each group sorted
// ignoring case. Returns folders * 65536 + files.
std::int64_t dir_list(const DynString& pattern, DynArray<DynString>& names);
// "*" any run, "?" any one byte but ".", letters match in either case;
// "*.*" matches everything.
bool wildcard_match(const DynString& pattern, const DynString& name);

}  // namespace crv
