#include "update/sha256.hpp"

#include "platform/file_stream.hpp"

#include <openssl/evp.h>

#include <memory>
#include <vector>

namespace torvane {

namespace {

constexpr std::size_t block_size = 1'048'576;

struct DigestContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

std::string hex_lower(const unsigned char* bytes, std::size_t count)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string text(count * 2, '\0');
    for (std::size_t i = 0; i < count; ++i) {
        text[2 * i] = digits[bytes[i] >> 4];
        text[2 * i + 1] = digits[bytes[i] & 0x0F];
    }
    return text;
}

} // namespace

Result<std::string> sha256_file(const std::filesystem::path& path)
{
    platform::FileReader file = TRY(platform::FileReader::open(path));
    std::unique_ptr<EVP_MD_CTX, DigestContextFree> context(EVP_MD_CTX_new());
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1)
        fatal("SHA-256 could not be set up");
    // One block per thread, reused for every read and every file: zero-filling a fresh 1 MiB for
    // each of many small files would cost more than hashing them.
    thread_local std::vector<char> block(block_size);
    for (;;) {
        std::size_t got = TRY(file.read(block));
        if (got == 0)
            break;
        EVP_DigestUpdate(context.get(), block.data(), got);
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(context.get(), digest, &length);
    return hex_lower(digest, length);
}

} // namespace torvane
