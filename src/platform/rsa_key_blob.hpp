// The checks every target system makes on a 276-byte public-key blob before handing it to its
// cryptographic library (layout in rsa_verify.hpp).
#pragma once

#include "platform/result.hpp"
#include "platform/rsa_verify.hpp"

#include <cstdint>
#include <span>
#include <string>

namespace torvane::platform {

struct RsaKeyBlobFields {
    std::uint32_t exponent = 0;
    const std::uint8_t* modulus = nullptr; // RsaPublicKey::modulus_size bytes, least significant first
};

// The blob's exponent and modulus; fails with a text naming the first malformed field.
inline Result<RsaKeyBlobFields> check_public_key_blob(std::span<const std::uint8_t> blob)
{
    constexpr std::uint8_t public_key_blob_type = 0x06;
    constexpr std::uint8_t blob_version = 0x02;
    constexpr std::uint32_t rsa_signature_algorithm = 0x00002400;
    constexpr std::uint32_t rsa_exchange_algorithm = 0x0000A400;
    constexpr std::uint32_t rsa1_magic = 0x31415352; // "RSA1"
    auto read_le32 = [](const std::uint8_t* bytes) {
        return std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16 |
               std::uint32_t(bytes[3]) << 24;
    };

    if (blob.size() != RsaPublicKey::blob_size)
        return failure("chave pública: o blob tem " + std::to_string(blob.size()) + " bytes, não 276.");
    const std::uint8_t* b = blob.data();
    if (b[0] != public_key_blob_type || b[1] != blob_version)
        return failure("chave pública: o cabeçalho não é de uma chave pública.");
    std::uint32_t algorithm = read_le32(b + 4);
    if (algorithm != rsa_signature_algorithm && algorithm != rsa_exchange_algorithm)
        return failure("chave pública: o algoritmo não é RSA.");
    if (read_le32(b + 8) != rsa1_magic)
        return failure("chave pública: falta a marca \"RSA1\".");
    if (read_le32(b + 12) != RsaPublicKey::modulus_size * 8)
        return failure("chave pública: a chave não tem 2048 bits.");
    std::uint32_t exponent = read_le32(b + 16);
    if (exponent < 3 || exponent % 2 == 0)
        return failure("chave pública: expoente público inválido.");
    const std::uint8_t* modulus = b + 20;
    if ((modulus[RsaPublicKey::modulus_size - 1] & 0x80) == 0)
        return failure("chave pública: o módulo não tem 2048 bits.");
    return RsaKeyBlobFields{exponent, modulus};
}

} // namespace torvane::platform
