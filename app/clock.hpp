// The run-time's clocks: milliseconds as doubles from one process-wide
// origin (the first reading), the frame clocks of AppState, and the frame
// limiter that holds presentation to the frame rate. Main thread only.
// The clock readings a game uses are declared in corvane/app.hpp.
#pragma once

#include <corvane/app.hpp>

#include <cstdint>

namespace crv {

class OpenGLRainbows;
using MessageCallback = void (*)();

// Chooses the time base: the high-resolution counter when it answers.
void timer_init();
// clock_ms at an earlier reading of the counter (plat::counter_ticks), as
// window messages carry it; never before the origin. Without the counter,
// or for 0 ticks (a time not known), clock_ms now.
double clock_ms_at(std::uint64_t ticks);
// 1000 / fps, or 2 ms for fps <= 0 (the interval set_frame_rate gives the
// renderer).
double frame_interval_for(int fps);
// Waits for the renderer's frame deadline, pumping messages, and moves the
// deadline on. False only when pumping fails.
bool frame_limit(OpenGLRainbows& renderer, MessageCallback callback);

}  // namespace crv
