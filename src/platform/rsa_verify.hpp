// RSA-2048 signature checks against a public key given as a 276-byte public-key blob.
//
// Blob layout (all integers little-endian):
//   offset  0  blob header: type 0x06 (public key), version 0x02, 2 reserved bytes,
//              key algorithm (0x00002400 signature key or 0x0000A400 exchange key)
//   offset  8  "RSA1", bit length (2048), public exponent
//   offset 20  the 256-byte modulus, least significant byte first
#pragma once

#include "platform/result.hpp"

#include <cstdint>
#include <memory>
#include <span>

namespace torvane::platform {

class RsaPublicKey {
public:
    static constexpr std::size_t blob_size = 276;
    static constexpr std::size_t modulus_size = 256;
    static constexpr std::size_t signature_size = 256;
    static constexpr std::size_t digest_size = 32;

    // Converts a blob into a key; fails with a text naming the first malformed field.
    static Result<RsaPublicKey> from_public_key_blob(std::span<const std::uint8_t> blob);

    ~RsaPublicKey();
    RsaPublicKey(RsaPublicKey&&) noexcept;
    RsaPublicKey& operator=(RsaPublicKey&&) noexcept;

    // True when the signature (most significant byte first) is a PKCS#1 v1.5 signature of this
    // SHA-256 digest under the key. Any failure of the cryptographic library is false too.
    // Safe to call from several threads at once.
    bool verify_sha256(std::span<const std::uint8_t, digest_size> digest,
                       std::span<const std::uint8_t, signature_size> signature) const;

private:
    struct State;
    explicit RsaPublicKey(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

} // namespace torvane::platform
