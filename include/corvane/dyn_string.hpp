/// @defgroup values Text and array values
/// The run-time's two value types: crv::DynString, the one text type, and
/// crv::DynArray, arrays of up to four dimensions. Both copy their contents
/// on assignment (no sharing) and own their storage.
///
/// **Threads:** not thread-safe per object; the to_wide buffer is
/// process-wide.
///
/// **Failures:** memory exhaustion throws std::bad_alloc and leaves the
/// target valid; an array index out of range is fatal (error code 9, then
/// end_program).
///
/// **Examples:** @ref example_scene3d builds a sprite from a DynArray of
/// pixels; @ref example_veltrack keeps its depth table in one.

/// @file
/// DynString: a counted, heap-owned byte string with value semantics (see
/// @ref values).
///
/// Every copy copies bytes; nothing is shared. Bytes are taken as they are;
/// only to_wide and construction from UTF-16 know an encoding.
/// **Threads:** not thread-safe per object; the to_wide buffer is
/// process-wide. **Failures:** the only failure is memory exhaustion, which
/// throws std::bad_alloc and leaves the target in a valid state.
#pragma once

#include <cstdint>
#include <cstddef>
#include <compare>

namespace crv {

/// @addtogroup values
/// @{

/// The shared, read-only empty text that strings without a buffer point at.
extern const char* const empty_text;

/// A text: see the top of this file.
class DynString {
public:
    /// The empty text (no buffer).
    DynString() noexcept = default;
    /// A copy of the bytes up to the terminator; null gives the empty text.
    DynString(const char* text);  ///< NOLINT: implicit by design, text converts freely
    /// A copy of the bytes.
    DynString(const DynString& other);
    /// Takes the other's buffer; the other becomes empty.
    DynString(DynString&& other) noexcept;
    /// The decimal text of value.
    explicit DynString(int value);
    /// The number text of value (10 significant digits, as number_to_text).
    explicit DynString(float value);
    /// The number text of value (10 significant digits, as number_to_text).
    explicit DynString(double value);
    /// UTF-16 up to its terminator, converted to the multibyte encoding of
    /// the current locale; the result is cut at as many bytes as the input
    /// has units (null: empty).
    explicit DynString(const char16_t* wide);
    /// Frees the buffer.
    ~DynString();

    /// Copies the bytes.
    DynString& operator=(const DynString& other);
    /// Takes the other's buffer; the other becomes empty.
    DynString& operator=(DynString&& other) noexcept;
    /// Copies the bytes up to the terminator (null: empty).
    DynString& operator=(const char* text);

    /// Appends the bytes of other.
    DynString& operator+=(const DynString& other);
    /// Appends the bytes up to the terminator (null: nothing).
    DynString& operator+=(const char* text);
    /// Appends one byte (0 included).
    DynString& operator+=(char byte);
    /// Appends the decimal text of value.
    DynString& operator+=(int value);
    /// Appends the number text of value.
    DynString& operator+=(float value);
    /// Appends the number text of value.
    DynString& operator+=(double value);

    /// Room for n bytes plus the terminator; capacity grows to the next
    /// multiple of 16 above n. Keeps the current bytes only when keep is set.
    void reserve(std::uint32_t n, bool keep);
    /// reserve(n, true) and hand out the buffer; call sync_length afterwards.
    char* writable_buffer(std::uint32_t n);
    /// Sets the length from the terminator written into the buffer.
    void sync_length();
    /// Keeps the first n bytes (n beyond the length or negative: no change).
    void truncate(std::int64_t n);
    /// Frees the buffer; the text is empty.
    void release() noexcept;

    /// The bytes, terminated by 0 (never null).
    const char* text() const noexcept { return text_; }
    /// The same as text().
    const char* c_str() const noexcept { return text_; }
    /// The bytes the buffer holds without growing (0: no buffer).
    std::uint32_t capacity() const noexcept { return capacity_; }
    /// The byte count.
    std::uint32_t length() const noexcept { return length_; }
    /// True for the empty text.
    bool empty() const noexcept { return length_ == 0; }
    /// Byte i; i must be at most length() (the terminator).
    char operator[](std::uint32_t i) const noexcept { return text_[i]; }

