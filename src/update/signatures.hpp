// The signature checks that tie a release to the service's key.
#pragma once

#include "platform/result.hpp"
#include "platform/file_handle.hpp"
#include "platform/rsa_verify.hpp"

#include <cstdint>
#include <filesystem>
#include <span>

namespace torvane {

inline constexpr char client_signature_missing_message[] = "a assinatura do cliente não foi encontrada.";
inline constexpr char client_signature_size_message[] = "o tamanho da assinatura do cliente é inválido.";
inline constexpr char client_signature_invalid_message[] = "a assinatura digital do cliente é inválida.";

// The built-in release key (the blob chosen at configure time), converted once on first use;
// nullptr when the embedded blob cannot be converted, in which case nothing verifies.
const platform::RsaPublicKey* release_public_key();

// The 276 bytes of the built-in key blob.
std::span<const std::uint8_t> release_public_key_blob();

// True when the signature (256 bytes, most significant byte first) is the built-in key's
// RSA PKCS#1 v1.5 signature of the SHA-256 digest. Never says why not.
bool verify_rsa_signature(std::span<const std::uint8_t, 32> digest, std::span<const std::uint8_t, 256> signature);

// Checks a file (the client executable) against the detached signature in the file named by its
// path followed by ".sig", and returns the verified file still open for reading and pinned
// (platform::Pin::Yes): start the game from this descriptor, and hand it to the started process,
// so that the file that runs is the file that was verified and stays in use while it runs.
// Errors: the three messages above, or the I/O error's text for the file itself.
Result<platform::FileHandle> verify_client_signature(const std::filesystem::path& file);
// The same against another key.
Result<platform::FileHandle> verify_client_signature(const std::filesystem::path& file, const platform::RsaPublicKey& key);

} // namespace torvane
