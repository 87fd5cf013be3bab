#include "platform/rsa_verify.hpp"
#include "platform/rsa_key_blob.hpp"
#include "platform/windows/win32.hpp"

#include <wincrypt.h>

#include <algorithm>
#include <mutex>

namespace torvane::platform {

struct RsaPublicKey::State {
    HCRYPTPROV provider = 0;
    HCRYPTKEY key = 0;
    // One check at a time on the shared key handle: the provider's handles are not documented as
    // safe for concurrent use, and a check takes well under a millisecond.
    std::mutex mutex;
    ~State()
    {
        if (key)
            ::CryptDestroyKey(key);
        if (provider)
            ::CryptReleaseContext(provider, 0);
    }
};

RsaPublicKey::RsaPublicKey(std::unique_ptr<State> state) : state_(std::move(state)) {}
RsaPublicKey::~RsaPublicKey() = default;
RsaPublicKey::RsaPublicKey(RsaPublicKey&&) noexcept = default;
RsaPublicKey& RsaPublicKey::operator=(RsaPublicKey&&) noexcept = default;

Result<RsaPublicKey> RsaPublicKey::from_public_key_blob(std::span<const std::uint8_t> blob)
{
    TRY(check_public_key_blob(blob));
    auto state = std::make_unique<State>();
    // A verification context holds no private keys and needs no key container.
    if (!::CryptAcquireContextW(&state->provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT))
        return failure("chave pública: a biblioteca criptográfica recusou a chave.");
    if (!::CryptImportKey(state->provider, blob.data(), static_cast<DWORD>(blob.size()), 0, 0, &state->key))
        return failure("chave pública: a biblioteca criptográfica recusou a chave.");
    return RsaPublicKey(std::move(state));
}

bool RsaPublicKey::verify_sha256(std::span<const std::uint8_t, digest_size> digest,
                                 std::span<const std::uint8_t, signature_size> signature) const
{
    // CryptoAPI takes signatures least significant byte first.
    std::uint8_t reversed[signature_size];
    std::reverse_copy(signature.begin(), signature.end(), reversed);
    std::lock_guard lock(state_->mutex);
    HCRYPTHASH hash = 0;
    if (!::CryptCreateHash(state_->provider, CALG_SHA_256, 0, 0, &hash))
        return false;
    bool valid = ::CryptSetHashParam(hash, HP_HASHVAL, digest.data(), 0)
                 && ::CryptVerifySignatureW(hash, reversed, signature_size, state_->key, nullptr, 0);
    ::CryptDestroyHash(hash);
    return valid;
}

} // namespace torvane::platform
