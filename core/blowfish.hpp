// The Blowfish block cipher (standard key schedule, initial tables from the
// hexadecimal digits of pi). Pure; a schedule is built per use.
#pragma once

#include <cstddef>
#include <cstdint>

namespace crv {

struct CipherState {
    std::uint32_t p[18];
    std::uint32_t s[4][256];
};

// key_length must be at least 1.
void cipher_init(CipherState& state, const std::uint8_t* key, std::size_t key_length);
void cipher_encrypt_block(const CipherState& state, std::uint32_t& left, std::uint32_t& right);
void cipher_decrypt_block(const CipherState& state, std::uint32_t& left, std::uint32_t& right);

}  // namespace crv
