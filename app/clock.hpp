// The run-time's clocks: milliseconds as doubles from one process-wide
// origin (the first reading), the frame clocks of AppState, and the frame
// limiter that holds presentation to the frame rate. Main thread only.
#pragma once

namespace crv {

class OpenGLRainbows;
using MessageCallback = void (*)();

// Chooses the time base: the high-resolution counter when it answers.
void timer_init();
double clock_ms();
double clock_since_start();
// frame_time - previous_frame_time, or 1 when that is not positive.
double frame_duration();
// Frame interval of the renderer: 1000 / fps, or 2 ms for fps <= 0.
void set_frame_rate(int fps);
double frame_interval_for(int fps);
// Waits for the renderer's frame deadline, pumping messages, and moves the
// deadline on. False only when pumping fails.
bool frame_limit(OpenGLRainbows& renderer, MessageCallback callback);

}  // namespace crv
