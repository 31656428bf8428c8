// DynString: the run-time's one text type. A counted, heap-owned byte string
// with value semantics (every copy copies bytes; no sharing). Bytes are taken
// as they are; only to_wide and construction from UTF-16 know an encoding.
// Not thread-safe per object; the to_wide buffer is process-wide.
// The only failure is memory exhaustion, which throws std::bad_alloc and
// leaves the target in a valid state.
#pragma once

#include <cstdint>
#include <cstddef>
#include <compare>

namespace crv {

// The shared, read-only empty text that strings without a buffer point at.
extern const char* const empty_text;

class DynString {
public:
    DynString() noexcept = default;
    DynString(const char* text);  // NOLINT: implicit by design, text converts freely
    DynString(const DynString& other);
    DynString(DynString&& other) noexcept;
    explicit DynString(int value);
    explicit DynString(float value);
    explicit DynString(double value);
    explicit DynString(const char16_t* wide);
    ~DynString();

    DynString& operator=(const DynString& other);
    DynString& operator=(DynString&& other) noexcept;
    DynString& operator=(const char* text);

    DynString& operator+=(const DynString& other);
    DynString& operator+=(const char* text);
    DynString& operator+=(char byte);
    DynString& operator+=(int value);
    DynString& operator+=(float value);
    DynString& operator+=(double value);

    // Room for n bytes plus the terminator; capacity grows to the next
    // multiple of 16 above n. Keeps the current bytes only when keep is set.
    void reserve(std::uint32_t n, bool keep);
    // reserve(n, true) and hand out the buffer; call sync_length afterwards.
    char* writable_buffer(std::uint32_t n);
    void sync_length();
    void truncate(std::int64_t n);
    void release() noexcept;

    const char* text() const noexcept { return text_; }
    const char* c_str() const noexcept { return text_; }
    std::uint32_t capacity() const noexcept { return capacity_; }
    std::uint32_t length() const noexcept { return length_; }
    bool empty() const noexcept { return length_ == 0; }
    char operator[](std::uint32_t i) const noexcept { return text_[i]; }

    double to_double() const;
    int to_int() const;
    // Converts into a process-wide buffer of 512 UTF-16 units (terminator
    // included) that the next call overwrites; longer texts are cut.
    const char16_t* to_wide() const;

    // strcmp order of the terminated bytes.
    int compare(const char* other) const noexcept;
    int compare(const DynString& other) const noexcept { return compare(other.text_); }

    // Appends count bytes as they are, zeros included (binary texts).
    void append_bytes(const char* bytes, std::uint32_t count);

private:
    void assign_number(double value);
    void free_buffer() noexcept;

    char* text_ = const_cast<char*>(empty_text);
    std::uint32_t capacity_ = 0;
    std::uint32_t length_ = 0;
};

// Text against text: byte order (strcmp).
bool operator==(const DynString& a, const DynString& b) noexcept;
bool operator==(const DynString& a, const char* b) noexcept;
std::strong_ordering operator<=>(const DynString& a, const DynString& b) noexcept;
std::strong_ordering operator<=>(const DynString& a, const char* b) noexcept;

// Text against number: the text is converted first (atof / atoi) and the
// comparison is numeric. A float widens to double.
std::partial_ordering operator<=>(const DynString& a, double b) noexcept;
bool operator==(const DynString& a, double b) noexcept;
std::strong_ordering operator<=>(const DynString& a, int b) noexcept;
bool operator==(const DynString& a, int b) noexcept;

// Three-way numeric comparisons returning -1, 0 or 1; these also cover plain
// text, for which C++ has no operator against a number.
int compare_number(const char* text, double value) noexcept;
int compare_number(const char* text, int value) noexcept;

// Concatenation. Operators exist where C++ allows them; concat covers every
// pairing, including plain text with a number.
DynString operator+(const DynString& a, const DynString& b);
DynString operator+(const DynString& a, const char* b);
DynString operator+(const char* a, const DynString& b);
DynString operator+(const DynString& a, int b);
DynString operator+(const DynString& a, float b);
DynString operator+(const DynString& a, double b);
DynString operator+(int a, const DynString& b);
DynString operator+(float a, const DynString& b);
DynString operator+(double a, const DynString& b);

template <typename L, typename R>
DynString concat(const L& left, const R& right) {
    DynString result(left);
    result += right;
    return result;
}
inline DynString concat(const char* left, int right) { return concat(DynString(left), right); }
inline DynString concat(const char* left, float right) { return concat(DynString(left), right); }
inline DynString concat(const char* left, double right) { return concat(DynString(left), right); }

}  // namespace crv
