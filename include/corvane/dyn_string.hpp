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

// A text: see the top of this file.
class DynString {
public:
    // The empty text (no buffer).
    DynString() noexcept = default;
    // A copy of the bytes up to the terminator; null gives the empty text.
    DynString(const char* text);  // NOLINT: implicit by design, text converts freely
    // A copy of the bytes.
    DynString(const DynString& other);
    // Takes the other's buffer; the other becomes empty.
    DynString(DynString&& other) noexcept;
    // The decimal text of value.
    explicit DynString(int value);
    // The number text of value (10 significant digits, as number_to_text).
    explicit DynString(float value);
    // The number text of value (10 significant digits, as number_to_text).
    explicit DynString(double value);
    // UTF-16 up to its terminator, converted to the multibyte encoding of
    // the current locale; the result is cut at as many bytes as the input
    // has units (null: empty).
    explicit DynString(const char16_t* wide);
    // Frees the buffer.
    ~DynString();

    // Copies the bytes.
    DynString& operator=(const DynString& other);
    // Takes the other's buffer; the other becomes empty.
    DynString& operator=(DynString&& other) noexcept;
    // Copies the bytes up to the terminator (null: empty).
    DynString& operator=(const char* text);

    // Appends the bytes of other.
    DynString& operator+=(const DynString& other);
    // Appends the bytes up to the terminator (null: nothing).
    DynString& operator+=(const char* text);
    // Appends one byte (0 included).
    DynString& operator+=(char byte);
    // Appends the decimal text of value.
    DynString& operator+=(int value);
    // Appends the number text of value.
    DynString& operator+=(float value);
    // Appends the number text of value.
    DynString& operator+=(double value);

    // Room for n bytes plus the terminator; capacity grows to the next
    // multiple of 16 above n. Keeps the current bytes only when keep is set.
    void reserve(std::uint32_t n, bool keep);
    // reserve(n, true) and hand out the buffer; call sync_length afterwards.
    char* writable_buffer(std::uint32_t n);
    // Sets the length from the terminator written into the buffer.
    void sync_length();
    // Keeps the first n bytes (n beyond the length or negative: no change).
    void truncate(std::int64_t n);
    // Frees the buffer; the text is empty.
    void release() noexcept;

    // The bytes, terminated by 0 (never null).
    const char* text() const noexcept { return text_; }
    // The same as text().
    const char* c_str() const noexcept { return text_; }
    // The bytes the buffer holds without growing (0: no buffer).
    std::uint32_t capacity() const noexcept { return capacity_; }
    // The byte count.
    std::uint32_t length() const noexcept { return length_; }
    // True for the empty text.
    bool empty() const noexcept { return length_ == 0; }
    // Byte i; i must be at most length() (the terminator).
    char operator[](std::uint32_t i) const noexcept { return text_[i]; }

    // The text read as a number (atof).
    double to_double() const;
    // The text read as an integer (atoi).
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
