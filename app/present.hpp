// Frame presentation and the window's messages: present_frame (swap, pump,
// input, quit keys, frame limit, clear, per-frame state), the message pump
// and window_proc, pause and resume, the bounded input wait and the
// blocking waits built on it, and the screen-mode change. Main thread only;
// the quit keys, a close request or a failed swap end the program.
#pragma once

#include "app/clock.hpp"
#include "platform/events.hpp"

#include <cstdint>

namespace crv {

class OpenGLRainbows;

void present_frame();
// Handles every waiting message of the window; always true.
bool pump_messages(OpenGLRainbows& renderer, MessageCallback callback);
// Swap, prepare the next frame, wait for the frame deadline.
bool swap_and_limit(OpenGLRainbows& renderer, MessageCallback callback);
void idle_step();
void wait_for_key();
void wait_for_mouse_button();
// While paused, present_frame waits in idle_step's pause loop. Activation
// of the window ends the pause (through window_proc in a program that
// pauses on deactivation; otherwise the loop sees the window active).
void set_paused(bool paused);
std::int32_t window_proc(const plat::Message& message);
void set_screen_mode(int width, int height, int full_screen);

// Number of frames present_frame has shown since start-up.
std::int64_t presented_frames();

}  // namespace crv
