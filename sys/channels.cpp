#include "sys/channels.hpp"

#include <corvane/core.hpp>
#include "core/number_text.hpp"
#include "sys/resource.hpp"

#include <array>
#include <cfloat>
#include <cmath>
#include <limits>
#include <memory>
#include <cstring>
#include <string>

namespace crv {

namespace {

std::array<ResourceStream, k_channel_count>& channel_table() {
    static std::array<ResourceStream, k_channel_count> table;
    return table;
}

void fail(int code) {
    set_error(code);
    end_program();
}

// The stream of a valid channel number; a bad number is fatal (null when
// end_program returns because an end is already under way).
ResourceStream* stream_of(double channel) {
    std::int32_t n = to_int32(channel);
    if (n < 0 || n >= k_channel_count) {
        fail(7);
        return nullptr;
    }
    return &channel_table()[static_cast<std::size_t>(n)];
}

// Fills buffer with n bytes; missing bytes of a memory channel stay 0.
bool take(double channel, void* buffer, std::int32_t n) {
    std::memset(buffer, 0, static_cast<std::size_t>(n));
    ResourceStream* s = stream_of(channel);
    if (s == nullptr) return false;
    if (!s->is_open()) {
        fail(3);
        return false;
    }
    if (s->is_memory()) {
        s->read(buffer, n);
        return true;
    }
    if (!s->read(buffer, n)) {
        fail(3);
        return false;
    }
    return true;
}

void put(double channel, const void* buffer, std::int32_t n) {
    ResourceStream* s = stream_of(channel);
    if (s == nullptr) return;
    if (!s->is_disk() || !s->write(buffer, n)) fail(3);
}

std::uint32_t little_endian(const std::uint8_t* b, int n) {
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i) v |= static_cast<std::uint32_t>(b[i]) << (8 * i);
    return v;
}

// The low bits of a game number: truncated toward zero, then cut to 32 bits
// (so that 4294967295 and -1 give the same four bytes).
std::uint32_t low_bits(double value) {
    if (std::isnan(value)) return 0;
    double t = std::trunc(value);
    if (t >= 9.2e18 || t <= -9.2e18) return t < 0 ? 0x80000000u : 0x7fffffffu;
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(static_cast<std::int64_t>(t)));
}

void put_integer(double channel, double value, int bytes) {
    std::uint32_t v = low_bits(value);
    std::uint8_t b[4];
    for (int i = 0; i < 4; ++i) b[i] = static_cast<std::uint8_t>(v >> (8 * i));
    put(channel, b, bytes);
}

// Binary-safe: the text receives exactly count bytes, zeros included.
void assign_bytes(DynString& target, const std::uint8_t* bytes, std::uint32_t count, std::uint32_t room) {
    target = "";
    target.reserve(room, false);
    target.append_bytes(reinterpret_cast<const char*>(bytes), count);
}

}  // namespace

bool channel_open(double channel, const DynString& name, double mode) {
    std::int32_t n = to_int32(channel);
    if (n < 0 || n >= k_channel_count) {
        set_error(7);
        return false;
    }
    ResourceStream& s = channel_table()[static_cast<std::size_t>(n)];
    s.close();
    bool opened = false;
    if (mode >= 1) {
        ResourcePack* pack = general_pack();
        std::string resolved;
        if (!resolve_resource(pack, name.text(), resolved, true)) {
            set_error(3);
            return false;
        }
        opened = s.open_read(resolved.c_str());
        // The pack context frees its buffer at its next resolution; an open
        // channel keeps reading it long after that.
        if (opened && pack != nullptr && pack->held_buffer != nullptr) s.keep_alive(pack->take_held_buffer());
    } else if (mode == 0 || std::isnan(mode)) {
        opened = s.open_write(name.text());
    } else {
        opened = s.open_append(name.text());
    }
    if (!opened) {
        set_error(3);
        return false;
    }
    set_error(0);
    return true;
}

void channel_close(double channel) {
    if (ResourceStream* s = stream_of(channel)) s->close();
}

int channel_free_slot() {
    for (int i = 0; i < k_channel_count; ++i)
        if (!channel_table()[static_cast<std::size_t>(i)].is_disk()) return i;
    return -1;
}

bool channel_eof(double channel) {
    ResourceStream* s = stream_of(channel);
    return s == nullptr || s->position() >= s->size();
}

std::int32_t channel_tell(double channel) {
    ResourceStream* s = stream_of(channel);
    return s != nullptr ? s->position() : 0;
}

void channel_seek(double channel, double distance, double origin) {
    ResourceStream* s = stream_of(channel);
    if (s == nullptr) return;
    std::int64_t d = to_int32(distance);
    if (origin < 0)
        s->seek(d, true);
    else if (origin > 0)
        s->seek(static_cast<std::int64_t>(s->position()) + d, false);
    else
        s->seek(d, false);
}

