#include "core/blowfish.hpp"

// Generated at build time by tools/pigen.cpp: k_pi_words, the first 1042
// 32-bit words of the fractional hexadecimal expansion of pi.
#include "blowfish_pi.inc"

#include <cstring>

namespace crv {

namespace {

std::uint32_t round_f(const CipherState& st, std::uint32_t x) {
    return ((st.s[0][x >> 24] + st.s[1][(x >> 16) & 0xff]) ^ st.s[2][(x >> 8) & 0xff]) +
           st.s[3][x & 0xff];
}

}  // namespace

void cipher_encrypt_block(const CipherState& st, std::uint32_t& left, std::uint32_t& right) {
    std::uint32_t l = left, r = right;
    for (int i = 0; i < 16; ++i) {
        l ^= st.p[i];
        r ^= round_f(st, l);
        std::uint32_t t = l; l = r; r = t;
    }
    std::uint32_t t = l; l = r; r = t;
    r ^= st.p[16];
    l ^= st.p[17];
    left = l;
    right = r;
}

void cipher_decrypt_block(const CipherState& st, std::uint32_t& left, std::uint32_t& right) {
    std::uint32_t l = left, r = right;
    for (int i = 17; i > 1; --i) {
        l ^= st.p[i];
        r ^= round_f(st, l);
        std::uint32_t t = l; l = r; r = t;
    }
    std::uint32_t t = l; l = r; r = t;
    r ^= st.p[1];
    l ^= st.p[0];
    left = l;
    right = r;
}

void cipher_init(CipherState& st, const std::uint8_t* key, std::size_t key_length) {
    static_assert(sizeof(k_pi_words) / sizeof(k_pi_words[0]) == 18 + 4 * 256);
    std::memcpy(st.p, k_pi_words, sizeof st.p);
    std::memcpy(st.s, k_pi_words + 18, sizeof st.s);
    std::size_t k = 0;
    for (int i = 0; i < 18; ++i) {
        std::uint32_t word = 0;
        for (int j = 0; j < 4; ++j) {
            word = (word << 8) | key[k];
            k = (k + 1) % key_length;
        }
        st.p[i] ^= word;
    }
    std::uint32_t l = 0, r = 0;
    for (int i = 0; i < 18; i += 2) {
        cipher_encrypt_block(st, l, r);
        st.p[i] = l;
        st.p[i + 1] = r;
    }
    for (auto& box : st.s) {
        for (int i = 0; i < 256; i += 2) {
            cipher_encrypt_block(st, l, r);
            box[i] = l;
            box[i + 1] = r;
        }
    }
}

}  // namespace crv
