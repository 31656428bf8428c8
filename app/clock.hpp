// The run-time's clocks: milliseconds as doubles from one process-wide
// origin (the first reading), the frame clocks of AppState, and the frame
// limiter that holds presentation to the frame rate. Main thread only.
// The clock readings a game uses are declared in corvane/app.hpp.
#pragma once

#include <corvane/app.hpp>

namespace crv {

class OpenGLRainbows;
using MessageCallback = void (*)();

// Chooses the time base: the high-resolution counter when it answers.
void timer_init();
// 1000 / fps, or 2 ms for fps <= 0 (the interval set_frame_rate gives the
// renderer).
double frame_interval_for(int fps);
// Waits for the renderer's frame deadline, pumping messages, and moves the
// deadline on. False only when pumping fails.
bool frame_limit(OpenGLRainbows& renderer, MessageCallback callback);

}  // namespace crv
