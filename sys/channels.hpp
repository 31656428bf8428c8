// File channels: eight numbered streams (0-7) that a game program opens by
// name and moves typed little-endian values, texts and lines through.
// Reading finds files in the media pack too. The table is process-wide and
// lives until channels_close_all at program end. Game thread.
// Failures: channel_open answers false and records the error code; on an
// open channel a failed read or write is fatal (error code set, then
// end_program), as is a channel number outside 0-7. Numbers from the game
// are truncated toward zero.
#pragma once

#include "core/dyn_string.hpp"

#include <cstdint>

namespace crv {

inline constexpr int k_channel_count = 8;
inline constexpr int k_line_limit = 1024;

// mode >= 1: read; 0: write (the file is created anew); < 0: append.
bool channel_open(double channel, const DynString& name, double mode);
void channel_close(double channel);
// Lowest channel without an open disk file; -1 when all have one.
int channel_free_slot();
bool channel_eof(double channel);
std::int32_t channel_tell(double channel);
// origin < 0: from the end; > 0: from the current position; 0: from the start.
void channel_seek(double channel, double distance, double origin);

// Reads past the end of a memory channel give zeros; on a disk channel they
// are fatal.
std::int32_t channel_read_byte(double channel);   // signed
std::int32_t channel_read_ubyte(double channel);  // unsigned
std::int32_t channel_read_short(double channel);
std::int32_t channel_read_ushort(double channel);
std::int32_t channel_read_int(double channel);  // signed or unsigned: the 32 bits as stored
double channel_read_float(double channel);
double channel_read_double(double channel);
// Exactly n bytes (n <= 0: the empty text); the text's length is n.
void channel_read_bytes(double channel, DynString& target, double n);
// Up to the next line feed, at most 1024 bytes; a CR before the LF is
// dropped. Longer lines come in pieces of 1024 bytes.
void channel_read_line(double channel, DynString& target);
double channel_read_line_double(double channel);
std::int32_t channel_read_line_int(double channel);

// Integers keep their low 8, 16 or 32 bits.
void channel_write_byte(double channel, double value);
void channel_write_short(double channel, double value);
void channel_write_int(double channel, double value);
void channel_write_float(double channel, double value);
void channel_write_double(double channel, double value);
void channel_write_text(double channel, const DynString& text);
// The text, then CR LF.
void channel_write_line(double channel, const DynString& text);

// Program end: closes all eight.
void channels_close_all();

}  // namespace crv
