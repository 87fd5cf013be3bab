#include "release_signer.hpp"

#include "platform/files.hpp"

#include <cstring>

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

namespace torvane::publisher {

namespace {

// unique_ptr deleter calling the library's own free function.
template <auto free_function>
struct Free {
    void operator()(auto* object) const { free_function(object); }
};

void put_le32(std::uint8_t* out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// What the key reader asked for: it calls back only for an encrypted key.
struct PasswordRequest {
    const std::optional<std::string>& password;
    bool asked = false;
};

// Hands the given password to the key reader, or refuses, so the library never prompts on the
// terminal for one.
int give_password(char* buffer, int size, int, void* data)
{
    auto& request = *static_cast<PasswordRequest*>(data);
    request.asked = true;
    if (!request.password || request.password->size() > static_cast<std::size_t>(size))
        return -1;
    std::memcpy(buffer, request.password->data(), request.password->size());
    return static_cast<int>(request.password->size());
}

} // namespace

struct ReleaseSigner::State {
    EVP_PKEY* key = nullptr;
    std::uint32_t exponent = 0;
    std::array<std::uint8_t, platform::RsaPublicKey::modulus_size> modulus_le {};
    ~State() { EVP_PKEY_free(key); }
};

ReleaseSigner::ReleaseSigner(std::unique_ptr<State> state) : state_(std::move(state)) {}
ReleaseSigner::~ReleaseSigner() = default;
ReleaseSigner::ReleaseSigner(ReleaseSigner&&) noexcept = default;
ReleaseSigner& ReleaseSigner::operator=(ReleaseSigner&&) noexcept = default;

Result<ReleaseSigner> ReleaseSigner::load(const std::filesystem::path& private_key_pem,
                                          const std::optional<std::string>& password)
{
    auto pem = platform::read_file(private_key_pem, platform::document_read_limit);
    if (!pem)
        return failure("não foi possível ler a chave privada " + private_key_pem.string() + ": " + pem.error());
    return from_pem(*pem, password);
}

Result<ReleaseSigner> ReleaseSigner::from_pem(std::string_view pem, const std::optional<std::string>& password)
{
    std::unique_ptr<BIO, Free<BIO_free>> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    auto state = std::make_unique<State>();
    PasswordRequest request {password};
    if (bio)
        state->key = PEM_read_bio_PrivateKey(bio.get(), nullptr, give_password, &request);
    ERR_clear_error();
    if (!state->key && request.asked && !password)
        return failure("a chave privada está protegida por senha: informe a senha com --senha-arquivo <arquivo>.");
    if (!state->key && request.asked)
        return failure("a senha não abre a chave privada.");
    if (!state->key)
        return failure("a chave privada não é um PEM legível.");
    if (!EVP_PKEY_is_a(state->key, "RSA") || EVP_PKEY_get_bits(state->key) != 2048)
        return failure("a chave privada precisa ser RSA de 2048 bits.");

    BIGNUM* raw_n = nullptr;
    BIGNUM* raw_e = nullptr;
    EVP_PKEY_get_bn_param(state->key, OSSL_PKEY_PARAM_RSA_N, &raw_n);
    EVP_PKEY_get_bn_param(state->key, OSSL_PKEY_PARAM_RSA_E, &raw_e);
    std::unique_ptr<BIGNUM, Free<BN_free>> n(raw_n), e(raw_e);
    if (!n || !e)
        return failure("a chave privada não expõe módulo e expoente.");
    if (BN_num_bits(e.get()) > 32)
        return failure("o expoente público não cabe em 32 bits.");
    state->exponent = static_cast<std::uint32_t>(BN_get_word(e.get()));
    if (BN_bn2lebinpad(n.get(), state->modulus_le.data(), static_cast<int>(state->modulus_le.size())) < 0)
        return failure("o módulo da chave não tem 2048 bits.");
    return ReleaseSigner(std::move(state));
}

Result<std::string> ReleaseSigner::sign_digest(const Sha256Digest& digest) const
{
    std::unique_ptr<EVP_PKEY_CTX, Free<EVP_PKEY_CTX_free>> context(EVP_PKEY_CTX_new(state_->key, nullptr));
    std::string signature(platform::RsaPublicKey::signature_size, '\0');
    std::size_t length = signature.size();
    if (!context || EVP_PKEY_sign_init(context.get()) != 1 ||
        EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_PADDING) != 1 ||
        EVP_PKEY_CTX_set_signature_md(context.get(), EVP_sha256()) != 1 ||
        EVP_PKEY_sign(context.get(), reinterpret_cast<unsigned char*>(signature.data()), &length, digest.data(),
                      digest.size()) != 1 ||
        length != signature.size())
        return failure("a assinatura RSA falhou.");
    return signature;
}

Result<std::string> ReleaseSigner::sign(std::string_view bytes) const { return sign_digest(sha256_bytes(bytes)); }

std::array<std::uint8_t, platform::RsaPublicKey::blob_size> ReleaseSigner::public_key_blob() const
{
    std::array<std::uint8_t, platform::RsaPublicKey::blob_size> blob {};
    blob[0] = 0x06; // public key
    blob[1] = 0x02; // version
    put_le32(&blob[4], 0x00002400); // RSA signature key
    put_le32(&blob[8], 0x31415352); // "RSA1"
    put_le32(&blob[12], 2048);
    put_le32(&blob[16], state_->exponent);
    std::copy(state_->modulus_le.begin(), state_->modulus_le.end(), blob.begin() + 20);
    return blob;
}

Result<platform::RsaPublicKey> ReleaseSigner::public_key() const
{
    auto blob = public_key_blob();
    return platform::RsaPublicKey::from_public_key_blob(blob);
}

} // namespace torvane::publisher
