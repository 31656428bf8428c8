// Frame presentation and the window's messages: present_frame (swap, pump,
// input, quit keys, frame limit, clear, per-frame state), the message pump
// and window_proc, pause and resume, the bounded input wait and the
// blocking waits built on it, and the screen-mode change (the game's
// operations are declared in corvane/app.hpp). Main thread only; the quit
// keys, a close request or a failed swap end the program.
#pragma once

#include <corvane/app.hpp>

#include "app/clock.hpp"
#include "platform/events.hpp"

#include <cstdint>

namespace crv {

class OpenGLRainbows;

// Handles every waiting message of the window; always true.
bool pump_messages(OpenGLRainbows& renderer, MessageCallback callback);
// Swap, prepare the next frame, wait for the frame deadline.
bool swap_and_limit(OpenGLRainbows& renderer, MessageCallback callback);
// Activation of the window ends a pause (through window_proc in a program
// that pauses on deactivation; otherwise idle_step's pause loop sees the
// window active).
std::int32_t window_proc(const plat::Message& message);

// Number of frames present_frame has shown since start-up.
std::int64_t presented_frames();

}  // namespace crv
