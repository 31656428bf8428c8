/// @defgroup core Text, numbers and errors
/// The core value operations of a game: text functions, number and text
/// conversion, maths in degrees, random numbers, inline data lists, and the
/// error state with the program end and the two diagnostic channels
/// (the debugger and the debug log).
///
/// Everything here is a free function over crv::DynString, crv::DynArray
/// and plain numbers; nothing needs the window, so all of it works before
/// start-up has finished and after the game window is gone.
///
/// **Threads:** the random generator, the fixed-format buffer, the current
/// data list and the error state are process-wide: game thread only. The
/// pure text and maths functions may run on any thread.
///
/// **Failures:** the text and maths functions never fail (out-of-range
/// arguments are clamped or give the documented value) and never touch the
/// last-error code; reading past the end of a data list is fatal (error
/// 20, then end_program). Only memory exhaustion throws (std::bad_alloc).
///
/// **Error codes** of the run-time, as crv::last_error_code reports them:
/// 3 no such file (or it cannot be read or written), 7 out of memory or an
/// index out of range (channels, line slots, sound slots), 8 an append to
/// an array with more than one dimension, 9 an array index out of bounds,
/// 20 out of data, 21 a failed crv::assert_value. The socket layer keeps
/// its own codes (@ref net).
///
/// **Examples:** @ref example_scene3d ends itself after a number of frames
/// with set_error and end_program; @ref example_veltrack converts with
/// to_int32 and number_to_text and prints to the debugger (debug_print).

/// @file
/// Text, number conversion, maths, random numbers, data lists and the error
/// state: see @ref core.
#pragma once

#include <corvane/dyn_string.hpp>

#include <cstdint>