std::int32_t channel_read_byte(double channel) {
    std::uint8_t b[1];
    take(channel, b, 1);
    return static_cast<std::int8_t>(b[0]);
}

std::int32_t channel_read_ubyte(double channel) {
    std::uint8_t b[1];
    take(channel, b, 1);
    return b[0];
}

std::int32_t channel_read_short(double channel) {
    std::uint8_t b[2];
    take(channel, b, 2);
    return static_cast<std::int16_t>(little_endian(b, 2));
}

std::int32_t channel_read_ushort(double channel) {
    std::uint8_t b[2];
    take(channel, b, 2);
    return static_cast<std::int32_t>(little_endian(b, 2));
}

std::int32_t channel_read_int(double channel) {
    std::uint8_t b[4];
    take(channel, b, 4);
    return static_cast<std::int32_t>(little_endian(b, 4));
}

double channel_read_float(double channel) {
    std::uint8_t b[4];
    take(channel, b, 4);
    std::uint32_t bits = little_endian(b, 4);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

double channel_read_double(double channel) {
    std::uint8_t b[8];
    take(channel, b, 8);
    std::uint64_t bits = little_endian(b, 4) | static_cast<std::uint64_t>(little_endian(b + 4, 4)) << 32;
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
}

void channel_read_bytes(double channel, DynString& target, double n) {
    std::int32_t count = to_int32(n);
    ResourceStream* s = stream_of(channel);
    if (count <= 0) {
        target = "";
        return;
    }
    if (s == nullptr) return;
    // A disk channel that cannot deliver the count fails before anything is
    // allocated for it.
    if (!s->is_open() || (s->is_disk() && count > s->stream_size() - s->position())) {
        target = "";
        fail(3);
        return;
    }
    std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[static_cast<std::size_t>(count)]);
    if (!take(channel, buffer.get(), count)) {
        target = "";
        return;
    }
    assign_bytes(target, buffer.get(), static_cast<std::uint32_t>(count), static_cast<std::uint32_t>(count) + 32);
}

void channel_read_line(double channel, DynString& target) {
    target = "";
    ResourceStream* s = stream_of(channel);
    if (s == nullptr) return;
    // One byte more than a line may hold, so that a line of exactly 1024
    // bytes still finds its line feed.
    char buffer[k_line_limit + 1];
    std::int32_t got = 0;
    if (s->is_open()) {
        std::int32_t start = s->position();
        s->read(buffer, k_line_limit + 1, &got);
        std::int32_t length = got > k_line_limit ? k_line_limit : got;
        bool ended = false;
        if (void* lf = std::memchr(buffer, '\n', static_cast<std::size_t>(got))) {
            length = static_cast<std::int32_t>(static_cast<char*>(lf) - buffer);
            ended = true;
        }
        // The stream may have read beyond the line: continue right after it.
        if (got > 0) s->seek(static_cast<std::int64_t>(start) + length + (ended ? 1 : 0), false);
        if (ended && length > 0 && buffer[length - 1] == '\r') --length;
        buffer[length] = 0;
    }
    if (got <= 0) {
        fail(3);
        return;
    }
    target = buffer;
}

double channel_read_line_double(double channel) {
    DynString line;
    channel_read_line(channel, line);
    return parse_double(line.text());
}

std::int32_t channel_read_line_int(double channel) {
    DynString line;
    channel_read_line(channel, line);
    return parse_int(line.text());
}

void channel_write_byte(double channel, double value) { put_integer(channel, value, 1); }
void channel_write_short(double channel, double value) { put_integer(channel, value, 2); }
void channel_write_int(double channel, double value) { put_integer(channel, value, 4); }

void channel_write_float(double channel, double value) {
    // Beyond the float range the value becomes an infinity, as the FPU
    // would make it.
    float f = value > FLT_MAX    ? std::numeric_limits<float>::infinity()
              : value < -FLT_MAX ? -std::numeric_limits<float>::infinity()
                                 : static_cast<float>(value);
    std::uint32_t bits;
    std::memcpy(&bits, &f, 4);
    std::uint8_t b[4];
    for (int i = 0; i < 4; ++i) b[i] = static_cast<std::uint8_t>(bits >> (8 * i));
    put(channel, b, 4);
}

void channel_write_double(double channel, double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, 8);
    std::uint8_t b[8];
    for (int i = 0; i < 8; ++i) b[i] = static_cast<std::uint8_t>(bits >> (8 * i));
    put(channel, b, 8);
}

void channel_write_text(double channel, const DynString& text) {
    if (text.length() == 0) {
        stream_of(channel);
        return;
    }
    put(channel, text.text(), static_cast<std::int32_t>(text.length()));
}

void channel_write_line(double channel, const DynString& text) {
    DynString line(text);
    line += "\r\n";
    put(channel, line.text(), static_cast<std::int32_t>(line.length()));
}

void channels_close_all() {
    for (ResourceStream& s : channel_table()) s.close();
}

}  // namespace crv
