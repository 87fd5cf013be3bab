#include "update/signatures.hpp"

#include "update/digest.hpp"

#include <array>

// The release key blob, linked in by layer.cmake.
extern "C" const unsigned char torvane_release_key_blob[];
extern "C" const unsigned char torvane_release_key_blob_end[];

namespace torvane {

namespace {

template <class Verify>
Result<platform::FileHandle> verify_client(const std::filesystem::path& file, Verify verify)
{
    std::filesystem::path signature_path = file;
    signature_path += ".sig";
    auto signature_file = platform::FileHandle::open_for_reading(signature_path);
    if (!signature_file)
        return failure(client_signature_missing_message);
    // One byte more than a signature tells a long file from a good one without reading it all.
    std::array<std::uint8_t, 257> signature {};
    auto got = signature_file->read_full(signature);
    if (!got)
        return failure(client_signature_missing_message);
    if (*got != 256)
        return failure(client_signature_size_message);
    signature_file->close();

    platform::FileHandle handle = TRY(platform::FileHandle::open_for_reading(file, platform::Pin::Yes));
    Sha256Digest digest = TRY(sha256_of_handle(handle));
    if (!verify(digest, std::span<const std::uint8_t, 256>(signature.data(), 256)))
        return failure(client_signature_invalid_message);
    return handle;
}

} // namespace

std::span<const std::uint8_t> release_public_key_blob()
{
    return std::span(reinterpret_cast<const std::uint8_t*>(torvane_release_key_blob),
                     static_cast<std::size_t>(torvane_release_key_blob_end - torvane_release_key_blob));
}

const platform::RsaPublicKey* release_public_key()
{
    static const auto key = platform::RsaPublicKey::from_public_key_blob(release_public_key_blob());
    return key ? &*key : nullptr;
}

bool verify_rsa_signature(std::span<const std::uint8_t, 32> digest, std::span<const std::uint8_t, 256> signature)
{
    const platform::RsaPublicKey* key = release_public_key();
    return key && key->verify_sha256(digest, signature);
}

Result<platform::FileHandle> verify_client_signature(const std::filesystem::path& file)
{
    return verify_client(file, [](const Sha256Digest& digest, std::span<const std::uint8_t, 256> signature) {
        return verify_rsa_signature(digest, signature);
    });
}

Result<platform::FileHandle> verify_client_signature(const std::filesystem::path& file, const platform::RsaPublicKey& key)
{
    return verify_client(file, [&](const Sha256Digest& digest, std::span<const std::uint8_t, 256> signature) {
        return key.verify_sha256(digest, signature);
    });
}

} // namespace torvane
