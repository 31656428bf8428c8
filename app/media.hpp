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
#pragma once

#include "core/dyn_string.hpp"

namespace crv {

// Found through the resource lookup (packs included, unpacked into a
// temporary file). Stops the current piece first; error code 3 when the
// file is not found. loop non-zero: the piece repeats.
void music_play(const DynString& file_name, int loop);
void music_stop();
// From the start.
void music_restart();
// 0..1 of full amplitude; the player hears of it only when it changes.
void music_set_volume(double volume);
// 1 while looping, or while the position is before the end; else 0.
int music_is_playing();
// Non-zero pauses, 0 resumes; a looping piece's restart time moves on by
// the time it was paused.
void music_pause(int pause);
void music_pause_at(int pause, double now_ms);
// Restarts looping music whose time is up (present_frame and the waits).
void music_loop_update();
void music_loop_update_at(double now_ms);

// 0 played (or ended early by a key or mouse button), 3 file not found or
// not playable. loop non-zero: plays again from the start until ended by
// the user. Messages are pumped while it plays; a close request ends the
// program.
int video_play(const DynString& file_name, int loop);

struct VideoRect {
    int x = 0, y = 0, width = 0, height = 0;
};
// The largest rectangle of the picture's proportions that fits the client
// area, centred in it.
VideoRect video_destination(int source_width, int source_height, int client_width, int client_height);

}  // namespace crv
