// A media player for music and video files of any format the system's
// media libraries read. A music player has no picture; a video player draws
// into the OpenGL context of a game window when asked (media_render), so
// the picture goes through the game's own buffer swap.
// A player lives from media_open_* to media_close; it plays on threads of
// its own, but every call here belongs to the main thread (a video player
// to the thread that owns the window's context).
// A player whose file could not be opened still exists (media_opened is
// false): its requests do nothing and its length and position read 0.
// Sound goes to the first audio output that works; the list ends in a
// silent output, so a machine without sound still plays, in silence.
#pragma once

#include <string>

namespace crv::plat {

struct MediaPlayer;
struct Window;

// Audio outputs tried in order (the backend's output names, comma
// separated), and the file that a file-writing output writes to. The
// default list ends in the silent output. Applies to players opened later.
void media_set_audio_outputs(const std::string& outputs, const std::string& output_file);

// Waits until the file is open (or found unplayable). Null only when no
// player can be made at all.
MediaPlayer* media_open_music(const char* path);
// A video player bound to the window's OpenGL context, which must be
// current.
MediaPlayer* media_open_video(const char* path, Window* window);
// Stops and closes.
void media_close(MediaPlayer* player);
bool media_opened(MediaPlayer* player);

// Milliseconds. Positions count from the start of the piece, which is 0
// (a file whose timestamps start elsewhere is measured from its first
// one); the position reads the length once the end is reached.
double media_length_ms(MediaPlayer* player);
double media_position_ms(MediaPlayer* player);
// Size of the picture in pixels; false for a file without one.
bool media_source_size(MediaPlayer* player, int* width, int* height);

// Plays on from the position (nothing at the end), pauses, resumes.
void media_play(MediaPlayer* player);
void media_pause(MediaPlayer* player);
void media_resume(MediaPlayer* player);
// To the start; playing goes on if it was playing.
void media_seek_start(MediaPlayer* player);
// Stops playing; the position stays.
void media_stop(MediaPlayer* player);

// Loudness 0 (silent) .. 1000 (full), in proportion to the amplitude.
void media_set_volume(MediaPlayer* player, int volume);
int media_volume(MediaPlayer* player);

// Where the picture goes in the window's client area (pixels from the top
// left); the rest of the area is black.
void media_set_destination(MediaPlayer* player, int x, int y, int width, int height);
// Draws the current picture into the back buffer of the window's context
// (client size width x height) when a new one is due or force is set.
// True when it drew; the caller swaps.
bool media_render(MediaPlayer* player, int width, int height, bool force);

}  // namespace crv::plat
