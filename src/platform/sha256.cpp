#include "platform/sha256.hpp"

#include "platform/result.hpp"

#include <openssl/evp.h>

namespace torvane::platform {

struct Sha256::State {
    EVP_MD_CTX* context = nullptr;
    ~State() { EVP_MD_CTX_free(context); }
};

namespace {

// The algorithm fetched once: the library's built-in handle would be looked up again, under its
// locks, at every start, which costs more than hashing a small file.
const EVP_MD* sha256_algorithm()
{
    static EVP_MD* const algorithm = EVP_MD_fetch(nullptr, "SHA256", nullptr);
    if (!algorithm)
        fatal("SHA-256 is not available");
    return algorithm;
}

void start(EVP_MD_CTX* context)
{
    // Only an allocation failure inside the library can make this fail.
    if (EVP_DigestInit_ex(context, sha256_algorithm(), nullptr) != 1)
        fatal("SHA-256 could not be started");
}

} // namespace

Sha256::Sha256() : state_(std::make_unique<State>())
{
    state_->context = EVP_MD_CTX_new();
    if (!state_->context)
        fatal("out of memory for SHA-256");
    start(state_->context);
}

Sha256::~Sha256() = default;
Sha256::Sha256(Sha256&&) noexcept = default;
Sha256& Sha256::operator=(Sha256&&) noexcept = default;

void Sha256::update(std::span<const std::uint8_t> bytes)
{
    if (!bytes.empty() && EVP_DigestUpdate(state_->context, bytes.data(), bytes.size()) != 1)
        fatal("SHA-256 update failed");
}

void Sha256::update(std::string_view bytes)
{
    update(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

std::array<std::uint8_t, Sha256::digest_size> Sha256::finish()
{
    std::array<std::uint8_t, digest_size> digest {};
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(state_->context, digest.data(), &length) != 1 || length != digest_size)
        fatal("SHA-256 finish failed");
    start(state_->context);
    return digest;
}

} // namespace torvane::platform
