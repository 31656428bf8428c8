// The string library of game programs: substrings, search, replace, trim,
// case, URL escaping, hexadecimal text, the text cipher and the error text.
// Positions are 0-based byte offsets; -1 means not found. None of these sets
// the last-error code.
#pragma once

#include "core/dyn_string.hpp"

#include <cstdint>

namespace crv {

int text_length(const DynString& s);
DynString mid_text(const DynString& s, int start, int count);
// Boyer-Moore-Horspool; a negative start searches from 0.
int find_text(const DynString& text, const DynString& pattern, int start);
int find_text_last(const DynString& text, const DynString& pattern, int start);
DynString replace_text(const DynString& text, const DynString& pattern, const DynString& replacement);
DynString trim_left(const DynString& s, const DynString& set);
DynString trim_right(const DynString& s, const DynString& set);
DynString to_upper_text(const DynString& s);
DynString to_lower_text(const DynString& s);
// Latin-1 bytes out as percent-escaped UTF-8.
DynString url_encode(const DynString& s);
// Percent escapes and "+" decoded, then UTF-8 folded to Latin-1. A "%" not
// followed by two hexadecimal digits passes unchanged.
DynString url_decode(const DynString& s);
DynString hex_text(const void* bytes, int count, bool upper_case);
// Blowfish (ECB) of the text, as lower-case hex. An empty key gives "".
DynString encrypt_text(const DynString& key, const DynString& plain);
// Lower-cases hex_text in place, then deciphers it; the result ends at the
// first 0 byte. An empty key gives "". Odd trailing digits are ignored and
// non-hex characters read as 0; a partial last block is padded with zeros.
DynString decrypt_text(const DynString& key, DynString& hex_text);
// "%.4d %s" of the last-error code and its text.
DynString error_text();
// Turns every backslash into "/" in place; returns the length.
int slashes_forward(DynString& s);

}  // namespace crv
