// Saving chosen frames for unattended checks. CORVANE_CAPTURE_FRAMES set to
// "<folder>:<n>,<n>,..." writes the picture of each listed presentation
// (counted from 1) as "<folder>/frame_<n>.ppm" just before its buffer swap.
// CORVANE_FRAME_TRACE set to a file name appends one line per presented
// frame: the frame clock in milliseconds and the process's CPU time in
// milliseconds, for measuring the frame rate from outside.
// What the game sees does not change. Main thread.
#pragma once

#include <cstdint>

namespace crv {

class OpenGLRainbows;

void capture_frame_if_requested(OpenGLRainbows& renderer, std::int64_t frame);
void trace_frame_time(double frame_time);

}  // namespace crv
