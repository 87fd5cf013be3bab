#include "platform/rsa_verify.hpp"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/rsa.h>

#include <cstring>

namespace torvane::platform {

namespace {

// unique_ptr deleter calling the library's own free function.
template <auto free_function>
struct Free {
    void operator()(auto* object) const { free_function(object); }
};

std::uint32_t read_le32(const std::uint8_t* bytes)
{
    return std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16 |
           std::uint32_t(bytes[3]) << 24;
}

constexpr std::uint8_t public_key_blob_type = 0x06;
constexpr std::uint8_t blob_version = 0x02;
constexpr std::uint32_t rsa_signature_algorithm = 0x00002400;
constexpr std::uint32_t rsa_exchange_algorithm = 0x0000A400;
constexpr std::uint32_t rsa1_magic = 0x31415352; // "RSA1"

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
    if (blob.size() != blob_size)
        return failure("chave pública: o blob tem " + std::to_string(blob.size()) + " bytes, não 276.");
    const std::uint8_t* b = blob.data();
    if (b[0] != public_key_blob_type || b[1] != blob_version)
        return failure("chave pública: o cabeçalho não é de uma chave pública.");
    std::uint32_t algorithm = read_le32(b + 4);
    if (algorithm != rsa_signature_algorithm && algorithm != rsa_exchange_algorithm)
        return failure("chave pública: o algoritmo não é RSA.");
    if (read_le32(b + 8) != rsa1_magic)
        return failure("chave pública: falta a marca \"RSA1\".");
    if (read_le32(b + 12) != modulus_size * 8)
        return failure("chave pública: a chave não tem 2048 bits.");
    std::uint32_t exponent = read_le32(b + 16);
    if (exponent < 3 || exponent % 2 == 0)
        return failure("chave pública: expoente público inválido.");
    const std::uint8_t* modulus = b + 20;
    if ((modulus[modulus_size - 1] & 0x80) == 0)
        return failure("chave pública: o módulo não tem 2048 bits.");

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
