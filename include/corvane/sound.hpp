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
/// fails (error code 3, "no sound device" in the debug log) and every play
/// returns -1, and the program runs on. On Linux, ALSOFT_DRIVERS=null in
/// the environment gives a silent output device instead: sounds load and
/// play without being heard.
///
/// **WAVE files that play:** uncompressed PCM (format tag 1, or the
/// extensible format with the PCM sub-format), 8 or 16 bits per sample,
/// mono or stereo, 100 to 200000 samples per second. Compressed (ADPCM,
/// mu-law, ...), floating-point, 24- and 32-bit files and files of more
/// than two channels are refused: error code 3, "not a WAVE file it can
/// play" in the debug log.
///
/// **Examples:** @ref example_arcade (shots, bursting rocks and a hit on
/// sound slots of several channels, panned with the position; silent
/// without a device).

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
///
/// Error code 7 for a slot outside 0..k_sound_slot_count - 1 (the slot is
/// left alone); error code 3 when the file cannot be found or read, is not
/// a WAVE file the output plays (see @ref sound "WAVE files that play"),
/// or there is no output device; the reason goes to the debug log and the
/// slot stays empty.
void sound_load(const DynString& file_name, int slot, int channel_count);
/// Plays the slot's sound once on its next channel and returns the channel
/// handle (slot x 256 + channel index).
///
/// @param slot    the slot number; outside the table: -1 and error code 7
/// @param pan     -1 (left) to 1 (right), 0 centred; clamped
/// @param volume  0 to 1, linear in decibels from -100 dB (0) to 0 dB (1);
///                clamped
/// @return the channel handle, or -1 for an empty slot, without a device, or
///         when a slot of one channel is still playing (a single channel is
///         never cut off; with more, the next one in turn is restarted even
///         when it still plays)
int sound_play(int slot, double pan, double volume);
/// True while the channel of the handle plays. False for a handle below 0
/// (a failed sound_play), an empty slot or a channel the slot does not have;
/// a slot number outside the table also sets error code 7.
bool sound_is_playing(int handle);
/// Stops the channel of a handle; a channel index beyond the slot's channels
/// stops every channel of the slot. A handle below 0, an empty slot or one
/// outside the table does nothing.
void sound_stop(int handle);
/// Stops every channel of every slot.
void sound_stop_all();

/// @}

}  // namespace crv