    /// The text read as a number (atof).
    double to_double() const;
    /// The text read as an integer (atoi).
    int to_int() const;
    /// Converts into a process-wide buffer of 512 UTF-16 units (terminator
    /// included) that the next call overwrites; longer texts are cut.
    const char16_t* to_wide() const;

    /// strcmp of the terminated bytes against other: negative, 0 or
    /// positive.
    int compare(const char* other) const noexcept;
    /// strcmp of the terminated bytes of both texts.
    int compare(const DynString& other) const noexcept { return compare(other.text_); }

    /// Appends count bytes as they are, zeros included (binary texts).
    void append_bytes(const char* bytes, std::uint32_t count);

private:
    void assign_number(double value);
    void free_buffer() noexcept;

    char* text_ = const_cast<char*>(empty_text);
    std::uint32_t capacity_ = 0;
    std::uint32_t length_ = 0;
};

/// @name Comparison
/// Text against text compares bytes (strcmp order). Text against a number
/// converts the text first (atof against a double, atoi against an int) and
/// compares numerically; a float widens to double.
/// @{

/// True when both texts hold the same bytes.
bool operator==(const DynString& a, const DynString& b) noexcept;
/// True when a holds the bytes of b up to its terminator.
bool operator==(const DynString& a, const char* b) noexcept;
/// Byte order (strcmp) of two texts.
std::strong_ordering operator<=>(const DynString& a, const DynString& b) noexcept;
/// Byte order (strcmp) of a text and a terminated text.
std::strong_ordering operator<=>(const DynString& a, const char* b) noexcept;
/// The text read as a number (atof) against b; unordered when either is NaN.
std::partial_ordering operator<=>(const DynString& a, double b) noexcept;
/// True when the text read as a number (atof) equals b.
bool operator==(const DynString& a, double b) noexcept;
/// The text read as an integer (atoi) against b.
std::strong_ordering operator<=>(const DynString& a, int b) noexcept;
/// True when the text read as an integer (atoi) equals b.
bool operator==(const DynString& a, int b) noexcept;

/// -1, 0 or 1 as the text read as a number (atof) is below, equal to or
/// above value; a null text reads as 0 and a NaN on either side gives 0.
/// This also covers plain text, for
/// which C++ has no operator against a number.
int compare_number(const char* text, double value) noexcept;
/// -1, 0 or 1 as the text read as an integer (atoi) is below, equal to or
/// above value; a null text reads as 0.
int compare_number(const char* text, int value) noexcept;
/// @}

/// @name Concatenation
/// Operators exist where C++ allows them; concat covers every pairing,
/// including plain text with a number. Numbers append as DynString's
/// constructors write them: ints in decimal, floats and doubles as
/// number_to_text does.
/// @{

/// The bytes of a, then those of b.
DynString operator+(const DynString& a, const DynString& b);
/// The bytes of a, then those of b up to its terminator.
DynString operator+(const DynString& a, const char* b);
/// The bytes of a up to its terminator, then those of b.
DynString operator+(const char* a, const DynString& b);
/// a with the decimal text of b appended.
DynString operator+(const DynString& a, int b);
/// a with the number text of b appended.
DynString operator+(const DynString& a, float b);
/// a with the number text of b appended.
DynString operator+(const DynString& a, double b);
/// The decimal text of a, then the bytes of b.
DynString operator+(int a, const DynString& b);
/// The number text of a, then the bytes of b.
DynString operator+(float a, const DynString& b);
/// The number text of a, then the bytes of b.
DynString operator+(double a, const DynString& b);

/// DynString(left) with right appended (+=): any pairing of DynString,
/// terminated text, int, float and double.
template <typename L, typename R>
DynString concat(const L& left, const R& right) {
    DynString result(left);
    result += right;
    return result;
}
/// The terminated text left with the decimal text of right appended.
inline DynString concat(const char* left, int right) { return concat(DynString(left), right); }
/// The terminated text left with the number text of right appended.
inline DynString concat(const char* left, float right) { return concat(DynString(left), right); }
/// The terminated text left with the number text of right appended.
inline DynString concat(const char* left, double right) { return concat(DynString(left), right); }
/// @}

/// @}

}  // namespace crv
