#include <corvane/core.hpp>

#include "core/number_text.hpp"

#include <cstdio>
#include <string>

namespace crv {

namespace {
constexpr int k_max_field = 65536;
}

double text_to_double(const char* text) { return parse_double(text); }
int text_to_int(const char* text) { return parse_int(text); }

DynString number_to_text(double value) { return DynString(value); }
DynString int_to_text(int value) { return DynString(value); }
int number_text_length(double value) { return static_cast<int>(DynString(value).length()); }
int int_text_length(int value) { return static_cast<int>(DynString(value).length()); }

DynString format_fixed(double width, double decimals, double value) {
    static DynString buffer;
    int w = to_int32(width);
    int d = to_int32(decimals);
    // Keep the field within reason: a game asking for a million-column field
    // gets 65536 columns rather than an allocation of gigabytes.
    if (w > k_max_field) w = k_max_field;
    if (w < -k_max_field) w = -k_max_field;
    if (d < 0) d = 0;
    if (d > k_max_field) d = k_max_field;
    int needed = std::snprintf(nullptr, 0, "%*.*f", w, d, value);
    if (needed < 0) return DynString();
    std::uint32_t room = static_cast<std::uint32_t>(needed) < 128 ? 128 : static_cast<std::uint32_t>(needed);
    char* out = buffer.writable_buffer(room);
    std::snprintf(out, room + 1, "%*.*f", w, d, value);
    buffer.sync_length();
    return buffer;
}

int char_code(const DynString& text) {
    return static_cast<unsigned char>(text.text()[0]);
}

DynString char_text(int code) {
    DynString result;
    result += static_cast<char>(code & 0xff);
    return result;
}

}  // namespace crv