namespace crv {

/// @addtogroup core
/// @{

/// @name Text functions (positions are 0-based byte offsets; -1: not found)
/// @{

/// The byte count of s.
int text_length(const DynString& s);
/// The count bytes of s from start (a negative count: the rest of s), cut at
/// the end of s; a start outside s gives "".
DynString mid_text(const DynString& s, int start, int count);
/// The first position at or after start where pattern occurs, or -1; a
/// negative start searches from 0.
int find_text(const DynString& text, const DynString& pattern, int start);
/// The last position at or before start where pattern occurs, or -1; a
/// negative start searches from the end.
int find_text_last(const DynString& text, const DynString& pattern, int start);
/// The text with every occurrence of pattern replaced, left to right; an empty
/// pattern leaves text unchanged.
DynString replace_text(const DynString& text, const DynString& pattern, const DynString& replacement);
/// The text s without the leading bytes that occur in set.
DynString trim_left(const DynString& s, const DynString& set);
/// The text s without the trailing bytes that occur in set.
DynString trim_right(const DynString& s, const DynString& set);
/// The text s with ASCII letters in upper case (other bytes unchanged).
DynString to_upper_text(const DynString& s);
/// The text s with ASCII letters in lower case (other bytes unchanged).
DynString to_lower_text(const DynString& s);
/// The Latin-1 bytes of s as percent-escaped UTF-8.
DynString url_encode(const DynString& s);
/// Percent escapes and "+" decoded, then UTF-8 folded to Latin-1. A "%" not
/// followed by two hexadecimal digits passes unchanged.
DynString url_decode(const DynString& s);
/// Two hexadecimal digits per byte of bytes[0..count), high nibble first;
/// count <= 0 gives "".
DynString hex_text(const void* bytes, int count, bool upper_case);
/// Blowfish (ECB) of the text, as lower-case hex (16 digits per 8-byte
/// block, the last block padded with zeros). An empty key gives "".
DynString encrypt_text(const DynString& key, const DynString& plain);
/// The reverse of encrypt_text. Lower-cases hex_text in place, then
/// deciphers it; the result ends at the first 0 byte. An empty key gives "".
/// Odd trailing digits are ignored and non-hex characters read as 0.
DynString decrypt_text(const DynString& key, DynString& hex_text);
/// Turns every backslash of s into "/" in place; returns the length.
int slashes_forward(DynString& s);
/// @}

/// @name Number and text conversion
/// @{

/// The number at the start of text, read as atof does: leading white space, sign, digits, fraction, exponent; 0 without a
/// numeric prefix.
double text_to_double(const char* text);
/// text_to_double of the text's bytes.
inline double text_to_double(const DynString& text) { return text_to_double(text.text()); }
/// The integer at the start of text, read as atoi does: leading white space, sign, digits; 0 without digits; values beyond
/// the 32-bit range saturate.
int text_to_int(const char* text);
/// text_to_int of the text's bytes.
inline int text_to_int(const DynString& text) { return text_to_int(text.text()); }
/// The number text: fixed notation for decimal exponents -1..9, else
/// d.ddde+NNN; at most 10 significant digits, no trailing fraction zeros.
DynString number_to_text(double value);
/// The decimal text of value.
DynString int_to_text(int value);
/// The length of number_to_text(value).
int number_text_length(double value);
/// The length of int_to_text(value).
int int_text_length(int value);
/// The text of printf("%W.Df") of value; width and decimals are truncated toward zero.
/// A negative width left-aligns; negative decimals count as 0; width and
/// decimals are held within 65536. The result may exceed 128 bytes.
DynString format_fixed(double width, double decimals, double value);
/// The first byte as 0..255; 0 for an empty text.
int char_code(const DynString& text);
/// The one-byte text of the low 8 bits of code (0 gives a text of length 1 holding 0).
DynString char_text(int code);
/// The value truncated toward zero to a 32-bit integer, saturating at the range
/// ends; NaN gives 0. The run-time turns every number that becomes an index,
/// coordinate, colour or handle into an integer this way.
std::int32_t to_int32(double value) noexcept;
/// @}

/// @name Maths (angles in degrees)
/// @{

/// Sine of x degrees.
double sin_deg(double x);
/// Cosine of x degrees.
double cos_deg(double x);
/// Tangent of x degrees.
double tan_deg(double x);
/// Arc sine in degrees; x outside -1..1 gives +-90.
double asin_deg(double x);
/// Arc cosine in degrees; x outside -1..1 gives 0 or 180.
double acos_deg(double x);
/// The angle of the point (x, y) in degrees, -180..180.
double atan2_deg(double y, double x);
/// The square root; negative x gives NaN.
double square_root(double x);
/// The base raised to exponent.
double power(double base, double exponent);
/// The remainder of x / y with the sign of x; 0 when y is 0.
double float_mod(double x, double y);
/// The remainder of x / y with the sign of x; 0 when y is 0.
int int_mod(int x, int y);
/// The magnitude of x.
int abs_int(int x);
/// The magnitude of x.
double abs_double(double x);
/// The smaller of a and b.
int min_int(int a, int b);
/// The larger of a and b.
int max_int(int a, int b);
/// The smaller of a and b.
double min_double(double a, double b);
/// The larger of a and b.
double max_double(double a, double b);
/// The larger of a and b truncated toward zero.
int max_int_double(int a, double b);
/// @}

/// @name Random numbers (one process-wide ISAAC generator)
/// @{

/// Restarts the generator; the same seed always gives the same sequence.
/// Start-up seeds it from the clock.
void random_seed(std::uint32_t seed);
/// A number in 0..n inclusive; n <= 0 gives 0 without drawing.
int random_int(int n);
/// @}

/// @name Inline data lists: constant values a program embeds and reads in order
/// @{

/// One value of a list: a number, or a text when text is not null.
struct DataItem {
    double number;     ///< the value of a numeric item
    const char* text;  ///< null for a numeric item
};

/// A list of items and the index of the next one to read.
struct DataList {
    const DataItem* items;    ///< the items, in reading order
    std::int32_t count;       ///< how many items there are
    std::int32_t read_index;  ///< the next item to read (data_select sets it to 0)
};

/// Makes list the current one and starts reading it from its first item.
void data_select(DataList& list);
/// Reads the next item as text (a number item gives its number text).
void data_read_text(DynString& target);
/// Reads the next item as a number (a text item is converted with atof).
void data_read_double(double& target);
/// Reads the next item as an integer (a number truncated toward zero, a
/// text converted with atoi).
void data_read_int(int& target);
/// @}

/// @name Error state, program end and diagnostics
/// @{

/// Records code as the last error (0 clears it) together with the current
/// source line.
void set_error(int code);
/// The last recorded error code (0: none).
int last_error_code();
/// "%.4d %s" of the last error code and its text: 0 "success", 3 "no such
/// file", 7 "out of memory", 9 "out of bounds", 20 "out of data", anything
/// else "unknown error".
DynString error_text();
/// Ends the process with exit code 0 after the run-time's shutdown (the
/// game's "CRV_ON_QUIT", then every service in a fixed order). Returns at
/// once (and only then) when an end is already under way.
void end_program();
/// Sends the text to an attached debugger; nothing without one.
void debug_print(const DynString& text);
/// Appends the text as it is to the debug log ("ErrorLog.txt" in the
/// temporary folder, written afresh at every start); a null text is written
/// as "NULL". A log that cannot be written drops the text silently.
void log_write(const char* text);
/// log_write for a DynString: all of its bytes, a zero byte included.
void log_write(const DynString& text);
/// @}

/// @}

}  // namespace crv
