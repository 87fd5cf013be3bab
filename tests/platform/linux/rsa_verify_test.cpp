#include "platform/files.hpp"
#include "platform/rsa_verify.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace torvane::platform {
namespace {

std::vector<std::uint8_t> dev_blob()
{
    std::string bytes = *read_file(test::source_dir() / "tests/fixtures/dev-release-key.blob", document_read_limit);
    return {bytes.begin(), bytes.end()};
}

TEST(RsaPublicKeyBlob, AcceptsTheDevelopmentKeyAndRefusesMalformedBlobs)
{
    struct Case {
        const char* name;
        std::function<void(std::vector<std::uint8_t>&)> damage;
        std::string message; // empty: accepted
    };
    const Case cases[] = {
        {"development key", [](auto&) {}, ""},
        {"exchange key algorithm", [](auto& b) { b[5] = 0xA4; }, ""},
        {"275 bytes", [](auto& b) { b.pop_back(); }, "chave pública: o blob tem 275 bytes, não 276."},
        {"277 bytes", [](auto& b) { b.push_back(0); }, "chave pública: o blob tem 277 bytes, não 276."},
        {"private key blob type", [](auto& b) { b[0] = 0x07; }, "chave pública: o cabeçalho não é de uma chave pública."},
        {"other version", [](auto& b) { b[1] = 0x03; }, "chave pública: o cabeçalho não é de uma chave pública."},
        {"not RSA", [](auto& b) { b[5] = 0x66; }, "chave pública: o algoritmo não é RSA."},
        {"private magic RSA2", [](auto& b) { b[11] = '2'; }, "chave pública: falta a marca \"RSA1\"."},
        {"1024 bits", [](auto& b) { b[13] = 0x04; }, "chave pública: a chave não tem 2048 bits."},
        {"even exponent", [](auto& b) { b[16] = 0x00; }, "chave pública: expoente público inválido."},
        {"short modulus", [](auto& b) { b[275] = 0x00; }, "chave pública: o módulo não tem 2048 bits."},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> blob = dev_blob();
        c.damage(blob);
        auto key = RsaPublicKey::from_public_key_blob(blob);
        EXPECT_EQ(key ? std::string() : key.error(), c.message) << c.name;
    }
}

} // namespace
} // namespace torvane::platform
