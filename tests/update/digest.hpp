// SHA-256 of bytes in memory, for tests that publish files with their digests.
#pragma once

#include <openssl/evp.h>

#include <cstdio>
#include <string>
#include <string_view>

namespace torvane::test {

inline std::string sha256_hex(std::string_view bytes)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr);
    std::string hex;
    for (unsigned i = 0; i < length; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", digest[i]);
        hex += pair;
    }
    return hex;
}

} // namespace torvane::test
