// Music and video. One piece of background music plays at a time through
// the hidden music player (app_state.music_window); a looping piece is
// restarted by the clock, from present_frame and the waits, rather than by
// the player, so that a short piece repeats at least every 500 ms. A video
// plays full-window, scaled to fit and centred, and blocks until it ends or
// the user types a key or presses a mouse button.
// Music lives from music_play to music_stop, the next music_play or the
// program end. Main thread only; the players play on their own threads.
// A missing file is error code 3 (music) or result 3 (video); a file the
// player cannot open is not detected for music (its requests do nothing).
// The game's operations are declared in corvane/app.hpp.
#pragma once

#include <corvane/app.hpp>

namespace crv {

// Music files are found through the resource lookup (packs included,
// unpacked into a temporary file). The volume reaches the player only when
// it changes.
// music_pause at a given clock reading: a looping piece's restart time
// moves on by the time it was paused.
void music_pause_at(int pause, double now_ms);
// Restarts looping music whose time is up (present_frame and the waits).
void music_loop_update();
void music_loop_update_at(double now_ms);

// Messages are pumped while a video plays; a close request ends the
// program.

struct VideoRect {
    int x = 0, y = 0, width = 0, height = 0;
};
// The largest rectangle of the picture's proportions that fits the client
// area, centred in it.
VideoRect video_destination(int source_width, int source_height, int client_width, int client_height);

}  // namespace crv
