#include <corvane/dyn_string.hpp>

#include "core/number_text.hpp"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cuchar>
#include <cwchar>
#include <limits>
#include <new>

namespace crv {

namespace {
const char k_empty[1] = {0};

std::uint32_t measure(const char* text) {
    if (text == nullptr) return 0;
    std::size_t n = std::strlen(text);
    if (n >= std::numeric_limits<std::uint32_t>::max()) throw std::bad_alloc();
    return static_cast<std::uint32_t>(n);
}

int sign_of(double d) { return d < 0 ? -1 : (d > 0 ? 1 : 0); }
}  // namespace

const char* const empty_text = k_empty;

DynString::DynString(const char* text) {
    std::uint32_t n = measure(text);
    if (n == 0) return;
    reserve(n, false);
    std::memcpy(text_, text, n);
    text_[n] = 0;
    length_ = n;
}

DynString::DynString(const DynString& other) {
    if (other.length_ == 0) return;
    reserve(other.length_, false);
    std::memcpy(text_, other.text_, other.length_);
    text_[other.length_] = 0;
    length_ = other.length_;
}

DynString::DynString(DynString&& other) noexcept
    : text_(other.text_), capacity_(other.capacity_), length_(other.length_) {
    other.text_ = const_cast<char*>(empty_text);
    other.capacity_ = 0;
    other.length_ = 0;
}

DynString::DynString(int value) {
    reserve(15, false);
    std::snprintf(text_, capacity_, "%d", value);
    sync_length();
}

DynString::DynString(float value) { assign_number(static_cast<double>(value)); }
DynString::DynString(double value) { assign_number(value); }

DynString::DynString(const char16_t* wide) {
    if (wide == nullptr) return;
    std::size_t wide_len = 0;
    while (wide[wide_len] != 0) ++wide_len;
    if (wide_len + 1 >= std::numeric_limits<std::uint32_t>::max() / 4) throw std::bad_alloc();
    // A UTF-16 unit never needs more than MB_LEN_MAX bytes; reserving wide
    // length + 1 bytes alone could overflow for non-ASCII text, so the
    // conversion goes through a scratch buffer and keeps what fits.
    std::uint32_t limit = static_cast<std::uint32_t>(wide_len) + 1;
    reserve(limit, false);
    std::mbstate_t state{};
    std::uint32_t out = 0;
    char scratch[MB_LEN_MAX];
    for (std::size_t i = 0; i < wide_len; ++i) {
        std::size_t r = std::c16rtomb(scratch, wide[i], &state);
        if (r == static_cast<std::size_t>(-1)) break;
        if (out + r > limit) break;
        std::memcpy(text_ + out, scratch, r);
        out += static_cast<std::uint32_t>(r);
    }
    text_[out] = 0;
    length_ = out;
}

DynString::~DynString() { free_buffer(); }

void DynString::free_buffer() noexcept {
    if (text_ != nullptr && text_ != empty_text) delete[] text_;
}

void DynString::release() noexcept {
    free_buffer();
    text_ = const_cast<char*>(empty_text);
    capacity_ = 0;
    length_ = 0;
}

void DynString::reserve(std::uint32_t n, bool keep) {
    if (n == 0 || capacity_ >= static_cast<std::uint64_t>(n) + 1) return;
    std::uint64_t new_capacity = ((static_cast<std::uint64_t>(n) + 1) / 16) * 16 + 16;
    if (new_capacity > std::numeric_limits<std::uint32_t>::max()) throw std::bad_alloc();
    char* buffer = new char[new_capacity];
    if (length_ != 0 && keep) {
        std::memcpy(buffer, text_, length_);
        buffer[length_] = 0;
    } else {
        std::memset(buffer, 0, 4);
    }
    free_buffer();
    text_ = buffer;
    capacity_ = static_cast<std::uint32_t>(new_capacity);
}

char* DynString::writable_buffer(std::uint32_t n) {
    reserve(n, true);
    return text_;
}

void DynString::sync_length() {
    if (capacity_ == 0) {
        length_ = 0;
        return;
    }
    std::uint32_t n = 0;
    while (n < capacity_ && text_[n] != 0) ++n;
    if (n >= capacity_) {
        text_[capacity_ - 1] = 0;
        n = capacity_ - 1;
    }
    length_ = n;
}

void DynString::truncate(std::int64_t n) {
    if (n >= 0 && n < static_cast<std::int64_t>(length_)) {
        text_[n] = 0;
        length_ = static_cast<std::uint32_t>(n);
    }
}

void DynString::assign_number(double value) {
    reserve(63, false);
    format_number_text(value, text_, capacity_);
    sync_length();
}

DynString& DynString::operator=(const DynString& other) {
    if (text_ == other.text_) return *this;
    if (other.length_ == 0) {
        if (text_ != empty_text) text_[0] = 0;
        length_ = 0;
        return *this;
    }
    reserve(other.length_, false);
    std::memcpy(text_, other.text_, other.length_ + 1);
    length_ = other.length_;
    return *this;
}

DynString& DynString::operator=(DynString&& other) noexcept {
    if (this == &other) return *this;
    if (other.length_ == 0 || capacity_ >= other.length_ + 1) {
        // Same outcome as a copy: our buffer is kept and never shrinks.
        if (text_ != empty_text) std::memcpy(text_, other.text_, other.length_ + 1);
        length_ = other.length_;
        return *this;
    }
    free_buffer();
    text_ = other.text_;
    capacity_ = other.capacity_;
    length_ = other.length_;
    other.text_ = const_cast<char*>(empty_text);
    other.capacity_ = 0;
    other.length_ = 0;
    return *this;
}

DynString& DynString::operator=(const char* text) {
    std::uint32_t n = measure(text);
    if (n == 0) {
        release();
        return *this;
    }
    // The source may live inside our own buffer: copy before freeing.
    char* buffer = new char[static_cast<std::size_t>(n) + 1];
    std::memcpy(buffer, text, n);
    buffer[n] = 0;
    free_buffer();
    text_ = buffer;
    capacity_ = n + 1;
    length_ = n;
    return *this;
}

void DynString::append_bytes(const char* bytes, std::uint32_t count) {
    if (count == 0) return;
    std::uint64_t total = static_cast<std::uint64_t>(length_) + count;
    if (total >= std::numeric_limits<std::uint32_t>::max() - 16) throw std::bad_alloc();
    // The source may be part of this string; growing keeps the old bytes at
    // the same offset, so remember the offset rather than the address.
    bool inside = bytes >= text_ && bytes < text_ + length_;
    std::ptrdiff_t offset = inside ? bytes - text_ : 0;
    reserve(static_cast<std::uint32_t>(total), true);
    if (inside) bytes = text_ + offset;
    std::memmove(text_ + length_, bytes, count);
    length_ = static_cast<std::uint32_t>(total);
    text_[length_] = 0;
}

DynString& DynString::operator+=(const DynString& other) {
    append_bytes(other.text_, other.length_);
    return *this;
}

DynString& DynString::operator+=(const char* text) {
    append_bytes(text, measure(text));
    return *this;
}

DynString& DynString::operator+=(char byte) {
    reserve(length_ + 1, true);
    text_[length_] = byte;
    ++length_;
    text_[length_] = 0;
    return *this;
}

DynString& DynString::operator+=(int value) { return *this += DynString(value); }
DynString& DynString::operator+=(float value) { return *this += DynString(value); }
DynString& DynString::operator+=(double value) { return *this += DynString(value); }

double DynString::to_double() const { return parse_double(text_); }
int DynString::to_int() const { return parse_int(text_); }

const char16_t* DynString::to_wide() const {
    static char16_t buffer[512];
    std::mbstate_t state{};
    std::size_t out = 0;
    const char* p = text_;
    const char* end = text_ + length_;
    while (out < 511 && p < end) {
        char16_t unit = 0;
        std::size_t r = std::mbrtoc16(&unit, p, static_cast<std::size_t>(end - p), &state);
        if (r == static_cast<std::size_t>(-3)) {  // second half of a surrogate pair
            buffer[out++] = unit;
            continue;
        }
        if (r == 0 || r == static_cast<std::size_t>(-1) || r == static_cast<std::size_t>(-2)) break;
        buffer[out++] = unit;
        p += r;
    }
    buffer[out] = 0;
    return buffer;
}

int DynString::compare(const char* other) const noexcept {
    return std::strcmp(text_, other != nullptr ? other : empty_text);
}

bool operator==(const DynString& a, const DynString& b) noexcept { return a.compare(b) == 0; }
bool operator==(const DynString& a, const char* b) noexcept { return a.compare(b) == 0; }
std::strong_ordering operator<=>(const DynString& a, const DynString& b) noexcept {
    return a.compare(b) <=> 0;
}
std::strong_ordering operator<=>(const DynString& a, const char* b) noexcept {
    return a.compare(b) <=> 0;
}

int compare_number(const char* text, double value) noexcept {
    return sign_of(parse_double(text != nullptr ? text : empty_text) - value);
}

int compare_number(const char* text, int value) noexcept {
    int t = parse_int(text != nullptr ? text : empty_text);
    return t < value ? -1 : (t > value ? 1 : 0);
}

std::partial_ordering operator<=>(const DynString& a, double b) noexcept {
    return parse_double(a.text()) <=> b;
}
bool operator==(const DynString& a, double b) noexcept { return parse_double(a.text()) == b; }
std::strong_ordering operator<=>(const DynString& a, int b) noexcept {
    return parse_int(a.text()) <=> b;
}
bool operator==(const DynString& a, int b) noexcept { return parse_int(a.text()) == b; }

DynString operator+(const DynString& a, const DynString& b) { return concat(a, b); }
DynString operator+(const DynString& a, const char* b) { return concat(a, b); }
DynString operator+(const char* a, const DynString& b) { return concat(a, b); }
DynString operator+(const DynString& a, int b) { return concat(a, b); }
DynString operator+(const DynString& a, float b) { return concat(a, b); }
DynString operator+(const DynString& a, double b) { return concat(a, b); }
DynString operator+(int a, const DynString& b) { return concat(a, b); }
DynString operator+(float a, const DynString& b) { return concat(a, b); }
DynString operator+(double a, const DynString& b) { return concat(a, b); }

}  // namespace crv
