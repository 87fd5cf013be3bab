#include "platform/file_handle.hpp"
#include "release_keys.hpp"
#include "support/temp_dir.hpp"
#include "update/digest.hpp"
#include "update/signatures.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <unistd.h>

namespace torvane {
namespace {

constexpr char missing_message[] = "a assinatura do cliente não foi encontrada.";
constexpr char size_message[] = "o tamanho da assinatura do cliente é inválido.";
constexpr char invalid_message[] = "a assinatura digital do cliente é inválida.";

std::span<const std::uint8_t, 256> as_signature(const std::string& bytes)
{
    return std::span<const std::uint8_t, 256>(reinterpret_cast<const std::uint8_t*>(bytes.data()), 256);
}

TEST(RsaSignature, VerifiesOnlyTheSignedDigestWithTheRightKeyInOrder)
{
    const Sha256Digest digest = sha256_bytes("conteúdo assinado");
    const std::string good = *test::dev_signer().sign_digest(digest);
    std::string reversed(good.rbegin(), good.rend());
    std::string flipped = good;
    flipped[0] = static_cast<char>(flipped[0] ^ 0x80);
    const std::string foreign = *test::foreign_signer().sign_digest(digest);
    Sha256Digest other = digest;
    other[31] ^= 1;

    const platform::RsaPublicKey& key = test::dev_public_key();
    EXPECT_TRUE(key.verify_sha256(digest, as_signature(good)));
    EXPECT_FALSE(key.verify_sha256(digest, as_signature(reversed)));
    EXPECT_FALSE(key.verify_sha256(digest, as_signature(flipped)));
    EXPECT_FALSE(key.verify_sha256(digest, as_signature(foreign)));
    EXPECT_FALSE(key.verify_sha256(other, as_signature(good)));
    EXPECT_FALSE(key.verify_sha256(digest, as_signature(std::string(256, '\0'))));
}

TEST(RsaSignature, BuiltInKeyIsTheConfiguredBlob)
{
    ASSERT_EQ(release_public_key_blob().size(), 276u);
    ASSERT_NE(release_public_key(), nullptr);
    SKIP_UNLESS_BUILT_WITH_DEV_KEY();
    const Sha256Digest digest = sha256_bytes("x");
    EXPECT_TRUE(verify_rsa_signature(digest, as_signature(*test::dev_signer().sign_digest(digest))));
    EXPECT_FALSE(verify_rsa_signature(digest, as_signature(*test::foreign_signer().sign_digest(digest))));
}

class ClientSignature : public testing::Test {
protected:
    // Writes Main.exe and a Main.exe.sig made by the signer over `signed_content`.
    std::filesystem::path write_client(const std::string& content, const publisher::ReleaseSigner& signer,
                                       const std::string* signed_content = nullptr)
    {
        auto exe = dir.write("Main.exe", content);
        dir.write("Main.exe.sig", *signer.sign(signed_content ? *signed_content : content));
        return exe;
    }
    Result<platform::FileHandle> verify(const std::filesystem::path& exe)
    {
        return verify_client_signature(exe, test::dev_public_key());
    }
    test::TempDir dir;
};

TEST_F(ClientSignature, RefusesWhatDoesNotVerify)
{
    const std::string content(3 * 1'048'576 + 17, 'M'); // several hashing pieces
    const std::string other = content + "!";
    struct Case {
        const char* name;
        std::function<void()> arrange;
        std::string message;
    };
    const Case cases[] = {
        {"good", [&] { write_client(content, test::dev_signer()); }, ""},
        {"no signature file",
         [&] {
             write_client(content, test::dev_signer());
             std::filesystem::remove(dir.path() / "Main.exe.sig");
         },
         missing_message},
        {"signature is a folder",
         [&] {
             write_client(content, test::dev_signer());
             std::filesystem::remove(dir.path() / "Main.exe.sig");
             std::filesystem::create_directory(dir.path() / "Main.exe.sig");
         },
         missing_message},
        {"another key", [&] { write_client(content, test::foreign_signer()); }, invalid_message},
        {"another content", [&] { write_client(content, test::dev_signer(), &other); }, invalid_message},
        {"least significant byte first",
         [&] {
             write_client(content, test::dev_signer());
             std::string sig = dir.read("Main.exe.sig");
             dir.write("Main.exe.sig", std::string(sig.rbegin(), sig.rend()));
         },
         invalid_message},
        {"executable missing",
         [&] {
             write_client(content, test::dev_signer());
             std::filesystem::remove(dir.path() / "Main.exe");
         },
         "No such file or directory (os error 2)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(dir.path() / "Main.exe.sig");
        c.arrange();
        auto handle = verify(dir.path() / "Main.exe");
        if (c.message.empty()) {
            EXPECT_TRUE(handle) << handle.error();
        } else {
            ASSERT_FALSE(handle);
            EXPECT_EQ(handle.error(), c.message);
        }
    }
}

TEST_F(ClientSignature, WrongSignatureSizeIsToldWithoutOpeningTheExecutable)
{
    // No executable at all: opening it would give the I/O error instead.
    for (std::size_t size : {0u, 255u, 257u, 100'000u}) {
        dir.write("Main.exe.sig", std::string(size, 's'));
        auto handle = verify(dir.path() / "Main.exe");
        ASSERT_FALSE(handle) << size;
        EXPECT_EQ(handle.error(), size_message) << size;
    }
}

TEST_F(ClientSignature, HandlePinsTheVerifiedBytes)
{
    auto exe = write_client("verified client", test::dev_signer());
    auto handle = verify(exe);
    ASSERT_TRUE(handle) << handle.error();

    // The file stays in use: pruning's deletion refuses it while the handle is open.
    EXPECT_FALSE(platform::remove_file_unless_in_use(exe));
    // Replacing the name does not change what the handle reads: the game starts from these bytes.
    auto replacement = dir.write("other.exe", "a different client");
    std::filesystem::rename(replacement, exe);
    char buffer[64] = {};
    ssize_t got = ::pread(handle->descriptor(), buffer, sizeof buffer, 0);
    EXPECT_EQ(std::string(buffer, got > 0 ? static_cast<std::size_t>(got) : 0), "verified client");

    handle->close();
    EXPECT_TRUE(platform::remove_file_unless_in_use(exe));
    EXPECT_FALSE(std::filesystem::exists(exe));
}

TEST_F(ClientSignature, BuiltInKeyVerifiesTheDevelopmentSignature)
{
    SKIP_UNLESS_BUILT_WITH_DEV_KEY();
    auto exe = write_client("client", test::dev_signer());
    EXPECT_TRUE(verify_client_signature(exe));
    write_client("client", test::foreign_signer());
    EXPECT_EQ(verify_client_signature(exe).error(), invalid_message);
}

} // namespace
} // namespace torvane
