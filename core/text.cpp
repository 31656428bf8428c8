#include <corvane/core.hpp>

#include "core/blowfish.hpp"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

namespace crv {

namespace {

// Boyer-Moore-Horspool over raw bytes; offset of the first match or -1.
int horspool(const unsigned char* text, std::size_t n, const unsigned char* pat, std::size_t m) {
    if (m == 0 || n < m) return -1;
    if (n == m) return std::memcmp(text, pat, m) == 0 ? 0 : -1;
    std::size_t shift[256];
    for (auto& s : shift) s = m;
    for (std::size_t i = 0; i + 1 < m; ++i) shift[pat[i]] = m - 1 - i;
    std::size_t pos = 0;
    while (pos + m <= n) {
        std::size_t j = m - 1;
        while (text[pos + j] == pat[j]) {
            if (j == 0) return static_cast<int>(pos);
            --j;
        }
        pos += shift[text[pos + m - 1]];
    }
    return -1;
}

const unsigned char* bytes(const DynString& s) {
    return reinterpret_cast<const unsigned char*>(s.text());
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::uint32_t load_le(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void store_le(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

// Runs the cipher over whole 8-byte blocks in place (halves little-endian).
void cipher_blocks(const DynString& key, std::vector<std::uint8_t>& data, bool encrypt) {
    CipherState state;
    cipher_init(state, bytes(key), key.length());
    for (std::size_t i = 0; i + 8 <= data.size(); i += 8) {
        std::uint32_t l = load_le(&data[i]), r = load_le(&data[i + 4]);
        if (encrypt) cipher_encrypt_block(state, l, r); else cipher_decrypt_block(state, l, r);
        store_le(&data[i], l);
        store_le(&data[i + 4], r);
    }
}

}  // namespace

int text_length(const DynString& s) { return static_cast<int>(std::strlen(s.text())); }

DynString mid_text(const DynString& s, int start, int count) {
    std::int64_t length = s.length();
    std::int64_t c = count < 0 ? length : count;
    if (start + c > length) c = length - start;
    if (c < 1 || start >= length || start < 0) return DynString();
    DynString result;
    char* out = result.writable_buffer(static_cast<std::uint32_t>(c));
    std::memcpy(out, s.text() + start, static_cast<std::size_t>(c));
    out[c] = 0;
    result.sync_length();
    return result;
}

int find_text(const DynString& text, const DynString& pattern, int start) {
    if (start < 0) start = 0;
    if (static_cast<std::uint32_t>(start) >= text.length()) return -1;
    int found = horspool(bytes(text) + start, text.length() - start, bytes(pattern), pattern.length());
    return found < 0 ? -1 : start + found;
}

int find_text_last(const DynString& text, const DynString& pattern, int start) {
    if (start < 0) {
        start = static_cast<int>(text.length()) - static_cast<int>(pattern.length());
        if (start < 0) return -1;
    }
    int candidate = -1;
    int from = 0;
    for (;;) {
        int hit = find_text(text, pattern, from);
        if (hit < 0 || hit > start) break;
        candidate = hit;
        from = hit + 1;
    }
    return candidate;
}

DynString replace_text(const DynString& text, const DynString& pattern, const DynString& replacement) {
    DynString result(text);
    if (pattern.length() == 0) return result;
    int pos = find_text(result, pattern, 0);
    while (pos >= 0) {
        if (pattern.length() == replacement.length()) {
            std::memcpy(result.writable_buffer(result.length()) + pos, replacement.text(),
                        replacement.length());
        } else {
            DynString rebuilt = mid_text(result, 0, pos);
            rebuilt += replacement;
            rebuilt += mid_text(result, pos + static_cast<int>(pattern.length()), -1);
            result = std::move(rebuilt);
        }
        pos = find_text(result, pattern, pos + static_cast<int>(replacement.length()));
    }
    return result;
}

DynString trim_left(const DynString& s, const DynString& set) {
    if (set.length() == 0) return s;
    std::uint32_t i = 0;
    while (i < s.length() && std::memchr(set.text(), s.text()[i], set.length()) != nullptr) ++i;
    return mid_text(s, static_cast<int>(i), -1);
}

DynString trim_right(const DynString& s, const DynString& set) {
    if (set.length() == 0) return s;
    std::uint32_t n = s.length();
    while (n > 0 && std::memchr(set.text(), s.text()[n - 1], set.length()) != nullptr) --n;
    return mid_text(s, 0, static_cast<int>(n));
}

DynString to_upper_text(const DynString& s) {
    DynString result(s);
    char* p = result.writable_buffer(result.length());
    for (std::uint32_t i = 0; i < result.length(); ++i)
        p[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(p[i])));
    return result;
}

DynString to_lower_text(const DynString& s) {
    DynString result(s);
    char* p = result.writable_buffer(result.length());
    for (std::uint32_t i = 0; i < result.length(); ++i)
        p[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(p[i])));
    return result;
}

DynString url_encode(const DynString& s) {
    DynString result;
    char escape[16];
    for (std::uint32_t i = 0; i < s.length(); ++i) {
        unsigned char c = bytes(s)[i];
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
            result += static_cast<char>(c);
        } else if (c < 128) {
            std::snprintf(escape, sizeof escape, "%%%02x", c);
            result += escape;
        } else {
            std::snprintf(escape, sizeof escape, "%%%02x%%%02x", c < 192 ? 0xc2 : 0xc3, 0x80 | (c & 0x3f));
            result += escape;
        }
    }
    return result;
}

DynString url_decode(const DynString& s) {
    std::vector<unsigned char> raw;
    raw.reserve(s.length());
    const char* t = s.text();
    for (std::uint32_t i = 0; i < s.length(); ++i) {
        if (t[i] == '+') {
            raw.push_back(' ');
        } else if (t[i] == '%' && i + 2 < s.length() &&
                   hex_value(t[i + 1]) >= 0 && hex_value(t[i + 2]) >= 0) {
            raw.push_back(static_cast<unsigned char>(hex_value(t[i + 1]) * 16 + hex_value(t[i + 2])));
            i += 2;
        } else {
            raw.push_back(static_cast<unsigned char>(t[i]));
        }
    }
    DynString result;
    std::size_t n = raw.size();
    for (std::size_t i = 0; i < n;) {
        unsigned char c = raw[i];
        if (c < 128) {
            result += static_cast<char>(c);
            ++i;
        } else if ((c & 0xe0) == 0xc0 && i + 1 < n) {
            unsigned v = ((c & 0x1fu) << 6) | (raw[i + 1] & 0x3fu);
            result += static_cast<char>(v < 256 ? v : ' ');
            i += 2;
        } else if ((c & 0xf0) == 0xe0 && i + 2 < n) {
            unsigned v = ((c & 0x0fu) << 12) | ((raw[i + 1] & 0x3fu) << 6) | (raw[i + 2] & 0x3fu);
            result += static_cast<char>(v < 256 ? v : ' ');
            i += 3;
        } else {
            ++i;  // stray continuation, four-byte lead or cut-off sequence
        }
    }
    return result;
}

DynString hex_text(const void* data, int count, bool upper_case) {
    if (count <= 0 || data == nullptr) return DynString();
    const char* digits = upper_case ? "0123456789ABCDEF" : "0123456789abcdef";
    const auto* p = static_cast<const unsigned char*>(data);
    DynString result;
    char* out = result.writable_buffer(static_cast<std::uint32_t>(count) * 2);
    for (int i = 0; i < count; ++i) {
        out[2 * i] = digits[p[i] >> 4];
        out[2 * i + 1] = digits[p[i] & 15];
    }
    out[2 * count] = 0;
    result.sync_length();
    return result;
}

DynString encrypt_text(const DynString& key, const DynString& plain) {
    if (key.length() == 0) return DynString();
    std::vector<std::uint8_t> data(plain.text(), plain.text() + plain.length());
    data.resize((data.size() + 7) / 8 * 8, 0);
    cipher_blocks(key, data, true);
    return hex_text(data.data(), static_cast<int>(data.size()), false);
}

DynString decrypt_text(const DynString& key, DynString& hex) {
    hex = to_lower_text(hex);
    if (key.length() == 0) return DynString();
    std::vector<std::uint8_t> data(hex.length() / 2);
    for (std::size_t i = 0; i < data.size(); ++i) {
        int hi = hex_value(hex.text()[2 * i]), lo = hex_value(hex.text()[2 * i + 1]);
        data[i] = static_cast<std::uint8_t>((hi < 0 ? 0 : hi) * 16 + (lo < 0 ? 0 : lo));
    }
    data.resize((data.size() + 7) / 8 * 8, 0);
    cipher_blocks(key, data, false);
    data.push_back(0);
    return DynString(reinterpret_cast<const char*>(data.data()));
}

DynString error_text() {
    const char* text;
    int code = last_error_code();
    switch (code) {
        case 0: text = "success"; break;
        case 3: text = "no such file"; break;
        case 7: text = "out of memory"; break;
        case 9: text = "out of bounds"; break;
        case 20: text = "out of data"; break;
        default: text = "unknown error"; break;
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.4d %s", code, text);
    return DynString(buffer);
}

int slashes_forward(DynString& s) {
    char* p = s.writable_buffer(s.length());
    for (std::uint32_t i = 0; i < s.length(); ++i)
        if (p[i] == '\\') p[i] = '/';
    return static_cast<int>(s.length());
}

}  // namespace crv
