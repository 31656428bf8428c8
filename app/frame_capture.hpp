// Saving chosen frames for unattended checks. CORVANE_CAPTURE_FRAMES set to
// "<folder>:<n>,<n>,..." writes the picture of each listed presentation
// (counted from 1) as "<folder>/frame_<n>.ppm" just before its buffer swap.
// What the game sees does not change. Main thread.
#pragma once

#include <cstdint>

namespace crv {

class OpenGLRainbows;

void capture_frame_if_requested(OpenGLRainbows& renderer, std::int64_t frame);

}  // namespace crv
