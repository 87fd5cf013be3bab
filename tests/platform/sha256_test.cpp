#include "platform/sha256.hpp"

#include <gtest/gtest.h>

#include <string>

namespace torvane::platform {
namespace {

std::string hex(const std::array<std::uint8_t, 32>& digest)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (std::uint8_t byte : digest) {
        out += digits[byte >> 4];
        out += digits[byte & 15];
    }
    return out;
}

TEST(Sha256, StandardVectorsInOnePieceAndInMany)
{
    struct Case {
        std::string input;
        const char* digest;
    };
    const Case cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const Case& c : cases) {
        Sha256 whole;
        whole.update(c.input);
        EXPECT_EQ(hex(whole.finish()), c.digest) << c.input.size() << " bytes";
        Sha256 pieces;
        for (std::size_t at = 0; at < c.input.size(); at += 7)
            pieces.update(std::string_view(c.input).substr(at, 7));
        EXPECT_EQ(hex(pieces.finish()), c.digest) << c.input.size() << " bytes in pieces";
        // After finish the hasher starts over.
        pieces.update(c.input);
        EXPECT_EQ(hex(pieces.finish()), c.digest);
    }
}

} // namespace
} // namespace torvane::platform
