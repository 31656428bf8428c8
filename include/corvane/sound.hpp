/// @defgroup sound Sound effects
/// Sound effects: 4096 sound slots, each holding one loaded WAVE sound with
/// one to four channels that play it, so that an effect can overlap
/// itself. Playing hands out a channel handle, slot x 256 + channel index,
/// through which the game asks whether the sound still plays and stops it.
/// Background music is part of the application frame (crv::music_play).
///
/// **Lifetime:** the slots live from start-up to program end.
/// **Threads:** main thread only; the output mixes in the background.
///
/// **Failures** set the error code (3 no such file, 7 for a slot number
/// out of range) or return -1 / false; without an output device every load
/// fails and every play returns -1, and the program runs on.
///
/// **Examples:** none of the examples plays sound yet.

/// @file
/// Sound slots and their channels: see @ref sound.
#pragma once

#include <corvane/dyn_string.hpp>

namespace crv {

/// @addtogroup sound
/// @{

/// Slot numbers run from 0 to k_sound_slot_count - 1.
constexpr int k_sound_slot_count = 4096;
/// The most channels one slot plays at once.
constexpr int k_sound_channel_limit = 4;

/// Loads a WAVE file (disk first, then the media pack) into a slot, with
/// channel_count (clamped to 1..4) channels. Whatever the slot held is
/// released first.
void sound_load(const DynString& file_name, int slot, int channel_count);
/// Plays the slot's sound once: pan -1 (left) .. 1 (right), volume 0..1 in
/// hundredths (-100 dB .. 0 dB). A channel handle, or -1 (empty slot, no
/// device).
int sound_play(int slot, double pan, double volume);
/// True while the channel of the handle plays.
bool sound_is_playing(int handle);
/// Stops a channel; a channel index beyond the slot's channels stops every
/// channel of the slot; a handle below 0 does nothing.
void sound_stop(int handle);
/// Stops every channel of every slot.
void sound_stop_all();

/// @}

}  // namespace crv
