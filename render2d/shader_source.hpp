// The text of a shader file or "mem://" block as it is handed to the driver:
// the whole content followed by a zero byte. The file comes from the game's
// media and is not trusted beyond its size. Game thread (resource streams).
#pragma once

#include <vector>

namespace crv {

// False, with text unspecified, when the name cannot be opened or read whole.
bool read_shader_source(const char* name, std::vector<char>& text);

}  // namespace crv
