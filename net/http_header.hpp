// An HTTP response header read from a byte stream that arrives in blocks of
// any size: where it ends, whether it stays within its size limit, and the
// body length it announces. The header ends where two line feeds follow
// each other with nothing but carriage returns between them. The bytes come
// from servers nobody vouches for: nothing is kept but counts and the state
// of the line being read, so memory stays the same whatever arrives. Any
// thread; one object per response.
#pragma once

#include <cstddef>
#include <cstdint>

namespace crv {

class HttpHeader {
public:
    // The header may take max_bytes, its final line feed included.
    explicit HttpHeader(std::size_t max_bytes) : max_bytes_(max_bytes) {}

    // How many leading bytes of the block belong to the header: all of them
    // while it goes on, fewer where it ends or where it grows past its limit
    // (the byte that would be one too many is not taken).
    std::size_t consume(const char* bytes, std::size_t count) {
        std::size_t i = 0;
        while (!done_ && !too_long_ && i < count) {
            if (size_ == max_bytes_) {
                too_long_ = true;
                break;
            }
            ++size_;
            take(bytes[i++]);
        }
        return i;
    }

    bool done() const { return done_; }
    bool too_long() const { return too_long_; }
    // The body length of a "Content-Length" field, -1 without one. A
    // response with "Transfer-Encoding" has none: its body on the wire is
    // framed otherwise. Values too large to count are k_huge.
    std::int64_t content_length() const { return transfer_encoding_ ? -1 : content_length_; }
    // A "Content-Length" that is not a number, or two that disagree: the
    // body's length cannot be known.
    bool length_invalid() const { return !transfer_encoding_ && length_invalid_; }

    // Any announced length at or above this counts as this.
    static constexpr std::int64_t k_huge = std::int64_t{1} << 62;

private:
    enum class Field { unknown, content_length, transfer_encoding };
    // Where a "Content-Length" value is: before a number, inside one, after
    // one (blanks), or after a comma of a list of the same number.
    enum class Value { before, digits, after };

    void take(char c) {
        if (c == '\n') {
            if (field_ == Field::content_length && in_value_) end_length();
            if (++line_feeds_ == 2) done_ = true;
            start_line();
            return;
        }
        if (c == '\r') return;
        line_feeds_ = 0;
        if (!in_value_) {
            name_char(c);
        } else if (field_ == Field::content_length) {
            value_char(c);
        }
    }

    void start_line() {
        field_ = Field::unknown;
        name_length_ = 0;
        name_matches_ = k_content_length_bit | k_transfer_encoding_bit;
        in_value_ = false;
        value_ = Value::before;
        number_ = 0;
    }

    // The field name is compared as it arrives, ignoring ASCII case, with
    // both names this reader looks for.
    void name_char(char c) {
        if (c == ':') {
            in_value_ = true;
            if ((name_matches_ & k_content_length_bit) != 0 && name_length_ == sizeof k_content_length - 1)
                field_ = Field::content_length;
            if ((name_matches_ & k_transfer_encoding_bit) != 0 && name_length_ == sizeof k_transfer_encoding - 1) {
                field_ = Field::transfer_encoding;
                transfer_encoding_ = true;
            }
            return;
        }
        char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        if (name_length_ >= sizeof k_content_length - 1 || k_content_length[name_length_] != lower)
            name_matches_ &= ~k_content_length_bit;
        if (name_length_ >= sizeof k_transfer_encoding - 1 || k_transfer_encoding[name_length_] != lower)
            name_matches_ &= ~k_transfer_encoding_bit;
        if (name_length_ < sizeof k_transfer_encoding) ++name_length_;
    }

    // Blanks, then digits, then blanks; a comma starts the next number of a
    // list, which must repeat the same value.
    void value_char(char c) {
        bool blank = c == ' ' || c == '\t';
        if (c >= '0' && c <= '9' && value_ != Value::after) {
            value_ = Value::digits;
            number_ = number_ > (k_huge - 9) / 10 ? k_huge : number_ * 10 + (c - '0');
        } else if (c == ',' && value_ != Value::before) {
            end_number();
            value_ = Value::before;
            number_ = 0;
        } else if (blank) {
            if (value_ == Value::digits) value_ = Value::after;
        } else {
            length_invalid_ = true;
            value_ = Value::after;
            number_ = -1;
        }
    }

    void end_length() {
        if (value_ == Value::before) {
            length_invalid_ = true;
            return;
        }
        end_number();
    }

    void end_number() {
        if (number_ < 0) return;
        if (content_length_ >= 0 && content_length_ != number_) length_invalid_ = true;
        content_length_ = number_;
    }

    static constexpr char k_content_length[] = "content-length";
    static constexpr char k_transfer_encoding[] = "transfer-encoding";
    static constexpr unsigned k_content_length_bit = 1;
    static constexpr unsigned k_transfer_encoding_bit = 2;

    std::size_t max_bytes_;
    std::size_t size_ = 0;
    int line_feeds_ = 0;
    bool done_ = false;
    bool too_long_ = false;

    Field field_ = Field::unknown;
    std::size_t name_length_ = 0;
    unsigned name_matches_ = k_content_length_bit | k_transfer_encoding_bit;
    bool in_value_ = false;
    Value value_ = Value::before;
    std::int64_t number_ = 0;

    std::int64_t content_length_ = -1;
    bool length_invalid_ = false;
    bool transfer_encoding_ = false;
};

}  // namespace crv
