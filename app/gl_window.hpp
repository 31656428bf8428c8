// The game window with its OpenGL context: creation (with the software-
// renderer notice and the extension set-up), windowed and full-screen
// mode, hiding, destruction. The window belongs to the renderer;
// app_state.main_window mirrors it. Main thread only; failures are
// results (full screen falls back to windowed mode with a log line).
#pragma once

namespace crv {

class OpenGLRainbows;

bool create_gl_window(OpenGLRainbows& renderer, int width, int height, int colour_depth, int fps,
                      int multisample);
bool windowed_mode(OpenGLRainbows& renderer);
bool fullscreen_mode(OpenGLRainbows& renderer);
bool hide_and_leave_fullscreen(OpenGLRainbows& renderer);
void destroy_window(OpenGLRainbows& renderer);
// Whether an OpenGL renderer name denotes a software implementation.
bool software_renderer_name(const char* name);

// What start-up does about the renderer it got: nothing for a hardware
// one (or none named); for a software one the log line, and the message
// box too while the game wants it (AppState::software_notice_box).
enum class SoftwareNotice { none, log_only, log_and_box };
SoftwareNotice software_notice_for(const char* renderer_name, bool box_wanted);

}  // namespace crv
