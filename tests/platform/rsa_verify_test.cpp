#include "platform/files.hpp"
#include "platform/rsa_verify.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <functional>
#include <thread>
#include <vector>

namespace torvane::platform {
namespace {

// The test program runs from the build folder; the fixtures are found from the source folder
// the build names, else beside the program (the Windows build copies them there, for runs from a
// drive that does not lead to the source folder).
fs::path fixture(const char* name)
{
    fs::path in_source = test::source_dir() / "tests" / "fixtures" / name;
    if (file_info(in_source, FollowLinks::Yes)->kind == FileKind::Regular)
        return in_source;
    return executable_path().parent_path() / name;
}

std::vector<std::uint8_t> fixture_bytes(const char* name)
{
    auto bytes = read_file(fixture(name), platform::document_read_limit);
    EXPECT_TRUE(bytes) << name << ": " << bytes.error();
    return bytes ? std::vector<std::uint8_t>(bytes->begin(), bytes->end()) : std::vector<std::uint8_t>();
}

// SHA-256 of "Torvane signed sample\n", which dev-release-key.sample.sig signs with the
// development key (openssl dgst -sha256 -sign tests/fixtures/dev-release-key.pem).
constexpr std::array<std::uint8_t, 32> sample_digest = {
    0xa5, 0xa9, 0x39, 0x1e, 0xa8, 0x9f, 0x32, 0x1a, 0x15, 0xb1, 0xc3, 0xb6, 0x86, 0x1d, 0xa5, 0x5b,
    0xe4, 0xda, 0x9c, 0x4b, 0x7c, 0xc6, 0x3a, 0x2d, 0x1d, 0x64, 0xc6, 0xc4, 0xa9, 0x1c, 0x06, 0x82};

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
        std::vector<std::uint8_t> blob = fixture_bytes("dev-release-key.blob");
        c.damage(blob);
        auto key = RsaPublicKey::from_public_key_blob(blob);
        EXPECT_EQ(key ? std::string() : key.error(), c.message) << c.name;
    }
}

TEST(RsaVerify, AcceptsTheGoodSignatureAndRefusesTamperedOnes)
{
    auto key = RsaPublicKey::from_public_key_blob(fixture_bytes("dev-release-key.blob"));
    ASSERT_TRUE(key) << key.error();
    const std::vector<std::uint8_t> good = fixture_bytes("dev-release-key.sample.sig");
    ASSERT_EQ(good.size(), RsaPublicKey::signature_size);

    struct Case {
        const char* name;
        std::function<void(std::array<std::uint8_t, 32>&, std::vector<std::uint8_t>&)> tamper;
        bool valid;
    };
    const Case cases[] = {
        {"as signed", [](auto&, auto&) {}, true},
        {"first signature byte", [](auto&, auto& s) { s[0] ^= 0x01; }, false},
        {"last signature byte", [](auto&, auto& s) { s[255] ^= 0x80; }, false},
        {"signature bytes reversed", [](auto&, auto& s) { std::reverse(s.begin(), s.end()); }, false},
        {"digest of other bytes", [](auto& d, auto&) { d[31] ^= 0x01; }, false},
        {"all-zero signature", [](auto&, auto& s) { std::fill(s.begin(), s.end(), 0); }, false},
    };
    for (const Case& c : cases) {
        std::array<std::uint8_t, 32> digest = sample_digest;
        std::vector<std::uint8_t> signature = good;
        c.tamper(digest, signature);
        EXPECT_EQ(key->verify_sha256(digest, std::span<const std::uint8_t, 256>(signature.data(), 256)), c.valid) << c.name;
    }
}

TEST(RsaVerify, AnExchangeKeyBlobVerifiesTooAndMalformedBlobsAreRefusedBeforeImport)
{
    std::vector<std::uint8_t> blob = fixture_bytes("dev-release-key.blob");
    ASSERT_EQ(blob.size(), RsaPublicKey::blob_size);
    std::vector<std::uint8_t> exchange = blob;
    exchange[5] = 0xA4;
    auto key = RsaPublicKey::from_public_key_blob(exchange);
    ASSERT_TRUE(key) << key.error();
    const std::vector<std::uint8_t> good = fixture_bytes("dev-release-key.sample.sig");
    EXPECT_TRUE(key->verify_sha256(sample_digest, std::span<const std::uint8_t, 256>(good.data(), 256)));

    std::vector<std::uint8_t> short_blob(blob.begin(), blob.end() - 1);
    auto refused = RsaPublicKey::from_public_key_blob(short_blob);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error(), "chave pública: o blob tem 275 bytes, não 276.");
}

TEST(RsaVerify, ChecksFromSeveralThreadsAtOnceAgree)
{
    auto key = RsaPublicKey::from_public_key_blob(fixture_bytes("dev-release-key.blob"));
    ASSERT_TRUE(key);
    const std::vector<std::uint8_t> good = fixture_bytes("dev-release-key.sample.sig");
    std::atomic<int> valid = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 25; ++i)
                valid += key->verify_sha256(sample_digest, std::span<const std::uint8_t, 256>(good.data(), 256));
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(valid.load(), 100);
}

} // namespace
} // namespace torvane::platform
