// The service's side of the release key: signing with the private key, and the public-key blob
// that a launcher build embeds.
#pragma once

#include "platform/result.hpp"
#include "platform/rsa_verify.hpp"
#include "update/digest.hpp"

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace torvane::publisher {

class ReleaseSigner {
public:
    // Loads an RSA-2048 private key from a PEM file (PKCS#8 or PKCS#1). An encrypted key needs its
    // password; without one it is refused with a message that names the password option, and
    // nothing is ever asked on the terminal.
    static Result<ReleaseSigner> load(const std::filesystem::path& private_key_pem,
                                      const std::optional<std::string>& password = std::nullopt);
    static Result<ReleaseSigner> from_pem(std::string_view pem,
                                          const std::optional<std::string>& password = std::nullopt);

    ~ReleaseSigner();
    ReleaseSigner(ReleaseSigner&&) noexcept;
    ReleaseSigner& operator=(ReleaseSigner&&) noexcept;

    // The 256-byte RSA PKCS#1 v1.5 signature of a SHA-256 digest, most significant byte first.
    Result<std::string> sign_digest(const Sha256Digest& digest) const;
    // The signature of the SHA-256 of the bytes.
    Result<std::string> sign(std::string_view bytes) const;

    // The key's public half as the 276-byte public-key blob.
    std::array<std::uint8_t, platform::RsaPublicKey::blob_size> public_key_blob() const;
    // The key's public half, for checking what was signed.
    Result<platform::RsaPublicKey> public_key() const;

private:
    struct State;
    explicit ReleaseSigner(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

} // namespace torvane::publisher
