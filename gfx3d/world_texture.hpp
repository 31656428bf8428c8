// Textures owned by the 3D engine's world entries: uploaded with the same
// rules as the renderer's sprites (power-of-two sides of at least 16, rows
// bottom-up, edge bleeding around transparent texels, a plain linear
// texture and a mip-mapped one). Needs a current OpenGL context; main
// thread only. A failed upload leaves the texture empty.
#pragma once

#include "gfx3d/rainbows3d.hpp"

namespace crv {

struct DecodedImage;

bool upload_world_texture(WorldTexture& texture, const DecodedImage& image, std::int32_t max_side);
void delete_world_texture(WorldTexture& texture);

}  // namespace crv
