#include "platform/rsa_verify.hpp"
#include "platform/rsa_key_blob.hpp"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/rsa.h>

namespace torvane::platform {

namespace {

// unique_ptr deleter calling the library's own free function.
template <auto free_function>
struct Free {
    void operator()(auto* object) const { free_function(object); }
};

} // namespace

struct RsaPublicKey::State {
    EVP_PKEY* key = nullptr;
    ~State() { EVP_PKEY_free(key); }
};

RsaPublicKey::RsaPublicKey(std::unique_ptr<State> state) : state_(std::move(state)) {}
RsaPublicKey::~RsaPublicKey() = default;
RsaPublicKey::RsaPublicKey(RsaPublicKey&&) noexcept = default;
RsaPublicKey& RsaPublicKey::operator=(RsaPublicKey&&) noexcept = default;

Result<RsaPublicKey> RsaPublicKey::from_public_key_blob(std::span<const std::uint8_t> blob)
{
    RsaKeyBlobFields fields = TRY(check_public_key_blob(blob));
    const std::uint8_t* modulus = fields.modulus;
    const std::uint32_t exponent = fields.exponent;

    std::unique_ptr<BIGNUM, Free<BN_free>> n(BN_lebin2bn(modulus, static_cast<int>(modulus_size), nullptr));
    std::unique_ptr<BIGNUM, Free<BN_free>> e(BN_new());
    if (!n || !e || BN_set_word(e.get(), exponent) != 1)
        return failure("chave pública: sem memória.");

    std::unique_ptr<OSSL_PARAM_BLD, Free<OSSL_PARAM_BLD_free>> build(OSSL_PARAM_BLD_new());
    if (!build || OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_N, n.get()) != 1 ||
        OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_E, e.get()) != 1)
        return failure("chave pública: sem memória.");
    std::unique_ptr<OSSL_PARAM, Free<OSSL_PARAM_free>> params(OSSL_PARAM_BLD_to_param(build.get()));
    std::unique_ptr<EVP_PKEY_CTX, Free<EVP_PKEY_CTX_free>> context(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
    auto state = std::make_unique<State>();
    if (!params || !context || EVP_PKEY_fromdata_init(context.get()) != 1 ||
        EVP_PKEY_fromdata(context.get(), &state->key, EVP_PKEY_PUBLIC_KEY, params.get()) != 1)
        return failure("chave pública: a biblioteca criptográfica recusou a chave.");
    return RsaPublicKey(std::move(state));
}

bool RsaPublicKey::verify_sha256(std::span<const std::uint8_t, digest_size> digest,
                                 std::span<const std::uint8_t, signature_size> signature) const
{
    // A context per call: the key itself is shared read-only between threads.
    std::unique_ptr<EVP_PKEY_CTX, Free<EVP_PKEY_CTX_free>> context(EVP_PKEY_CTX_new(state_->key, nullptr));
    if (!context || EVP_PKEY_verify_init(context.get()) != 1 ||
        EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_PADDING) != 1 ||
        EVP_PKEY_CTX_set_signature_md(context.get(), EVP_sha256()) != 1)
        return false;
    return EVP_PKEY_verify(context.get(), signature.data(), signature.size(), digest.data(), digest.size()) == 1;
}

} // namespace torvane::platform
