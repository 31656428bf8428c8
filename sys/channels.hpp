// File channels: eight numbered streams (0-7) that a game program opens by
// name and moves typed little-endian values, texts and lines through; the
// game's operations are declared in corvane/sys.hpp. Reading finds files
// in the media pack too. The table is process-wide and lives until
// channels_close_all at program end. Game thread.
#pragma once

#include <corvane/sys.hpp>

namespace crv {

// Program end: closes all eight.
void channels_close_all();

}  // namespace crv
